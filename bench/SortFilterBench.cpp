// Local sort and filter of 100,000 held rows against hand-written code over the same data:
// the sort against std::stable_sort over keys extracted beforehand, the filter against a
// hand-written predicate loop.
#include "RowFilter.h"
#include "RowSort.h"
#include "ValueCompare.h"

#include <QCollatorSortKey>
#include <QDateTime>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <numeric>
#include <random>

using namespace velmora;

namespace {

constexpr int rowCount = 100'000;

const std::vector<FieldDef> fields = {
    {QStringLiteral("spid"), FieldKind::Integer},
    {QStringLiteral("cpu"), FieldKind::Integer},
    {QStringLiteral("loginame"), FieldKind::FixedChar, 12},
    {QStringLiteral("login_time"), FieldKind::DateTime},
};

const QString sortStrings[] = {
    QStringLiteral("cpu DESC"),
    QStringLiteral("cpu DESC, loginame"),
    QStringLiteral("cpu DESC, loginame, login_time"),
};

// Process-list-like rows: few distinct cpu values and logins, so later keys decide often.
const std::vector<Row>& heldRows()
{
    static const std::vector<Row> rows = [] {
        std::mt19937 random(20261209);
        QStringList logins;
        for (int i = 0; i < 40; ++i)
            logins << QStringLiteral("%1user%2").arg(i % 2 ? u'S' : u's').arg(i).leftJustified(12);
        logins << QStringLiteral("sa").leftJustified(12) << QStringLiteral("SA").leftJustified(12);
        const QDateTime start(QDate(2026, 1, 1), QTime(0, 0));
        std::vector<Row> result;
        result.reserve(rowCount);
        for (int i = 0; i < rowCount; ++i) {
            result.push_back({i + 1, int(random() % 500), logins[int(random() % logins.size())],
                              start.addSecs(qint64(random() % 10'000'000))});
        }
        return result;
    }();
    return rows;
}

std::vector<int> serverOrder()
{
    std::vector<int> view(rowCount);
    std::iota(view.begin(), view.end(), 0);
    return view;
}

void BM_RowSortApply(benchmark::State& state)
{
    const std::vector<Row>& rows = heldRows();
    const RowSort sort = RowSort::parse(sortStrings[state.range(0) - 1], fields);
    for (auto _ : state) {
        std::vector<int> view = serverOrder();
        sort.apply(view, rows, fields);
        benchmark::DoNotOptimize(view.data());
    }
}
BENCHMARK(BM_RowSortApply)->DenseRange(1, 3)->Unit(benchmark::kMillisecond);

// The same keys, extracted once outside the timed loop, sorted with a comparator written for
// exactly these columns.
void BM_StableSortPreExtracted(benchmark::State& state)
{
    const std::vector<Row>& rows = heldRows();
    const QCollator collator = textCollator();
    std::vector<qint64> cpu;
    std::vector<QCollatorSortKey> logins;
    std::vector<qint64> times;
    for (const Row& row : rows) {
        cpu.push_back(row[1].toLongLong());
        logins.push_back(collator.sortKey(comparableText(row[2].toString(), FieldKind::FixedChar).toString()));
        times.push_back(wallClockMsecs(row[3].toDateTime()));
    }
    const int keys = int(state.range(0));
    const auto less = [&](int a, int b) {
        if (cpu[a] != cpu[b])
            return cpu[a] > cpu[b];
        if (keys == 1)
            return false;
        if (const int order = logins[a].compare(logins[b]))
            return order < 0;
        return keys == 3 && times[a] < times[b];
    };
    for (auto _ : state) {
        std::vector<int> view = serverOrder();
        std::stable_sort(view.begin(), view.end(), less);
        benchmark::DoNotOptimize(view.data());
    }
}
BENCHMARK(BM_StableSortPreExtracted)->DenseRange(1, 3)->Unit(benchmark::kMillisecond);

void BM_RowFilterMatches(benchmark::State& state)
{
    const std::vector<Row>& rows = heldRows();
    const auto filter = RowFilter::parse(QStringLiteral(" [cpu] > 100 AND  [loginame] Like 'sa' "), fields);
    for (auto _ : state) {
        int passing = 0;
        for (const Row& row : rows)
            passing += filter->matches(row);
        benchmark::DoNotOptimize(passing);
    }
}
BENCHMARK(BM_RowFilterMatches)->Unit(benchmark::kMillisecond);

void BM_HandWrittenPredicate(benchmark::State& state)
{
    const std::vector<Row>& rows = heldRows();
    const auto matches = [](const Row& row) {
        if (row[1].isNull() || row[1].toInt() <= 100 || row[2].isNull())
            return false;
        const QString login = row[2].toString();
        return comparableText(login, FieldKind::FixedChar).compare(u"sa", Qt::CaseInsensitive) == 0;
    };
    for (auto _ : state) {
        int passing = 0;
        for (const Row& row : rows)
            passing += matches(row);
        benchmark::DoNotOptimize(passing);
    }
}
BENCHMARK(BM_HandWrittenPredicate)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
