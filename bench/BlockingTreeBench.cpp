// What the blocking tree adds to every build of the process list's rows at 10,000 and 100,000
// processes, one in thirteen of them waiting in chains and fans: the count of the waiters behind
// each process over every row held, and the tree order of the visible rows. Held against the F5
// refresh of the same sizes (ProcessRefreshBench), which builds it once as it reads the rows.
#include "BenchSupport.h"
#include "BlockingTreeView.h"
#include "ProcessQueries.h"
#include "Query.h"

using namespace velmora;

namespace {

// Heads every 40 spids, each with a chain two deep and a third waiter beside it.
std::vector<Row> processRows(const Query& list, int count)
{
    const size_t spid = size_t(list.fieldIndex(QStringLiteral("spid")));
    const size_t blocked = size_t(list.fieldIndex(QStringLiteral("blocked")));
    std::vector<Row> rows;
    rows.reserve(size_t(count));
    for (int index = 0; index < count; ++index) {
        Row row(list.fields().size());
        row[spid] = index + 1;
        const int place = index % 40;
        row[blocked] = place == 1 || place == 2 ? index : place == 3 ? index - 2 : 0;
        rows.push_back(std::move(row));
    }
    return rows;
}

void BM_BlockingTreeBuild(benchmark::State& state)
{
    Query list;
    setUpProcessQuery(list, ServerFamily::Sql2000);
    BlockingTreeView::addWaitingField(list);
    list.createDataSet();
    list.appendRows(processRows(list, int(state.range(0))));
    BlockingTreeView tree;
    // The hooks as the process tab gives them to a list shown as a tree.
    tree.hooksChanged = [&tree](Query* shown) {
        shown->arrangeView = [&tree](std::vector<int>& view, const std::vector<Row>& rows) { tree.arrange(view, rows); };
        shown->beforeCalcFields = [&tree](Query& query) { tree.countWaiting(query); };
        shown->onCalcFields = [&tree](Query& query) { tree.setWaiting(query); };
    };
    tree.show(&list);
    for (auto _ : state)
        list.setSort(QString());   // the counting pass and the tree order, as every read makes them
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_BlockingTreeBuild)->Unit(benchmark::kMillisecond)->Arg(10'000)->Arg(100'000);

} // namespace

int main(int argc, char** argv)
{
    return bench::runInApplication(argc, argv);
}
