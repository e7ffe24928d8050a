// The filter-cell grammar: every term form, relations, values and commas, its refusals, and
// typed conditions carried through the filter string to the rows a held result set shows.
#include "DbError.h"
#include "FilterCondition.h"
#include "Query.h"
#include "SortFilterAdapter.h"

#include <QDateTime>
#include <QLocale>
#include <gtest/gtest.h>

using namespace velmora;

namespace {

using T = FilterExpressionType;

const QLocale russian(QLocale::Russian, QLocale::Russia);     // decimal comma, 12.05.2026
const QLocale american(QLocale::English, QLocale::UnitedStates);

QString operatorName(FilterOperator op)
{
    static const char* const names[] = {"None", "Equal", "NotEqual", "Greater", "Less",
                                        "GreaterOrEqual", "LessOrEqual", "Like", "NotLike", "In",
                                        "NotIn", "IsNull", "IsNotNull"};
    return QString::fromLatin1(names[int(op)]);
}

// "Like[sa]", "In[sa| dbo] Or IsNull[]": operators with their values, relation between.
std::string described(const ColumnCondition& condition)
{
    QString text = operatorName(condition.firstOperator) + u'[' + condition.firstOperand.join(u'|') + u']';
    if (condition.relation != FilterRelation::None) {
        text += condition.relation == FilterRelation::And ? QStringLiteral(" And ") : QStringLiteral(" Or ");
        text += operatorName(condition.secondOperator) + u'[' + condition.secondOperand.join(u'|') + u']';
    }
    return text.toStdString();
}

std::string parsed(const char* text, T type, const QLocale& locale)
{
    try {
        const ColumnCondition condition = parseFilterCondition(QString::fromUtf8(text), type, locale);
        EXPECT_EQ(condition.type, type) << text;
        return described(condition);
    } catch (const DbError& error) {
        EXPECT_EQ(error.cause(), DbError::Cause::Usage);
        return "error: " + error.text().toStdString();
    }
}

struct GrammarCase {
    const char* text;
    T type;
    const QLocale& locale;
    const char* result;   // the condition described, or "error: " and the message
};

} // namespace

TEST(FilterCondition, EveryTermFormRelationAndValueReadsAsItsCondition)
{
    const GrammarCase cases[] = {
        // no condition
        {"", T::Text, russian, "None[]"},
        {" \t ", T::Text, russian, "None[]"},
        // a single value: like in text columns, equal elsewhere
        {"sa", T::Text, russian, "Like[sa]"},
        {"\t sa \x01", T::Text, russian, "Like[sa]"},
        {"host name", T::Text, russian, "Like[host name]"},
        {"O'Brien", T::Text, russian, "Like[O'Brien]"},
        {"'a b, c'", T::Text, russian, "Like[a b, c]"},
        {"''", T::Text, russian, "Like[]"},
        {"100", T::Number, russian, "Equal[100]"},
        {"'100'", T::Number, russian, "Equal[100]"},
        {"12.05.2026 10:30", T::DateTime, russian, "Equal[12.05.2026 10:30]"},
        {"0x01", T::Other, russian, "Equal[0x01]"},
        // words are words only where they stand alone
        {"Anderson", T::Text, russian, "Like[Anderson]"},
        {"index", T::Text, russian, "Like[index]"},
        {"Nullable", T::Text, russian, "Like[Nullable]"},
        {"not here", T::Text, russian, "Like[not here]"},
        // relation symbols need a blank before them to end a value
        {"a|b", T::Text, russian, "Like[a|b]"},
        {"a=b", T::Text, russian, "Like[a=b]"},
        // operators with their symbols and words, in any case
        {"= sa", T::Text, russian, "Equal[sa]"},
        {"=sa", T::Text, russian, "Equal[sa]"},
        {"<> sa", T::Text, russian, "NotEqual[sa]"},
        {"!= sa", T::Text, russian, "NotEqual[sa]"},
        {"> 100", T::Number, russian, "Greater[100]"},
        {">=100", T::Number, russian, "GreaterOrEqual[100]"},
        {"< 100", T::Number, russian, "Less[100]"},
        {"<= 100", T::Number, russian, "LessOrEqual[100]"},
        {"~ s%", T::Text, russian, "Like[s%]"},
        {"like 's%'", T::Text, russian, "Like[s%]"},
        {"!~s%", T::Text, russian, "NotLike[s%]"},
        {"NOT  LIKE s%", T::Text, russian, "NotLike[s%]"},
        {"IN (sa,dbo)", T::Text, russian, "In[sa|dbo]"},
        {"in('sa','dbo')", T::Text, russian, "In[sa|dbo]"},
        {"!In ( sa )", T::Text, russian, "NotIn[sa ]"},
        {"not in (1,2)", T::Number, american, "NotIn[1|2]"},
        {"= NULL", T::Text, russian, "IsNull[]"},
        {"=null", T::Number, russian, "IsNull[]"},
        {"<> Null", T::DateTime, russian, "IsNotNull[]"},
        {"!= NULL", T::Text, russian, "IsNotNull[]"},
        {"= 'NULL'", T::Text, russian, "Equal[NULL]"},
        // commas: lists, the decimal comma, the blank after a comma kept
        {"sa,dbo", T::Text, russian, "In[sa|dbo]"},
        {"sa, dbo", T::Text, russian, "In[sa| dbo]"},
        {"'sa', 'dbo'", T::Text, russian, "In[sa| 'dbo']"},
        {"'sa' ,'dbo'", T::Text, russian, "In[sa|dbo]"},
        {"sa,", T::Text, russian, "In[sa|]"},
        {"= sa,dbo", T::Text, russian, "Equal[sa,dbo]"},
        {"1,5", T::Number, russian, "Equal[1,5]"},
        {"IN (1,5)", T::Number, russian, "In[1|5]"},
        {"1,5", T::Number, american, "In[1|5]"},
        {"1, 5", T::Number, american, "In[1| 5]"},
        {"1.5", T::Number, american, "Equal[1.5]"},
        {"1,5", T::Text, russian, "In[1|5]"},
        {"12.05.2026, 13.05.2026", T::DateTime, russian, "In[12.05.2026| 13.05.2026]"},
        // two terms
        {"sa OR dbo", T::Text, russian, "Like[sa] Or Like[dbo]"},
        {"sa | dbo", T::Text, russian, "Like[sa] Or Like[dbo]"},
        {"Ann or Orson", T::Text, russian, "Like[Ann] Or Like[Orson]"},
        {"> 1 AND < 5", T::Number, russian, "Greater[1] And Less[5]"},
        {"> 1 & < 5", T::Number, russian, "Greater[1] And Less[5]"},
        {"< 10 OR >= 1000", T::Number, russian, "Less[10] Or GreaterOrEqual[1000]"},
        {"sa, dbo OR = NULL", T::Text, russian, "In[sa| dbo] Or IsNull[]"},
        {"'x'OR y", T::Text, russian, "Like[x] Or Like[y]"},
        {"1,5 OR IN (1,5)", T::Number, russian, "Equal[1,5] Or In[1|5]"},
        // a relation without a second term, and a second IN left open at the end
        {"5 AND", T::Number, russian, "Equal[5] And None[]"},
        {"x OR IN (a, b", T::Text, russian, "Like[x] Or In[a| b]"},
    };
    for (const GrammarCase& c : cases)
        EXPECT_EQ(parsed(c.text, c.type, c.locale), c.result) << c.text;
}

TEST(FilterCondition, UnreadableTextIsRefusedWithItsMessageAndTheTrimmedText)
{
    const GrammarCase cases[] = {
        {"'sa", T::Text, russian, "error: Quote is absent: 'sa"},
        {"\t = 'sa  ", T::Text, russian, "error: Quote is absent: = 'sa"},
        {"sa,'dbo", T::Text, russian, "error: Quote is absent: sa,'dbo"},
        {"IN sa", T::Text, russian, "error: '(' expected: IN sa"},
        {"NOT IN", T::Text, russian, "error: '(' expected: NOT IN"},
        {"x OR !in 5", T::Number, russian, "error: '(' expected: x OR !in 5"},
        {"IN (a, b", T::Text, russian, "error: ')' expected: IN (a, b"},
        {"IN (a OR b)", T::Text, russian, "error: ')' expected: IN (a OR b)"},
        {"!x", T::Text, russian, "error: Error in expression: !x"},
        {"(a)", T::Text, russian, "error: Error in expression: (a)"},
        {",a", T::Text, russian, "error: Error in expression: ,a"},
        {"OR a", T::Text, russian, "error: Error in expression: OR a"},
        {"& a", T::Text, russian, "error: Error in expression: & a"},
        {"a OR !x", T::Text, russian, "error: Error in expression: a OR !x"},
        {"> NULL", T::Number, russian, "error: Unexpected expression before Null: > NULL"},
        {"LIKE null", T::Text, russian, "error: Unexpected expression before Null: LIKE null"},
        {"NULL", T::Text, russian, "error: Unexpected expression after operator: NULL"},
        {"NOT NULL", T::Text, russian, "error: Unexpected expression after operator: NOT NULL"},
        {"!NULL", T::Text, russian, "error: Unexpected expression after operator: !NULL"},
        {"=", T::Text, russian, "error: Unexpected expression after operator: ="},
        {">=   ", T::Number, russian, "error: Unexpected expression after operator: >="},
        {"LIKE", T::Text, russian, "error: Unexpected expression after operator: LIKE"},
        {"= OR a", T::Text, russian, "error: Unexpected expression after operator: = OR a"},
        {"= (a)", T::Text, russian, "error: Unexpected expression after operator: = (a)"},
        {"5 AND >", T::Number, russian, "error: Unexpected expression after operator: 5 AND >"},
        {"a = b", T::Text, russian, "error: Unexpected AND or OR: a = b"},
        {"'a' b", T::Text, russian, "error: Unexpected AND or OR: 'a' b"},
        {"a NULL", T::Text, russian, "error: Unexpected AND or OR: a NULL"},
        {"IN (a))", T::Text, russian, "error: Incorrect expression: IN (a))"},
        {"'a'(b)", T::Text, russian, "error: Incorrect expression: 'a'(b)"},
        // nothing after the second term is silently dropped
        {"a OR b OR c", T::Text, russian, "error: Incorrect expression: a OR b OR c"},
        {"x OR IN (a OR b)", T::Text, russian, "error: Incorrect expression: x OR IN (a OR b)"},
        // values read in the locale's formats, with the locale's messages
        {"1.5", T::Number, russian, "error: '1.5' is not a valid floating point value"},
        {"1,5,7", T::Number, russian, "error: '1,5,7' is not a valid floating point value"},
        {"IN (1, x)", T::Number, russian, "error: ' x' is not a valid floating point value"},
        {"abc", T::Number, american, "error: 'abc' is not a valid floating point value"},
        {"1;5", T::Number, american, "error: '1;5' is not a valid floating point value"},
        {"31.02.2026", T::DateTime, russian, "error: '31.02.2026' is not a valid date and time"},
        {"> 12.05.2026 OR tomorrow", T::DateTime, russian, "error: 'tomorrow' is not a valid date and time"},
    };
    for (const GrammarCase& c : cases)
        EXPECT_EQ(parsed(c.text, c.type, c.locale), c.result) << c.text;
}

TEST(FilterCondition, AStoredTextThatCannotBeParsedLeavesNoConditionAndTheFormerText)
{
    ColumnFilter filter;
    storeFilterText(filter, QStringLiteral(" > 100 "), T::Number, russian);
    EXPECT_EQ(filter.text.toStdString(), " > 100 ");   // kept as typed
    EXPECT_EQ(described(filter.condition), "Greater[100]");

    try {
        storeFilterText(filter, QStringLiteral("> 1.5"), T::Number, russian);
        FAIL() << "stored";
    } catch (const DbError& error) {
        EXPECT_EQ(error.text().toStdString(), "'1.5' is not a valid floating point value");
    }
    EXPECT_EQ(filter.text.toStdString(), " > 100 ");
    EXPECT_EQ(described(filter.condition), "None[]");
    EXPECT_EQ(filter.condition.type, T::Number);

    storeFilterText(filter, QString(), T::Number, russian);
    EXPECT_EQ(filter.text.toStdString(), "");
    EXPECT_EQ(described(filter.condition), "None[]");
}

TEST(FilterCondition, APickedValueIsThatOneValueWhateverTheGrammarWouldMakeOfIt)
{
    const struct {
        const char* value;
        T type;
        const char* result;
    } cases[] = {
        {"sa", T::Text, "Like[sa]"},
        {"O'Neil's", T::Text, "Like[O'Neil's]"},
        {"12", T::Number, "Equal[12]"},
        {"1,5", T::Number, "Equal[1,5]"},               // the decimal comma of the locale
        {"", T::Text, "None[]"},                        // the empty entry clears the cell
        {"two, parts", T::Text, "Like[two, parts]"},   // not a list
        {"lead and  two", T::Text, "Like[lead and  two]"},
        {"'quoted'", T::Text, "Like['quoted']"},        // apostrophes kept
        {"<> NULL", T::Text, "Like[<> NULL]"},
        {"'open", T::Text, "Like['open]"},              // typed, a missing quote
        {"IN (1", T::Text, "Like[IN (1]"},
    };
    for (const auto& c : cases) {
        ColumnFilter filter;
        storePickedValue(filter, QString::fromUtf8(c.value), c.type, russian);
        EXPECT_EQ(described(filter.condition), c.result) << c.value;
        EXPECT_EQ(filter.text.toStdString(), c.value);
        EXPECT_EQ(filter.condition.type, c.type);
    }
    ColumnFilter filter;
    EXPECT_THROW(storePickedValue(filter, QStringLiteral("1.5"), T::Number, russian), DbError);
}

namespace {

const QDate may12(2026, 5, 12);

// A held process-like result set, read in a locale with a decimal comma and day-first dates.
class TypedConditions : public ::testing::Test {
protected:
    TypedConditions()
    {
        QLocale::setDefault(russian);
        query.setFields({
            {QStringLiteral("spid"), FieldKind::SmallInt},
            {QStringLiteral("cpu"), FieldKind::Integer},
            {QStringLiteral("loginame"), FieldKind::FixedChar, 10},
            {QStringLiteral("hostname"), FieldKind::WideString, 128},
            {QStringLiteral("login_time"), FieldKind::DateTime},
            {QStringLiteral("ratio"), FieldKind::Float},
        });
        query.createDataSet();
        add(51, 300, "sa", "HOST-A", QDateTime(may12, QTime(0, 0)), 1.5);
        add(52, 20, "O'Brien", QVariant(), QDateTime(may12, QTime(10, 30, 5)), 1);
        add(53, 1500, "dbo", "host-b", QDateTime(may12.addDays(1), QTime(0, 0)), 5);
        add(54, 5, "sa", "", QDateTime(may12, QTime(0, 0, 1)), 0.25);
        query.setFiltered(true);
    }
    ~TypedConditions() override { QLocale::setDefault(QLocale::c()); }

    void add(int spid, int cpu, const char* login, const QVariant& host, const QDateTime& time,
             double ratio)
    {
        query.appendRow({qint16(spid), cpu, QString::fromUtf8(login).leftJustified(10), host, time, ratio});
    }

    // Each typed text parsed for its column, as the filter row stores it.
    GridColumns columnsWith(const std::vector<std::pair<const char*, const char*>>& typed) const
    {
        GridColumns columns;
        for (const auto& [field, text] : typed) {
            GridColumn column;
            column.fieldName = QString::fromUtf8(field);
            column.filter.text = QString::fromUtf8(text);
            const FieldKind kind = query.fields()[size_t(query.fieldIndex(column.fieldName))].kind;
            column.filter.condition = parseFilterCondition(column.filter.text, filterExpressionType(kind));
            columns.push_back(column);
        }
        return columns;
    }

    std::string visibleSpids() const
    {
        QStringList spids;
        for (int row = 0; row < query.recordCount(); ++row)
            spids << query.valueAt(row, 0).toString();
        return spids.join(u' ').toStdString();
    }

    Query query;
};

} // namespace

TEST_F(TypedConditions, TypedTextsFilterTheHeldRowsThroughTheFilterString)
{
    const struct {
        std::vector<std::pair<const char*, const char*>> typed;
        const char* spids;
    } cases[] = {
        {{{"cpu", "> 100"}, {"loginame", "sa"}}, "51"},
        {{{"loginame", "sa, dbo"}}, "51 54"},       // the blank after the comma stays in " dbo"
        {{{"loginame", "sa,dbo"}}, "51 53 54"},
        {{{"loginame", "O'Brien"}}, "52"},
        {{{"loginame", "!~ s%"}}, "52 53"},
        {{{"loginame", "NOT IN (sa,dbo)"}}, "52"},
        {{{"hostname", "= NULL"}}, "52"},
        {{{"hostname", "<> NULL"}}, "51 53 54"},
        {{{"hostname", "host* | ''"}}, "51 53 54"},
        {{{"ratio", "1,5"}}, "51"},
        {{{"ratio", "IN (1,5)"}}, "52 53"},
        {{{"ratio", "<= 1 AND > 0,25"}}, "52"},
        {{{"cpu", "< 10 OR >= 1000"}}, "53 54"},
        {{{"cpu", "5 OR 20"}, {"spid", "<> 52"}}, "54"},
        {{{"login_time", "12.05.2026"}}, "51"},    // a date alone is midnight of that day
        {{{"login_time", "> 12.05.2026 0:00:00"}}, "52 53 54"},
        {{{"login_time", "12.05.2026 10:30:05, 13.05.2026"}}, "52 53"},
        {{}, "51 52 53 54"},
    };
    for (const auto& c : cases) {
        const GridColumns columns = columnsWith(c.typed);
        query.setFilter(buildFilterString(columns, query));
        EXPECT_EQ(visibleSpids(), c.spids) << query.filter().toStdString();
    }
    EXPECT_EQ(buildFilterString(columnsWith({{"cpu", "> 100"}, {"loginame", "sa"}}), query).toStdString(),
              " [cpu] > 100 AND  [loginame] Like 'sa' ");
    // a relation without a second term gives a string the result set refuses
    EXPECT_EQ(buildFilterString(columnsWith({{"cpu", "5 AND"}}), query).toStdString(), " [cpu] = 5 AND [cpu]  '' ");
}

TEST_F(TypedConditions, APickedDateTimeEntryFindsEveryRowOfItsSecond)
{
    // The entries are one per second while the server's values carry milliseconds.
    add(55, 1, "web", "h", QDateTime(may12, QTime(10, 30, 5, 997)), 1);
    add(56, 1, "web", "h", QDateTime(may12, QTime(10, 30, 6)), 1);
    const struct {
        const char* entry;
        const char* spids;
    } cases[] = {{"12.05.2026 10:30:05", "52 55"}, {"12.05.2026", "51"}};
    for (const auto& c : cases) {
        GridColumns columns(1);
        columns[0].fieldName = QStringLiteral("login_time");
        ColumnFilter& filter = columns[0].filter;
        const QString entry = QString::fromUtf8(c.entry);
        storePickedValue(filter, entry, T::DateTime, russian);
        query.setFilter(buildFilterString(columns, query));
        EXPECT_EQ(visibleSpids(), c.spids) << c.entry;
        EXPECT_EQ(filter.text, entry);
        // Kept as the pick while the cell shows the entry; the same text typed is an equality.
        EXPECT_TRUE(isPickedValue(filter.condition, entry, T::DateTime, russian));
        EXPECT_FALSE(isPickedValue(parseFilterCondition(entry, T::DateTime, russian), entry, T::DateTime, russian));
    }
}
