#include "ValueList.h"

#include "FieldText.h"
#include "Query.h"
#include "TrimmedText.h"

#include <QDateTime>
#include <QSet>

namespace velmora {

namespace {

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

// The entry a value gives in a list of `kind`, from the value and its (trimmed, cut) text.
QVariant entryValue(const QVariant& value, const QString& text, FieldKind kind)
{
    if (text.isEmpty())
        return {};
    switch (kind) {
    case FieldKind::Integer:
        return value.toInt();
    case FieldKind::DateTime: {
        // The entry stands for its text, which names the second.
        QDateTime dateTime = value.toDateTime();
        dateTime.setTime(QTime(dateTime.time().hour(), dateTime.time().minute(), dateTime.time().second()));
        return dateTime;
    }
    default:
        return text;
    }
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
    const FieldKind sourceKind = source.fields()[size_t(sourceField)].kind;
    const FieldDef& field = list.fields().front();
    QSet<QString> listed;
    std::vector<Row> entries;
    for (int i = 0; i < source.heldRowCount(); ++i) {
        const QVariant& value = source.heldRow(i)[size_t(sourceField)];
        QString text = trimmedText(fieldListText(value, sourceKind, locale));
        if (field.kind == FieldKind::String)
            text.truncate(valueListTextWidth);
        if (listed.contains(text))
            continue;
        listed.insert(text);
        entries.push_back({entryValue(value, text, field.kind)});
    }
    list.appendRows(std::move(entries));
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
