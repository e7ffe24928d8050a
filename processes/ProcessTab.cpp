#include "ProcessTab.h"

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
#include "ResultGrid.h"
#include "TabToolBar.h"

#include <QAction>
#include <QMenu>
#include <QScopeGuard>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

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
    connect(m_refreshButton, &QToolButton::clicked, this, guarded(this, &ProcessTab::refreshClicked));
    connect(m_killButton, &QToolButton::clicked, this, guarded(this, &ProcessTab::killClicked));
    connect(m_filterValuesButton, &QToolButton::clicked, this, guarded(this, &ProcessTab::filterValuesClicked));

    m_processGrid = makeGrid(this, {.name = "processGrid",
                                    .source = m_monitor->source(),
                                    .columns = processGridColumns(),
                                    .behaviour = processGridBehaviour(),
                                    .filterRow = true});
    m_rateColumns = new ProcessRateColumns(*m_processGrid, this);
    m_rateColumns->setObjectName(QStringLiteral("rateColumns"));
    serveSource(m_monitor->source());
    connect(m_monitor, &ProcessMonitor::sourceBound, this, [this](Query* source) { serveSource(source); });
    connect(m_monitor, &ProcessMonitor::sourceBound, m_processGrid, &ResultGrid::setDataSource);
    connect(m_ratesButton, &QToolButton::toggled, this,
            guarded([this](bool on) { m_rateColumns->setShown(on); }));
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
    m_processGrid->onKeyPress = [this](QChar& key) { processGridKeyPressed(key); };
    m_processGrid->onDblClick = [this] { openDetailOfCurrentProcess(); };
    onOpenDetail = [this] {
        ProcessDetailWindow::showModalFor(window(), m_connection, QString::number(currentSpid()));
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
    m_rateColumns->columnsReplaced();
}

void ProcessTab::saveColumnLayout(const QString& fileName) const
{
    if (!m_rateColumns->isShown())
        return SaveColumnLayout(*m_processGrid, fileName);
    // The rate columns are the operator's choice of the moment, never part of the saved layout.
    const GridColumns shown = m_processGrid->columns();
    auto restore = qScopeGuard([&] { m_processGrid->setColumns(shown); });
    m_processGrid->setColumns(ProcessRateColumns::withoutRateColumns(shown));
    SaveColumnLayout(*m_processGrid, fileName);
}

QString ProcessTab::caption() const
{
    return QStringLiteral("Процессы");
}

void ProcessTab::setConnectedState(bool connected)
{
    for (QToolButton* button : {m_refreshButton, m_killButton, m_filterValuesButton})
        button->setEnabled(connected);
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

void ProcessTab::refreshClicked()
{
    m_monitor->refresh();
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

void ProcessTab::arrangeRows(std::vector<int>& view, const std::vector<Row>& rows)
{
    if (m_hideIdleButton->isChecked())
        hideIdleSessions(view, rows, procSource()->fields(), {m_family, m_hideSystemAction->isChecked()});
}

void ProcessTab::openDetailOfCurrentProcess()
{
    const Query* list = procSource();
    if (!list->isActive() || list->recordCount() == 0)
        return;
    onOpenDetail();
}

} // namespace velmora
