// Filter strings: the grammar, its messages, and which held rows each string lets through.
#include "DbError.h"
#include "RowFilter.h"
#include "ValueCompare.h"

#include <QDateTime>
#include <QLocale>
#include <gtest/gtest.h>

using namespace velmora;

namespace {

const std::vector<FieldDef> fields = {
    {QStringLiteral("spid"), FieldKind::SmallInt},
    {QStringLiteral("loginame"), FieldKind::FixedChar, 10},
    {QStringLiteral("hostname"), FieldKind::WideString, 128},
    {QStringLiteral("cpu"), FieldKind::Integer},
    {QStringLiteral("login_time"), FieldKind::DateTime},
    {QStringLiteral("ratio"), FieldKind::Float},
    {QStringLiteral("Database Name"), FieldKind::WideString, 128},
    {QStringLiteral("sid"), FieldKind::VarBytes, 85},
};

const QDate may12(2026, 5, 12);

const std::vector<Row> rows = {
    {qint16(1), QStringLiteral("sa        "), QStringLiteral("HOST-A"), 0,
     QDateTime(may12, QTime(0, 0)), 0.5, QStringLiteral("master"), QByteArray("\x01")},
    {qint16(2), QStringLiteral("dbo       "), QStringLiteral("host-b"), 150,
     QDateTime(may12, QTime(10, 30, 5)), 1.5, QStringLiteral("O'Brien"), QVariant()},
    {qint16(3), QStringLiteral("Sa        "), QVariant(), 100,
     QDateTime(may12.addDays(1), QTime(0, 0)), 2.25, QStringLiteral("model"), QVariant()},
    {qint16(4), QVariant(), QString(), 250, QVariant(), QVariant(), QVariant(), QVariant()},
};

// Filter strings are read in a locale with a decimal comma and day-first dates.
class RowFilterGrammar : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

// The spids of the rows the filter lets through.
std::string passing(const QString& text)
{
    const std::unique_ptr<RowFilter> filter = RowFilter::parse(text, fields);
    QStringList spids;
    for (const Row& row : rows) {
        if (filter->matches(row))
            spids << row[0].toString();
    }
    return spids.join(u' ').toStdString();
}

std::string errorOf(const QString& text)
{
    try {
        RowFilter::parse(text, fields);
    } catch (const DbError& error) {
        EXPECT_EQ(error.cause(), DbError::Cause::Usage);
        return error.text().toStdString();
    }
    return "no error";
}

} // namespace

TEST_F(RowFilterGrammar, ValidStringsLetThroughTheRowsTheyDescribe)
{
    const struct { const char* filter; const char* spids; } cases[] = {
        {"", "1 2 3 4"},
        {"   ", "1 2 3 4"},
        {"spid = 1", "1"},
        {"[cpu] > 100", "2 4"},
        {"[cpu] >= 100", "2 3 4"},
        {"cpu<>100", "1 2 4"},
        {"[cpu] <= 100", "1 3"},
        {"[ratio] = 1,5", "2"},
        {"[ratio] > '1'", "2 3"},
        {" [cpu] >= 100 AND  [loginame] Like 'sa' ", "3"},
        {"[loginame] = 'SA'", "1 3"},
        {"[loginame] = 'sa  '", "1 3"},
        {"[loginame] > 'e'", "1 3"},
        {"[loginame] Like 's%'", "1 3"},
        {"[loginame] Like 'S*'", "1 3"},
        {"[loginame] Like '_a'", "1 3"},
        {"[loginame] Not Like 'sa'", "2"},
        {"[hostname] Like '%-_'", "1 2"},
        {"[hostname] = 'host-a'", "1"},
        {"hostname <> ''", "1 2"},
        {"hostname IS NULL", "3"},
        {"hostname is  not   null", "1 2 4"},
        {"sid IS NOT NULL", "1"},
        {"[cpu] Like '1%'", "2 3"},
        {"[Database Name] = 'O''Brien'", "2"},
        {"([cpu] = 0 OR [cpu] = 250) AND spid > 1", "4"},
        {"[cpu] = 0 OR [cpu] = 250 AND spid > 1", "1 4"},
        {"((spid = 1)) or(spid=2)", "1 2"},
        {"LOGINAME LIKE 'sa' and CPU = 0", "1"},
        {" ([cpu] = 0 OR [cpu] = 150) AND  ([loginame] = 'sa' OR [loginame] = 'dbo') ", "1 2"},
        {"[login_time] = '12.05.2026'", "1"},
        {"[login_time] = '12.05.2026 10:30:05'", "2"},
        {"[login_time] >= '13.05.2026'", "3"},
        {"[login_time] < '12.05.2026 10:30'", "1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(passing(QString::fromUtf8(c.filter)), c.spids) << c.filter;
}

TEST_F(RowFilterGrammar, UnreadableStringsAreRefusedWithTheirMessage)
{
    const struct { const char* filter; const char* message; } cases[] = {
        // a relation without a second term, as the filter row builds it from "5 AND"
        {" [cpu] = 5 AND [cpu]  '' ", "Filter expression is incorrect: operator expected at position 23"},
        {"[cpu] = ", "Filter expression is incorrect: value expected at position 9"},
        {"[cpu] == 1", "Filter expression is incorrect: value expected at position 8"},
        {"[cpu] = 1 AND", "Filter expression is incorrect: column name expected at position 14"},
        {"= 1", "Filter expression is incorrect: column name expected at position 1"},
        {"[cpu = 1", "Filter expression is incorrect: closing ']' missing at position 1"},
        {"[loginame] = 'sa", "Filter expression is incorrect: closing apostrophe missing at position 14"},
        {"[Database Name] = 'O'Brien'", "Filter expression is incorrect: unexpected text at position 22"},
        {"([cpu] = 1", "Filter expression is incorrect: ')' expected at position 11"},
        {"[cpu] = 1)", "Filter expression is incorrect: unexpected text at position 10"},
        {"[cpu] = 1 [spid] = 2", "Filter expression is incorrect: unexpected text at position 11"},
        {"[hostname] IS NOT 5", "Filter expression is incorrect: NULL expected at position 19"},
        {"[hostname] NOT 'x'", "Filter expression is incorrect: LIKE expected at position 16"},
        {"[hostname] != 'x'", "Filter expression is incorrect: operator expected at position 12"},
        {"[nosuch] = 1", "Filter column 'nosuch' not found"},
        {"[cpu] = abc", "'abc' is not a valid floating point value"},
        {"[cpu] = 1.5", "'1.5' is not a valid floating point value"},
        {"[cpu] = ''", "'' is not a valid floating point value"},
        {"[login_time] = 'yesterday'", "'yesterday' is not a valid date and time"},
        {"[login_time] = '31.02.2026'", "'31.02.2026' is not a valid date and time"},
        {"[sid] = 'x'", "Filter column 'sid' cannot be compared with a value"},
        {"[sid] Like 'x'", "Filter column 'sid' cannot be compared with a value"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorOf(QString::fromUtf8(c.filter)), c.message) << c.filter;

    EXPECT_EQ(errorOf(QString(300, u'(') + QStringLiteral("spid = 1")),
              "Filter expression is incorrect: expression nested too deeply at position 201");
}

TEST(LikePattern, WildcardsStandAnywhereAndCaseDoesNotCount)
{
    const struct { const char* pattern; const char* text; bool matches; } cases[] = {
        {"sa", "sa", true},
        {"sa", "SA", true},
        {"sa", "sab", false},
        {"", "", true},
        {"", "a", false},
        {"%", "", true},
        {"a%", "", false},
        {"%b%", "abc", true},
        {"%ab%c", "aabxabc", true},
        {"%ab%c", "aabxab", false},
        {"a_c", "abc", true},
        {"a_c", "abbc", false},
        {"_%_", "a", false},
        {"*.exe", "QUERY.EXE", true},
        {"%%%x", "yyyx", true},
        {"Ж%", "жук", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LikePattern(QString::fromUtf8(c.pattern)).matches(QString::fromUtf8(c.text)), c.matches)
            << c.pattern << " / " << c.text;
    }
}

TEST_F(RowFilterGrammar, ChainsOfHundredsOfThousandsOfTermsAreTestedAndFreed)
{
    // Far longer than the stack could take one level per term.
    constexpr int terms = 300'000;
    QStringList all(terms, QStringLiteral("cpu >= 0"));
    EXPECT_EQ(passing(all.join(QStringLiteral(" AND "))), "1 2 3 4");
    all.back() = QStringLiteral("spid = 2");
    EXPECT_EQ(passing(all.join(QStringLiteral(" AND "))), "2");
    QStringList any(terms, QStringLiteral("cpu = 7"));
    any[terms / 2] = QStringLiteral("spid = 3");
    EXPECT_EQ(passing(QStringLiteral("spid = 1 OR (%1)").arg(any.join(QStringLiteral(" OR ")))), "1 3");
}

// Rows do not always hold a column's value in the type the driver gives it (a big number comes as
// a 64-bit integer, a calculated value may be a text or an unsigned): each is read as its value.
TEST_F(RowFilterGrammar, ValuesHeldInAnotherTypeAreReadAsTheirValue)
{
    const std::vector<Row> odd = {
        {qint16(1), QVariant(), 42, 5'000'000'000LL, QVariant(), QStringLiteral("2.5")},
        {qint16(2), QVariant(), QStringLiteral("host-a"), 99u, QVariant(), true},
    };
    const auto through = [&odd](const char* text) {
        const std::unique_ptr<RowFilter> filter = RowFilter::parse(QString::fromUtf8(text), fields);
        QStringList spids;
        for (const Row& row : odd) {
            if (filter->matches(row))
                spids << row[0].toString();
        }
        return spids.join(u' ').toStdString();
    };
    EXPECT_EQ(through("[cpu] > 4294967296"), "1");
    EXPECT_EQ(through("[cpu] = 99"), "2");
    EXPECT_EQ(through("[cpu] Like '5%'"), "1");
    EXPECT_EQ(through("[hostname] = '42'"), "1");
    EXPECT_EQ(through("[hostname] Like 'HOST%'"), "2");
    EXPECT_EQ(through("[ratio] > 2"), "1");
    EXPECT_EQ(through("[ratio] = 1"), "2");
}
