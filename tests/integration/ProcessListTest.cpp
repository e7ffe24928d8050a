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

void openProcessList(Query& query, Connection& connection, ServerFamily family)
{
    query.setConnection(&connection);
    setUpProcessQuery(query, family);
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
    struct Case { ServerVersion version; ServerFamily family; int sidSize; qint64 physicalIo; const char* name; };
    const Case cases[] = {
        {ServerVersion::Sql70, ServerFamily::Sql70, 85, 2'000'000'000, "ProcQuery on 7.0"},
        {ServerVersion::Sql2000, ServerFamily::Sql2000, 86, 5'000'000'000, "ProcQuery2 on 2000"},   // beyond 2^31
        {ServerVersion::Sql2005, ServerFamily::Sql2005AndLater, 86, 5'000'000'000, "ProcQuery2005 on 2005"},
        {ServerVersion::Sql2022, ServerFamily::Sql2005AndLater, 86, 5'000'000'000, "ProcQuery2005 on 2022"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool server2000 = c.family != ServerFamily::Sql70;
        SimFixture sim(c.version);
        addSteadyProcesses(sim.engine(), c.physicalIo);
        Session session(sim);
        Query query;
        openProcessList(query, session.connection, c.family);

        ASSERT_GE(rowOf(query, 300), 0);
        EXPECT_EQ(query.value("physical_io").toLongLong(), c.physicalIo);
        EXPECT_EQ(query.value("block_count").toInt(), 2);
        EXPECT_EQ(query.value("blocked").toInt(), 301);
        EXPECT_EQ(query.value("DBName").toString(), "master");
        EXPECT_EQ(query.value("login_time").toDateTime(), QDateTime(QDate(2026, 12, 9), QTime(5, 0)));
        EXPECT_EQ(query.value("waittype").toByteArray().size(), 2);
        EXPECT_EQ(query.value("sid").toByteArray().size(), c.sidSize);
        EXPECT_EQ(trimmed(query.value("hostname")), "WS-TEST");
        EXPECT_EQ(query.value("suid").toInt(), server2000 ? 0 : 7);

        ASSERT_GE(rowOf(query, 301), 0);
        EXPECT_EQ(query.value("block_count").toInt(), 0);   // no lock rows: 0 from the left join
        EXPECT_EQ(query.value("blocked").toInt(), 0);

        // ProcQuery2 and ProcQuery2005 read no suid from the server: 0 in every row.
        if (server2000) {
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
    struct Case { ServerVersion version; ServerFamily family; const char* message; };
    const Case cases[] = {
        {ServerVersion::Sql2000, ServerFamily::Sql70, "Invalid column name 'suid'."},
        {ServerVersion::Sql70, ServerFamily::Sql2000, "Type mismatch for field 'physical_io', expecting: LargeInt actual: Integer"},
        // The 2000 batch on a later server: syslocks is gone there.
        {ServerVersion::Sql2016, ServerFamily::Sql2000, "Invalid object name 'syslocks'."},
        // The later batch on a 2000 server, which has no syslockinfo.
        {ServerVersion::Sql2000, ServerFamily::Sql2005AndLater, "Invalid object name 'syslockinfo'."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        SimFixture sim(c.version);
        Session session(sim);
        Query query;
        try {
            openProcessList(query, session.connection, c.family);
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
    openProcessList(query, first.connection, ServerFamily::Sql70);
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

TEST(ProcessList, ServerInTroubleShowsItsBlockingChainGrowingBetweenTwoReadings)
{
    struct Case { ServerVersion version; ServerFamily family; const char* name; };
    const Case cases[] = {
        {ServerVersion::Sql70, ServerFamily::Sql70, "7.0"},
        {ServerVersion::Sql2000, ServerFamily::Sql2000, "2000"},
        {ServerVersion::Sql2005, ServerFamily::Sql2005AndLater, "2005"},
        {ServerVersion::Sql2022, ServerFamily::Sql2005AndLater, "2022"},
    };
    const QDateTime start(QDate(2026, 12, 9), QTime(9, 30));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimFixture sim(sqlsim::ServerOptions{.version = c.version, .populate = false, .trouble = true});
        const auto setClock = [&](int seconds) { sim.freezeClock(start.addSecs(seconds)); };
        // Our session is 51; the scenario's sessions log in with the first batch, at 0 s: the head 52.
        Session session(sim);
        for (const int seconds : {0, 60, 65}) {
            SCOPED_TRACE(seconds);
            setClock(seconds);
            Query query;
            openProcessList(query, session.connection, c.family);
            const struct { int spid; int blocked; qint64 waitedMs; } chain[] = {
                {52, 0, 0}, {53, 52, 40'000}, {54, 53, 30'000}, {55, 52, 20'000}, {56, 54, 10'000}};
            for (const auto& link : chain) {
                ASSERT_GE(rowOf(query, link.spid), 0) << link.spid;
                const bool waiting = seconds > 0 && link.blocked != 0;
                EXPECT_EQ(query.value("blocked").toInt(), waiting ? link.blocked : 0) << link.spid;
                EXPECT_EQ(query.value("waittime").toLongLong(), waiting ? link.waitedMs + (seconds - 60) * 1000 : 0)
                    << link.spid;
            }
            ASSERT_GE(rowOf(query, 52), 0);
            EXPECT_EQ(query.value("block_count").toInt(), seconds > 0 ? 4 : 0);   // the head's locks
        }
    }
}
