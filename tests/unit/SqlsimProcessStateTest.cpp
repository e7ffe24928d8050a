// The simulated server's process table over time: Kill with its refusals and effects, the
// default population, and how it moves between readings.
#include "state/Population.h"
#include "state/ProcessTable.h"
#include "tsql/Interpreter.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace sqlsim;

namespace {

struct Outcome {
    std::vector<Message> messages;
    std::vector<ResultSet> results;
    std::vector<int> killed;
};

Outcome run(ServerState& state, const QString& text, int sessionSpid)
{
    tsql::SessionState session;
    tsql::BatchHooks hooks;
    const Reply reply = tsql::runBatch(state, session, sessionSpid, text, hooks);
    Outcome outcome;
    outcome.killed = hooks.killedSessions;
    for (const ReplyItem& item : reply.items) {
        if (const auto* message = std::get_if<Message>(&item))
            outcome.messages.push_back(*message);
        else if (const auto* result = std::get_if<ResultSet>(&item))
            outcome.results.push_back(*result);
    }
    return outcome;
}

Process process(qint16 spid, qint16 blocked = 0)
{
    Process p;
    p.spid = spid;
    p.blocked = blocked;
    p.loginame = "sa";
    if (blocked != 0) {
        p.waittype = QByteArray::fromHex("0005");
        p.waittime = 5000;
        p.lastwaittype = "LCK_M_X";
        p.waitresource = "TAB: 6:21575115 []";
    }
    return p;
}

// 60 <- 61 <- 62 and 60 <- 63; 60 and 61 hold locks; 1 is a system process; 70 has a client;
// 71 belongs to a login without the right to Kill.
ServerState chainServer()
{
    ServerState state;
    state.options.populate = false;
    state.logins = {{"sa", "velmora", true}, {"operator", "velmora", false}};
    state.processes = {process(1), process(60), process(61, 60), process(62, 61), process(63, 60),
                       process(70), process(71)};
    state.processes[6].loginame = "operator";
    state.processes[0].system = true;
    state.processes[5].hasClient = true;
    state.locks = {Lock{60, 10, 6, 1}, Lock{60, 11, 6, 5, 7}, Lock{61, 12, 6, 3}};
    return state;
}

int chainDepth(const ServerState& state)
{
    int deepest = 0;
    for (const Process& p : state.processes) {
        int depth = 1;
        for (const Process* at = &p; at->blocked != 0 && depth <= int(state.processes.size()); ++depth) {
            at = findProcess(state, at->blocked);
            if (!at)
                return -1;   // a waiter whose blocker is gone
        }
        deepest = std::max(deepest, depth);
    }
    return deepest;
}

ServerState populated(ServerVersion version, quint32 seed)
{
    ServerState state;
    state.options.version = version;
    state.options.seed = seed;
    state.frozenNow = QDateTime(QDate(2026, 12, 9), QTime(9, 30));
    state.databases = {{1, "master", {}, {}}, {2, "tempdb", {}, {}}, {4, "msdb", {}, {}}, {5, "pubs", {}, {}}, {6, "Northwind", {}, {}}};
    populate(state);
    return state;
}

const char* const processList =
    "Select sp.spid, sp.kpid, Count(sl.spid) as block_count, sp.blocked, sp.waittime, sp.cpu, "
    "sp.physical_io, sp.memusage, sp.login_time, sp.last_batch, sp.hostname, sp.program_name, "
    "sp.loginame, (Select DB_Name(sp.dbid)) as DBName from sysprocesses sp left join syslocks sl "
    "on (sp.spid = sl.spid) group by sp.spid, sp.kpid, sp.blocked, sp.waittime, sp.cpu, "
    "sp.physical_io, sp.memusage, sp.login_time, sp.last_batch, sp.hostname, sp.program_name, "
    "sp.loginame, sp.dbid";

} // namespace

struct KillRefusal {
    int session;
    const char* text;
    int number;
    int severity;
    const char* message;
};

class KillRefusals : public testing::TestWithParam<KillRefusal> {};

TEST_P(KillRefusals, AnswerWithTheServersErrorAndChangeNothing)
{
    ServerState state = chainServer();
    const Outcome outcome = run(state, GetParam().text, GetParam().session);
    ASSERT_EQ(outcome.messages.size(), 1u);
    EXPECT_EQ(outcome.messages[0].number, GetParam().number);
    EXPECT_EQ(outcome.messages[0].severity, GetParam().severity);
    EXPECT_EQ(outcome.messages[0].text, GetParam().message);
    EXPECT_EQ(state.processes.size(), 7u);
    EXPECT_EQ(state.locks.size(), 3u);
    EXPECT_TRUE(outcome.killed.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Kill, KillRefusals,
    testing::Values(KillRefusal{70, "Kill 70", 6104, 16, "Cannot use KILL to kill your own process."},
                    KillRefusal{70, "Kill 99", 6106, 16, "Process ID 99 is not an active process ID."},
                    KillRefusal{70, "Kill 40000", 6106, 16, "Process ID 40000 is not an active process ID."},
                    KillRefusal{70, "KILL 1", 6107, 14, "Only user processes can be killed."},
                    KillRefusal{71, "Kill 60", 6102, 14, "User does not have permission to use the KILL statement."},
                    KillRefusal{70, "Kill ", 170, 15, "Incorrect syntax near 'Kill'."},
                    KillRefusal{70, "Kill abc", 170, 15, "Incorrect syntax near 'abc'."},
                    KillRefusal{70, "Kill 60 61", 170, 15, "Incorrect syntax near '61'."},
                    KillRefusal{70, "Kill 6.5", 170, 15, "Incorrect syntax near '6.5'."},
                    KillRefusal{70, "Kill from 60", 156, 15, "Incorrect syntax near the keyword 'from'."}));

TEST(Kill, EndingAChainHeadReleasesItsLocksAndItsWaiters)
{
    ServerState state = chainServer();
    const Outcome outcome = run(state, "Kill 60", 70);
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_TRUE(outcome.killed.empty());   // no client link stands behind 60
    EXPECT_EQ(findProcess(state, 60), nullptr);
    ASSERT_EQ(state.locks.size(), 1u);
    EXPECT_EQ(state.locks[0].spid, 61);
    for (const int waiter : {61, 63}) {
        const Process* p = findProcess(state, waiter);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->blocked, 0);
        EXPECT_EQ(p->waittype, QByteArray(2, '\0'));
        EXPECT_EQ(p->waittime, 0);
        EXPECT_TRUE(p->waitresource.isEmpty());
        EXPECT_EQ(p->lastwaittype, "LCK_M_X");
    }
    EXPECT_EQ(findProcess(state, 62)->blocked, 61);
}

TEST(Kill, EndingAClientSessionNamesItSoItsLinkCloses)
{
    ServerState state = chainServer();
    const Outcome outcome = run(state, "Kill 70", 61);
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_EQ(outcome.killed, std::vector<int>{70});
    EXPECT_EQ(findProcess(state, 70), nullptr);
}

class DefaultPopulation : public testing::TestWithParam<ServerVersion> {};

TEST_P(DefaultPopulation, IsLivelyAndConsistent)
{
    const ServerState state = populated(GetParam(), 1);
    QSet<int> spids;
    QStringList systemCommands;
    qint64 mostIo = 0;
    bool nonLatinHost = false;
    for (const Process& p : state.processes) {
        EXPECT_FALSE(spids.contains(p.spid)) << p.spid;
        spids.insert(p.spid);
        EXPECT_EQ(p.system, p.spid <= 10) << p.spid;
        if (p.system) {
            systemCommands << p.cmd;
            EXPECT_EQ(p.loginame, "sa");
            EXPECT_TRUE(p.status == "background" || p.status == "sleeping") << p.status.toStdString();
        }
        mostIo = std::max(mostIo, p.physical_io);
        nonLatinHost = nonLatinHost || p.hostname.toLatin1() != p.hostname.toUtf8();
        EXPECT_LE(p.login_time, p.system ? state.frozenNow : p.last_batch) << p.spid;
        EXPECT_LE(p.last_batch, state.frozenNow) << p.spid;
    }
    for (const char* cmd : {"LAZY WRITER", "LOG WRITER", "SIGNAL HANDLER", "LOCK MONITOR",
                            "TASK MANAGER", "CHECKPOINT SLEEP"})
        EXPECT_TRUE(systemCommands.contains(cmd)) << cmd;
    for (const Lock& lock : state.locks)
        EXPECT_TRUE(spids.contains(lock.spid)) << lock.spid;
    EXPECT_GE(chainDepth(state), 3);
    EXPECT_TRUE(nonLatinHost);
    if (GetParam() == ServerVersion::Sql2000)
        EXPECT_GT(mostIo, qint64(INT_MAX));
    else
        EXPECT_LE(mostIo, qint64(INT_MAX));

    // Rows of every colour: blocked, holding locks, neither.
    ServerState copy = state;
    const ResultSet list = run(copy, processList, 0).results.at(0);
    int blocked = 0, holding = 0, idle = 0;
    for (const auto& row : list.rows) {
        if (row[3].toInt() != 0)
            ++blocked;
        else if (row[2].toInt() != 0)
            ++holding;
        else
            ++idle;
    }
    EXPECT_GE(blocked, 2);
    EXPECT_GE(holding, 2);
    EXPECT_GE(idle, 2);
}

INSTANTIATE_TEST_SUITE_P(BothVersions, DefaultPopulation,
                         testing::Values(ServerVersion::Sql70, ServerVersion::Sql2000));

TEST(DefaultPopulation, OneSeedGivesOneHistory)
{
    ServerState first = populated(ServerVersion::Sql2000, 7);
    ServerState second = populated(ServerVersion::Sql2000, 7);
    ServerState other = populated(ServerVersion::Sql2000, 8);
    bool seedsDiffer = false;
    for (int reading = 0; reading < 8; ++reading) {
        const auto rows = run(first, processList, 0).results.at(0).rows;
        EXPECT_EQ(rows, run(second, processList, 0).results.at(0).rows) << reading;
        seedsDiffer = seedsDiffer || rows != run(other, processList, 0).results.at(0).rows;
    }
    EXPECT_TRUE(seedsDiffer);
}

TEST(DefaultPopulation, MovesBetweenReadingsButKeepsItsChains)
{
    ServerState state = populated(ServerVersion::Sql2000, 3);
    const QSet<int> initial = [&] {
        QSet<int> spids;
        for (const Process& p : state.processes)
            spids.insert(p.spid);
        return spids;
    }();
    const qint32 waitedBefore = findProcess(state, 58)->waittime;
    qint64 systemCpu = 0;
    bool cameOrWent = false;
    for (int round = 0; round < 30; ++round) {
        state.frozenNow = state.frozenNow.addSecs(5);
        evolve(state);
        QSet<int> spids;
        qint64 cpu = 0;
        for (const Process& p : state.processes) {
            EXPECT_FALSE(spids.contains(p.spid)) << p.spid;
            spids.insert(p.spid);
            if (p.system)
                cpu += p.cpu;
        }
        EXPECT_GE(cpu, systemCpu);
        systemCpu = cpu;
        cameOrWent = cameOrWent || spids != initial;
        EXPECT_GE(chainDepth(state), 3) << round;
    }
    EXPECT_TRUE(cameOrWent);
    EXPECT_GT(findProcess(state, 58)->waittime, waitedBefore);
}

TEST(DefaultPopulation, EvolveLeavesProcessesItDidNotMake)
{
    ServerState state = populated(ServerVersion::Sql2000, 5);
    Process client = process(90);
    client.hasClient = true;
    client.cpu = 12;
    client.last_batch = state.frozenNow;
    state.processes.push_back(client);
    for (int round = 0; round < 30; ++round)
        evolve(state);
    const Process* after = findProcess(state, 90);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->cpu, 12);
    EXPECT_EQ(after->last_batch, client.last_batch);

    ServerState quiet = chainServer();
    for (int round = 0; round < 10; ++round)
        evolve(quiet);
    EXPECT_EQ(quiet.processes.size(), 7u);
    EXPECT_EQ(findProcess(quiet, 63)->waittime, 5000);
}
