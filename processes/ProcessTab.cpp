#include "ProcessTab.h"

#include "Connection.h"
#include "FilterRow.h"
#include "FilterValueLists.h"
#include "GuardedHandler.h"
#include "MessageSeam.h"
#include "ProcessGridColumns.h"
#include "ProcessQueries.h"
#include "ProcessRowColours.h"
#include "Query.h"
#include "ResultGrid.h"
#include "TabToolBar.h"
#include "TahomaFont.h"
#include "ProcessDetailWindow.h"

#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmora {

ProcessTab::ProcessTab(Connection* connection, QWidget* parent)
    : WindowTab(parent)
    , m_connection(connection)
    , m_valueLists(std::make_unique<FilterValueLists>())
{
    ProcQuery = new Query(this);
    ProcQuery->setObjectName(QStringLiteral("ProcQuery"));
    ProcQuery2 = new Query(this);
    ProcQuery2->setObjectName(QStringLiteral("ProcQuery2"));
    ProcQuery2005 = new Query(this);
    ProcQuery2005->setObjectName(QStringLiteral("ProcQuery2005"));
    for (auto [query, family] : {std::pair{ProcQuery, ServerFamily::Sql70}, std::pair{ProcQuery2, ServerFamily::Sql2000},
                                 std::pair{ProcQuery2005, ServerFamily::Sql2005AndLater}}) {
        query->setConnection(connection);
        setUpProcessQuery(*query, family);
    }

    RzToolbar1 = new TabToolBar(QStringLiteral("RzToolbar1"), this,
                                Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    BtnMoveLeft = RzToolbar1->addButton(QStringLiteral("BtnMoveLeft"), 4,
                                        style()->standardIcon(QStyle::SP_BrowserReload),
                                        QStringLiteral("Обновить (F5)"));
    RzToolbar1->addSeparator(QStringLiteral("RzSpacer"), 29, 8);
    BtnReject = RzToolbar1->addButton(QStringLiteral("BtnReject"), 37,
                                      style()->standardIcon(QStyle::SP_DialogCancelButton),
                                      QStringLiteral("Удалить процесс (Ctrl+Del)"));
    RzToolbar1->addSeparator(QStringLiteral("RzSpacer7"), 62, 8);
    View = RzToolbar1->addButton(QStringLiteral("View"), 70,
                                 style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                 QStringLiteral("Обновить значения фильтров (F3)"));
    connect(BtnMoveLeft, &QToolButton::clicked, this, guarded(this, &ProcessTab::BtnMoveLeftClick));
    connect(BtnReject, &QToolButton::clicked, this, guarded(this, &ProcessTab::BtnRejectClick));
    connect(View, &QToolButton::clicked, this, guarded(this, &ProcessTab::ViewClick));

    DBGridEh1 = new ResultGrid(this);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    DBGridEh1->setFonts(tahomaFont(8));
    DBGridEh1->setTitleHeader(new FilterRow(*DBGridEh1));
    GridOptions options;
    options.editing = false;
    options.rowSelect = true;
    DBGridEh1->setOptions(options);
    GridBehaviourOptions behaviourOptions;
    behaviourOptions.autoSortMarking = true;
    behaviourOptions.multiSortMarking = true;
    behaviourOptions.incSearch = true;
    behaviourOptions.preferIncSearch = true;
    DBGridEh1->setBehaviourOptions(behaviourOptions);
    DBGridEh1->sortLocal = true;
    DBGridEh1->setColumns(processGridColumns());
    DBGridEh1->setDataSource(procSource());
    DBGridEh1->onGetCellParams = [this](const GridColumn& column, const RowView& row, QFont& font,
                                        QColor& background, QColor& text) {
        DBGridEh1GetCellParams(column, row, font, background, text);
    };
    DBGridEh1->onKeyPress = [this](QChar& key) { DBGridEh1KeyPress(key); };
    DBGridEh1->onDblClick = [this] { DBGridEh1DblClick(); };
    onOpenDetail = [this] {
        ProcessDetailWindow::showModalFor(window(), m_connection, QString::number(currentSpid()));
    };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(RzToolbar1);
    layout->addWidget(DBGridEh1, 1);

    setConnectedState(false);
}

ProcessTab::~ProcessTab() = default;

Query* ProcessTab::procSource() const
{
    switch (m_family) {
    case ServerFamily::Sql70: return ProcQuery;
    case ServerFamily::Sql2000: return ProcQuery2;
    case ServerFamily::Sql2005AndLater: return ProcQuery2005;
    }
    return ProcQuery;
}

void ProcessTab::bindAndOpen(ServerFamily family)
{
    m_family = family;
    m_sortOfFailedRefresh.clear();
    DBGridEh1->setDataSource(procSource());
    procSource()->open();
}

std::optional<int> ProcessTab::currentRowSpid() const
{
    const Query* query = procSource();
    if (!query->isActive() || query->recNo() < 0)
        return std::nullopt;
    return query->value(QStringLiteral("spid")).toInt();
}

int ProcessTab::currentSpid() const
{
    return currentRowSpid().value_or(0);
}

QString ProcessTab::caption() const
{
    return QStringLiteral("Процессы");
}

void ProcessTab::setConnectedState(bool connected)
{
    for (QToolButton* button : {BtnMoveLeft, BtnReject, View})
        button->setEnabled(connected);
}

void ProcessTab::openAfterConnect(ServerFamily family)
{
    bindAndOpen(family);
}

void ProcessTab::closeAtDisconnect()
{
    closeQueries();
    hideFilterRow();
}

void ProcessTab::refreshKey()
{
    BtnMoveLeftClick();
}

void ProcessTab::deleteKey()
{
    BtnRejectClick();
}

void ProcessTab::filterValuesKey()
{
    ViewClick();
}

void ProcessTab::closeQueries()
{
    ProcQuery->close();
    ProcQuery2->close();
    ProcQuery2005->close();
}

void ProcessTab::hideFilterRow()
{
    DBGridEh1->filterRow()->setRowVisible(false);
}

void ProcessTab::BtnMoveLeftClick()
{
    const int spid = currentSpid();
    Query* query = procSource();
    // Closing a result set discards its sort string. When the last reopening failed, the sort
    // marks still show the operator's order, so the order taken before that failure applies.
    const QString sort = query->isActive() ? query->sort() : m_sortOfFailedRefresh;
    m_sortOfFailedRefresh = sort;
    query->close();
    query->open();
    m_sortOfFailedRefresh.clear();
    query->setSort(sort);
    // A process that has ended is simply not found: the position stays where the reopening
    // and re-sorting left it.
    query->locate(QStringLiteral("spid"), spid);
}

void ProcessTab::BtnRejectClick()
{
    // Without a current row there is no process to name: the question would end in "процесс ?"
    // and the statement in "Kill " alone.
    const std::optional<int> spid = currentRowSpid();
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
    if (showMessage(question) != QMessageBox::Yes)
        return;

    // The number is the digits of an integer read from the row, so it cannot carry anything
    // but a process number into the statement.
    m_connection->executeNoRows(QStringLiteral("Kill ") + QString::number(*spid));
    BtnMoveLeftClick();
}

void ProcessTab::ViewClick()
{
    FilterRow& row = *DBGridEh1->filterRow();
    // Hiding closes an open filter editor, storing its text; the row is shown in any case.
    row.setRowVisible(false);
    row.setRowVisible(true);
    m_valueLists->release(*DBGridEh1);
    row.ApplyFilter();
    Query& list = *procSource();
    m_valueLists->make(*DBGridEh1, list, m_connection);
    if (!list.isActive())
        return;
    m_valueLists->fill(*DBGridEh1, list);
    // F3 on another tab leaves the focus where the operator has it.
    if (DBGridEh1->isVisible())
        DBGridEh1->setFocus(Qt::OtherFocusReason);
    DBGridEh1->viewport()->update();
    row.viewport()->update();
}

void ProcessTab::DBGridEh1GetCellParams(const GridColumn&, const RowView& row, QFont&,
                                        QColor& background, QColor& text)
{
    background = processRowBackground(row);
    // Row backgrounds are pale whatever the desktop theme, so the text on them is always black.
    text = Qt::black;
}

void ProcessTab::DBGridEh1KeyPress(QChar& key)
{
    if (key != QChar(u'\r'))
        return;
    key = QChar();
    DBGridEh1DblClick();
}

void ProcessTab::DBGridEh1DblClick()
{
    const Query* list = procSource();
    if (!list->isActive() || list->recordCount() == 0)
        return;
    onOpenDetail();
}

} // namespace velmora
