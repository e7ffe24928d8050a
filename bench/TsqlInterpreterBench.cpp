// The interpreter on the two heaviest batches the screens send: the process list over 10,000
// processes (the figure to hold against the former hard-wired evaluator) and the error-log
// parsing batch over a 10,000-line archive.
#include "LogQueries.h"
#include "ProcessQueries.h"
#include "tsql/Interpreter.h"

#include <QStringList>
#include <benchmark/benchmark.h>

using namespace sqlsim;

namespace {

constexpr int processCount = 10'000;
constexpr int logLineCount = 10'000;

// A batch as the client sends it: its lines, each ended by CR LF.
QString sent(const QStringList& lines)
{
    return lines.join("\r\n") + "\r\n";
}

const QString processQuery2 = sent(velmora::processBatch(velmora::ServerFamily::Sql2000));
const QString logParsing = sent(velmora::logParsingBatch()).replace(":LID", "N'0'");

// 10,000 processes, every third holding three locks.
ServerState processServer()
{
    ServerState state;
    state.options.populate = false;
    state.databases = {{1, "master", {}, {}}, {5, "pubs", {}, {}}};
    const QDateTime now(QDate(2026, 12, 9), QTime(9, 30));
    for (int i = 0; i < processCount; ++i) {
        Process p;
        p.spid = qint16(i + 1);
        p.kpid = qint16(1000 + i);
        p.dbid = i % 2 ? 1 : 5;
        p.login_time = now.addSecs(-i);
        p.last_batch = now;
        p.status = QStringLiteral("sleeping");
        p.cmd = QStringLiteral("AWAITING COMMAND");
        p.hostname = QStringLiteral("HOST-%1").arg(i % 40);
        p.program_name = QStringLiteral("Program %1").arg(i % 7);
        p.loginame = QStringLiteral("user%1").arg(i % 13);
        p.sid = QByteArray(1, char(i % 13));
        state.processes.push_back(p);
        if (i % 3 == 0) {
            for (int l = 0; l < 3; ++l)
                state.locks.push_back(Lock{qint16(i + 1), 1000 + l, 5, 1, l});
        }
    }
    return state;
}

void BM_ProcessListBatch(benchmark::State& run)
{
    ServerState state = processServer();
    tsql::SessionState session;
    for (auto _ : run) {
        const Reply reply = tsql::runBatch(state, session, 1, processQuery2);
        benchmark::DoNotOptimize(reply.items.size());
    }
}
BENCHMARK(BM_ProcessListBatch)->Unit(benchmark::kMillisecond);

void BM_LogParsingBatch(benchmark::State& run)
{
    ServerState state;
    state.options.populate = false;
    state.databases = {{1, "master", {}, {}}};
    ErrorLogArchive archive{0, QDateTime(QDate(2026, 12, 9), QTime(9, 30)), {}};
    const QDateTime start(QDate(2026, 12, 1), QTime(0, 0));
    for (int i = 0; i < logLineCount; ++i) {
        if (i % 10 == 9) {
            archive.lines << QStringLiteral("\tcontinued text of the message before, line %1").arg(i);
            continue;
        }
        archive.lines << start.addSecs(i).toString("yyyy-MM-dd HH:mm:ss.zzz").left(22)
                + QStringLiteral(" spid%1    Message number %2 of the archive.").arg(51 + i % 40).arg(i);
    }
    state.errorLogs = {archive};
    tsql::SessionState session;
    for (auto _ : run) {
        const Reply reply = tsql::runBatch(state, session, 1, logParsing);
        benchmark::DoNotOptimize(reply.items.size());
    }
}
BENCHMARK(BM_LogParsingBatch)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
