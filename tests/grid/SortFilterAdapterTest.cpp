// The grid side of local sorting and filtering: sort strings from marks, filter strings from
// column conditions, literals, and the local sort keeping the current row.
#include "DbError.h"
#include "Query.h"
#include "SortFilterAdapter.h"
#include "SortFilterAdapterFixture.h"

#include <QDateTime>
#include <QLocale>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QLocale american(QLocale::English, QLocale::UnitedStates);

} // namespace

TEST_F(SortFilterAdapter, LocalSortKeepsTheCurrentRowByTheFirstColumn)
{
    GridColumns columns = {column(QStringLiteral("spid"), SortMarker::Down),
                           column(QStringLiteral("cpu"), SortMarker::Up)};
    query.moveTo(1);   // spid 52
    applyLocalSort(columns, {1, 0}, query);
    EXPECT_EQ(query.sort().toStdString(), "cpu DESC, spid");
    EXPECT_EQ(visible(), "51 53 52* 54");

    applyLocalSort(columns, {}, query);   // no marks: the order rows were added in
    EXPECT_EQ(query.sort().toStdString(), "");
    EXPECT_EQ(visible(), "51 52* 53 54");
}

TEST_F(SortFilterAdapter, LocalSortMakesTheFirstEqualRowCurrentWhenTheFirstColumnRepeats)
{
    Query locks;
    locks.setFields({{QStringLiteral("spid"), FieldKind::SmallInt}, {QStringLiteral("dbid"), FieldKind::SmallInt}});
    locks.createDataSet();
    for (int dbid : {5, 1, 7})
        locks.appendRow({qint16(57), qint16(dbid)});
    locks.moveTo(2);
    applyLocalSort({column(QStringLiteral("spid")), column(QStringLiteral("dbid"), SortMarker::Down)}, {1}, locks);
    EXPECT_EQ(locks.recNo(), 0);
    EXPECT_EQ(locks.valueAt(0, 1).toInt(), 1);
}

TEST_F(SortFilterAdapter, LocalSortRefusesAFirstColumnThatIsNoInteger)
{
    Query names;
    names.setFields({{QStringLiteral("name"), FieldKind::WideString, 128}});
    names.createDataSet();
    names.appendRow({QStringLiteral("master")});
    try {
        applyLocalSort({column(QStringLiteral("name"), SortMarker::Up)}, {0}, names);
        FAIL() << "sorted";
    } catch (const DbError& error) {
        EXPECT_EQ(error.text().toStdString(), "'master' is not a valid integer value");
    }
}

TEST_F(SortFilterAdapter, FilterStringIsBuiltFromTheConditionsByTheirPieces)
{
    using T = FilterExpressionType;
    using Op = FilterOperator;
    using Rel = FilterRelation;
    const struct {
        const char* name;
        std::vector<std::pair<const char*, ColumnCondition>> conditions;
        const char* filter;
    } cases[] = {
        {"none", {}, ""},
        {"greater and a single text value",
         {{"cpu", condition(T::Number, Op::Greater, {"100"})}, {"loginame", condition(T::Text, Op::Like, {"sa"})}},
         " [cpu] > 100 AND  [loginame] Like 'sa' "},
        {"a list", {{"loginame", condition(T::Text, Op::In, {"sa", "dbo"})}},
         " ([loginame] = 'sa' OR [loginame] = 'dbo') "},
        {"not in a list", {{"spid", condition(T::Number, Op::NotIn, {"1", "2,5"})}},
         " ([spid] <> 1 AND [spid] <> 2,5) "},
        {"a relation without a second term", {{"cpu", condition(T::Number, Op::Equal, {"5"}, Rel::And)}},
         " [cpu] = 5 AND [cpu]  '' "},
        {"or", {{"cpu", condition(T::Number, Op::Less, {"10"}, Rel::Or, Op::GreaterOrEqual, {"1000"})}},
         "( [cpu] < 10 OR [cpu] >= 1000) "},
        {"null tests and not like",
         {{"loginame", condition(T::Text, Op::IsNotNull, {}, Rel::And, Op::NotLike, {"s%"})},
          {"login_time", condition(T::DateTime, Op::IsNull, {})}},
         " [loginame] IS NOT NULL AND [loginame] Not Like 's%' AND  [login_time] IS NULL "},
        {"skipped: other kinds, unknown fields, no operator",
         {{"sid", condition(T::Other, Op::Equal, {"x"})}, {"nosuch", condition(T::Text, Op::Equal, {"x"})},
          {"cpu", condition(T::Number, Op::None, {})}, {"spid", condition(T::Number, Op::LessOrEqual, {"9"})}},
         " [spid] <= 9 "},
    };
    for (const auto& c : cases) {
        GridColumns columns;
        for (const auto& [field, columnCondition] : c.conditions) {
            columns.push_back(column(QString::fromUtf8(field)));
            columns.back().filter.condition = columnCondition;
        }
        EXPECT_EQ(buildFilterString(columns, query).toStdString(), c.filter) << c.name;
    }
}

TEST_F(SortFilterAdapter, FilterStringNamesTheDataFieldAndStaysEmptyWhileClosed)
{
    GridColumns columns = {column(QStringLiteral("loginame"))};
    columns[0].filter.dataField = QStringLiteral("login_name");
    columns[0].filter.condition = condition(FilterExpressionType::Text, FilterOperator::Like, {"sa"});
    EXPECT_EQ(buildFilterString(columns, query).toStdString(), " [login_name] Like 'sa' ");
    query.close();
    EXPECT_EQ(buildFilterString(columns, query).toStdString(), "");
}

TEST_F(SortFilterAdapter, BuiltFiltersSelectTheirRows)
{
    using T = FilterExpressionType;
    const struct { const char* field; ColumnCondition condition; const char* rows; } cases[] = {
        // a date without a time is midnight of that day: only rows at exactly midnight pass
        {"login_time", condition(T::DateTime, FilterOperator::Equal, {"12.05.2026"}), "51*"},
        {"login_time", condition(T::DateTime, FilterOperator::Greater, {"12.05.2026 0:00:00"}), "52* 53 54"},
        // an apostrophe inside a value is doubled, so the value filters
        {"loginame", condition(T::Text, FilterOperator::Like, {"O'Brien"}), "52*"},
        {"cpu", condition(T::Number, FilterOperator::In, {"300", "5"}), "51* 53 54"},
    };
    query.setFiltered(true);
    for (const auto& c : cases) {
        GridColumns columns = {column(QString::fromUtf8(c.field))};
        columns[0].filter.condition = c.condition;
        query.setFilter(buildFilterString(columns, query));
        EXPECT_EQ(visible(), c.rows) << query.filter().toStdString();
    }
}

TEST_F(SortFilterAdapter, ARelationWithoutASecondTermIsRefusedByTheResultSet)
{
    GridColumns columns = {column(QStringLiteral("cpu"))};
    columns[0].filter.condition = condition(FilterExpressionType::Number, FilterOperator::Equal, {"5"},
                                            FilterRelation::And);
    query.setFiltered(true);
    try {
        query.setFilter(buildFilterString(columns, query));
        FAIL() << "accepted";
    } catch (const DbError& error) {
        EXPECT_EQ(error.text().toStdString(), "Filter expression is incorrect: operator expected at position 23");
    }
    EXPECT_EQ(visible(), "51* 52 53 54");
}

TEST_F(SortFilterAdapter, LiteralsFollowTheLocaleAndReadBackTheSame)
{
    using T = FilterExpressionType;
    const struct { const char* value; T type; const QLocale& locale; const char* literal; } cases[] = {
        {"1,5", T::Number, russian, "1,5"},
        {"100", T::Number, russian, "100"},
        {" 12345678,25 ", T::Number, russian, "12345678,25"},
        {"0.1", T::Number, american, "0.1"},
        {"12345678901234567", T::Number, american, "1.23456789012346E+16"},
        {"12.05.2026", T::DateTime, russian, "'12.05.2026'"},
        {"12.05.2026 7:05", T::DateTime, russian, "'12.05.2026 07:05:00'"},
        {"5/12/26 10:30:05 AM", T::DateTime, american, "'5/12/2026 10:30:05 AM'"},
        {"5/12/2026", T::DateTime, american, "'5/12/2026'"},
        {"O'Brien", T::Text, russian, "'O''Brien'"},
        {"5", T::Text, russian, "'5'"},
        {"''", T::Boolean, russian, "''''''"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(filterLiteral(QString::fromUtf8(c.value), c.type, c.locale).toStdString(), c.literal) << c.value;
}
