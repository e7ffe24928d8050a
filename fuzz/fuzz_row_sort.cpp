// The sort string on arbitrary text, applied to arbitrary rows: it is refused with a usage
// error, or it orders the rows so that sorting them again changes nothing (the sort is stable
// and its order consistent), and the grid's sort marks for its keys give back the same keys.
#include "DbError.h"
#include "RowSort.h"
#include "SampleRows.h"
#include "SortFilterAdapter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <set>

using namespace velmora;

namespace {

QString textFrom(FuzzedDataProvider& input)
{
    const std::string bytes = input.ConsumeRandomLengthString(40);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QVariant valueFrom(FuzzedDataProvider& input, FieldKind kind)
{
    if (input.ConsumeIntegralInRange(0, 7) == 0)
        return {};
    switch (kind) {
    case FieldKind::SmallInt: return input.ConsumeIntegral<qint16>();
    case FieldKind::Integer: return input.ConsumeIntegral<qint32>();
    case FieldKind::LargeInt: return input.ConsumeIntegral<qint64>();
    case FieldKind::Float: return std::bit_cast<double>(input.ConsumeIntegral<quint64>());   // NaN, -0, inf too
    case FieldKind::DateTime:
        return QDateTime::fromMSecsSinceEpoch(input.ConsumeIntegralInRange<qint64>(-7'000'000'000'000, 253'402'300'799'999));
    case FieldKind::Bytes:
    case FieldKind::VarBytes: {
        const std::string bytes = input.ConsumeRandomLengthString(16);
        return QByteArray(bytes.data(), qsizetype(bytes.size()));
    }
    default: return textFrom(input);   // BCD is held as its text as well
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::vector<FieldDef> fields = fuzz::sampleFields();
    const QString text = textFrom(input);
    RowSort sort;
    try {
        sort = RowSort::parse(text, fields);
    } catch (const DbError& error) {
        if (error.cause() != DbError::Cause::Usage)
            std::abort();
        return 0;
    }

    std::vector<Row> rows;
    while (input.remaining_bytes() > 0 && rows.size() < 64) {
        Row& row = rows.emplace_back();
        for (const FieldDef& field : fields)
            row.push_back(valueFrom(input, field.kind));
    }
    std::vector<int> view(rows.size());
    std::iota(view.begin(), view.end(), 0);
    sort.apply(view, rows, fields);
    std::vector<int> seen = view;
    std::sort(seen.begin(), seen.end());
    for (size_t i = 0; i < seen.size(); ++i)
        if (seen[i] != int(i))
            std::abort();   // not a permutation of the rows
    std::vector<int> again = view;
    sort.apply(again, rows, fields);
    if (again != view)
        std::abort();

    // The keys as sort marks on the grid's columns, written out and read back.
    std::set<int> distinct;
    for (const RowSort::Key& key : sort.keys())
        distinct.insert(key.field);
    if (distinct.size() != sort.keys().size())
        return 0;   // a column repeated has no sort marks of its own
    GridColumns columns(fields.size());
    std::vector<int> marked;
    for (size_t i = 0; i < fields.size(); ++i)
        columns[i].fieldName = fields[i].name;
    for (const RowSort::Key& key : sort.keys()) {
        GridColumn& column = columns[size_t(key.field)];
        column.sortMarker = key.descending ? SortMarker::Up : SortMarker::Down;
        column.sortIndex = int(marked.size()) + 1;
        marked.push_back(key.field);
    }
    const RowSort reread = RowSort::parse(sortStringFor(columns, marked), fields);
    if (reread.keys().size() != sort.keys().size())
        std::abort();
    for (size_t i = 0; i < sort.keys().size(); ++i)
        if (reread.keys()[i].field != sort.keys()[i].field || reread.keys()[i].descending != sort.keys()[i].descending)
            std::abort();
    return 0;
}
