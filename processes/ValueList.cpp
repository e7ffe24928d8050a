#include "ValueList.h"

#include "FieldText.h"
#include "Query.h"
#include "TrimmedText.h"
#include "ValueCompare.h"

#include <QDateTime>
#include <QSet>
#include <array>
#include <utility>

namespace velmora {

namespace {

// A value list reads one field of every held row, each row a heap block of its own: the field is
// asked for two strides ahead, and what a text or byte string points to one stride ahead.
void prefetchAhead(const Query& source, int row, int field)
{
    const size_t rows = size_t(source.heldRowCount());
    if (size_t(row) + 2 * rowPrefetchDistance < rows)
        prefetchValues(source.heldRow(row + 2 * int(rowPrefetchDistance)), std::array{field});
    if (size_t(row) + rowPrefetchDistance < rows)
        prefetchContents(source.heldRow(row + int(rowPrefetchDistance))[size_t(field)]);
}

FieldKind listKind(FieldKind sourceKind)
{
    if (sourceKind == FieldKind::Integer || sourceKind == FieldKind::DateTime)
        return sourceKind;
    return FieldKind::String;
}

QString sqlTypeText(FieldKind listKind)
{
    switch (listKind) {
    case FieldKind::Integer:
        return QStringLiteral(" int");
    case FieldKind::DateTime:
        return QStringLiteral(" DateTime");
    default:
        return QStringLiteral(" varchar(250)");
    }
}

// The entries of an int or DateTime list: one per distinct number, or per distinct second, whose
// texts (decimal digits; the short date and long time) tell exactly these apart. A null is an
// entry of its own.
std::vector<Row> numberEntries(const Query& source, int field, bool seconds)
{
    QSet<qint64> listed;
    bool nullListed = false;
    std::vector<Row> entries;
    for (int i = 0; i < source.heldRowCount(); ++i) {
        prefetchAhead(source, i, field);
        const QVariant& value = source.heldRow(i)[size_t(field)];
        if (isMissing(value)) {
            if (!std::exchange(nullListed, true))
                entries.push_back({QVariant()});
            continue;
        }
        qint64 key = heldInteger(value);
        if (seconds) {
            const QDateTime dateTime = value.toDateTime();
            key = dateTime.date().toJulianDay() * 86'400 + dateTime.time().msecsSinceStartOfDay() / 1'000;
        }
        if (listed.contains(key))
            continue;
        listed.insert(key);
        entries.push_back({value});
    }
    return entries;
}

// The entries of a varchar list: one per distinct trimmed text, cut to the list's width; the
// empty text (a null or a blank value) is one entry, held as a null.
std::vector<Row> textEntries(const Query& source, int field, const QLocale& locale)
{
    const FieldKind kind = source.fields()[size_t(field)].kind;
    // Most values recur (hosts, logins, states, security ids): a value met before needs no text
    // again.
    QSet<QString> metValues;
    QSet<QByteArray> metBytes;
    // A number's text is the same for every row holding it (most are small repeated codes).
    QSet<qint64> metNumbers;
    QSet<QString> listed;
    std::vector<Row> entries;
    const auto metBefore = [](auto& met, const auto& key) {
        if (met.contains(key))
            return true;
        met.insert(key);
        return false;
    };
    for (int i = 0; i < source.heldRowCount(); ++i) {
        prefetchAhead(source, i, field);
        const QVariant& value = source.heldRow(i)[size_t(field)];
        if (isTextKind(kind) && !isMissing(value)) {
            if (metBefore(metValues, value.typeId() == QMetaType::QString
                                         ? *static_cast<const QString*>(value.constData())
                                         : value.toString()))
                continue;
        } else if (isByteKind(kind) && !isMissing(value)) {
            if (metBefore(metBytes, value.toByteArray()))
                continue;
        } else if (isIntegerKind(kind) && !isMissing(value)) {
            const qint64 number = heldInteger(value);
            if (metNumbers.contains(number))
                continue;
            metNumbers.insert(number);
            // Distinct numbers are written in distinct digits, never blank nor over the width.
            entries.push_back({fieldListText(value, kind, locale)});
            continue;
        }
        QString text = trimmedText(fieldListText(value, kind, locale));
        text.truncate(valueListTextWidth);
        if (listed.contains(text))
            continue;
        listed.insert(text);
        entries.push_back({text.isEmpty() ? QVariant() : QVariant(text)});
    }
    return entries;
}

} // namespace

QString valueListBatch(const QString& name, FieldKind kind)
{
    return QStringLiteral("create Table #temp(") + name + sqlTypeText(listKind(kind))
           + QStringLiteral("); select ") + name + QStringLiteral(" from #temp; drop table #temp;");
}

FieldDef valueListField(const QString& name, FieldKind kind)
{
    const FieldKind list = listKind(kind);
    return {name, list, list == FieldKind::String ? valueListTextWidth : 0};
}

void fillValueList(Query& list, const Query& source, int sourceField, const QLocale& locale)
{
    const FieldDef& field = list.fields().front();
    list.appendRows(field.kind == FieldKind::String
                        ? textEntries(source, sourceField, locale)
                        : numberEntries(source, sourceField, field.kind == FieldKind::DateTime));
    list.setSort(field.name + QStringLiteral(" ASC"));
}

QStringList valueListEntries(const Query& list, const QLocale& locale)
{
    const FieldKind kind = list.fields().front().kind;
    QStringList entries;
    entries.reserve(list.recordCount());
    for (int row = 0; row < list.recordCount(); ++row)
        entries << fieldDisplayText(list.valueAt(row, 0), kind, locale);
    return entries;
}

} // namespace velmora
