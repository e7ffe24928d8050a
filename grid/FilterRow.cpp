#include "FilterRow.h"

#include "FilterCondition.h"
#include "FilterEditor.h"
#include "FilterRowKeys.h"
#include "GuardedHandler.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SortFilterAdapter.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <utility>
#include <qdrawutil.h>

namespace velmora {

namespace {

const QColor filterTextColour(0, 0, 255);

// The expression type of a column's condition, from the kind of the field it filters.
FilterExpressionType conditionType(const ResultGrid& grid, int column)
{
    const GridColumn& gridColumn = grid.columns()[size_t(column)];
    const Query* query = grid.dataSource();
    if (!query)
        return FilterExpressionType::Text;
    const int field = query->fieldIndex(gridColumn.filter.dataField.isEmpty()
                                            ? gridColumn.fieldName
                                            : gridColumn.filter.dataField);
    return field < 0 ? FilterExpressionType::Text
                     : filterExpressionType(query->fields()[size_t(field)].kind);
}

int lightened(int component)
{
    return std::min(255, component + component / 8);
}

} // namespace

FilterRow::FilterRow(ResultGrid& grid) : GridHeader(grid), m_grid(grid)
{
    m_editor = new FilterEditor(viewport());
    m_editor->hide();
    // The combo box is the focus widget: its keys and focus changes are watched there.
    m_editor->installEventFilter(this);
    // Applied later: applying reopens the editor and refills its list, which the combo box must
    // not see while it is still telling of the choice. The choice belongs to the cell it was
    // made in, and is dropped when the editor has left that cell meanwhile.
    connect(m_editor, &FilterEditor::picked, this, [this](const QString& entry) {
        QMetaObject::invokeMethod(
            this, guarded([this, entry, column = m_edited] {
                if (m_edited < 0 || m_edited != column)
                    return;
                m_picked = entry;
                m_editor->setEditText(entry);
                ApplyFilter();
            }),
            Qt::QueuedConnection);
    });
    connect(this, &QHeaderView::sectionResized, this, &FilterRow::placeEditor);
    connect(this, &QHeaderView::sectionMoved, this, &FilterRow::placeEditor);
    connect(this, &QHeaderView::geometriesChanged, this, &FilterRow::placeEditor);
}

void FilterRow::setRowVisible(bool visible)
{
    if (!visible)
        closeEditor();
    m_visible = visible;
    updateGeometry();
    // The grid lays out its title row and data area again for the new height.
    m_grid.doItemsLayout();
    viewport()->update();
}

int FilterRow::rowHeight() const
{
    return QFontMetrics(m_grid.font()).height() + 6;
}

QColor FilterRow::cellColour() const
{
    const QColor fixed = palette().color(QPalette::Button);
    return QColor(lightened(fixed.red()), lightened(fixed.green()), lightened(fixed.blue()));
}

QSize FilterRow::sizeHint() const
{
    QSize size = GridHeader::sizeHint();
    if (m_visible)
        size.rheight() += rowHeight();
    return size;
}

std::vector<bool> FilterRow::filterCells() const
{
    const GridColumns& columns = m_grid.columns();
    std::vector<bool> cells(columns.size());
    for (size_t i = 0; i < columns.size(); ++i)
        cells[i] = m_visible && columns[i].visible && int(i) < count() && !isSectionHidden(int(i));
    return cells;
}

QRect FilterRow::cellRect(int column) const
{
    const int height = rowHeight();
    return QRect(sectionViewportPosition(column), viewport()->height() - height,
                 sectionSize(column), height);
}

int FilterRow::filterCellAt(const QPoint& point) const
{
    if (!m_visible || point.y() < viewport()->height() - rowHeight())
        return -1;
    const int column = logicalIndexAt(point.x());
    const std::vector<bool> cells = filterCells();
    return column >= 0 && size_t(column) < cells.size() && cells[size_t(column)] ? column : -1;
}

void FilterRow::editCell(int column)
{
    if (m_edited >= 0 && m_edited != column)
        closeEditor();
    const std::vector<bool> cells = filterCells();
    if (column < 0 || size_t(column) >= cells.size() || !cells[size_t(column)])
        return;
    // A cell out of view is scrolled in first, so the editor has a place.
    if (const int rows = m_grid.model()->rowCount(); rows > 0) {
        const int row = std::clamp(m_grid.currentIndex().row(), 0, rows - 1);
        m_grid.scrollTo(m_grid.model()->index(row, column));
    }
    const ColumnFilter& filter = m_grid.columns()[size_t(column)].filter;
    m_edited = column;
    m_lastEdited = column;
    m_editor->setColours(cellColour(), filterTextColour);
    m_editor->reset(filter.valueList.value_or(QStringList()), filter.text);
    placeEditor();
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
}

void FilterRow::placeEditor()
{
    if (m_edited >= 0 && m_edited < count())
        m_editor->setGeometry(cellRect(m_edited));
}

void FilterRow::enter()
{
    const std::vector<bool> cells = filterCells();
    std::vector<bool> inView(cells.size());
    for (size_t i = 0; i < cells.size(); ++i) {
        const int left = sectionViewportPosition(int(i));
        inView[i] = left < viewport()->width() && left + sectionSize(int(i)) > 0;
    }
    editCell(filterEditorEntryColumn(cells, inView, m_grid.options().rowSelect, m_lastEdited,
                                     m_grid.currentColumn()));
}

void FilterRow::closeEditor()
{
    if (m_edited < 0)
        return;
    const int column = m_edited;
    m_edited = -1;
    const QString text = m_editor->currentText();
    const std::optional<QString> picked = std::exchange(m_picked, std::nullopt);
    m_editor->hide();
    viewport()->update();
    if (size_t(column) >= m_grid.columns().size())
        return;
    runGuarded([&] {
        // A picked value stays that one value while its text stands unchanged in the cell.
        ColumnFilter& filter = m_grid.column(column).filter;
        const FilterExpressionType type = conditionType(m_grid, column);
        if (picked == text || (text == filter.text && isPickedValue(filter.condition, text, type)))
            storePickedValue(filter, text, type);
        else
            storeFilterText(filter, text, type);
    });
}

void FilterRow::clearCondition(int column)
{
    ColumnFilter& filter = m_grid.column(column).filter;
    filter.text.clear();
    filter.condition = ColumnCondition();
    if (column == m_edited)
        m_editor->setEditText(QString());
    viewport()->update();
}

void FilterRow::ApplyFilter()
{
    const int column = m_edited;
    closeEditor();
    // The filter resets the grid's rows; the columns in view are kept as they were.
    const int scrolled = m_grid.horizontalScrollBar()->value();
    runGuarded([this] { requestLocalFilter(m_grid); });
    m_grid.horizontalScrollBar()->setValue(scrolled);
    if (column >= 0)
        editCell(column);
    m_grid.viewport()->update();
    viewport()->update();
}

void FilterRow::leaveRow(bool toTop)
{
    const int column = m_edited;
    closeEditor();
    m_grid.setFocus(Qt::OtherFocusReason);
    const Query* query = m_grid.dataSource();
    if (!query || !query->isActive() || query->recordCount() == 0)
        return;
    const int row = toTop ? std::max(0, m_grid.rowAt(0)) : std::max(0, query->recNo());
    m_grid.moveToCell(row, column);
}

bool FilterRow::editorKey(int key, Qt::KeyboardModifiers modifiers)
{
    const QLineEdit& line = *m_editor->lineEdit();
    FilterEditorCaret caret;
    caret.position = line.cursorPosition();
    caret.length = int(line.text().size());
    caret.selectedLength = int(line.selectedText().size());
    const Query* query = m_grid.dataSource();
    const FilterEditorAction action = filterEditorAction(
        key, modifiers, caret, m_grid.options().tabs, query && query->isActive());
    const std::vector<bool> cells = filterCells();
    const auto moveTo = [this](int column) {
        if (column >= 0)
            editCell(column);
    };
    switch (action) {
    case FilterEditorAction::PassOn:
        return false;
    case FilterEditorAction::Nothing:
        break;
    case FilterEditorAction::ApplyFilter:
        ApplyFilter();
        break;
    case FilterEditorAction::NextCell:
        moveTo(nextFilterCell(cells, m_edited));
        break;
    case FilterEditorAction::PreviousCell:
        moveTo(previousFilterCell(cells, m_edited));
        break;
    case FilterEditorAction::FirstCell:
        moveTo(firstFilterCell(cells));
        break;
    case FilterEditorAction::LastCell:
        moveTo(lastFilterCell(cells));
        break;
    case FilterEditorAction::LeaveRow:
        leaveRow(false);
        break;
    case FilterEditorAction::LeaveRowToTop:
        leaveRow(true);
        break;
    case FilterEditorAction::CaretToEnd:
        m_editor->lineEdit()->deselect();
        m_editor->lineEdit()->end(false);
        break;
    }
    return true;
}

bool FilterRow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_editor || m_edited < 0)
        return GridHeader::eventFilter(watched, event);
    // While the list is dropped down every key belongs to it.
    if (event->type() == QEvent::KeyPress && !m_editor->isListOpen()) {
        auto* key = static_cast<QKeyEvent*>(event);
        bool taken = true;
        runGuarded([&] { taken = editorKey(key->key(), key->modifiers()); });
        return taken || m_editor->passKeyOn(key);
    }
    // The editor stays open while its own list is dropped down and while another window is
    // active: the focus comes back to it.
    if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason
            && !m_editor->isListOpen())
            closeEditor();
    }
    return GridHeader::eventFilter(watched, event);
}

void FilterRow::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!m_visible) {
        GridHeader::paintSection(painter, rect, logicalIndex);
        return;
    }
    const QRect title = rect.adjusted(0, 0, 0, -rowHeight());
    GridHeader::paintSection(painter, title, logicalIndex);
    const GridColumns& columns = m_grid.columns();
    if (logicalIndex < 0 || size_t(logicalIndex) >= columns.size()
        || !columns[size_t(logicalIndex)].visible)
        return;
    const ColumnFilter& filter = columns[size_t(logicalIndex)].filter;
    const QRect cell(rect.left(), title.bottom() + 1, rect.width(), rowHeight());
    painter->save();
    painter->fillRect(cell, cellColour());
    painter->setPen(palette().color(QPalette::Dark));
    painter->drawLine(cell.topRight(), cell.bottomRight());
    painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    QRect textArea = cell.adjusted(2, 0, -2, -1);
    if (filter.valueList) {
        // The drop-down button at the right end of a cell that has a value list.
        const int side = cell.height() - 2;
        const QRect button(cell.right() - side, cell.top() + 1, side, side);
        painter->fillRect(button, palette().color(QPalette::Button));
        qDrawShadePanel(painter, button, palette(), false, 1);
        const QPoint centre = button.center();
        const QPoint arrow[] = {{centre.x() - 3, centre.y() - 1}, {centre.x() + 3, centre.y() - 1},
                                {centre.x(), centre.y() + 2}};
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette().color(QPalette::ButtonText));
        painter->drawPolygon(arrow, 3);
        textArea.setRight(button.left() - 2);
    }
    painter->setClipRect(textArea);
    painter->setFont(m_grid.font());
    painter->setPen(filterTextColour);
    painter->drawText(textArea, int(Qt::AlignLeft | Qt::AlignVCenter), filter.text);
    painter->restore();
}

void FilterRow::mousePressEvent(QMouseEvent* event)
{
    const int column = filterCellAt(event->position().toPoint());
    if (column < 0 || (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)) {
        GridHeader::mousePressEvent(event);
        return;
    }
    event->accept();
    runGuarded([&] { editCell(column); });
}

void FilterRow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (filterCellAt(event->position().toPoint()) >= 0) {
        event->accept();
        return;
    }
    GridHeader::mouseDoubleClickEvent(event);
}

} // namespace velmora
