#include "ProcessTab.h"

#include "Connection.h"
#include "MessageSeam.h"
#include "ProcessGridColumns.h"
#include "ProcessQueries.h"
#include "ProcessRowColours.h"
#include "Query.h"
#include "ResultGrid.h"

#include <QFrame>
#include <QHeaderView>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

constexpr int toolBarHeight = 29;
constexpr int buttonSize = 25;

QToolButton* makeToolButton(QWidget* bar, const QString& name, int left, const QIcon& icon,
                            const QString& hint)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setGeometry(left, (toolBarHeight - buttonSize) / 2, buttonSize, buttonSize);
    button->setAutoRaise(true);
    button->setIcon(icon);   // QIcon derives the disabled look from the picture
    button->setToolTip(hint);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void makeSeparator(QWidget* bar, const QString& name, int left)
{
    auto* separator = new QFrame(bar);
    separator->setObjectName(name);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setGeometry(left, 2, 8, toolBarHeight - 4);
}

} // namespace

ProcessTab::ProcessTab(Connection* connection, QWidget* parent)
    : QWidget(parent)
    , m_connection(connection)
{
    ProcQuery = new Query(this);
    ProcQuery->setObjectName(QStringLiteral("ProcQuery"));
    ProcQuery2 = new Query(this);
    ProcQuery2->setObjectName(QStringLiteral("ProcQuery2"));
    for (auto [query, server2000] : {std::pair{ProcQuery, false}, std::pair{ProcQuery2, true}}) {
        query->setConnection(connection);
        setUpProcessQuery(*query, server2000);
    }

    auto* toolBar = new QFrame(this);
    toolBar->setObjectName(QStringLiteral("RzToolbar1"));
    toolBar->setFixedHeight(toolBarHeight);
    BtnMoveLeft = makeToolButton(toolBar, QStringLiteral("BtnMoveLeft"), 4,
                                 style()->standardIcon(QStyle::SP_BrowserReload),
                                 QStringLiteral("Обновить (F5)"));
    makeSeparator(toolBar, QStringLiteral("RzSpacer"), 29);
    BtnReject = makeToolButton(toolBar, QStringLiteral("BtnReject"), 37,
                               style()->standardIcon(QStyle::SP_DialogCancelButton),
                               QStringLiteral("Удалить процесс (Ctrl+Del)"));
    makeSeparator(toolBar, QStringLiteral("RzSpacer7"), 62);
    View = makeToolButton(toolBar, QStringLiteral("View"), 70,
                          style()->standardIcon(QStyle::SP_FileDialogContentsView),
                          QStringLiteral("Обновить значения фильтров (F3)"));
    // The buttons run the same operations as the window's shortcuts; their errors go on to
    // the application's general error display through the event loop's notify().
    connect(BtnMoveLeft, &QToolButton::clicked, this, &ProcessTab::BtnMoveLeftClick);
    connect(BtnReject, &QToolButton::clicked, this, &ProcessTab::BtnRejectClick);
    connect(View, &QToolButton::clicked, this, &ProcessTab::ViewClick);

    DBGridEh1 = new ResultGrid(this);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    const QFont gridFont(QStringLiteral("Tahoma"), 8);
    DBGridEh1->setFont(gridFont);
    QFont titleFont = gridFont;
    titleFont.setBold(true);
    DBGridEh1->horizontalHeader()->setFont(titleFont);
    GridOptions options;
    options.rowSelect = true;
    DBGridEh1->setOptions(options);
    GridOptionsEh optionsEh;
    optionsEh.autoSortMarking = true;
    optionsEh.multiSortMarking = true;
    optionsEh.incSearch = true;
    optionsEh.preferIncSearch = true;
    DBGridEh1->setOptionsEh(optionsEh);
    DBGridEh1->sortLocal = true;
    DBGridEh1->setColumns(processGridColumns());
    DBGridEh1->setDataSource(procSource());
    DBGridEh1->onGetCellParams = [this](const GridColumn& column, QFont& font,
                                        QColor& background, QColor& text) {
        DBGridEh1GetCellParams(column, font, background, text);
    };
    DBGridEh1->onKeyPress = [this](QChar& key) { DBGridEh1KeyPress(key); };
    DBGridEh1->onDblClick = [this] { DBGridEh1DblClick(); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(DBGridEh1, 1);

    setConnectedState(false);
}

ProcessTab::~ProcessTab() = default;

Query* ProcessTab::procSource() const
{
    return m_server2000 ? ProcQuery2 : ProcQuery;
}

void ProcessTab::bindAndOpen(bool server2000)
{
    m_server2000 = server2000;
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

void ProcessTab::setConnectedState(bool connected)
{
    for (QToolButton* button : {BtnMoveLeft, BtnReject, View})
        button->setEnabled(connected);
}

void ProcessTab::closeQueries()
{
    ProcQuery->close();
    ProcQuery2->close();
}

void ProcessTab::hideFilterRow()
{
    // The grid has no filter row yet, so there is nothing shown to hide.
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
    const auto spidText = [this] {
        const std::optional<int> spid = currentRowSpid();
        return spid ? QString::number(*spid) : QString();
    };

    MessageRequest question;
    question.caption = QStringLiteral("Confirm");
    question.text = QStringLiteral("Вы действительно хотите удалить процесс ") + spidText()
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
    m_connection->executeNoRows(QStringLiteral("Kill ") + spidText());
    BtnMoveLeftClick();
}

void ProcessTab::ViewClick()
{
    // The filter value lists are not built yet; the button only follows the window's state.
}

void ProcessTab::DBGridEh1GetCellParams(const GridColumn&, QFont&, QColor& background,
                                        QColor& text)
{
    background = processRowBackground(*procSource());
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
    if (onOpenDetail)
        onOpenDetail();
}

} // namespace velmora
