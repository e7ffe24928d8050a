// The rate computation that follows every read of the process list while the rate columns are
// shown: the read matched against the one before and the pass of the list's calculated fields
// that gives every row its rates. Compared in report.sh with the refresh it follows.
#include "BenchSupport.h"
#include "ProcessQueries.h"
#include "ProcessRateColumns.h"
#include "Query.h"
#include "ResultGrid.h"
#include "ValueCompare.h"

#include <QDateTime>
#include <benchmark/benchmark.h>

using namespace velmora;

namespace {

// `count` processes in the 2000 layout, spids and ecids as a busy server has them, their
// counters grown by `round`.
std::vector<Row> processRows(const std::vector<FieldDef>& fields, int count, int round)
{
    const auto at = [&](const char* name) { return size_t(findFieldIndex(fields, QString::fromLatin1(name))); };
    const QDateTime start(QDate(2026, 12, 10), QTime(8, 0));
    std::vector<Row> rows;
    rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        Row row(fields.size());
        row[at("spid")] = 51 + i / 4;
        row[at("ecid")] = i % 4;
        row[at("login_time")] = start.addSecs(i / 4);
        row[at("cpu")] = i % 97 * 10 + round * (i % 13);
        row[at("physical_io")] = qlonglong(i % 89) * 100 + round * (i % 7);
        rows.push_back(std::move(row));
    }
    return rows;
}

void BM_ProcessRates(benchmark::State& state)
{
    const int count = int(state.range(0));
    Query list;
    setUpProcessQuery(list, ServerFamily::Sql2000);
    ResultGrid grid;
    ProcessRateColumns rates(grid, nullptr);
    // The hooks as the process tab gives them to a list whose rates are shown.
    rates.hooksChanged = [&rates](Query* shown) {
        shown->beforeCalcFields = [&rates](Query& query) { rates.beforeCalcFields(query); };
        shown->onCalcFields = [&rates](Query& query) { rates.calcFields(query); };
    };
    rates.attach(&list);
    rates.setShown(true);
    qint64 readMs = 0;
    const std::vector<Row> reads[] = {processRows(list.fields(), count, 0), processRows(list.fields(), count, 1)};
    const auto hold = [&](const std::vector<Row>& rows) {
        list.createDataSet();
        list.appendRows(rows);
    };
    hold(reads[0]);
    rates.takeRead(readMs);
    for (auto _ : state) {
        state.PauseTiming();
        readMs += 2000;
        hold(reads[(readMs / 2000) % 2]);
        state.ResumeTiming();
        rates.takeRead(readMs);
    }
    state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK(BM_ProcessRates)->Unit(benchmark::kMillisecond)->Arg(10'000)->Arg(100'000);

} // namespace

int main(int argc, char** argv)
{
    return bench::runInApplication(argc, argv);
}
