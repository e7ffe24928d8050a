// The process list over ODBC against the simulated server: each variant against each server
// version, the values it brings back, and our own session among the processes.
#include "Connection.h"
#include "DbError.h"
#include "ProcessQueries.h"
#include "Query.h"
#include "SimFixture.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace velmora;
using sqlsim::ServerVersion;

namespace {

struct Session {
    explicit Session(SimFixture& sim)
    {
        connection.setConnectionString(sim.oledbConnectionString());
        connection.open();
    }
    Connection connection;
};

void openProcessList(Query& query, Connection& connection, bool server2000)
{
    query.setConnection(&connection);
    setUpProcessQuery(query, server2000);
    query.open();
}

QString trimmed(const QVariant& value)
{
    return value.toString().trimmed();
}

// A process of our own making that the population never moves: spid 300, blocked by 301,
// holding two locks, with an io figure that needs 64 bits on a 2000 server.
void addSteadyProcesses(sqlsim::Engine& engine, qint64 physicalIo)
{
    std::lock_guard lock(engine.mutex());
    sqlsim::ServerState& state = engine.state();
    for (qint16 spid : {300, 301}) {
        sqlsim::Process process;
        process.spid = spid;
        process.blocked = spid == 300 ? 301 : 0;
        process.physical_io = physicalIo;
        process.status = QStringLiteral("sleeping");
        process.hostname = QStringLiteral("WS-TEST");
        process.program_name = QStringLiteral("steady");
        process.loginame = QStringLiteral("tester");
        process.cmd = QStringLiteral("AWAITING COMMAND");
        process.login_time = process.last_batch = QDateTime(QDate(2026, 12, 9), QTime(5, 0));
        process.suid = 7;
        state.processes.push_back(process);
    }
    state.locks.push_back({300, 117575457, 1, 5});
    state.locks.push_back({300, 117575458, 1, 5});
}

int rowOf(Query& query, int spid)
{
    return query.locate("spid", spid) ? query.recNo() : -1;
}

} // namespace

TEST(ProcessList, VariantOfTheVersionBindsEveryColumnWithTheServersValues)
{
    struct Case { ServerVersion version; bool server2000; int sidSize; qint64 physicalIo; };
    const Case cases[] = {
        {ServerVersion::Sql70, false, 85, 2'000'000'000},
        {ServerVersion::Sql2000, true, 86, 5'000'000'000},   // beyond 2^31
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server2000 ? "ProcQuery2 on 2000" : "ProcQuery on 7.0");
        SimFixture sim(c.version);
        addSteadyProcesses(sim.engine(), c.physicalIo);
        Session session(sim);
        Query query;
        openProcessList(query, session.connection, c.server2000);

        ASSERT_GE(rowOf(query, 300), 0);
        EXPECT_EQ(query.value("physical_io").toLongLong(), c.physicalIo);
        EXPECT_EQ(query.value("block_count").toInt(), 2);
        EXPECT_EQ(query.value("blocked").toInt(), 301);
        EXPECT_EQ(query.value("DBName").toString(), "master");
        EXPECT_EQ(query.value("login_time").toDateTime(), QDateTime(QDate(2026, 12, 9), QTime(5, 0)));
        EXPECT_EQ(query.value("waittype").toByteArray().size(), 2);
        EXPECT_EQ(query.value("sid").toByteArray().size(), c.sidSize);
        EXPECT_EQ(trimmed(query.value("hostname")), "WS-TEST");
        EXPECT_EQ(query.value("suid").toInt(), c.server2000 ? 0 : 7);

        ASSERT_GE(rowOf(query, 301), 0);
        EXPECT_EQ(query.value("block_count").toInt(), 0);   // no lock rows: 0 from the left join
        EXPECT_EQ(query.value("blocked").toInt(), 0);

        // ProcQuery2 reads no suid from the server: 0 in every row.
        if (c.server2000) {
            QStringList nonZero;
            for (query.first(); !query.eof(); query.next())
                if (query.value("suid").toInt() != 0)
                    nonZero << query.value("spid").toString();
            EXPECT_TRUE(nonZero.isEmpty()) << nonZero.join(',').toStdString();
        }
    }
}

TEST(ProcessList, WrongVariantForTheVersionFailsAndStaysClosed)
{
    struct Case { ServerVersion version; bool server2000; const char* message; };
    const Case cases[] = {
        {ServerVersion::Sql2000, false, "Invalid column name 'suid'."},
        {ServerVersion::Sql70, true, "Type mismatch for field 'physical_io', expecting: LargeInt actual: Integer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        SimFixture sim(c.version);
        Session session(sim);
        Query query;
        try {
            openProcessList(query, session.connection, c.server2000);
            ADD_FAILURE() << "the open succeeded";
        } catch (const DbError& error) {
            EXPECT_TRUE(error.text().contains(c.message)) << error.text().toStdString();
        }
        EXPECT_FALSE(query.isActive());
        EXPECT_EQ(query.recordCount(), 0);
    }
}

TEST(ProcessList, ShowsEachOfOurSessionsUnderTheProgramsName)
{
    SimFixture sim(ServerVersion::Sql70, false);
    Session first(sim);
    Query query;
    openProcessList(query, first.connection, false);
    const auto ourRows = [&] {
        QStringList rows;
        for (query.first(); !query.eof(); query.next())
            if (trimmed(query.value("program_name")) == "Velmora 2.4.0.27")
                rows << trimmed(query.value("loginame")) + '|' + query.value("DBName").toString();
        return rows;
    };
    EXPECT_EQ(ourRows(), QStringList({"sa|master"}));

    Session second(sim);
    query.close();
    query.open();
    EXPECT_EQ(ourRows(), QStringList({"sa|master", "sa|master"}));
}
