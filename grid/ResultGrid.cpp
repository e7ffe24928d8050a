#include "ResultGrid.h"

#include "ErrorDisplay.h"
#include "FilterRow.h"
#include "GridCellDelegate.h"
#include "GridExport.h"
#include "GridHeader.h"
#include "GuardedHandler.h"
#include "GridIndicator.h"
#include "Query.h"
#include "ResultSetModel.h"
#include "SortFilterAdapter.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <algorithm>

namespace velmora {

namespace {

// Characters of "0" a column of this field is wide when no width was ever set.
int displayCharacters(const FieldDef& field)
{
    if (isTextKind(field.kind))
        return field.size;
    switch (field.kind) {
    case FieldKind::LargeInt:
        return 15;
    case FieldKind::DateTime:
        return 18;
    case FieldKind::BCD:
        return field.size > 0 ? field.size + 1 : 10;   // precision + 1
    default:
        return 10;
    }
}

} // namespace

ResultGrid::ResultGrid(QWidget* parent) : QTableView(parent)
{
    m_model = new ResultSetModel(m_columnState.columns(), this);
    setModel(m_model);
    setVerticalHeader(new GridIndicator(*this));
    setItemDelegate(new GridCellDelegate(*this));
    // Every grid is flat; the delegate draws the grid lines the options ask for.
    setFrameShape(QFrame::NoFrame);
    setShowGrid(false);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setCornerButtonEnabled(false);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 3);
    setTitleHeader(new GridHeader(*this));
}

void ResultGrid::setTitleHeader(GridHeader* header)
{
    setHorizontalHeader(header);   // deletes the previous one, with its connections
    m_header = header;
    // Connected after the header's own model connections, so the header is rebuilt by the
    // time the grid puts the collection's widths back on it.
    disconnect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, nullptr);
    disconnect(m_model, &QAbstractItemModel::modelReset, this, nullptr);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { m_applyingColumns = true; });
    connect(m_model, &QAbstractItemModel::modelReset, this, &ResultGrid::modelWasReset);
    m_header->setMinimumSectionSize(1);
    if (m_titleFont)
        m_header->setFont(*m_titleFont);
    connect(m_header, &GridHeader::titleClicked, this,
            guarded([this](int column, bool ctrl) { titleClicked(column, ctrl); }));
    connect(m_header, &QHeaderView::sectionMoved, this,
            [this](int, int fromVisual, int toVisual) { columnMoved(fromVisual, toVisual); });
    connect(m_header, &QHeaderView::sectionResized, this,
            [this](int column, int, int newSize) { columnResized(column, newSize); });
    setOptions(m_options);
    applyColumnsToView();
}

ResultGrid::~ResultGrid() = default;

void ResultGrid::setTitleFont(const QFont& font)
{
    m_titleFont = font;
    m_header->setFont(font);
}

QFont ResultGrid::titleFont() const
{
    return m_titleFont.value_or(font());
}

void ResultGrid::setFonts(const QFont& font)
{
    setFont(font);
    QFont bold = font;
    bold.setBold(true);
    setTitleFont(bold);
}

void ResultGrid::setDataSource(Query* query)
{
    if (m_query)
        disconnect(m_query, nullptr, this, nullptr);
    m_query = query;
    if (m_query)
        connect(m_query, &Query::afterScroll, this, &ResultGrid::followQuery);
    m_model->setQuery(query);
}

Query* ResultGrid::dataSource() const
{
    return m_query;
}

FilterRow* ResultGrid::filterRow() const
{
    return qobject_cast<FilterRow*>(m_header);
}

void ResultGrid::setOptions(const GridOptions& options)
{
    m_options = options;
    m_header->setVisible(options.titles);
    verticalHeader()->setVisible(options.indicator);
    m_header->setSectionsMovable(options.columnResize);
    m_header->setSectionResizeMode(options.columnResize ? QHeaderView::Interactive
                                                        : QHeaderView::Fixed);
    setTabKeyNavigation(options.tabs);
    setSelectionBehavior(options.rowSelect ? SelectRows : SelectItems);
    // A row-select grid has no current cell to open an editor on.
    const bool editor = options.editing && !options.rowSelect;
    m_model->setEditorAllowed(editor);
    setEditTriggers(editor ? EditKeyPressed | SelectedClicked : NoEditTriggers);
    viewport()->update();
}

void ResultGrid::setBehaviourOptions(const GridBehaviourOptions& options)
{
    m_behaviourOptions = options;
    if (!options.incSearch)
        m_searcher.reset();
    else if (!m_searcher)
        m_searcher = std::make_unique<IncrementalSearcher>(*this);
    m_header->viewport()->update();
    viewport()->update();
}

void ResultGrid::setColumns(GridColumns columns)
{
    m_columnState.setColumns(std::move(columns));
    m_currentColumn = 0;
    m_model->columnsReset();
    emit columnsChanged();
}

int ResultGrid::displayWidth(int column) const
{
    const GridColumn& gridColumn = m_columnState.columns()[size_t(column)];
    return gridColumn.width >= 0 ? gridColumn.width : defaultWidth(column);
}

int ResultGrid::defaultWidth(int column) const
{
    const int field = m_model->fieldIndexOf(column);
    if (field < 0)
        return 64;
    // Qt's fonts have no overhang (synthesised bold or italic is measured in the advance), so
    // the formula's overhang terms are zero here.
    const int zeroWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    return zeroWidth * displayCharacters(m_query->fields()[size_t(field)]) + 4;
}

void ResultGrid::setSortMarker(int column, SortMarker marker)
{
    if (!m_columnState.setSortMarker(column, marker, m_behaviourOptions.multiSortMarking))
        return;
    m_header->viewport()->update();
    emit columnsChanged();
}

bool ResultGrid::isHighlighted(const QModelIndex& index) const
{
    if (!m_behaviourOptions.highlightFocus || !hasFocus() || !index.isValid())
        return false;
    const QModelIndex current = currentIndex();
    return m_options.rowSelect ? index.row() == current.row() : index == current;
}

void ResultGrid::titleClicked(int column, bool ctrl)
{
    if (!m_behaviourOptions.autoSortMarking)
        return;
    const GridColumns& columns = m_columnState.columns();
    if (!ctrl) {
        for (size_t i = 0; i < columns.size(); ++i)
            if (int(i) != column)
                setSortMarker(int(i), SortMarker::None);
    }
    setSortMarker(column, GridColumnState::nextSortMarker(columns[size_t(column)].sortMarker, ctrl));
    if (ctrl) {
        m_sortPending = true;
        return;
    }
    m_sortPending = false;
    applySortChange();
}

void ResultGrid::applySortChange()
{
    if (onSortMarkingChanged)
        onSortMarkingChanged();
    else if (sortLocal)
        requestLocalSort(*this);
    // Every row may have moved: all of them are drawn again at once.
    viewport()->update();
}

void ResultGrid::applyPendingSort()
{
    if (!m_sortPending)
        return;
    // Cleared first: an error of the sort must not leave it pending for the next key release.
    m_sortPending = false;
    applySortChange();
}

void ResultGrid::applyColumnsToView()
{
    m_applyingColumns = true;
    const GridColumns& columns = m_columnState.columns();
    const int count = std::min(int(columns.size()), m_header->count());
    for (int i = 0; i < count; ++i) {
        m_header->resizeSection(i, displayWidth(i));
        setColumnHidden(i, !columns[size_t(i)].visible);
    }
    m_applyingColumns = false;
}

void ResultGrid::modelWasReset()
{
    // A reset rebuilds the header's sections with default sizes and the identity order, which
    // is the collection's order; the widths and visibility come back from the collection.
    applyColumnsToView();
    followQuery();
}

void ResultGrid::columnMoved(int fromVisual, int toVisual)
{
    if (m_applyingColumns)
        return;
    // The header's visual order always equals the collection's order, so the visual indices
    // are collection indices; the model is then rebuilt in the new order. A model reset keeps
    // the header's own visual order, so its move is taken back first: left in place, it would
    // move the column a second time on screen.
    m_columnState.moveColumn(fromVisual, toVisual);
    m_currentColumn = GridColumnState::indexAfterMove(m_currentColumn, fromVisual, toVisual);
    m_applyingColumns = true;
    m_header->moveSection(toVisual, fromVisual);
    m_applyingColumns = false;
    m_model->columnsReset();
    emit columnsChanged();
}

void ResultGrid::columnResized(int column, int newSize)
{
    if (m_applyingColumns || column < 0 || size_t(column) >= m_columnState.columns().size())
        return;
    m_columnState.column(column).width = newSize;
    emit columnsChanged();
}

void ResultGrid::followQuery()
{
    // The query moves its row only when asked to or when it is reset; a move the search asked
    // for is told apart by the searcher itself.
    if (m_searcher)
        m_searcher->rowMoved();
    if (!m_query || !m_query->isActive() || m_query->recNo() < 0
        || m_query->recNo() >= m_model->rowCount()) {
        verticalHeader()->viewport()->update();
        return;
    }
    int column = std::clamp(m_currentColumn, 0, std::max(0, m_model->columnCount() - 1));
    if (isColumnHidden(column))
        column = m_header->logicalIndexAt(0);
    const QModelIndex index = m_model->index(m_query->recNo(), column);
    if (!index.isValid())
        return;
    if (index != currentIndex()) {
        const auto rows = m_options.rowSelect ? QItemSelectionModel::Rows
                                              : QItemSelectionModel::NoUpdate;
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | rows);
    }
    scrollTo(index);
}

void ResultGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (current.isValid()) {
        const bool columnChanged = current.column() != m_currentColumn;
        m_currentColumn = current.column();
        if (columnChanged && m_searcher)
            m_searcher->columnChanged();
        // A row chosen in the grid becomes the query's current row; the query's afterScroll
        // then finds the grid already there.
        if (m_query && m_query->isActive() && current.row() != m_query->recNo())
            m_query->moveTo(current.row());
    }
    verticalHeader()->viewport()->update();
    if (m_options.rowSelect)
        viewport()->update();
}

bool ResultGrid::handleGridKey(QKeyEvent* event)
{
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    const bool open = m_query && m_query->isActive();
    // Reaches the grid only while no window action takes the key (Ctrl+C connects while
    // disconnected).
    if (event->matches(QKeySequence::Copy)) {
        copyCurrentRow();
        return true;
    }
    switch (event->key()) {
    case Qt::Key_F:
        // A grid with the incremental search opens the dialog only from a running search,
        // which has taken Ctrl+F before the grid sees it.
        if (!ctrl)
            return false;
        if (m_behaviourOptions.dialogFind && !m_searcher)
            openFindDialog();
        return true;
    case Qt::Key_End:
        if (!open || !(ctrl || m_options.rowSelect))
            return false;
        m_query->last();
        return true;
    case Qt::Key_Home:
        if (!open || !(ctrl || m_options.rowSelect))
            return false;
        m_query->first();
        return true;
    case Qt::Key_Up:
        // With the filter row shown, Ctrl+Up and an Up at the beginning of data enter it.
        if (FilterRow* row = filterRow(); row && row->isRowVisible() && (ctrl || (open && m_query->bof()))) {
            row->enter();
            return true;
        }
        // Steps go through the query, so a step before the first row or past the last one
        // sets its beginning- or end-of-data state as in any data-aware grid.
        if (!open || ctrl)
            return false;
        m_query->prior();
        return true;
    case Qt::Key_Down:
        if (!open || ctrl)
            return false;
        m_query->next();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (!m_options.rowSelect)
            return false;
        horizontalScrollBar()->triggerAction(event->key() == Qt::Key_Left
                                                 ? QAbstractSlider::SliderSingleStepSub
                                                 : QAbstractSlider::SliderSingleStepAdd);
        return true;
    default:
        return false;
    }
}

bool ResultGrid::handleTypedText(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = enter ? QString(QChar(13)) : event->text();
    const bool typed = std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.isPrint() || c == QChar(13) || c == QChar(8);
    });
    if (!typed)
        return false;
    // A read-only grid has no cell that typing could change, so with the incremental search
    // typing searches there as it does, where searching is preferred, wherever no editor is
    // open.
    const bool searches = m_searcher && (readOnly || m_behaviourOptions.preferIncSearch)
                          && state() != EditingState;
    for (QChar key : text) {
        if (onKeyPress)
            onKeyPress(key);
        if (!key.isNull() && searches)
            m_searcher->characterTyped(key);
    }
    // Otherwise the grid does nothing with typed characters: cells are never edited from the
    // keyboard, and Qt's own keyboard search would move the current row.
    return true;
}

void ResultGrid::keyPressEvent(QKeyEvent* event)
{
    // The screen's hooks run from here; a key whose handling failed counts as handled.
    bool handled = true;
    runGuarded([&] {
        handled = (m_searcher
                   && m_searcher->keyPressed(event->key(), event->modifiers(), m_behaviourOptions.dialogFind))
                  || handleGridKey(event) || handleTypedText(event);
    });
    if (handled) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ResultGrid::moveToCell(int row, int column)
{
    if (column >= 0)
        m_currentColumn = column;
    if (!m_query)
        return;
    m_query->moveTo(row);
    // The row may have been current already while the column changed.
    followQuery();
}

void ResultGrid::closeEditor()
{
    if (QWidget* editor = indexWidget(currentIndex()))
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void ResultGrid::redrawCurrentRow()
{
    const int row = currentIndex().row();
    if (row < 0)
        return;
    viewport()->update(QRect(0, rowViewportPosition(row), viewport()->width(), rowHeight(row)));
    verticalHeader()->viewport()->update();
}

void ResultGrid::openFindDialog()
{
    emit findRequested();
}

void ResultGrid::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Control && !event->isAutoRepeat())
        runGuarded([this] { applyPendingSort(); });
    QTableView::keyReleaseEvent(event);
}

void ResultGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (onDblClick)
        runGuarded(onDblClick);
}

void ResultGrid::contextMenuEvent(QContextMenuEvent* event)
{
    // Only the cells' area offers the menu: a right click on the title or filter row keeps its
    // own meaning there.
    QMenu menu(this);
    QAction* save = menu.addAction(QStringLiteral("Сохранить в CSV…"));
    save->setEnabled(m_query && m_query->isActive());
    connect(save, &QAction::triggered, this, guarded(this, &ResultGrid::saveVisibleRows));
    menu.exec(event->globalPos());
}

void ResultGrid::copyCurrentRow()
{
    if (!m_query || !m_query->isActive() || m_query->recNo() < 0)
        return;
    const GridTable table = gridTable(columns(), *m_query, {m_query->recNo()});
    QGuiApplication::clipboard()->setText(tabSeparatedText(table));
}

void ResultGrid::saveVisibleRows()
{
    QFileDialog dialog(this, QStringLiteral("Сохранить в CSV"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("Файлы CSV (*.csv)"), QStringLiteral("Все файлы (*)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    // The rows are taken once the file is chosen: a refresh may come while the dialog is open.
    if (dialog.exec() != QDialog::Accepted || !m_query || !m_query->isActive())
        return;
    const QString path = dialog.selectedFiles().value(0);
    const QString reason = writeFileWhole(
        path, csvBytes(gridTable(columns(), *m_query, allVisibleRows(*m_query))));
    if (!reason.isEmpty())
        showErrorDisplay(QStringLiteral("Не удалось сохранить файл \"%1\": %2").arg(path, reason));
}

void ResultGrid::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    viewport()->update();
}

void ResultGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
    // Ctrl may be let go where the grid cannot see it: the pending sort is applied now.
    runGuarded([this] { applyPendingSort(); });
}

void ResultGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 3);
        applyColumnsToView();
    }
}

} // namespace velmora
