// Sort strings: the grammar, and the order they give to held rows.
#include "DbError.h"
#include "RowSort.h"

#include <QCollator>
#include <QDateTime>
#include <QLocale>
#include <gtest/gtest.h>
#include <algorithm>
#include <limits>
#include <numeric>
#include <random>

using namespace velmora;

namespace {

const std::vector<FieldDef> processFields = {
    {QStringLiteral("spid"), FieldKind::SmallInt},
    {QStringLiteral("cpu"), FieldKind::Integer},
    {QStringLiteral("loginame"), FieldKind::FixedChar, 10},
    {QStringLiteral("hostname"), FieldKind::WideString, 128},
    {QStringLiteral("login_time"), FieldKind::DateTime},
    {QStringLiteral("ratio"), FieldKind::Float},
    {QStringLiteral("size"), FieldKind::BCD},
    {QStringLiteral("Log Size"), FieldKind::Float},
};

// Keys as "cpu-,spid+" (- descending).
std::string keysText(const RowSort& sort)
{
    QStringList keys;
    for (const RowSort::Key& key : sort.keys())
        keys << processFields[size_t(key.field)].name + (key.descending ? u'-' : u'+');
    return keys.join(u',').toStdString();
}

std::string errorOf(const QString& text)
{
    try {
        RowSort::parse(text, processFields);
    } catch (const DbError& error) {
        EXPECT_EQ(error.cause(), DbError::Cause::Usage);
        return error.text().toStdString();
    }
    return "no error";
}

// Sorts every row (the spid is the row's name) and lists the spids in the new order.
std::string sortedSpids(const QString& text, const std::vector<Row>& rows,
                        std::vector<int> view = {})
{
    if (view.empty()) {
        for (size_t i = 0; i < rows.size(); ++i)
            view.push_back(int(i));
    }
    RowSort::parse(text, processFields).apply(view, rows, processFields);
    QStringList spids;
    for (int index : view)
        spids << rows[size_t(index)][0].toString();
    return spids.join(u' ').toStdString();
}

Row processRow(int spid, QVariant cpu, QVariant login, QVariant host = {}, QVariant time = {},
               QVariant ratio = {}, QVariant size = {})
{
    return {qint16(spid), cpu, login, host, time, ratio, size, QVariant()};
}

class RowSortOrder : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

} // namespace

TEST(RowSortGrammar, ValidStringsGiveKeysInPriorityOrder)
{
    const struct { const char* text; const char* keys; } cases[] = {
        {"", ""},
        {"   ", ""},
        {"cpu", "cpu+"},
        {"cpu DESC, spid", "cpu-,spid+"},
        {"  cpu   DeSc ,spid asc  ", "cpu-,spid+"},
        {"hostname ASC", "hostname+"},
        {"loginame DESC , spid ", "loginame-,spid+"},   // the users grid's own form
        {"CPU desc", "cpu-"},
        {"Log Size DESC, spid", "Log Size-,spid+"},
        {"cpu,cpu DESC", "cpu+,cpu-"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(keysText(RowSort::parse(QString::fromUtf8(c.text), processFields)), c.keys) << c.text;
}

TEST(RowSortGrammar, InvalidStringsAreRefusedWithTheirMessage)
{
    const struct { const char* text; const char* message; } cases[] = {
        {"nosuch", "Sort column 'nosuch' not found"},
        {"cpu, nosuch DESC", "Sort column 'nosuch' not found"},
        {"cpu DESCENDING", "Sort column 'cpu DESCENDING' not found"},
        {"cpu DESC ASC", "Sort column 'cpu DESC' not found"},
        {"DESC", "Sort column 'DESC' not found"},
        {"cpu,", "Sort string is incorrect: column name expected at position 5"},
        {",cpu", "Sort string is incorrect: column name expected at position 1"},
        {"cpu,,spid", "Sort string is incorrect: column name expected at position 5"},
        {"cpu,  ", "Sort string is incorrect: column name expected at position 7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorOf(QString::fromUtf8(c.text)), c.message) << c.text;
}

TEST_F(RowSortOrder, KeysOfEveryKindSortInTheirOwnOrder)
{
    const QDate day(2026, 5, 12);
    const std::vector<Row> rows = {
        processRow(1, 5, QStringLiteral("bob       "), QStringLiteral("b"), QDateTime(day, QTime(10, 0)), 2.5, QStringLiteral("10.5")),
        processRow(2, 40, QStringLiteral("Alice     "), QStringLiteral("A"), QDateTime(day.addDays(-1), QTime(23, 0)), -1.0, QStringLiteral("9.25")),
        processRow(3, 300, QStringLiteral("carol     "), QStringLiteral("a "), QDateTime(day, QTime(9, 59)), 0.0, QStringLiteral("100")),
    };
    const struct { const char* sort; const char* spids; } cases[] = {
        {"cpu", "1 2 3"},
        {"cpu DESC", "3 2 1"},
        {"loginame", "2 1 3"},        // case does not count
        {"hostname", "2 3 1"},        // "A" before "a ": trailing blanks of variable text count
        {"login_time", "2 3 1"},
        {"ratio", "2 3 1"},
        {"size", "2 1 3"},            // decimals by value, not as text
        {"size DESC", "3 1 2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sortedSpids(QString::fromUtf8(c.sort), rows), c.spids) << c.sort;
}

TEST_F(RowSortOrder, EqualKeysKeepTheirOrderAndFurtherKeysDecide)
{
    const std::vector<Row> rows = {
        processRow(1, 0, QStringLiteral("sa        ")),
        processRow(2, 7, QStringLiteral("dbo       ")),
        processRow(3, 0, QStringLiteral("SA")),      // equal to row 1: case and padding aside
        processRow(4, 7, QStringLiteral("app       ")),
        processRow(5, 0, QStringLiteral("dbo       ")),
    };
    EXPECT_EQ(sortedSpids(QStringLiteral("cpu"), rows), "1 3 5 2 4");
    EXPECT_EQ(sortedSpids(QStringLiteral("cpu DESC"), rows), "2 4 1 3 5");
    EXPECT_EQ(sortedSpids(QStringLiteral("loginame"), rows), "4 2 5 1 3");
    EXPECT_EQ(sortedSpids(QStringLiteral("cpu DESC, loginame"), rows), "4 2 5 1 3");
    EXPECT_EQ(sortedSpids(QStringLiteral("loginame DESC, cpu DESC"), rows), "1 3 2 5 4");
}

TEST_F(RowSortOrder, RowsWithoutAValueComeFirstAscendingAndLastDescending)
{
    const std::vector<Row> rows = {
        processRow(1, 10, QStringLiteral("b"), {}, QDateTime(QDate(2026, 1, 1), QTime(0, 0))),
        processRow(2, {}, {}),
        processRow(3, 0, QStringLiteral("a"), {}, QDateTime(QDate(1999, 1, 1), QTime(0, 0))),
        processRow(4, {}, {}),
    };
    for (const char* column : {"cpu", "loginame", "login_time"}) {
        const QString name = QString::fromUtf8(column);
        EXPECT_EQ(sortedSpids(name, rows), "2 4 3 1") << column;
        EXPECT_EQ(sortedSpids(name + QStringLiteral(" DESC"), rows), "1 3 2 4") << column;
    }
}

TEST_F(RowSortOrder, OnlyTheVisibleRowsAreReordered)
{
    const std::vector<Row> rows = {
        processRow(1, 30, {}), processRow(2, 20, {}), processRow(3, 10, {}), processRow(4, 0, {}),
    };
    EXPECT_EQ(sortedSpids(QStringLiteral("cpu"), rows, {0, 2, 3}), "4 3 1");
    EXPECT_EQ(sortedSpids(QString(), rows, {2, 0}), "3 1");   // no keys: the order stays
}

TEST_F(RowSortOrder, NumbersOfEveryMagnitudeAndSignSortAsAComparisonSortWould)
{
    const std::vector<FieldDef> numberFields = {
        {QStringLiteral("id"), FieldKind::Integer},
        {QStringLiteral("big"), FieldKind::LargeInt},
        {QStringLiteral("real"), FieldKind::Float},
    };
    std::mt19937_64 random(7);
    const qint64 bigValues[] = {std::numeric_limits<qint64>::min(), -4'000'000'000'000LL, -1, 0, 1,
                                255, 256, 65'536, std::numeric_limits<qint64>::max()};
    const double realValues[] = {-1e300, -2.5, -0.0, 0.0, 1e-300, 0.75, 3.0, 1e300};
    std::vector<Row> rows;
    for (int id = 0; id < 2000; ++id) {
        const QVariant big = random() % 10 ? QVariant(bigValues[random() % std::size(bigValues)]) : QVariant();
        rows.push_back({id, big, realValues[random() % std::size(realValues)]});
    }

    for (const char* text : {"big", "big DESC", "real", "real DESC, big", "big, real DESC"}) {
        const RowSort sort = RowSort::parse(QString::fromUtf8(text), numberFields);
        std::vector<int> view(rows.size());
        std::iota(view.begin(), view.end(), 0);
        std::vector<int> expected = view;
        std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
            for (const RowSort::Key& key : sort.keys()) {
                const QVariant& x = rows[size_t(a)][size_t(key.field)];
                const QVariant& y = rows[size_t(b)][size_t(key.field)];
                // missing first, then by value; descending reverses both
                const auto rank = [&](const QVariant& v) { return std::make_pair(v.isValid(), v.toDouble()); };
                const auto order = key.field == 1 && x.isValid() && y.isValid()
                    ? (x.toLongLong() > y.toLongLong()) - (x.toLongLong() < y.toLongLong())
                    : (rank(x) > rank(y)) - (rank(x) < rank(y));
                if (order != 0)
                    return key.descending ? order > 0 : order < 0;
            }
            return false;
        });
        sort.apply(view, rows, numberFields);
        EXPECT_EQ(view, expected) << text;
    }
}

TEST_F(RowSortOrder, ByteStringsSortByTheirBytesWhereverTheyStandAndHoweverOftenTheyRepeat)
{
    const std::vector<FieldDef> byteFields = {
        {QStringLiteral("id"), FieldKind::Integer},
        {QStringLiteral("sid"), FieldKind::VarBytes, 85},
    };
    const std::vector<Row> rows = {
        {1, QByteArray("\x02", 1)}, {2, QVariant()}, {3, QByteArray("\x01", 1)},
        {4, QByteArray("\x02", 1)}, {5, QByteArray("\x00\xff", 2)},
    };
    const auto sortedIds = [&](const char* text, std::vector<int> view) {
        RowSort::parse(QString::fromUtf8(text), byteFields).apply(view, rows, byteFields);
        QStringList ids;
        for (int index : view)
            ids << rows[size_t(index)][0].toString();
        return ids.join(u' ').toStdString();
    };
    EXPECT_EQ(sortedIds("sid", {0, 1, 2, 3, 4}), "2 5 3 1 4");
    EXPECT_EQ(sortedIds("sid DESC", {0, 1, 2, 3, 4}), "1 4 3 5 2");
    EXPECT_EQ(sortedIds("sid", {4, 3, 2, 0}), "5 3 4 1");
}

TEST_F(RowSortOrder, NumbersWrittenAsTextSortAsTheCollatorOrdersThem)
{
    // Digits alone (up to 18 of them), with a longer number or a text of letters among them:
    // every way gives the collator's order (a prefix first, leading zeros counting as digits).
    const QStringList digits = {QStringLiteral("10"), QStringLiteral("9"), QStringLiteral("100"),
                                QStringLiteral("09"), QStringLiteral("0"), QString(""),
                                QStringLiteral("1"), QStringLiteral("0010"), QStringLiteral("99"),
                                QStringLiteral("10"), QStringLiteral("999999999999999999"),
                                QStringLiteral("100000000000000000")};
    for (const QStringList& texts : {digits, digits + QStringList{QStringLiteral("1000000000000000000")},
                                     digits + QStringList{QStringLiteral("a1")}}) {
        std::vector<Row> rows;
        for (int i = 0; i < texts.size(); ++i)
            rows.push_back(processRow(i, 0, {}, texts[i]));
        std::vector<int> expected(rows.size());
        std::iota(expected.begin(), expected.end(), 0);
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::stable_sort(expected.begin(), expected.end(),
                         [&](int a, int b) { return collator.compare(texts[a], texts[b]) < 0; });
        QStringList spids;
        for (int index : expected)
            spids << QString::number(index);
        EXPECT_EQ(sortedSpids(QStringLiteral("hostname"), rows), spids.join(u' ').toStdString()) << texts.size();
    }
}
