// The process list's refresh (F5) at 1,000, 10,000 and 100,000 processes, against a bare ODBC
// fetch of the same batch from the same in-process sqlsim: the whole path of the tab (reopen,
// re-sort by two keys, locate the process that was current, reset of the grid's model) against
// reading the same columns and keeping nothing. CPU time is the client's (its GUI thread and the
// worker its server calls run on); the server answers on threads of its own.
#include "BenchSupport.h"
#include "Connection.h"
#include "ProcessQueries.h"
#include "ProcessTab.h"
#include "Query.h"


using namespace velmora;

namespace {

void BM_ProcessRefresh(benchmark::State& state)
{
    const int count = int(state.range(0));
    bench::setUserProcesses(count);
    Connection connection;
    connection.setConnectionString(bench::oleDbString(QStringLiteral("ProcessRefreshBench")));
    connection.open();
    ProcessTab tab(&connection);
    tab.findChild<Query*>(QStringLiteral("ProcQuery2"))->setCommandTimeout(bench::statementTimeout);
    tab.openAfterConnect(ServerFamily::Sql2000);
    Query& list = *tab.procSource();
    list.setSort(QStringLiteral("cpu DESC, loginame"));
    list.moveTo(list.recordCount() / 2);
    for (auto _ : state) {
        bench::ClientCpuTimer timer(state);
        tab.refreshKey();
    }
    if (list.recordCount() < count)
        state.SkipWithError("short list");
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_BareOdbcProcessFetch(benchmark::State& state)
{
    const int count = int(state.range(0));
    bench::setUserProcesses(count);
    bench::BareOdbc odbc;
    if (!odbc.connected())
        return state.SkipWithError("connect failed");
    const QString batch = bench::sentBatch(processBatch(ServerFamily::Sql2000));
    const std::vector<FieldDef> fields = processFields(ServerFamily::Sql2000);
    for (auto _ : state) {
        bench::ClientCpuTimer timer(state);
        const int rows = odbc.fetch(batch, fields);
        if (rows < count)
            return state.SkipWithError(("short fetch: " + std::to_string(rows) + " rows").c_str());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// The server's time grows with the list too; a fixed number of rounds keeps the largest case short.
#define AT_EACH_SIZE(function)                                                                   \
    BENCHMARK(function)->UseManualTime()->Unit(benchmark::kMillisecond)->Arg(1'000)->Iterations(10);  \
    BENCHMARK(function)->UseManualTime()->Unit(benchmark::kMillisecond)->Arg(10'000)->Iterations(4);  \
    BENCHMARK(function)->UseManualTime()->Unit(benchmark::kMillisecond)->Arg(100'000)->Iterations(1)

AT_EACH_SIZE(BM_ProcessRefresh);
AT_EACH_SIZE(BM_BareOdbcProcessFetch);

} // namespace

int main(int argc, char** argv)
{
    return bench::runInApplication(argc, argv);
}
