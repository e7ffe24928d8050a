#include "LogTab.h"

#include "ButtonIcons.h"
#include "ColouredCheckBox.h"
#include "EdgeGroupBox.h"
#include "FieldMemo.h"
#include "GuardedHandler.h"
#include "LogQueries.h"
#include "Query.h"
#include "ResultGrid.h"
#include "TabToolBar.h"
#include "TahomaFont.h"

#include <QGroupBox>
#include <QScopeGuard>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

constexpr int LeftPaneWidth = 196;
constexpr int SplitterBarWidth = 4;
constexpr int LastEntryBoxHeight = 128;
constexpr int CurrentEntryBoxHeight = 78;
const QColor ContinuationBackground(255, 231, 230);
const QColor LineBackground(203, 221, 254);

const QString LogCaption = QStringLiteral("Лог");

QFont tabFont()
{
    return tahomaFont(8);
}

ResultGrid* makeGrid(QWidget* parent, const QString& name, Query* source, bool indicator)
{
    auto* grid = new ResultGrid(parent);
    grid->setObjectName(name);
    grid->setFonts(tabFont());
    GridOptions options;
    options.editing = false;
    options.indicator = indicator;
    options.rowSelect = true;
    grid->setOptions(options);
    grid->setDataSource(source);
    return grid;
}

GridColumn gridColumn(const char* field, const QString& title, int width, Qt::Alignment titleAlignment, bool titleButton)
{
    GridColumn column;
    column.fieldName = QString::fromLatin1(field);
    column.title = title;
    column.width = width;
    column.titleAlignment = titleAlignment;
    column.titleButton = titleButton;
    return column;
}

template <typename Box = QGroupBox>
QGroupBox* makeGroupBox(QWidget* parent, const QString& name, const QString& caption)
{
    auto* box = new Box(caption, parent);
    box->setObjectName(name);
    box->setFont(tabFont());
    return box;
}

// Both panes: `top` fills the box above `bottom`, which holds `bottomContent`.
void stack(QGroupBox* box, QWidget* top, QGroupBox* bottom, QWidget* bottomContent, int bottomHeight)
{
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(2, 2, 2, 2);
    bottomLayout->addWidget(bottomContent);
    bottom->setFixedHeight(bottomHeight);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    layout->addWidget(top, 1);
    layout->addWidget(bottom);
}

} // namespace

LogTab::LogTab(Connection* connection, QWidget* parent)
    : WindowTab(parent)
{
    const auto makeQuery = [this, connection](const char* name, void (*setUp)(Query&)) {
        auto* query = new Query(this);
        query->setObjectName(QString::fromLatin1(name));
        query->setConnection(connection);
        setUp(*query);
        return query;
    };
    LogNumQuery = makeQuery("LogNumQuery", setUpLogArchiveQuery);
    // Set up for 2000 until a connect finds out which server it is.
    LogNumInfoQuery = makeQuery("LogNumInfoQuery",
                                [](Query& query) { setUpLastEntryQuery(query, ServerFamily::Sql2000); });
    LogListQuery = makeQuery("LogListQuery", [](Query& query) { setUpLogListQuery(query, ServerFamily::Sql2000); });
    LogQuery = makeQuery("LogQuery", setUpRawLogQuery);
    connect(LogNumQuery, &Query::afterScroll, this, guarded([this] {
                if (!m_openingAtConnect)
                    LogNumQueryAfterScroll();
            }));

    RzToolbar3 = new TabToolBar(QStringLiteral("RzToolbar3"), this, Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    RzToolbarButton6 = RzToolbar3->addButton(QStringLiteral("RzToolbarButton6"), 4, buttonIcon(ButtonPicture::Refresh),
                                             QStringLiteral("Обновить (F5)"));
    RzToolbar3->addSeparator(QStringLiteral("RzSpacer5"), 29, 4);
    RzCheckBox2 = new ColouredCheckBox(QStringLiteral("Показывать записи без источника"), QColor(28, 81, 128),
                                       QColor(33, 161, 33), QColor(255, 199, 60), RzToolbar3);
    RzCheckBox2->setObjectName(QStringLiteral("RzCheckBox2"));
    RzCheckBox2->setFont(tabFont());
    RzCheckBox2->setGeometry(33, 6, 197, 17);
    RzCheckBox2->setChecked(true);
    connect(RzToolbarButton6, &QToolButton::clicked, this, guarded(this, &LogTab::RzToolbarButton6Click));
    connect(RzCheckBox2, &QCheckBox::toggled, this, guarded(this, &LogTab::RzCheckBox2Click));

    RzSplitter2 = new QSplitter(Qt::Horizontal, this);
    RzSplitter2->setObjectName(QStringLiteral("RzSplitter2"));
    RzSplitter2->setHandleWidth(SplitterBarWidth);
    RzSplitter2->setChildrenCollapsible(false);
    buildLeftPane();
    buildRightPane();
    RzSplitter2->setStretchFactor(0, 0);
    RzSplitter2->setStretchFactor(1, 1);
    RzSplitter2->setSizes({LeftPaneWidth, 959 - LeftPaneWidth - SplitterBarWidth});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(RzToolbar3);
    layout->addWidget(RzSplitter2, 1);

    setConnectedState(false);
}

LogTab::~LogTab() = default;

void LogTab::buildLeftPane()
{
    RzGroupBox4 = makeGroupBox(RzSplitter2, QStringLiteral("RzGroupBox4"), QStringLiteral("Существующие логи"));
    DBGridEh9 = makeGrid(RzGroupBox4, QStringLiteral("DBGridEh9"), LogNumQuery, true);
    DBGridEh9->setColumns({gridColumn("Archive #", QString(), 52, Qt::AlignLeft, false),
                           gridColumn("Date", QString(), 109, Qt::AlignLeft, false)});
    DBGridEh9->onKeyPress = [this](QChar& key) { DBGridEh9KeyPress(key); };
    DBGridEh9->onDblClick = [this] { RzToolbarButton6Click(); };
    RzGroupBox6 = makeGroupBox<EdgeGroupBox>(RzGroupBox4, QStringLiteral("RzGroupBox6"), QStringLiteral("Последняя запись"));
    RzDBMemo1 = new FieldMemo(LogNumInfoQuery, QStringLiteral("Info"), RzGroupBox6);
    RzDBMemo1->setObjectName(QStringLiteral("RzDBMemo1"));
    stack(RzGroupBox4, DBGridEh9, RzGroupBox6, RzDBMemo1, LastEntryBoxHeight);
    RzSplitter2->addWidget(RzGroupBox4);
}

void LogTab::buildRightPane()
{
    RzGroupBox5 = makeGroupBox(RzSplitter2, QStringLiteral("RzGroupBox5"), LogCaption);
    DBGridEh10 = makeGrid(RzGroupBox5, QStringLiteral("DBGridEh10"), LogListQuery, false);
    GridBehaviourOptions behaviourOptions;
    behaviourOptions.autoSortMarking = true;
    DBGridEh10->setBehaviourOptions(behaviourOptions);
    DBGridEh10->sortLocal = true;
    DBGridEh10->setColumns({gridColumn("id", QStringLiteral("#"), 32, Qt::AlignHCenter, true),
                            gridColumn("Dates", QStringLiteral("Дата"), -1, Qt::AlignHCenter, true),
                            gridColumn("spid", QStringLiteral("Источник"), 71, Qt::AlignHCenter, true),
                            gridColumn("Info", QStringLiteral("Сообщение"), 518, Qt::AlignHCenter, true)});
    DBGridEh10->onGetCellParams = [this](const GridColumn& column, const RowView& row, QFont& font,
                                         QColor& background, QColor& text) {
        DBGridEh10GetCellParams(column, row, font, background, text);
    };
    RzGroupBox7 = makeGroupBox(RzGroupBox5, QStringLiteral("RzGroupBox7"), QStringLiteral("Текущая запись"));
    RzDBMemo2 = new FieldMemo(LogListQuery, QStringLiteral("Info"), RzGroupBox7);
    RzDBMemo2->setObjectName(QStringLiteral("RzDBMemo2"));
    stack(RzGroupBox5, DBGridEh10, RzGroupBox7, RzDBMemo2, CurrentEntryBoxHeight);
    RzSplitter2->addWidget(RzGroupBox5);
}

QString LogTab::caption() const
{
    return QStringLiteral("Логи");
}

void LogTab::setConnectedState(bool connected)
{
    // The check box stays usable in both states: a change waits for the next refresh.
    RzToolbarButton6->setEnabled(connected);
}

void LogTab::openAfterConnect(ServerFamily family)
{
    // The last-entry and entry queries read the log reader of the server just connected; the
    // disconnect before closed them.
    LogNumInfoQuery->close();
    LogListQuery->close();
    setUpLastEntryQuery(*LogNumInfoQuery, family);
    setUpLogListQuery(*LogListQuery, family);
    LogNumQuery->close();
    // At connect the last entry is read as a step of the connect, so that its error ends the
    // connect as well; on a later scroll the same error ends only the scroll.
    {
        m_openingAtConnect = true;
        const auto reset = qScopeGuard([this] { m_openingAtConnect = false; });
        LogNumQuery->open();
    }
    LogNumQueryAfterScroll();
}

void LogTab::closeAtDisconnect()
{
    for (Query* query : {LogNumQuery, LogNumInfoQuery, LogListQuery, LogQuery})
        query->close();
}

void LogTab::refreshKey()
{
    RzToolbarButton6Click();
}

bool LogTab::hasArchives() const
{
    return LogNumQuery->isActive() && LogNumQuery->recordCount() > 0;
}

void LogTab::LogNumQueryAfterScroll()
{
    if (!LogNumQuery->isActive() || LogNumQuery->recNo() < 0)
        return;
    LogNumInfoQuery->close();
    LogNumInfoQuery->setParameter(QStringLiteral("LID"), QString::number(LogNumQuery->value(QStringLiteral("Archive #")).toInt()));
    LogNumInfoQuery->open();
}

void LogTab::RzToolbarButton6Click()
{
    if (!hasArchives())
        return;
    const int archive = LogNumQuery->value(QStringLiteral("Archive #")).toInt();
    LogQuery->close();
    LogQuery->setParameter(QStringLiteral("LID"), archive);
    LogQuery->open();
    LogListQuery->setFiltered(!RzCheckBox2->isChecked());
    LogListQuery->close();
    LogListQuery->setParameter(QStringLiteral("LID"), QString::number(archive));
    LogListQuery->open();
    RzGroupBox5->setTitle(LogCaption + QStringLiteral(" №") + QString::number(archive));
}

void LogTab::RzCheckBox2Click()
{
    if (hasArchives() && LogListQuery->isActive())
        LogListQuery->setFiltered(!RzCheckBox2->isChecked());
}

void LogTab::DBGridEh9KeyPress(QChar& key)
{
    if (key != QChar(u'\r'))
        return;
    key = QChar();
    RzToolbarButton6Click();
}

void LogTab::DBGridEh10GetCellParams(const GridColumn&, const RowView& row, QFont&, QColor& background,
                                     QColor& text)
{
    // A null flag counts as 0, which toInt() gives for it.
    background = row.value(QStringLiteral("i")).toInt() != 0 ? ContinuationBackground : LineBackground;
    text = Qt::black;
}

} // namespace velmora
