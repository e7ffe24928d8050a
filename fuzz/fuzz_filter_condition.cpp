// The filter-cell condition grammar on arbitrary text: a cell either refuses the text with its
// message or gives a condition whose filter string the result set reads and tests on rows; only
// a relation without a second term makes a filter string the result set refuses.
#include "DbError.h"
#include "FilterCondition.h"
#include "Query.h"
#include "RowFilter.h"
#include "SampleRows.h"
#include "SortFilterAdapter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::vector<FieldDef> fields = fuzz::sampleFields();
    const FieldDef& field = fields[input.ConsumeIntegralInRange<size_t>(0, fields.size() - 1)];
    const QLocale locale = input.ConsumeBool() ? QLocale::c() : QLocale(QLocale::German, QLocale::Germany);
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));

    const FilterExpressionType type = filterExpressionType(field.kind);
    ColumnCondition condition;
    try {
        condition = parseFilterCondition(text, type, locale);
    } catch (const DbError& error) {
        if (error.cause() != DbError::Cause::Usage)
            std::abort();
        return 0;
    }

    // The values were read in the locale already, so the filter string must build and read back.
    Query query;
    query.setFields(fields);
    query.createDataSet();
    GridColumns columns(1);
    columns[0].fieldName = field.name;
    columns[0].filter.condition = condition;
    // A relation without a second term ("5 AND") gives a part the result set rejects.
    const bool dangling = condition.relation != FilterRelation::None && condition.secondOperator == FilterOperator::None;
    QString filter;
    try {
        filter = buildFilterString(columns, query, locale);
        const auto parsed = RowFilter::parse(filter, fields, locale);
        for (const Row& row : fuzz::sampleRows())
            parsed->matches(row);
        if (dangling && type != FilterExpressionType::Other)
            std::abort();
    } catch (const DbError& error) {
        if (dangling && error.cause() == DbError::Cause::Usage)
            return 0;
        std::fprintf(stderr, "filter string \"%s\": %s\n", qUtf8Printable(filter), error.what());
        std::abort();
    }
    return 0;
}
