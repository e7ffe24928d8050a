// The databases tab against the simulated server through the real driver: the list opened by the
// connect, the refresh filling every view and both bars, names that need quoting, a database
// without a log-space row, a slow and an offline database, the users' ordering, the disconnect.
#include "Connection.h"
#include "DatabaseInspector.h"
#include "DatabaseTab.h"
#include "DbError.h"
#include "ErrorDisplay.h"
#include "MessageSeam.h"
#include "PercentBar.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SimFixture.h"
#include "WindowInput.h"
#include "WindowParts.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

class DatabaseTabServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        setMessageHandler([this](const MessageRequest& request) {
            messages << request.caption + u'|' + request.text + u'|' + QString::number(int(request.icon));
            return QMessageBox::Ok;
        });
        connection.setConnectionString(sim.oledbConnectionString());
        connection.open();
        tab.setConnectedState(true);
        tab.openAfterConnect(ServerFamily::Sql2000);
    }
    void TearDown() override { setMessageHandler({}); }

    void choose(const QString& name)
    {
        ASSERT_TRUE(databaseList.locate(QStringLiteral("name"), name)) << name.toStdString();
    }
    QString value(const Query& query, const char* field)
    {
        return query.isActive() && query.recordCount() > 0 ? query.value(QString::fromLatin1(field)).toString()
                                                           : QStringLiteral("<closed or empty>");
    }

    SimFixture sim{sqlsim::ServerVersion::Sql2000, false};
    Connection connection;
    DatabaseTab tab{&connection};
    Query& databaseList = *part<Query>(tab, "DatabaseListQuery");
    Query& properties = *part<Query>(tab, "PropertiesQuery");
    Query& files = *part<Query>(tab, "FilesQuery");
    Query& logSpace = *part<Query>(tab, "LogSpaceQuery");
    Query& spaceUsed = *part<Query>(tab, "SpaceUsedQuery");
    Query& users = *part<Query>(tab, "UserQuery");
    PercentBar& dataSpaceBar = *part<PercentBar>(tab, "dataSpaceBar");
    PercentBar& logSpaceBar = *part<PercentBar>(tab, "logSpaceBar");
    QLabel& dataSizeText = *part<QLabel>(tab, "dataSizeText");
    QLabel& logSizeText = *part<QLabel>(tab, "logSizeText");
    QStringList messages;
};

} // namespace

TEST_F(DatabaseTabServer, RefreshAfterConnectShowsTheFirstDatabaseByName)
{
    ASSERT_TRUE(databaseList.isActive());
    EXPECT_EQ(databaseList.recNo(), 0);
    EXPECT_FALSE(properties.isActive());
    EXPECT_EQ(dataSpaceBar.value(), 0);

    tab.refreshKey();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_EQ(value(properties, "name"), "CustomerCorrespondenceAr");
    EXPECT_EQ(files.sql(), QStringList{"exec [CustomerCorrespondenceArchive]..sp_helpfile"});
    EXPECT_EQ(files.recordCount(), 2);
    EXPECT_EQ(logSpace.recordCount(), 1);
    EXPECT_EQ(value(logSpace, "Database Name"), "CustomerCorrespondenceArchive");
    EXPECT_EQ(logSpaceBar.value(), 95);   // 95.4687
    EXPECT_EQ(sim.clientDatabase(), "CustomerCorrespondenceArchive");
    EXPECT_GT(users.recordCount(), 10);
}

TEST_F(DatabaseTabServer, SpaceUsedFiguresAndBarsAreShown)
{
    choose("pubs");
    tab.refreshKey();
    ASSERT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    // pubs: reserved 48+24+72+16 + 5336+20520+1200 = 27216 pages, data 36+12+60+9 + 5120+20480+1137
    // = 26854, used 40+18+66+9 + 5290+20490+1137 = 27050; 8 KB pages.
    EXPECT_EQ(value(spaceUsed, "reserved"), "212.6250000");
    EXPECT_EQ(value(spaceUsed, "data"), "209.7968750");
    EXPECT_EQ(value(spaceUsed, "index_size"), "1568 KB");
    EXPECT_EQ(value(spaceUsed, "unused"), "1328 KB");
    EXPECT_EQ(value(spaceUsed, "procen"), "98.6699");   // 2685400 / 27216 = 98.66990...
    EXPECT_EQ(dataSpaceBar.value(), 99);
    EXPECT_EQ(dataSpaceBar.text(), "99%");
    EXPECT_EQ(dataSizeText.text(), "212.6250000");
    EXPECT_EQ(logSpaceBar.value(), 45);   // 44.7368
    EXPECT_FALSE(logSizeText.text().isEmpty());
}

TEST_F(DatabaseTabServer, NamesThatNeedQuotingReachTheirOwnDatabase)
{
    for (const char* name : {"O'Brien", "Sales 2003", "Ledger[1]"}) {
        SCOPED_TRACE(name);
        choose(QString::fromLatin1(name));
        tab.refreshKey();
        EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
        EXPECT_EQ(value(properties, "name"), name);
        EXPECT_EQ(files.value(QStringLiteral("name")).toString().trimmed(), name);
        EXPECT_EQ(value(logSpace, "Database Name"), name);
        EXPECT_EQ(sim.clientDatabase(), name);
    }
}

TEST_F(DatabaseTabServer, HalvesRoundToEven)
{
    for (auto [name, percent] : {std::pair{"tempdb", 62}, std::pair{"model", 64}}) {
        choose(QString::fromLatin1(name));
        tab.refreshKey();
        EXPECT_EQ(logSpaceBar.value(), percent) << name;
    }
    EXPECT_EQ(roundPercent(62.5), 62);
    EXPECT_EQ(roundPercent(63.5), 64);
    EXPECT_EQ(roundPercent(62.51), 63);
}

TEST_F(DatabaseTabServer, DatabaseWithoutALogSpaceRowEmptiesTheLogViews)
{
    choose("pubs");
    tab.refreshKey();
    ASSERT_NE(logSpaceBar.value(), 0);
    choose("Staging");
    tab.refreshKey();
    EXPECT_TRUE(logSpace.isActive());
    EXPECT_EQ(logSpace.recordCount(), 0);
    EXPECT_TRUE(logSizeText.text().isEmpty());
    EXPECT_EQ(logSpaceBar.value(), 0);
    EXPECT_NE(dataSpaceBar.value(), 0);
}

TEST_F(DatabaseTabServer, SlowSpaceUsedTimesOutAndTheNextRefreshRecovers)
{
    choose("pubs");
    tab.refreshKey();
    const int pubsUsers = users.recordCount();
    spaceUsed.setCommandTimeout(1);
    choose("Warehouse");
    tab.refreshKey();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QStringLiteral("%1|Время ожидания истекло.|%2")
                               .arg(programTitle(QCoreApplication::applicationFilePath()))
                               .arg(int(QMessageBox::NoIcon)));
    EXPECT_FALSE(spaceUsed.isActive());
    EXPECT_EQ(dataSpaceBar.value(), 0);
    EXPECT_TRUE(dataSizeText.text().isEmpty());
    EXPECT_EQ(users.recordCount(), pubsUsers);   // still the users of pubs
    EXPECT_EQ(value(properties, "name"), "Warehouse");

    // The cut-off batch left #spt_space behind; the next refresh drops it first.
    messages.clear();
    choose("pubs");
    tab.refreshKey();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_EQ(value(spaceUsed, "reserved"), "212.6250000");
}

TEST_F(DatabaseTabServer, OfflineDatabaseShowsTheErrorAndKeepsTheLaterViews)
{
    choose("pubs");
    tab.refreshKey();
    choose("Legacy");
    EXPECT_THROW(tab.refreshKey(), DbError);
    EXPECT_FALSE(properties.isActive());
    EXPECT_EQ(value(files, "name").trimmed(), "pubs");
    EXPECT_EQ(value(spaceUsed, "reserved"), "212.6250000");
    EXPECT_EQ(logSpaceBar.value(), 45);
}

TEST_F(DatabaseTabServer, UsersSortByTheMarksKeepingTheCurrentUser)
{
    choose("pubs");
    tab.refreshKey();
    // Loaded in the statement's order although name carries the descending mark.
    EXPECT_EQ(users.value(QStringLiteral("name")).toString(), "CORP\\ivanov");
    ASSERT_TRUE(users.locate(QStringLiteral("uid"), 2));   // guest

    ResultGrid& grid = *part<ResultGrid>(tab, "userGrid");
    const int name = grid.columnIndex(QStringLiteral("name"));
    const int altuid = grid.columnIndex(QStringLiteral("altuid"));
    grid.onSortMarkingChanged();
    EXPECT_EQ(users.sort(), "name DESC ");
    EXPECT_EQ(users.value(QStringLiteral("uid")).toInt(), 2);
    users.first();
    EXPECT_EQ(users.value(QStringLiteral("name")).toString(), "web_app");

    grid.setSortMarker(name, SortMarker::None);
    grid.setSortMarker(altuid, SortMarker::Down);
    grid.setSortMarker(name, SortMarker::Up);
    ASSERT_TRUE(users.locate(QStringLiteral("uid"), 16386));   // db_securityadmin
    grid.onSortMarkingChanged();
    EXPECT_EQ(users.sort(), "altuid, name DESC ");
    EXPECT_EQ(users.value(QStringLiteral("uid")).toInt(), 16386);

    // No mark: the order stays.
    grid.setSortMarker(altuid, SortMarker::None);
    grid.setSortMarker(name, SortMarker::None);
    grid.onSortMarkingChanged();
    EXPECT_EQ(users.sort(), "altuid, name DESC ");
}

TEST_F(DatabaseTabServer, EnterAndDoubleClickRefreshOtherKeysDoNot)
{
    ASSERT_TRUE(showActive(tab));
    ResultGrid& databases = *part<ResultGrid>(tab, "databaseListGrid");
    const auto currentRow = [&] {
        const int row = databases.currentIndex().row();
        return QPoint(databases.viewport()->width() / 2, databases.rowViewportPosition(row) + databases.rowHeight(row) / 2);
    };
    choose("pubs");
    click(*databases.viewport(), currentRow());
    pressKey(Qt::Key_A);
    EXPECT_FALSE(properties.isActive());
    pressKey(Qt::Key_Return);
    EXPECT_EQ(value(properties, "name"), "pubs");
    choose("msdb");
    doubleClick(*databases.viewport(), currentRow());
    EXPECT_EQ(value(properties, "name"), "msdb");
}

TEST_F(DatabaseTabServer, DisconnectEmptiesEverything)
{
    choose("pubs");
    tab.refreshKey();
    tab.closeAtDisconnect();
    tab.setConnectedState(false);
    for (const Query* query : {&databaseList, &properties, &files, &logSpace, &spaceUsed, &users})
        EXPECT_FALSE(query->isActive()) << query->objectName().toStdString();
    EXPECT_EQ(dataSpaceBar.value(), 0);
    EXPECT_EQ(logSpaceBar.value(), 0);
    EXPECT_TRUE(dataSizeText.text().isEmpty());
    EXPECT_TRUE(logSizeText.text().isEmpty());
    EXPECT_FALSE(part<QToolButton>(tab, "databaseRefreshButton")->isEnabled());
}
