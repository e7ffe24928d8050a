// The client part of F3 on a process list of 10,000 rows: every one of the 30 value lists filled
// with the distinct values of its column, sorted, and its entries read out for the drop-down.
// The lists are shaped without the server here; the server's part is one empty batch a list.
#include "BenchSupport.h"
#include "ProcessQueries.h"
#include "Query.h"
#include "ValueList.h"

#include <QDateTime>
#include <benchmark/benchmark.h>
#include <random>

using namespace velmora;

namespace {

constexpr int processCount = 10'000;

// How many distinct values a field takes over the list: unique numbers and times, a few hosts,
// programs, logins and states, as a busy server shows them.
int distinctValues(const FieldDef& field)
{
    static const QStringList unique = {"spid", "kpid", "login_time", "last_batch", "cpu", "physical_io"};
    if (unique.contains(field.name))
        return processCount;
    return isNumberKind(field.kind) ? 500 : 40;
}

QVariant valueOf(const FieldDef& field, int n)
{
    switch (field.kind) {
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::LargeInt:
        return n;
    case FieldKind::DateTime: {
        // Held as the fetch holds them: the local reading, with its offset from UTC.
        const QDateTime local = QDateTime(QDate(2026, 12, 9), QTime(8, 0)).addMSecs(qint64(n) * 1'300);
        return local.toOffsetFromUtc(local.offsetFromUtc());
    }
    case FieldKind::Bytes:
    case FieldKind::VarBytes:
        return QByteArray::number(n).leftJustified(field.size, '\0');
    default: {
        const QString text = field.name + QString::number(n);
        return field.kind == FieldKind::FixedWideChar ? text.leftJustified(field.size) : text;
    }
    }
}

const Query& processList()
{
    static Query* const query = [] {
        auto* list = new Query;
        list->setFields(processFields(ServerFamily::Sql2000));
        list->createDataSet();
        std::mt19937 random(20261209);
        std::vector<Row> rows;
        for (int i = 0; i < processCount; ++i) {
            Row row;
            for (const FieldDef& field : list->fields())
                row.push_back(valueOf(field, distinctValues(field) == processCount
                                                 ? i + 1
                                                 : int(random() % unsigned(distinctValues(field)))));
            rows.push_back(std::move(row));
        }
        list->appendRows(std::move(rows));
        return list;
    }();
    return *query;
}

void BM_FillAllValueLists(benchmark::State& state)
{
    const Query& source = processList();
    const std::vector<FieldDef>& fields = source.fields();
    for (auto _ : state) {
        bench::CountedSpan counted(false);
        qsizetype entries = 0;
        for (int field = 0; field < int(fields.size()); ++field) {
            Query list;
            list.setFields({valueListField(fields[size_t(field)].name, fields[size_t(field)].kind)});
            list.createDataSet();
            fillValueList(list, source, field);
            entries += valueListEntries(list).size();
        }
        benchmark::DoNotOptimize(entries);
    }
}
BENCHMARK(BM_FillAllValueLists)->Unit(benchmark::kMillisecond);

// Each list alone, labelled with its field: where the time of the whole goes.
void BM_FillOneValueList(benchmark::State& state)
{
    const Query& source = processList();
    const int field = int(state.range(0));
    state.SetLabel(source.fields()[size_t(field)].name.toStdString());
    for (auto _ : state) {
        const FieldDef& sourceField = source.fields()[size_t(field)];
        Query list;
        list.setFields({valueListField(sourceField.name, sourceField.kind)});
        list.createDataSet();
        fillValueList(list, source, field);
        benchmark::DoNotOptimize(valueListEntries(list).size());
    }
}
BENCHMARK(BM_FillOneValueList)->DenseRange(0, 29)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
