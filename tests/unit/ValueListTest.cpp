// One filter value list filled from held rows without the server: its batch text, and which
// values become one entry.
#include "LocaleValues.h"
#include "Query.h"
#include "ValueList.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace velmora;

namespace {

// The entries a list of the field's kind takes from these values, "|"-joined in list order.
QString listOf(FieldKind kind, const std::vector<QVariant>& values, int size = 0)
{
    Query source;
    source.setFields({{QStringLiteral("f"), kind, size}});
    source.createDataSet();
    std::vector<Row> rows;
    for (const QVariant& value : values)
        rows.push_back({value});
    source.appendRows(std::move(rows));

    Query list;
    list.setFields({valueListField(QStringLiteral("f"), kind)});
    list.createDataSet();
    fillValueList(list, source, 0, QLocale::c());
    return valueListEntries(list, QLocale::c()).join(u'|');
}

} // namespace

TEST(ValueList, BatchTypeFollowsTheFieldKind)
{
    EXPECT_EQ(valueListBatch(QStringLiteral("block_count"), FieldKind::Integer),
              "create Table #temp(block_count int); select block_count from #temp; drop table #temp;");
    EXPECT_EQ(valueListBatch(QStringLiteral("last_batch"), FieldKind::DateTime),
              "create Table #temp(last_batch DateTime); select last_batch from #temp; drop table #temp;");
    for (FieldKind kind : {FieldKind::SmallInt, FieldKind::LargeInt, FieldKind::FixedWideChar, FieldKind::Bytes})
        EXPECT_EQ(valueListBatch(QStringLiteral("x"), kind),
                  "create Table #temp(x varchar(250)); select x from #temp; drop table #temp;");
}

TEST(ValueList, OneEntryPerDistinctText)
{
    const QString cut = QStringLiteral("K").repeated(250);
    const QDateTime second(QDate(2004, 1, 15), QTime(10, 0));
    struct Case { const char* what; FieldKind kind; int size; std::vector<QVariant> values; QString expected; };
    const Case cases[] = {
        {"null and blank give one empty entry", FieldKind::FixedWideChar, 8,
         {QString("b       "), QVariant(), QString("        "), QString(" a\t"), QString("a       ")}, "|a|b"},
        {"text is cut, then compared", FieldKind::WideString, 300,
         {QString(cut + "x"), QString(cut + "y"), QString("B"), QString("A")}, "A|B|" + cut},
        {"16-bit numbers sort as text", FieldKind::SmallInt, 0, {2, 11, 1, 10, 2}, "1|10|11|2"},
        {"32-bit numbers sort as numbers", FieldKind::Integer, 0, {100, 9, QVariant(), 10, 9}, "|9|10|100"},
        {"date-times to the second", FieldKind::DateTime, 0,
         {second.addMSecs(900), second.addSecs(1), second.addMSecs(100)},
         dateTimeText(second, QLocale::c()) + '|' + dateTimeText(second.addSecs(1), QLocale::c())},
        {"bytes taken as characters", FieldKind::Bytes, 2, {QByteArray("AB"), QByteArray("\0\0", 2)}, "|AB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(listOf(c.kind, c.values, c.size), c.expected) << c.what;
}
