// The filter string on arbitrary text: it is refused with a usage error or tests every row.
#include "DbError.h"
#include "RowFilter.h"
#include "SampleRows.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const QLocale locale = input.ConsumeBool() ? QLocale::c() : QLocale(QLocale::German, QLocale::Germany);
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    const std::vector<FieldDef> fields = fuzz::sampleFields();
    std::unique_ptr<RowFilter> filter;
    try {
        filter = RowFilter::parse(text, fields, locale);
    } catch (const DbError& error) {
        if (error.cause() != DbError::Cause::Usage)
            std::abort();
        return 0;
    }
    // "(f) AND (f)" and "(f) OR (f)" match exactly the rows f matches; "NOT" is not part of
    // the grammar, so these are the checks the grammar allows.
    const QString twice[] = {QStringLiteral("(%1) AND (%1)").arg(text), QStringLiteral("(%1) OR (%1)").arg(text)};
    for (const QString& combined : twice) {
        std::unique_ptr<RowFilter> doubled;
        try {
            doubled = RowFilter::parse(combined, fields, locale);
        } catch (const DbError& error) {
            // An empty filter has nothing to wrap; one at the nesting limit goes over it.
            if (text.trimmed().isEmpty() || error.text().contains(QStringLiteral("nested too deeply")))
                continue;
            std::fprintf(stderr, "\"%s\": %s\n", qUtf8Printable(combined), error.what());
            std::abort();
        }
        for (const Row& row : fuzz::sampleRows())
            if (doubled->matches(row) != filter->matches(row))
                std::abort();
    }
    return 0;
}
