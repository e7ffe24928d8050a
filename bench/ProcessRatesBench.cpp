// The rate computation that follows every read of the process list while the rate columns are
// shown: a read matched against the one before, then every row's rates looked up as the list's
// calculated fields take them. Compared in report.sh with the refresh it follows.
#include "ProcessQueries.h"
#include "ProcessRates.h"
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
    const std::vector<FieldDef> fields = processFields(ServerFamily::Sql2000);
    const std::vector<Row> reads[] = {processRows(fields, count, 0), processRows(fields, count, 1)};
    const size_t spid = size_t(findFieldIndex(fields, u"spid"));
    const size_t login = size_t(findFieldIndex(fields, u"login_time"));
    const size_t ecid = size_t(findFieldIndex(fields, u"ecid"));
    ProcessRates rates;
    rates.read(reads[0], fields, 0);
    qint64 readMs = 0;
    for (auto _ : state) {
        readMs += 2000;
        const std::vector<Row>& rows = reads[(readMs / 2000) % 2];
        rates.read(rows, fields, readMs);
        for (const Row& row : rows)
            benchmark::DoNotOptimize(rates.rateOf(row[spid], row[login], row[ecid]));
    }
    state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK(BM_ProcessRates)->Unit(benchmark::kMillisecond)->Arg(10'000)->Arg(100'000);

} // namespace

BENCHMARK_MAIN();
