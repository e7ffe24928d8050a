// The databases tab against the simulated server through the real driver: the list opened by the
// connect, the refresh filling every view and both bars, names that need quoting, a database
// without a log-space row, a slow and an offline database, the users' ordering, the disconnect.
#include "Connection.h"
#include "DatabaseTab.h"
#include "DbError.h"
#include "ErrorDisplay.h"
#include "MessageSeam.h"
#include "PercentBar.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SimFixture.h"
#include "WindowInput.h"

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
        ASSERT_TRUE(tab.BaseQuery->locate(QStringLiteral("name"), name)) << name.toStdString();
    }
    QString value(Query* query, const char* field)
    {
        return query->isActive() && query->recordCount() > 0 ? query->value(QString::fromLatin1(field)).toString()
                                                             : QStringLiteral("<closed or empty>");
    }

    SimFixture sim{sqlsim::ServerVersion::Sql2000, false};
    Connection connection;
    DatabaseTab tab{&connection};
    QStringList messages;
};

} // namespace

TEST_F(DatabaseTabServer, RefreshAfterConnectShowsTheFirstDatabaseByName)
{
    ASSERT_TRUE(tab.BaseQuery->isActive());
    EXPECT_EQ(tab.BaseQuery->recNo(), 0);
    EXPECT_FALSE(tab.Info1Query->isActive());
    EXPECT_EQ(tab.RzProgressBar1->value(), 0);

    tab.refreshKey();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_EQ(value(tab.Info1Query, "name"), "CustomerCorrespondenceAr");
    EXPECT_EQ(tab.Info2Query->sql(), QStringList{"exec [CustomerCorrespondenceArchive]..sp_helpfile"});
    EXPECT_EQ(tab.Info2Query->recordCount(), 2);
    EXPECT_EQ(tab.Info3Query->recordCount(), 1);
    EXPECT_EQ(value(tab.Info3Query, "Database Name"), "CustomerCorrespondenceArchive");
    EXPECT_EQ(tab.RzProgressBar2->value(), 95);   // 95.4687
    EXPECT_EQ(sim.clientDatabase(), "CustomerCorrespondenceArchive");
    EXPECT_GT(tab.UserQuery->recordCount(), 10);
}

TEST_F(DatabaseTabServer, SpaceUsedFiguresAndBarsAreShown)
{
    choose("pubs");
    tab.RzToolbarButton4Click();
    ASSERT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    // pubs: reserved 48+24+72+16 + 5336+20520+1200 = 27216 pages, data 36+12+60+9 + 5120+20480+1137
    // = 26854, used 40+18+66+9 + 5290+20490+1137 = 27050; 8 KB pages.
    EXPECT_EQ(value(tab.Info4Query, "reserved"), "212.6250000");
    EXPECT_EQ(value(tab.Info4Query, "data"), "209.7968750");
    EXPECT_EQ(value(tab.Info4Query, "index_size"), "1568 KB");
    EXPECT_EQ(value(tab.Info4Query, "unused"), "1328 KB");
    EXPECT_EQ(value(tab.Info4Query, "procen"), "98.6699");   // 2685400 / 27216 = 98.66990...
    EXPECT_EQ(tab.RzProgressBar1->value(), 99);
    EXPECT_EQ(tab.RzProgressBar1->text(), "99%");
    EXPECT_EQ(tab.DBText1->text(), "212.6250000");
    EXPECT_EQ(tab.RzProgressBar2->value(), 45);   // 44.7368
    EXPECT_FALSE(tab.DBText2->text().isEmpty());
}

TEST_F(DatabaseTabServer, NamesThatNeedQuotingReachTheirOwnDatabase)
{
    for (const char* name : {"O'Brien", "Sales 2003", "Ledger[1]"}) {
        SCOPED_TRACE(name);
        choose(QString::fromLatin1(name));
        tab.RzToolbarButton4Click();
        EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
        EXPECT_EQ(value(tab.Info1Query, "name"), name);
        EXPECT_EQ(tab.Info2Query->value(QStringLiteral("name")).toString().trimmed(), name);
        EXPECT_EQ(value(tab.Info3Query, "Database Name"), name);
        EXPECT_EQ(sim.clientDatabase(), name);
    }
}

TEST_F(DatabaseTabServer, HalvesRoundToEven)
{
    for (auto [name, percent] : {std::pair{"tempdb", 62}, std::pair{"model", 64}}) {
        choose(QString::fromLatin1(name));
        tab.RzToolbarButton4Click();
        EXPECT_EQ(tab.RzProgressBar2->value(), percent) << name;
    }
    EXPECT_EQ(roundPercent(62.5), 62);
    EXPECT_EQ(roundPercent(63.5), 64);
    EXPECT_EQ(roundPercent(62.51), 63);
}

TEST_F(DatabaseTabServer, DatabaseWithoutALogSpaceRowEmptiesTheLogViews)
{
    choose("pubs");
    tab.RzToolbarButton4Click();
    ASSERT_NE(tab.RzProgressBar2->value(), 0);
    choose("Staging");
    tab.RzToolbarButton4Click();
    EXPECT_TRUE(tab.Info3Query->isActive());
    EXPECT_EQ(tab.Info3Query->recordCount(), 0);
    EXPECT_TRUE(tab.DBText2->text().isEmpty());
    EXPECT_EQ(tab.RzProgressBar2->value(), 0);
    EXPECT_NE(tab.RzProgressBar1->value(), 0);
}

TEST_F(DatabaseTabServer, SlowSpaceUsedTimesOutAndTheNextRefreshRecovers)
{
    choose("pubs");
    tab.RzToolbarButton4Click();
    const int pubsUsers = tab.UserQuery->recordCount();
    tab.Info4Query->setCommandTimeout(1);
    choose("Warehouse");
    tab.RzToolbarButton4Click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QStringLiteral("%1|Время ожидания истекло.|%2")
                               .arg(programTitle(QCoreApplication::applicationFilePath()))
                               .arg(int(QMessageBox::NoIcon)));
    EXPECT_FALSE(tab.Info4Query->isActive());
    EXPECT_EQ(tab.RzProgressBar1->value(), 0);
    EXPECT_TRUE(tab.DBText1->text().isEmpty());
    EXPECT_EQ(tab.UserQuery->recordCount(), pubsUsers);   // still the users of pubs
    EXPECT_EQ(value(tab.Info1Query, "name"), "Warehouse");

    // The cut-off batch left #spt_space behind; the next refresh drops it first.
    messages.clear();
    choose("pubs");
    tab.RzToolbarButton4Click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_EQ(value(tab.Info4Query, "reserved"), "212.6250000");
}

TEST_F(DatabaseTabServer, OfflineDatabaseShowsTheErrorAndKeepsTheLaterViews)
{
    choose("pubs");
    tab.RzToolbarButton4Click();
    choose("Legacy");
    EXPECT_THROW(tab.RzToolbarButton4Click(), DbError);
    EXPECT_FALSE(tab.Info1Query->isActive());
    EXPECT_EQ(value(tab.Info2Query, "name").trimmed(), "pubs");
    EXPECT_EQ(value(tab.Info4Query, "reserved"), "212.6250000");
    EXPECT_EQ(tab.RzProgressBar2->value(), 45);
}

TEST_F(DatabaseTabServer, UsersSortByTheMarksKeepingTheCurrentUser)
{
    choose("pubs");
    tab.RzToolbarButton4Click();
    Query& users = *tab.UserQuery;
    // Loaded in the statement's order although name carries the descending mark.
    EXPECT_EQ(users.value(QStringLiteral("name")).toString(), "CORP\\ivanov");
    ASSERT_TRUE(users.locate(QStringLiteral("uid"), 2));   // guest

    ResultGrid& grid = *tab.DBGridEh8;
    const int name = grid.columnIndex(QStringLiteral("name"));
    const int altuid = grid.columnIndex(QStringLiteral("altuid"));
    tab.DBGridEh8SortMarkingChanged();
    EXPECT_EQ(users.sort(), "name DESC ");
    EXPECT_EQ(users.value(QStringLiteral("uid")).toInt(), 2);
    users.first();
    EXPECT_EQ(users.value(QStringLiteral("name")).toString(), "web_app");

    grid.setSortMarker(name, SortMarker::None);
    grid.setSortMarker(altuid, SortMarker::Down);
    grid.setSortMarker(name, SortMarker::Up);
    ASSERT_TRUE(users.locate(QStringLiteral("uid"), 16386));   // db_securityadmin
    tab.DBGridEh8SortMarkingChanged();
    EXPECT_EQ(users.sort(), "altuid, name DESC ");
    EXPECT_EQ(users.value(QStringLiteral("uid")).toInt(), 16386);

    // No mark: the order stays.
    grid.setSortMarker(altuid, SortMarker::None);
    grid.setSortMarker(name, SortMarker::None);
    tab.DBGridEh8SortMarkingChanged();
    EXPECT_EQ(users.sort(), "altuid, name DESC ");
}

TEST_F(DatabaseTabServer, EnterAndDoubleClickRefreshOtherKeysDoNot)
{
    ASSERT_TRUE(showActive(tab));
    ResultGrid& databases = *tab.DBGridEh2;
    const auto currentRow = [&] {
        const int row = databases.currentIndex().row();
        return QPoint(databases.viewport()->width() / 2, databases.rowViewportPosition(row) + databases.rowHeight(row) / 2);
    };
    choose("pubs");
    click(*databases.viewport(), currentRow());
    pressKey(Qt::Key_A);
    EXPECT_FALSE(tab.Info1Query->isActive());
    pressKey(Qt::Key_Return);
    EXPECT_EQ(value(tab.Info1Query, "name"), "pubs");
    choose("msdb");
    doubleClick(*databases.viewport(), currentRow());
    EXPECT_EQ(value(tab.Info1Query, "name"), "msdb");
}

TEST_F(DatabaseTabServer, DisconnectEmptiesEverything)
{
    choose("pubs");
    tab.RzToolbarButton4Click();
    tab.closeAtDisconnect();
    tab.setConnectedState(false);
    for (Query* query : {tab.BaseQuery, tab.Info1Query, tab.Info2Query, tab.Info3Query, tab.Info4Query, tab.UserQuery})
        EXPECT_FALSE(query->isActive()) << query->objectName().toStdString();
    EXPECT_EQ(tab.RzProgressBar1->value(), 0);
    EXPECT_EQ(tab.RzProgressBar2->value(), 0);
    EXPECT_TRUE(tab.DBText1->text().isEmpty());
    EXPECT_TRUE(tab.DBText2->text().isEmpty());
    EXPECT_FALSE(tab.RzToolbarButton4->isEnabled());
}
