// The error-log tab on an archive of 50,000 lines: the client part of loading the entries the
// server splits out of it and showing them in the grid, against a bare ODBC fetch of the same
// result, both in the client's CPU time (its GUI thread and the worker its server calls run on).
// The simulator's own time for the parsing batch is measured apart: it is sqlsim's cost,
// not the product's.
#include "BenchSupport.h"
#include "Connection.h"
#include "LogQueries.h"
#include "LogTab.h"
#include "Query.h"
#include "tsql/Interpreter.h"

#include <thread>


using namespace velmora;

namespace {

constexpr int lineCount = 50'000;

// Archive 0: dated lines from a few dozen processes, every tenth a continuation of the line
// before.
void writeArchive()
{
    static const bool written = [] {
        sqlsim::ErrorLogArchive archive{0, QDateTime(QDate(2026, 12, 9), QTime(9, 30)), {}};
        const QDateTime start(QDate(2026, 12, 1), QTime(0, 0));
        for (int i = 0; i < lineCount; ++i) {
            if (i % 10 == 9) {
                archive.lines << QStringLiteral("\tcontinued text of the message before, line %1").arg(i);
                continue;
            }
            archive.lines << start.addSecs(i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).left(22)
                    + QStringLiteral(" spid%1    Message number %2 of the archive.").arg(51 + i % 40).arg(i);
        }
        sqlsim::Engine& engine = bench::server().engine();
        std::lock_guard lock(engine.mutex());
        engine.state().errorLogs = {archive};
        return true;
    }();
    (void)written;
}

void BM_LoadLogEntries(benchmark::State& state)
{
    writeArchive();
    Connection connection;
    connection.setConnectionString(bench::oleDbString(QStringLiteral("LogLoadBench")));
    connection.open();
    LogTab tab(&connection);
    Query& entries = *tab.findChild<Query*>(QStringLiteral("LogListQuery"));
    entries.setParameter(QStringLiteral("LID"), QStringLiteral("0"));
    // The simulator's parsing takes tens of seconds under callgrind (bench/count.sh).
    entries.setCommandTimeout(bench::statementTimeout);
    for (auto _ : state) {
        bench::ClientCpuTimer timer(state);
        entries.close();
        entries.open();
    }
    state.counters["rows"] = entries.heldRowCount();
}
BENCHMARK(BM_LoadLogEntries)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

void BM_BareLogFetch(benchmark::State& state)
{
    writeArchive();
    bench::BareOdbc odbc;
    if (!odbc.connected())
        return state.SkipWithError("connect failed");
    Query entries;
    setUpLogListQuery(entries, ServerFamily::Sql2000);
    entries.setParameter(QStringLiteral("LID"), QStringLiteral("0"));
    const QString batch = entries.commandText();
    int rows = 0;
    for (auto _ : state) {
        bench::ClientCpuTimer timer(state);
        rows = odbc.fetch(batch, entries.fields());
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_BareLogFetch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

// The simulator alone answering the parsing batch, without the network.
void BM_SimulatorLogParsing(benchmark::State& state)
{
    writeArchive();
    sqlsim::ServerState copy;
    {
        sqlsim::Engine& engine = bench::server().engine();
        std::lock_guard lock(engine.mutex());
        copy = engine.state();
    }
    Query entries;
    setUpLogListQuery(entries, ServerFamily::Sql2000);
    entries.setParameter(QStringLiteral("LID"), QStringLiteral("0"));
    const QString batch = entries.commandText();
    // On a thread of its own, as the server answers: its allocations and its cache footprint stay
    // out of the client's thread, whose figures are taken in turns with this one.
    for (auto _ : state) {
        std::thread([&] {
            sqlsim::tsql::SessionState session;
            benchmark::DoNotOptimize(sqlsim::tsql::runBatch(copy, session, 1, batch).items.size());
        }).join();
    }
}
BENCHMARK(BM_SimulatorLogParsing)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return bench::runInApplication(argc, argv);
}
