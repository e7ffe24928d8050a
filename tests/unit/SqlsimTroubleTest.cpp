// The simulated server in trouble, on a clock the tests move: the blocking chain builds up,
// its waits grow and it clears from the head down in every cycle; busy sessions use cpu and io
// at their own rates while idle ones use nothing; a killed head frees its waiters.
#include "EngineReplies.h"
#include "engine/Engine.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace sqlsim;
using namespace sqlsim::testing;

namespace {

// Without the population the test's session is spid 51 and the scenario's sessions, seated at
// the first batch, take 52 on: the head 52, the waiters 53..56, the busy 57 and 58, the idle 59
// and 60.
class SqlsimTrouble : public ::testing::Test {
protected:
    explicit SqlsimTrouble(ServerVersion version = ServerVersion::Sql2000)
        : engine(ServerOptions{.version = version, .populate = false, .trouble = true})
    {
        at(0);
    }

    /// Sets the server's clock `seconds` after the start and runs the batch then.
    Reply at(int seconds, const QString& batch = QStringLiteral("select 1"))
    {
        {
            std::lock_guard lock(engine.mutex());
            engine.state().frozenNow = start.addSecs(seconds);
        }
        return engine.execute(spid, batch);
    }

    QStringList waits(int seconds)
    {
        return rowTexts(at(seconds, QStringLiteral("select spid, blocked, waittime from master..sysprocesses "
                                                   "where blocked <> 0 order by spid")));
    }

    Engine engine;
    int spid = loginSession(engine);
    const QDateTime start{QDate(2026, 12, 9), QTime(9, 30)};
};

class SqlsimTroubleByVersion : public SqlsimTrouble, public ::testing::WithParamInterface<ServerVersion> {
protected:
    SqlsimTroubleByVersion() : SqlsimTrouble(GetParam()) {}
};

} // namespace

TEST_P(SqlsimTroubleByVersion, ChainBuildsUpWaitsGrowAndItClearsFromTheHeadDown)
{
    struct Step {
        int seconds;
        QStringList waits;   // spid|blocker|waittime
    };
    const Step steps[] = {
        {5, {}},
        {25, {"53|52|5000"}},
        {60, {"53|52|40000", "54|53|30000", "55|52|20000", "56|54|10000"}},
        {65, {"53|52|45000", "54|53|35000", "55|52|25000", "56|54|15000"}},
        // The head has committed: 53 and 55 have their locks, 54 still waits for 53.
        {85, {"54|53|55000", "56|54|35000"}},
        {92, {"56|54|42000"}},
        {105, {}},
        {145, {"53|52|5000"}},   // the next cycle
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.seconds);
        EXPECT_EQ(waits(step.seconds), step.waits);
    }
}

TEST_P(SqlsimTroubleByVersion, LocksOfTheChainAreHeldAndRequestedWhileItLasts)
{
    const QStringList head = rowTexts(at(60, QStringLiteral("exec sp_lock 52")));
    EXPECT_EQ(head.size(), 4);
    EXPECT_TRUE(head.contains("52|6|53575229|1|KEY |(0b00d9e1a2c3)  |X|GRANT")) << head.join('\n').toStdString();
    EXPECT_TRUE(rowTexts(at(60, QStringLiteral("exec sp_lock 53"))).contains("53|6|53575229|1|KEY |(0b00d9e1a2c3)  |U|WAIT"));
    EXPECT_EQ(rowTexts(at(105, QStringLiteral("exec sp_lock 52"))), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Versions, SqlsimTroubleByVersion,
                         ::testing::Values(ServerVersion::Sql70, ServerVersion::Sql2000, ServerVersion::Sql2022));

TEST_F(SqlsimTrouble, BusySessionsUseCpuAndIoAtTheirOwnRatesAndIdleOnesNothing)
{
    const QString figures = QStringLiteral("select spid, cpu, physical_io from master..sysprocesses "
                                           "where spid in (57, 58, 59) order by spid");
    const QStringList before = rowTexts(at(10, figures));
    const QStringList after = rowTexts(at(20, figures));
    ASSERT_EQ(before.size(), 3);
    ASSERT_EQ(after.size(), 3);
    const QList<qint64> growth[] = {{9000, 300}, {600, 24000}, {0, 0}};   // ten seconds of each
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(before[row].toStdString());
        const QStringList from = before[row].split('|');
        const QStringList to = after[row].split('|');
        EXPECT_EQ(to[1].toLongLong() - from[1].toLongLong(), growth[row][0]);
        EXPECT_EQ(to[2].toLongLong() - from[2].toLongLong(), growth[row][1]);
    }
}

TEST_F(SqlsimTrouble, KilledHeadFreesItsWaitersAndLogsInAgainNextCycle)
{
    const QString headLogin = QStringLiteral("select login_time from master..sysprocesses where spid = 52");
    const QStringList firstLogin = rowTexts(at(60, headLogin));
    at(60, QStringLiteral("kill 52"));
    EXPECT_EQ(waits(61), QStringList());
    EXPECT_EQ(waits(145), QStringList{"53|52|5000"});
    EXPECT_NE(rowTexts(at(145, headLogin)), firstLogin);
}
