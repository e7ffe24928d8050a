#include "DatabaseTab.h"

#include "ButtonIcons.h"
#include "Connection.h"
#include "DatabaseGridColumns.h"
#include "DatabaseQueries.h"
#include "DbError.h"
#include "ErrorDisplay.h"
#include "FieldText.h"
#include "GuardedHandler.h"
#include "MessageSeam.h"
#include "PercentBar.h"
#include "Query.h"
#include "ResultGrid.h"
#include "TabToolBar.h"
#include "TahomaFont.h"
#include "UserSort.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace velmora {

namespace {

constexpr int leftPaneWidth = 196;
constexpr int splitterBarWidth = 4;
constexpr int informationHeight = 266;
// The two top grids of "Информация" start below its caption and, with their separators, end
// where the fixed controls begin (y 104).
constexpr int informationTop = 16;
constexpr int informationMargin = 2;
constexpr int separatorHeight = 2;

QFont tahoma(bool bold = false)
{
    return tahomaFont(8, bold);
}

Query* makeQuery(QObject* parent, const char* name, Connection* connection, void (*setUp)(Query&))
{
    auto* query = new Query(parent);
    query->setObjectName(QString::fromLatin1(name));
    query->setConnection(connection);
    setUp(*query);
    return query;
}

ResultGrid* makeGrid(QWidget* parent, const char* name, Query* source, GridColumns columns,
                     const GridOptions& options, const GridBehaviourOptions& behaviourOptions)
{
    auto* grid = new ResultGrid(parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setFonts(tahoma());
    grid->setOptions(options);
    grid->setBehaviourOptions(behaviourOptions);
    grid->sortLocal = false;
    grid->setColumns(std::move(columns));
    grid->setDataSource(source);
    return grid;
}

// An information grid: a title row and one data row (two for the files), no scroll bars.
ResultGrid* makeInformationGrid(QWidget* parent, const char* name, Query* source, GridColumns columns)
{
    GridOptions options;
    options.indicator = false;
    options.rowSelect = false;
    ResultGrid* grid = makeGrid(parent, name, source, std::move(columns), options, GridBehaviourOptions{});
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return grid;
}

QGroupBox* makeGroupBox(QWidget* parent, const char* name, const QString& caption)
{
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setFont(tahoma(true));
    return box;
}

QFrame* makeSeparator(QWidget* parent, const char* name)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// A label in bold; the two texts that show figures are navy besides.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(tahoma(true));
    return label;
}

PercentBar* makePercentBar(QWidget* parent, const char* name)
{
    auto* bar = new PercentBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setFont(tahoma());
    return bar;
}

// The text a field of the current row shows, empty when the query is closed or has no rows.
QString currentText(const Query& query, const QString& fieldName)
{
    if (!query.isActive() || query.recNo() < 0)
        return {};
    const int index = query.fieldIndex(fieldName);
    return fieldDisplayText(query.value(index), query.fields()[size_t(index)].kind);
}

} // namespace

int roundPercent(double value)
{
    // nearbyint rounds in the default mode, to nearest with halves to even.
    return int(std::nearbyint(value));
}

DatabaseTab::DatabaseTab(Connection* connection, QWidget* parent)
    : WindowTab(parent)
    , m_connection(connection)
{
    BaseQuery = makeQuery(this, "BaseQuery", connection, setUpBaseQuery);
    Info1Query = makeQuery(this, "Info1Query", connection, setUpInfo1Query);
    Info2Query = makeQuery(this, "Info2Query", connection, setUpInfo2Query);
    Info3Query = makeQuery(this, "Info3Query", connection, setUpInfo3Query);
    Info4Query = makeQuery(this, "Info4Query", connection, setUpInfo4Query);
    UserQuery = makeQuery(this, "UserQuery", connection, setUpUserQuery);

    RzToolbar2 = new TabToolBar(QStringLiteral("RzToolbar2"), this, Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    RzToolbarButton4 = RzToolbar2->addButton(QStringLiteral("RzToolbarButton4"), 4, buttonIcon(ButtonPicture::Refresh),
                                             QStringLiteral("Обновить (F5)"));
    connect(RzToolbarButton4, &QToolButton::clicked, this, guarded(this, &DatabaseTab::RzToolbarButton4Click));

    RzSplitter1 = new QSplitter(Qt::Horizontal, this);
    RzSplitter1->setObjectName(QStringLiteral("RzSplitter1"));
    RzSplitter1->setHandleWidth(splitterBarWidth);
    RzSplitter1->setChildrenCollapsible(false);

    RzGroupBox1 = makeGroupBox(RzSplitter1, "RzGroupBox1", QStringLiteral("Базы"));
    GridOptions listOptions;
    listOptions.editing = false;
    listOptions.titles = false;
    listOptions.indicator = false;
    listOptions.rowSelect = true;
    DBGridEh2 = makeGrid(RzGroupBox1, "DBGridEh2", BaseQuery, databaseListColumns(), listOptions, GridBehaviourOptions{});
    DBGridEh2->onKeyPress = [this](QChar& key) { DBGridEh2KeyPress(key); };
    DBGridEh2->onDblClick = [this] { RzToolbarButton4Click(); };
    auto* listLayout = new QVBoxLayout(RzGroupBox1);
    listLayout->setContentsMargins(2, 2, 2, 2);
    listLayout->addWidget(DBGridEh2);

    auto* RzPanel2 = new QWidget(RzSplitter1);
    RzPanel2->setObjectName(QStringLiteral("RzPanel2"));
    auto* panelLayout = new QVBoxLayout(RzPanel2);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);
    buildInformation();
    panelLayout->addWidget(RzGroupBox2);

    RzGroupBox3 = makeGroupBox(RzPanel2, "RzGroupBox3", QStringLiteral("Пользователи"));
    GridBehaviourOptions userBehaviour;
    userBehaviour.autoSortMarking = true;
    userBehaviour.multiSortMarking = true;
    DBGridEh8 = makeGrid(RzGroupBox3, "DBGridEh8", UserQuery, userColumns(), GridOptions{}, userBehaviour);
    DBGridEh8->onSortMarkingChanged = [this] { DBGridEh8SortMarkingChanged(); };
    auto* usersLayout = new QVBoxLayout(RzGroupBox3);
    usersLayout->setContentsMargins(2, 2, 2, 2);
    usersLayout->addWidget(DBGridEh8);
    panelLayout->addWidget(RzGroupBox3, 1);

    RzSplitter1->addWidget(RzGroupBox1);
    RzSplitter1->addWidget(RzPanel2);
    RzSplitter1->setStretchFactor(1, 1);
    RzSplitter1->setSizes({leftPaneWidth, 757});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(RzToolbar2);
    layout->addWidget(RzSplitter1, 1);

    for (Query* query : {Info3Query, Info4Query}) {
        connect(query, &Query::afterOpen, this, &DatabaseTab::showTexts);
        connect(query, &Query::afterClose, this, &DatabaseTab::showTexts);
        connect(query, &Query::afterScroll, this, &DatabaseTab::showTexts);
        connect(query, &Query::rowsReset, this, &DatabaseTab::showTexts);
    }
    setConnectedState(false);
}

DatabaseTab::~DatabaseTab() = default;

void DatabaseTab::buildInformation()
{
    RzGroupBox2 = makeGroupBox(nullptr, "RzGroupBox2", QStringLiteral("Информация"));
    RzGroupBox2->setFixedHeight(informationHeight);
    RzGroupBox2->installEventFilter(this);

    // Everything inside sits at the group box's own coordinates: the two top grids and their
    // separators span its width (placed at each resize), the rest keeps its place.
    DBGridEh4 = makeInformationGrid(RzGroupBox2, "DBGridEh4", Info1Query, propertiesColumns());
    RzSeparator1 = makeSeparator(RzGroupBox2, "RzSeparator1");
    DBGridEh3 = makeInformationGrid(RzGroupBox2, "DBGridEh3", Info2Query, filesColumns());
    RzSeparator2 = makeSeparator(RzGroupBox2, "RzSeparator2");

    const auto place = [](QWidget* widget, int x, int y, int width, int height) {
        widget->setGeometry(x, y, width, height);
    };
    RzLabel4 = makeLabel(RzGroupBox2, "RzLabel4", QStringLiteral("Data (MB):"));
    place(RzLabel4, 3, 104, 60, 13);
    DBText1 = makeLabel(RzGroupBox2, "DBText1", QString());
    place(DBText1, 67, 104, 0, 13);
    RzProgressBar1 = makePercentBar(RzGroupBox2, "RzProgressBar1");
    place(RzProgressBar1, 3, 120, 200, 24);
    DBGridEh5 = makeInformationGrid(RzGroupBox2, "DBGridEh5", Info4Query, spaceUsedColumns());
    place(DBGridEh5, 4, 148, 544, 34);
    RzLabel5 = makeLabel(RzGroupBox2, "RzLabel5", QStringLiteral("Log (MB):"));
    place(RzLabel5, 3, 185, 52, 13);
    DBText2 = makeLabel(RzGroupBox2, "DBText2", QString());
    place(DBText2, 67, 185, 0, 13);
    RzProgressBar2 = makePercentBar(RzGroupBox2, "RzProgressBar2");
    place(RzProgressBar2, 3, 201, 200, 24);
    DBGridEh6 = makeInformationGrid(RzGroupBox2, "DBGridEh6", Info3Query, logSpaceColumns());
    place(DBGridEh6, 4, 229, 296, 34);

    for (QLabel* text : {DBText1, DBText2}) {
        QPalette palette = text->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 0, 128));
        text->setPalette(palette);
    }
    placeTopRows();
}

void DatabaseTab::placeTopRows()
{
    const int width = RzGroupBox2->width() - 2 * informationMargin;
    int y = informationTop;
    for (auto [widget, height] : {std::pair<QWidget*, int>{DBGridEh4, 34}, {RzSeparator1, separatorHeight},
                                  {DBGridEh3, 50}, {RzSeparator2, separatorHeight}}) {
        widget->setGeometry(informationMargin, y, width, height);
        y += height;
    }
}

bool DatabaseTab::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == RzGroupBox2 && event->type() == QEvent::Resize)
        placeTopRows();
    return WindowTab::eventFilter(watched, event);
}

QString DatabaseTab::caption() const
{
    return QStringLiteral("Базы");
}

void DatabaseTab::setConnectedState(bool connected)
{
    RzToolbarButton4->setEnabled(connected);
}

void DatabaseTab::openAfterConnect(ServerFamily)
{
    BaseQuery->open();
}

void DatabaseTab::closeAtDisconnect()
{
    for (Query* query : {BaseQuery, Info1Query, Info2Query, Info3Query, Info4Query, UserQuery})
        query->close();
    RzProgressBar1->setValue(0);
    RzProgressBar2->setValue(0);
}

void DatabaseTab::refreshKey()
{
    RzToolbarButton4Click();
}

void DatabaseTab::RzToolbarButton4Click()
{
    // The chosen database is the list's current row; with no row there is nothing to show.
    if (!BaseQuery->isActive() || BaseQuery->recNo() < 0)
        return;
    const QString db = BaseQuery->value(QStringLiteral("name")).toString();

    m_connection->executeNoRows(dropLeftOverSpaceTable());

    Info1Query->close();
    Info1Query->setParameter(QStringLiteral("BD"), db);
    Info1Query->open();

    Info2Query->close();
    Info2Query->setSql({helpFileLine(db)});
    Info2Query->open();

    Info3Query->close();
    Info3Query->setFilter(logSpaceFilter(db));
    Info3Query->setFiltered(true);
    Info3Query->open();

    try {
        Info4Query->close();
        QStringList space = Info4Query->sql();
        space[0] = useDatabaseLine(db);
        Info4Query->setSql(space);
        Info4Query->open();

        UserQuery->close();
        QStringList users = UserQuery->sql();
        users[0] = useDatabaseLine(db);
        UserQuery->setSql(users);
        UserQuery->open();
    } catch (const DbError&) {
        MessageRequest message;
        message.caption = programTitle(QCoreApplication::applicationFilePath());
        message.text = QStringLiteral("Время ожидания истекло.");
        showMessage(message);
    }

    const bool logRow = Info3Query->isActive() && Info3Query->recordCount() > 0;
    RzProgressBar2->setValue(logRow ? roundPercent(Info3Query->value(QStringLiteral("Log Space Used (%)")).toDouble()) : 0);
    const bool spaceRow = Info4Query->isActive() && Info4Query->recordCount() > 0;
    RzProgressBar1->setValue(spaceRow ? roundPercent(Info4Query->value(QStringLiteral("procen")).toDouble()) : 0);
}

void DatabaseTab::DBGridEh8SortMarkingChanged()
{
    if (!UserQuery->isActive())
        return;
    const QString sort = userSortString(DBGridEh8->columns(), DBGridEh8->sortMarkedColumns());
    if (sort.isEmpty())
        return;
    const int uid = UserQuery->recNo() >= 0 ? UserQuery->value(QStringLiteral("uid")).toInt() : 0;
    UserQuery->setSort(sort);
    UserQuery->locate(QStringLiteral("uid"), uid);
}

void DatabaseTab::DBGridEh2KeyPress(QChar& key)
{
    if (key != QChar(u'\r'))
        return;
    key = QChar();
    RzToolbarButton4Click();
}

void DatabaseTab::showTexts()
{
    DBText1->setText(currentText(*Info4Query, QStringLiteral("reserved")));
    DBText1->adjustSize();
    DBText2->setText(currentText(*Info3Query, QStringLiteral("Log Size (MB)")));
    DBText2->adjustSize();
}

} // namespace velmora
