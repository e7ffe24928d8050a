#include "ProcessTab.h"

#include "AutoRefresh.h"
#include "BlockingTreeView.h"
#include "ColumnLayoutFile.h"
#include "FilterRow.h"
#include "GridSetup.h"
#include "GuardedHandler.h"
#include "IdleSessions.h"
#include "MessageSeam.h"
#include "ProcessDetailWindow.h"
#include "ProcessGridColumns.h"
#include "ProcessMonitor.h"
#include "ProcessRateColumns.h"
#include "ProcessRowColours.h"
#include "Query.h"
#include "RecordingControls.h"
#include "ResultGrid.h"
#include "Snapshot.h"
#include "SortFilterAdapter.h"
#include "TabToolBar.h"

#include <QApplication>
#include <QComboBox>
#include <QAction>
#include <QMenu>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace velmora {

namespace {

GridBehaviourOptions processGridBehaviour()
{
    GridBehaviourOptions behaviour;
    behaviour.autoSortMarking = true;
    behaviour.multiSortMarking = true;
    behaviour.incSearch = true;
    behaviour.preferIncSearch = true;
    return behaviour;
}

} // namespace

ProcessTab::ProcessTab(Connection* connection, QWidget* parent)
    : WindowTab(parent)
    , m_connection(connection)
    , m_monitor(new ProcessMonitor(connection, this))
    , m_tree(std::make_unique<BlockingTreeView>())
    , m_autoRefresh(new AutoRefresh([this] { m_monitor->refresh(); }, this))
{
    auto* toolBar = new TabToolBar(QStringLiteral("processToolBar"), this, Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    m_refreshButton = toolBar->addButton(QStringLiteral("refreshButton"), 4,
                                         style()->standardIcon(QStyle::SP_BrowserReload),
                                         QStringLiteral("Обновить (F5)"));
    toolBar->addSeparator(QStringLiteral("separatorAfterRefresh"), 29, 8);
    m_killButton = toolBar->addButton(QStringLiteral("killButton"), 37,
                                      style()->standardIcon(QStyle::SP_DialogCancelButton),
                                      QStringLiteral("Удалить процесс (Ctrl+Del)"));
    toolBar->addSeparator(QStringLiteral("separatorAfterKill"), 62, 8);
    m_filterValuesButton = toolBar->addButton(QStringLiteral("filterValuesButton"), 70,
                                              style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                              QStringLiteral("Обновить значения фильтров (F3)"));
    toolBar->addSeparator(QStringLiteral("separatorAfterFilterValues"), 95, 8);
    m_treeButton = toolBar->addButton(QStringLiteral("blockingTreeButton"), 103,
                                      style()->standardIcon(QStyle::SP_FileDialogListView),
                                      QStringLiteral("Дерево блокировок (Ctrl+T)"));
    m_treeButton->setCheckable(true);
    m_blockerButton = toolBar->addButton(QStringLiteral("blockerButton"), 128,
                                         style()->standardIcon(QStyle::SP_ArrowUp),
                                         QStringLiteral("К блокирующему процессу (Ctrl+B)"));
    toolBar->addSeparator(QStringLiteral("separatorBeforeRates"), 153, 8);
    m_ratesButton = toolBar->addButton(QStringLiteral("ratesButton"), 161,
                                       style()->standardIcon(QStyle::SP_MediaSeekForward),
                                       QStringLiteral("Скорость роста cpu и physical_io (Ctrl+R)"));
    m_hideIdleButton = toolBar->addButton(QStringLiteral("hideIdleButton"), 186,
                                          style()->standardIcon(QStyle::SP_TitleBarMinButton),
                                          QStringLiteral("Скрыть бездействующие процессы (Ctrl+H)"));
    for (QToolButton* toggle : {m_ratesButton, m_hideIdleButton})
        toggle->setCheckable(true);
    // A click toggles; holding the button down opens its menu.
    auto* hideIdleMenu = new QMenu(m_hideIdleButton);
    m_hideSystemAction = hideIdleMenu->addAction(QStringLiteral("Скрывать системные процессы"));
    m_hideSystemAction->setObjectName(QStringLiteral("hideSystemAction"));
    m_hideSystemAction->setCheckable(true);
    m_hideIdleButton->setMenu(hideIdleMenu);
    m_hideIdleButton->setPopupMode(QToolButton::DelayedPopup);
    addAutoRefreshControls(*toolBar);
    connect(m_refreshButton, &QToolButton::clicked, this, guarded(this, &ProcessTab::refreshClicked));
    connect(m_killButton, &QToolButton::clicked, this, guarded(this, &ProcessTab::killClicked));
    connect(m_filterValuesButton, &QToolButton::clicked, this, guarded(this, &ProcessTab::filterValuesClicked));
    connect(m_treeButton, &QToolButton::clicked, this, guarded([this](bool on) { showBlockingTree(on); }));
    connect(m_blockerButton, &QToolButton::clicked, this, guarded(this, &ProcessTab::blockerKey));

    // The count's field is there from the start in every variant, so that a sort string naming it
    // stays valid whether the tree is shown or not.
    BlockingTreeView::addWaitingField(*m_monitor->source());
    connect(m_monitor, &ProcessMonitor::sourceBound, this, [this](Query* source) {
        BlockingTreeView::addWaitingField(*source);
        if (m_tree->isOn())
            m_tree->show(source);
    });
    m_processGrid = makeGrid(this, {.name = "processGrid",
                                    .source = m_monitor->source(),
                                    .columns = processGridColumns(),
                                    .behaviour = processGridBehaviour(),
                                    .filterRow = true});
    m_rateColumns = new ProcessRateColumns(*m_processGrid, this);
    m_rateColumns->setObjectName(QStringLiteral("rateColumns"));
    m_rateColumns->hooksChanged = [this](Query* list) { hookCalculatedFields(list); };
    m_tree->hooksChanged = [this](Query* list) { hookCalculatedFields(list); };
    serveSource(m_monitor->source());
    connect(m_monitor, &ProcessMonitor::sourceBound, this, [this](Query* source) { serveSource(source); });
    connect(m_monitor, &ProcessMonitor::sourceBound, m_processGrid, &ResultGrid::setDataSource);
    connect(m_ratesButton, &QToolButton::toggled, this, guarded([this](bool on) {
                m_rateColumns->setShown(on);
                // A recording has the read before the snapshot shown: its rates at once.
                if (on)
                    m_recording->showAgain();
            }));
    const auto rearrange = guarded([this] { procSource()->rearrange(); });
    connect(m_hideIdleButton, &QToolButton::toggled, this, rearrange);
    connect(m_hideSystemAction, &QAction::toggled, this, rearrange);
    m_windowActions = {addWindowAction(QStringLiteral("RatesAction"), QKeySequence(Qt::CTRL | Qt::Key_R), m_ratesButton),
                       addWindowAction(QStringLiteral("HideIdleAction"), QKeySequence(Qt::CTRL | Qt::Key_H),
                                       m_hideIdleButton)};
    m_processGrid->onGetCellParams = [this](const GridColumn& column, const RowView& row, QFont& font,
                                            QColor& background, QColor& text) {
        colourProcessCell(column, row, font, background, text);
    };
    m_processGrid->onGetCellText = [this](const GridColumn& column, int row, QString& text) {
        if (column.fieldName == BlockingTreeView::TreeColumn)
            text = m_tree->cellText(row);
    };
    m_processGrid->onKeyPress = [this](QChar& key) { processGridKeyPressed(key); };
    m_processGrid->onDblClick = [this] { openDetailOfCurrentProcess(); };
    m_recording = new RecordingControls(*toolBar, *m_monitor, *m_processGrid, connection);
    connect(m_recording, &RecordingControls::snapshotShown, this,
            guarded([this](const QDateTime& takenAt, const Snapshot* before) {
                // A recording's rates are between the times its snapshots were taken at.
                if (before)
                    m_rateColumns->takeEarlierRead(before->rows, before->fields, before->takenAt.toMSecsSinceEpoch());
                m_rateColumns->takeRead(takenAt.toMSecsSinceEpoch());
            }));
    connect(m_monitor, &ProcessMonitor::sourceBound, this, &ProcessTab::enableTreeButtons);
    onOpenDetail = [this] {
        const int spid = currentSpid();
        if (m_monitor->replaying())
            ProcessDetailWindow::showRecordedFor(window(), spid, m_recording->recordedLocksOf(spid));
        else
            ProcessDetailWindow::showModalFor(window(), m_connection, QString::number(spid));
    };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(m_processGrid, 1);

    setConnectedState(false);
}

ProcessTab::~ProcessTab() = default;

Query* ProcessTab::procSource() const
{
    return m_monitor->source();
}

int ProcessTab::currentSpid() const
{
    return m_monitor->currentSpid().value_or(0);
}

void ProcessTab::loadColumnLayout(const QString& fileName)
{
    LoadColumnLayout(*m_processGrid, fileName);
    if (m_tree->isOn())
        placeTreeColumns(true);
    m_rateColumns->columnsReplaced();
}

void ProcessTab::saveColumnLayout(const QString& fileName) const
{
    // The tree's and the rates' columns are the operator's choice of the moment: the layout file
    // never keeps them.
    SaveColumnLayout(*m_processGrid, fileName, [](const GridColumn& column) {
        return !BlockingTreeView::isTreeColumn(column) && !ProcessRateColumns::isRateColumn(column);
    });
}

QString ProcessTab::caption() const
{
    return QStringLiteral("Процессы");
}

void ProcessTab::setConnectedState(bool connected)
{
    for (QToolButton* button : {m_refreshButton, m_killButton, m_filterValuesButton})
        button->setEnabled(connected);
    m_connected = connected;
    enableTreeButtons();
    m_autoRefresh->setListOpen(connected);
    m_recording->setConnectedState(connected);
}

void ProcessTab::openAfterConnect(ServerFamily family)
{
    m_family = family;
    m_monitor->open(family);
}

void ProcessTab::closeAtDisconnect()
{
    m_monitor->close();
    m_rateColumns->clear();
    m_processGrid->filterRow()->setRowVisible(false);
}

void ProcessTab::refreshKey()
{
    refreshClicked();
}

void ProcessTab::deleteKey()
{
    killClicked();
}

void ProcessTab::filterValuesKey()
{
    filterValuesClicked();
}

void ProcessTab::blockingTreeKey()
{
    // The key does what the button would, and only when it could.
    if (m_treeButton->isEnabled())
        showBlockingTree(!m_tree->isOn());
}

bool ProcessTab::isBlockingTreeShown() const
{
    return m_tree->isOn();
}

void ProcessTab::enableTreeButtons()
{
    // The tree needs no server: a recording's snapshots have one as well.
    for (QToolButton* button : {m_treeButton, m_blockerButton})
        button->setEnabled(m_connected || m_monitor->replaying());
}

void ProcessTab::showBlockingTree(bool on)
{
    m_treeButton->setChecked(on);
    if (on == m_tree->isOn())
        return;
    const bool sortedByCount = placeTreeColumns(on);
    m_tree->show(on ? procSource() : nullptr);
    // A sort by the count goes with its column: the order falls back to the marks that remain.
    if (sortedByCount)
        requestLocalSort(*m_processGrid);
    m_processGrid->viewport()->update();
}

bool ProcessTab::placeTreeColumns(bool on)
{
    const GridColumns& shown = m_processGrid->columns();
    const int current = m_processGrid->currentColumn();
    const QString currentField = current >= 0 && size_t(current) < shown.size() ? shown[size_t(current)].fieldName
                                                                                 : QString();
    GridColumns columns = on ? BlockingTreeView::columns() : GridColumns();
    bool sortedByTreeColumn = false;
    for (const GridColumn& column : shown) {
        if (BlockingTreeView::isTreeColumn(column))
            sortedByTreeColumn = sortedByTreeColumn || column.sortMarker != SortMarker::None;
        else
            columns.push_back(column);
    }
    m_processGrid->setColumns(std::move(columns));
    // The operator's column stays current, so that typing goes on searching it.
    const int column = m_processGrid->columnIndex(currentField);
    if (column >= 0)
        m_processGrid->moveToCell(procSource()->isActive() ? procSource()->recNo() : -1, column);
    return sortedByTreeColumn;
}

void ProcessTab::blockerKey()
{
    Query* list = procSource();
    if (!list->isActive() || list->recNo() < 0)
        return;
    const int spid = list->value(QStringLiteral("spid")).toInt();
    const int blocker = list->value(QStringLiteral("blocked")).toInt();
    if (blocker == 0 || blocker == spid)
        return;
    if (!list->locate(QStringLiteral("spid"), blocker))
        QApplication::beep();
}

void ProcessTab::refreshClicked()
{
    m_autoRefresh->refreshNow();
}

void ProcessTab::setAutoRefreshInterval(int seconds)
{
    const auto offered = AutoRefresh::intervals();
    const auto chosen = std::ranges::find(offered, seconds);
    m_intervalBox->setCurrentIndex(chosen == offered.end() ? 0 : int(chosen - offered.begin()));
    m_autoRefresh->setInterval(seconds);
}

void ProcessTab::pauseKey()
{
    m_autoRefresh->togglePause();
}

void ProcessTab::addAutoRefreshControls(TabToolBar& bar)
{
    bar.addSeparator(QStringLiteral("separatorBeforeAutoRefresh"), 211, 8);
    m_intervalBox = new QComboBox(&bar);
    m_intervalBox->setObjectName(QStringLiteral("refreshIntervalBox"));
    m_intervalBox->setToolTip(QStringLiteral("Интервал автообновления"));
    // Like the tool bar's buttons it leaves the focus in the grid.
    m_intervalBox->setFocusPolicy(Qt::NoFocus);
    for (int seconds : AutoRefresh::intervals())
        m_intervalBox->addItem(seconds == 0 ? QStringLiteral("Выкл") : QStringLiteral("%1 с").arg(seconds));
    constexpr int BoxWidth = 60;
    const int boxHeight = TabToolBar::buttonSize - 4;
    m_intervalBox->setGeometry(219, (TabToolBar::barHeight - boxHeight) / 2, BoxWidth, boxHeight);
    m_pauseButton = bar.addButton(QStringLiteral("pauseButton"), 219 + BoxWidth + 4,
                                  style()->standardIcon(QStyle::SP_MediaPause),
                                  QStringLiteral("Пауза автообновления (F9)"));
    m_pauseButton->setCheckable(true);
    m_pauseButton->setEnabled(false);

    m_autoRefresh->mayStart = [this] { return windowIdle(); };
    connect(m_intervalBox, &QComboBox::activated, this, [this](int index) {
        const int seconds = AutoRefresh::intervals()[size_t(index)];
        m_autoRefresh->setInterval(seconds);
        emit autoRefreshIntervalChosen(seconds);
    });
    connect(m_pauseButton, &QToolButton::clicked, m_autoRefresh, &AutoRefresh::setPaused);
    connect(m_autoRefresh, &AutoRefresh::pausedChanged, m_pauseButton, &QToolButton::setChecked);
    connect(m_autoRefresh, &AutoRefresh::statusChanged, m_pauseButton,
            [this] { m_pauseButton->setEnabled(m_autoRefresh->interval() != 0); });
}

bool ProcessTab::windowIdle() const
{
    // Another program being active does not count: the list is watched from the side. A
    // running incremental search would lose its place to a refresh.
    const QWidget* active = QApplication::activeWindow();
    return (!active || active == window()) && !QApplication::activeModalWidget() && !QApplication::activePopupWidget()
           && m_processGrid->filterRow()->editedColumn() < 0 && !m_processGrid->isIncSearching();
}

void ProcessTab::killClicked()
{
    // Without a current row there is no process to name: the question would end in "процесс ?"
    // and the statement in "Kill " alone.
    const std::optional<int> spid = m_monitor->currentSpid();
    if (!spid)
        return;

    MessageRequest question;
    question.caption = QStringLiteral("Confirm");
    question.text = QStringLiteral("Вы действительно хотите удалить процесс ") + QString::number(*spid)
                    + QLatin1Char('?');
    question.icon = QMessageBox::Question;
    question.buttons = QMessageBox::Yes | QMessageBox::No;
    question.defaultButton = QMessageBox::Yes;
    question.escapeButton = QMessageBox::No;
    question.centredOnScreen = true;
    if (showMessage(question) == QMessageBox::Yes)
        m_monitor->kill(*spid);
}

void ProcessTab::filterValuesClicked()
{
    FilterRow& row = *m_processGrid->filterRow();
    // Hiding closes an open filter editor, storing its text; the row is shown in any case.
    row.setRowVisible(false);
    row.setRowVisible(true);
    if (!m_monitor->rebuildValueLists(*m_processGrid))
        return;
    // F3 on another tab leaves the focus where the operator has it.
    if (m_processGrid->isVisible())
        m_processGrid->setFocus(Qt::OtherFocusReason);
    m_processGrid->viewport()->update();
    row.viewport()->update();
}

void ProcessTab::colourProcessCell(const GridColumn&, const RowView& row, QFont&, QColor& background,
                                   QColor& text)
{
    background = processRowBackground(row);
    // Row backgrounds are pale whatever the desktop theme, so the text on them is always black.
    text = Qt::black;
}

void ProcessTab::processGridKeyPressed(QChar& key)
{
    if (key != QChar(u'\r'))
        return;
    key = QChar();
    openDetailOfCurrentProcess();
}

QAction* ProcessTab::addWindowAction(const QString& name, const QKeySequence& key, QToolButton* button)
{
    auto* action = new QAction(this);
    action->setObjectName(name);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, button] {
        if (isVisible())
            button->toggle();
    });
    return action;
}

void ProcessTab::serveSource(Query* source)
{
    m_rateColumns->attach(source);
    source->arrangeView = [this](std::vector<int>& view, const std::vector<Row>& rows) { arrangeRows(view, rows); };
}

void ProcessTab::hookCalculatedFields(Query* list)
{
    // The tree's count and the rates share the list's two hooks; with neither, the list has none.
    const bool tree = m_tree->list() == list;
    const bool rates = m_rateColumns->isShown() && m_rateColumns->list() == list;
    if (!tree && !rates) {
        list->beforeCalcFields = nullptr;
        list->onCalcFields = nullptr;
        return;
    }
    list->beforeCalcFields = [this, tree, rates](Query& query) {
        if (tree)
            m_tree->countWaiting(query);
        if (rates)
            m_rateColumns->beforeCalcFields(query);
    };
    list->onCalcFields = [this, tree, rates](Query& query) {
        if (tree)
            m_tree->setWaiting(query);
        if (rates)
            m_rateColumns->calcFields(query);
    };
}

void ProcessTab::arrangeRows(std::vector<int>& view, const std::vector<Row>& rows)
{
    if (m_hideIdleButton->isChecked())
        hideIdleSessions(view, rows, procSource()->fields(), {m_family, m_hideSystemAction->isChecked()});
    if (m_tree->list() == procSource())
        m_tree->arrange(view, rows);
}

void ProcessTab::openDetailOfCurrentProcess()
{
    const Query* list = procSource();
    if (!list->isActive() || list->recordCount() == 0)
        return;
    onOpenDetail();
}

} // namespace velmora
