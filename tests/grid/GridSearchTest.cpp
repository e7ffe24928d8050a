// The rules of the incremental search and of the find dialog's search over a held result set:
// which row and cell each step makes current, the search text, first tries and directions.
#include "GridSearch.h"
#include "Query.h"

#include <QDateTime>
#include <QLocale>
#include <gtest/gtest.h>

using namespace velmora;

namespace {

const QLocale russian(QLocale::Russian, QLocale::Russia);

enum Column { Spid, ProgramName, DBName, LoginTime, Amount, NoField };

class GridSearch : public ::testing::Test {
protected:
    GridSearch()
    {
        query.setFields({
            {QStringLiteral("spid"), FieldKind::SmallInt},
            {QStringLiteral("program_name"), FieldKind::FixedChar, 20},
            {QStringLiteral("DBName"), FieldKind::WideString, 128},
            {QStringLiteral("login_time"), FieldKind::DateTime},
            {QStringLiteral("amount"), FieldKind::BCD, 6},
        });
        query.createDataSet();
        const QDate day(2026, 5, 12);
        add(1, "Microsoft", "tempdb", QDateTime(day, QTime(0, 0)), "1.50");
        add(51, "Sample app", "Master", QDateTime(day, QTime(10, 30, 5)), "2.00");
        add(52, "sqlagent", "msdb", QDateTime(day, QTime(0, 0, 1)), QVariant());
        add(53, "SQL Query", "master", QDateTime(day.addDays(1), QTime(0, 0)), "1.50");
        add(54, "Squid", "mastersql", QVariant(), "3.25");
        add(55, "isql", "MASTER", QDateTime(day, QTime(7, 5)), "0.10");
        add(56, "\U0001F600app", "model", QVariant(), QVariant());
        for (const char* field : {"spid", "program_name", "DBName", "login_time", "amount", "nosuch"}) {
            GridColumn column;
            column.fieldName = QString::fromUtf8(field);
            columns.push_back(column);
        }
    }

    void add(int spid, const char* program, const char* database, const QVariant& time,
             const QVariant& amount)
    {
        query.appendRow({qint16(spid), QString::fromUtf8(program).leftJustified(20),
                         QString::fromUtf8(database), time, amount});
    }

    // Steps as the grid takes them: a found row becomes current. "row:text" per step, the row
    // after the step and the search text.
    std::string typed(IncrementalSearch& search, const char* characters, int column = ProgramName)
    {
        QStringList steps;
        for (QChar c : QString::fromUtf8(characters)) {
            if (const std::optional<int> row = search.typeCharacter(c, columns, column, query, russian))
                query.moveTo(*row);
            steps << QStringLiteral("%1:%2").arg(query.recNo()).arg(search.text());
        }
        return steps.join(u' ').toStdString();
    }

    // Each find step as "row/column", "none" when nothing matched; a match moves the cursor.
    std::string found(FindSearch& search, const FindOptions& options, int steps, bool reversed = false)
    {
        QStringList results;
        for (int i = 0; i < steps; ++i) {
            const std::optional<FindMatch> match = search.step(options, reversed, columns, query, russian);
            if (match)
                query.moveTo(match->row);
            results << (match ? QStringLiteral("%1/%2").arg(match->row).arg(match->column)
                              : QStringLiteral("none"));
        }
        return results.join(u' ').toStdString();
    }

    static FindOptions options(const char* pattern, FindMatchType type, FindDirection direction,
                               bool caseSensitive = false, bool useFormat = true)
    {
        return {QString::fromUtf8(pattern), type, direction, caseSensitive, useFormat};
    }

    Query query;
    GridColumns columns;
};

} // namespace

TEST_F(GridSearch, TypedCharactersFindTheFirstRowBeginningWithThemAndDropWhatMatchesNothing)
{
    const struct { int start; const char* characters; const char* steps; } cases[] = {
        // s goes to the first row beginning with s, q to the first with sq; x matches nothing
        // and is dropped, so the row and the text stay
        {0, "sqx", "1:s 2:sq 2:sq"},
        // the current row already begins with the text: it stays
        {3, "sq", "3:s 3:sq"},
        {4, "sQu", "4:s 4:sQ 4:sQu"},
        // nothing begins with z: nothing changes, the search text stays empty
        {2, "zs", "2: 2:s"},
        // the padding of fixed-width text is part of the displayed text
        {1, "isql ", "5:i 5:is 5:isq 5:isql 5:isql "},
    };
    for (const auto& c : cases) {
        IncrementalSearch search;
        query.moveTo(c.start);
        EXPECT_EQ(typed(search, c.characters), c.steps) << c.characters;
        EXPECT_TRUE(search.isSearching());
    }
}

TEST_F(GridSearch, SearchTextLosesItsLastCharacterAndCellsCompareInUpperCase)
{
    IncrementalSearch search;
    search.startEmpty();
    search.step(QStringLiteral("s\U0001F600"), IncSearchDirection::Here, -1, columns, ProgramName, query, russian);
    EXPECT_EQ(search.text().toStdString(), "");   // no row begins so: nothing taken
    query.moveTo(0);
    typed(search, "sq");
    search.removeLastCharacter();
    EXPECT_EQ(search.text().toStdString(), "s");
    EXPECT_EQ(query.recNo(), 2);   // no new scan

    const struct { const char* text; const char* candidate; bool begins; } cases[] = {
        {"жук", "ЖУ", true}, {"Жук", "жук", true}, {"ab", "abc", false}, {"", "a", false},
        {"x😀y", "X😀", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(beginsWithIgnoringCase(QString::fromUtf8(c.text), QString::fromUtf8(c.candidate), russian), c.begins)
            << c.text << " / " << c.candidate;

    IncrementalSearch surrogate;
    surrogate.step(QStringLiteral("\U0001F600a"), IncSearchDirection::Here, -1, columns, ProgramName, query, russian);
    EXPECT_EQ(surrogate.text(), QStringLiteral("\U0001F600a"));
    surrogate.removeLastCharacter();
    EXPECT_EQ(surrogate.text(), QStringLiteral("\U0001F600"));
    surrogate.removeLastCharacter();   // the pair goes as one character
    EXPECT_EQ(surrogate.text().toStdString(), "");
}

TEST_F(GridSearch, ClosedResultSetsAndColumnsWithoutAFieldFindNothing)
{
    IncrementalSearch search;
    query.moveTo(2);
    EXPECT_FALSE(search.typeCharacter(u'a', columns, NoField, query, russian).has_value());
    EXPECT_EQ(cellDisplayText(columns, NoField, query, 0, russian).toStdString(), "");

    query.close();
    IncrementalSearch closed;
    EXPECT_FALSE(closed.typeCharacter(u's', columns, ProgramName, query, russian).has_value());
    EXPECT_FALSE(closed.isSearching());

    FindSearch find;
    find.setSearchColumns({DBName}, FindDirection::All);
    EXPECT_EQ(found(find, options("master", FindMatchType::WholeField, FindDirection::All), 1), "none");
}

TEST_F(GridSearch, MasterFoundInAnyCaseMovesTheColumnOnlyWhenCaseIsIgnored)
{
    query.moveTo(2);
    FindSearch ignoringCase;
    ignoringCase.setSearchColumns({DBName}, FindDirection::All);
    const FindOptions master = options("master", FindMatchType::WholeField, FindDirection::All);
    EXPECT_EQ(found(ignoringCase, master, 4), "1/2 3/2 5/2 none");
    EXPECT_EQ(query.recNo(), 5);   // the grid stays on the last match

    query.moveTo(2);
    FindSearch withCase;
    withCase.setSearchColumns({DBName}, FindDirection::All);
    const FindOptions exact = options("master", FindMatchType::WholeField, FindDirection::All, true);
    EXPECT_EQ(found(withCase, exact, 2), "3/2 none");

    // over all columns: the match's column becomes current only when case was ignored
    FindSearch all;
    all.setSearchColumns({Spid, ProgramName, DBName}, FindDirection::All);
    const std::optional<FindMatch> anyCase = all.step(options("SQ", FindMatchType::Beginning, FindDirection::All), false, columns, query, russian);
    ASSERT_TRUE(anyCase.has_value());
    EXPECT_EQ(anyCase->row, 2);
    EXPECT_EQ(anyCase->column, ProgramName);
    EXPECT_TRUE(anyCase->makeColumnCurrent);
    all.restart(FindDirection::All);
    const std::optional<FindMatch> caseKept = all.step(options("SQ", FindMatchType::Beginning, FindDirection::All, true), false, columns, query, russian);
    ASSERT_TRUE(caseKept.has_value());
    EXPECT_EQ(caseKept->row, 3);
    EXPECT_FALSE(caseKept->makeColumnCurrent);
}

TEST_F(GridSearch, FindStepsByDirectionMatchTypeAndFirstTry)
{
    using D = FindDirection;
    using M = FindMatchType;
    const struct {
        const char* name;
        int start;
        std::vector<int> searchColumns;
        FindOptions options;
        bool reversed;
        int steps;
        const char* results;
    } cases[] = {
        {"Down examines the current row first", 3, {DBName}, options("master", M::WholeField, D::Down), false, 3, "3/2 5/2 none"},
        {"All starts at the first row", 3, {DBName}, options("master", M::WholeField, D::All), false, 2, "1/2 3/2"},
        {"Up goes toward the first row", 4, {DBName}, options("master", M::WholeField, D::Up), false, 3, "3/2 1/2 none"},
        {"Ctrl reverses Down", 2, {DBName}, options("master", M::WholeField, D::Down), true, 2, "1/2 none"},
        {"Ctrl reverses Up", 2, {DBName}, options("master", M::WholeField, D::Up), true, 2, "3/2 5/2"},
        {"Ctrl reverses All from the last row", 2, {DBName}, options("master", M::WholeField, D::All), true, 3, "5/2 3/2 1/2"},
        {"cell by cell across the search columns", 0, {ProgramName, DBName}, options("s", M::AnyPart, D::Down), false, 5, "0/1 1/1 1/2 2/1 2/2"},
        {"cell by cell backward", 1, {ProgramName, DBName}, options("s", M::AnyPart, D::Up), false, 4, "1/2 1/1 0/1 none"},
        {"any part", 0, {DBName}, options("sql", M::AnyPart, D::All), false, 2, "4/2 none"},
        {"beginning", 0, {DBName}, options("MAST", M::Beginning, D::All), false, 5, "1/2 3/2 4/2 5/2 none"},
        {"beginning with case", 0, {DBName}, options("mast", M::Beginning, D::All, true), false, 3, "3/2 4/2 none"},
        // the displayed text has the locale's decimal comma, the raw value not; both leave out
        // a time at exactly midnight, and neither a time a second later
        {"formatted decimal", 0, {Amount}, options("1,50", M::WholeField, D::All), false, 2, "0/4 3/4"},
        {"raw decimal", 0, {Amount}, options("1.50", M::WholeField, D::All, false, false), false, 2, "0/4 3/4"},
        {"formatted date", 0, {LoginTime}, options("13.05.2026", M::WholeField, D::All), false, 1, "3/3"},
        {"formatted date, not a second after midnight", 0, {LoginTime}, options("12.05.2026", M::WholeField, D::All), false, 2, "0/3 none"},
        {"raw date", 0, {LoginTime}, options("13.05.2026", M::WholeField, D::All, false, false), false, 1, "3/3"},
        {"a column without a field", 0, {NoField, Spid}, options("5", M::Beginning, D::All), false, 2, "1/0 2/0"},
        {"no search columns", 0, {}, options("", M::AnyPart, D::All), false, 1, "none"},
    };
    for (const auto& c : cases) {
        query.moveTo(c.start);
        FindSearch search;
        search.setSearchColumns(c.searchColumns, c.options.direction);
        EXPECT_EQ(found(search, c.options, c.steps, c.reversed), c.results) << c.name;
    }
}

TEST_F(GridSearch, ANewPatternIsAFirstTryWhileANewMatchTypeIsNot)
{
    FindSearch search;
    search.setSearchColumns({DBName}, FindDirection::All);
    EXPECT_TRUE(search.isFirstTry());
    FindOptions find = options("master", FindMatchType::WholeField, FindDirection::All);
    EXPECT_EQ(found(search, find, 1), "1/2");
    EXPECT_FALSE(search.isFirstTry());

    find.matchType = FindMatchType::Beginning;   // restarts nothing: on from the last match
    find.caseSensitive = true;
    EXPECT_EQ(found(search, find, 1), "3/2");

    search.restart(FindDirection::All);          // a new pattern: from the first row again
    find.pattern = QStringLiteral("m");
    EXPECT_TRUE(search.isFirstTry());
    EXPECT_EQ(found(search, find, 2), "2/2 3/2");

    query.moveTo(3);
    search.restart(FindDirection::Up);           // a new direction: a first try from here
    find.direction = FindDirection::Up;
    EXPECT_EQ(found(search, find, 2), "3/2 2/2");

    // no match leaves the first try standing
    FindSearch failing;
    failing.setSearchColumns({DBName}, FindDirection::Down);
    query.moveTo(0);
    EXPECT_EQ(found(failing, options("pubs", FindMatchType::WholeField, FindDirection::Down), 1), "none");
    EXPECT_TRUE(failing.isFirstTry());
}
