// What the process detail window asks the simulated server, through the interpreter: sp_lock's
// result shape and rows, dbcc inputbuffer with its refusals, and object names that depend on
// the session's current database.
#include "EngineReplies.h"
#include "engine/Engine.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace sqlsim;
using namespace sqlsim::testing;

namespace {

class SqlsimProcessDetail : public ::testing::Test {
protected:
    Reply run(const QString& batch, int session = 0) { return engine.execute(session ? session : spid, batch); }

    Engine engine{ServerOptions{ServerVersion::Sql2000, 1, true}};
    int spid = loginSession(engine);
};

TEST_F(SqlsimProcessDetail, SpLockAnswersWithTheServersColumnTypes)
{
    const Reply reply = run(QStringLiteral("Exec sp_lock 57"));
    const ResultSet* result = firstResult(reply);
    ASSERT_NE(result, nullptr);
    struct Expected {
        const char* name;
        SqlType type;
        int size;
    };
    const Expected expected[] = {
        {"spid", SqlType::SmallInt, 0},  {"dbid", SqlType::SmallInt, 0},      {"ObjId", SqlType::Int, 0},
        {"IndId", SqlType::SmallInt, 0}, {"Type", SqlType::NChar, 4},          {"Resource", SqlType::NChar, 16},
        {"Mode", SqlType::NVarChar, 8},  {"Status", SqlType::NVarChar, 5},
    };
    ASSERT_EQ(result->columns.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(result->columns[i].name, QString::fromLatin1(expected[i].name));
        EXPECT_EQ(result->columns[i].type, expected[i].type);
        if (expected[i].size) {
            EXPECT_EQ(result->columns[i].size, expected[i].size);
        }
    }
    // The load job: eight exclusive pages, an intent lock on the table, a key and its database.
    const QStringList lines = rowTexts(reply);
    EXPECT_EQ(lines.size(), 11);
    EXPECT_TRUE(lines.contains("57|5|2009058193|0|PAG |1:1200          |X|GRANT")) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("57|5|0|0|DB  |                |S|GRANT"));
    EXPECT_TRUE(lines.contains("57|5|2009058193|2|KEY |(3c00d8a2b5f1)  |X|GRANT"));
}

TEST_F(SqlsimProcessDetail, BlockedRequestWaitsOnTheResourceItsBlockerHolds)
{
    struct Case {
        const char* batch;
        const char* line;
    };
    const Case cases[] = {
        {"Exec sp_lock 55", "55|6|21575115|0|TAB |                |X|WAIT"},
        {"Exec sp_lock 60", "60|6|21575115|0|TAB |                |S|WAIT"},
        {"Exec sp_lock 53", "53|6|21575115|0|TAB |                |X|GRANT"},
        {"Exec sp_lock 58", "58|6|117575457|1|PAG |1:88            |S|WAIT"},
        {"Exec sp_lock 55", "55|6|117575457|0|PAG |1:88            |X|GRANT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.batch);
        EXPECT_TRUE(rowTexts(run(QString::fromLatin1(c.batch))).contains(QString::fromLatin1(c.line)));
    }
}

TEST_F(SqlsimProcessDetail, SpLockOfAProcessWithoutLocksOrOfEveryProcess)
{
    const Reply none = run(QStringLiteral("Exec sp_lock 54"));
    ASSERT_NE(firstResult(none), nullptr);
    EXPECT_EQ(firstResult(none)->columns.size(), 8u);
    EXPECT_TRUE(rowTexts(none).isEmpty());
    EXPECT_TRUE(errorNumbers(none).isEmpty());

    const int all = int(rowTexts(run(QStringLiteral("Exec sp_lock"))).size());
    std::lock_guard lock(engine.mutex());
    EXPECT_EQ(all, int(engine.state().locks.size()));
}

TEST_F(SqlsimProcessDetail, InputBufferShowsTheLastInput)
{
    const Reply seeded = run(QStringLiteral("dbcc inputbuffer(55)"));
    const ResultSet* result = firstResult(seeded);
    ASSERT_NE(result, nullptr);
    ASSERT_EQ(result->columns.size(), 3u);
    EXPECT_EQ(result->columns[0].name, "EventType");
    EXPECT_EQ(result->columns[0].type, SqlType::NVarChar);
    EXPECT_EQ(result->columns[0].size, 30);
    EXPECT_EQ(result->columns[1].name, "Parameters");
    EXPECT_EQ(result->columns[1].type, SqlType::Int);
    EXPECT_EQ(result->columns[2].name, "EventInfo");
    EXPECT_EQ(result->columns[2].size, 255);
    EXPECT_EQ(rowTexts(seeded), QStringList{"RPC Event|0|sp_executesql;1"});

    // A real session's last batch, cut to 255 characters; its own request shows itself.
    const int other = loginSession(engine, QStringLiteral("sa"));
    const QString longBatch = QStringLiteral("select 1 /*") + QString(300, u'x') + QStringLiteral("*/");
    run(longBatch, other);
    EXPECT_EQ(rowTexts(run(QStringLiteral("dbcc inputbuffer(%1)").arg(other))),
              QStringList{QStringLiteral("Language Event|0|") + longBatch.left(255)});
    EXPECT_EQ(rowTexts(run(QStringLiteral("dbcc inputbuffer(%1)").arg(spid))),
              QStringList{QStringLiteral("Language Event|0|dbcc inputbuffer(%1)").arg(spid)});
}

TEST_F(SqlsimProcessDetail, InputBufferRefusals)
{
    const int looker = loginSession(engine, QStringLiteral("operator"));
    struct Case {
        QString batch;
        int session;
        int error;
    };
    const Case cases[] = {
        {QStringLiteral("dbcc inputbuffer(999)"), spid, 7940},
        {QStringLiteral("dbcc inputbuffer(3)"), spid, 7940},          // a system process
        {QStringLiteral("dbcc inputbuffer(57)"), looker, 2571},       // not a sysadmin
        {QStringLiteral("dbcc inputbuffer(%1)").arg(looker), looker, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.batch.toStdString());
        const Reply reply = run(c.batch, c.session);
        EXPECT_EQ(errorNumbers(reply), c.error ? QList<int>{c.error} : QList<int>{});
        EXPECT_EQ(rowTexts(reply).isEmpty(), c.error != 0);
    }
}

TEST_F(SqlsimProcessDetail, ObjectNamesResolveInTheCurrentDatabase)
{
    struct Case {
        const char* database;
        const char* name;   // of object 21575115 there
    };
    const Case cases[] = {{"master", "<null>"}, {"Northwind", "Orders"}, {"pubs", "authors"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.database);
        run(QStringLiteral("Use %1").arg(QString::fromLatin1(c.database)));
        EXPECT_EQ(rowTexts(run(QStringLiteral("Select object_name (21575115)"))), QStringList{QString::fromLatin1(c.name)});
    }
    run(QStringLiteral("Use Northwind"));
    EXPECT_EQ(rowTexts(run(QStringLiteral("Select object_name (2073058421)"))), QStringList{"CustomerDemographicsArchive"});
    EXPECT_EQ(rowTexts(run(QStringLiteral("Select DB_name (6)"))), QStringList{"Northwind"});
    EXPECT_EQ(rowTexts(run(QStringLiteral("Select DB_name (77)"))), QStringList{"<null>"});
}

} // namespace
