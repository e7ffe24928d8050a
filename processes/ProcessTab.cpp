#include "ProcessTab.h"

#include "ColumnLayoutFile.h"
#include "FilterRow.h"
#include "GridSetup.h"
#include "GuardedHandler.h"
#include "MessageSeam.h"
#include "ProcessDetailWindow.h"
#include "ProcessGridColumns.h"
#include "ProcessMonitor.h"
#include "ProcessRowColours.h"
#include "Query.h"
#include "RecordingControls.h"
#include "ResultGrid.h"
#include "TabToolBar.h"

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
    connect(m_refreshButton, &QToolButton::clicked, this, guarded(this, &ProcessTab::refreshClicked));
    connect(m_killButton, &QToolButton::clicked, this, guarded(this, &ProcessTab::killClicked));
    connect(m_filterValuesButton, &QToolButton::clicked, this, guarded(this, &ProcessTab::filterValuesClicked));

    m_processGrid = makeGrid(this, {.name = "processGrid",
                                    .source = m_monitor->source(),
                                    .columns = processGridColumns(),
                                    .behaviour = processGridBehaviour(),
                                    .filterRow = true});
    connect(m_monitor, &ProcessMonitor::sourceBound, m_processGrid, &ResultGrid::setDataSource);
    m_processGrid->onGetCellParams = [this](const GridColumn& column, const RowView& row, QFont& font,
                                            QColor& background, QColor& text) {
        colourProcessCell(column, row, font, background, text);
    };
    m_processGrid->onKeyPress = [this](QChar& key) { processGridKeyPressed(key); };
    m_processGrid->onDblClick = [this] { openDetailOfCurrentProcess(); };
    m_recording = new RecordingControls(*toolBar, *m_monitor, *m_processGrid, connection);
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
}

void ProcessTab::saveColumnLayout(const QString& fileName) const
{
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
    m_recording->setConnectedState(connected);
}

void ProcessTab::openAfterConnect(ServerFamily family)
{
    m_monitor->open(family);
}

void ProcessTab::closeAtDisconnect()
{
    m_monitor->close();
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

void ProcessTab::openDetailOfCurrentProcess()
{
    const Query* list = procSource();
    // A replayed list has no server to ask for the locks.
    if (!list->isActive() || list->recordCount() == 0 || m_monitor->replaying())
        return;
    onOpenDetail();
}

} // namespace velmora
