// Held rows of an open query: the cursor and its two states, locate, the calculated-fields hook,
// the second cursor, client-only rows, and the sort and filter strings applied over them.
#include "Connection.h"
#include "DbError.h"
#include "Query.h"
#include "SimFixture.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <string>

using namespace velmora;
using sqlsim::SqlType;

namespace {

class QueryCursor : public ::testing::Test {
protected:
    void SetUp() override
    {
        sqlsim::ResultSet table;
        table.columns = {{"n", SqlType::Int}, {"name", SqlType::NChar, 6}};
        table.rows = {{qint64(3), QStringLiteral("three")}, {qint64(1), QStringLiteral("one")},
                      {qint64(2), sqlsim::Value()}};
        sqlsim::ResultSet empty;
        empty.columns = table.columns;
        {
            std::lock_guard lock(sim.engine().mutex());
            sim.engine().state().tables["Numbers"] = table;
            sim.engine().state().tables["Nothing"] = empty;
        }
        connection.setConnectionString(sim.oledbConnectionString());
        connection.open();
        query.setConnection(&connection);
        query.setSql({QStringLiteral("Select * from Numbers")});
        query.setFields({{"n", FieldKind::Integer}, {"name", FieldKind::FixedWideChar, 6},
                         {"label", FieldKind::WideString, 20, true, true}});
    }

    // "recNo bof eof" of the cursor, e.g. "1 F T".
    std::string state() const
    {
        return std::to_string(query.recNo()) + (query.bof() ? " T" : " F") + (query.eof() ? " T" : " F");
    }

    // The visible rows' n values in order, e.g. "3,1,2".
    std::string visible() const
    {
        QStringList values;
        for (int row = 0; row < query.recordCount(); ++row)
            values << query.valueAt(row, 0).toString();
        return values.join(u',').toStdString();
    }

    SimFixture sim;
    Connection connection;
    Query query;
};

} // namespace

TEST_F(QueryCursor, MovesSetAndClearTheBeginningAndEndStates)
{
    query.open();
    EXPECT_EQ(state(), "0 T F");
    struct Step {
        void (*move)(Query&);
        const char* expected;
    };
    const Step steps[] = {
        {[](Query& q) { q.prior(); }, "0 T F"},      // a step before the first row
        {[](Query& q) { q.next(); }, "1 F F"},
        {[](Query& q) { q.next(); }, "2 F F"},       // onto the last row: not yet end-of-data
        {[](Query& q) { q.next(); }, "2 F T"},       // a step past it
        {[](Query& q) { q.prior(); }, "1 F F"},
        {[](Query& q) { q.last(); }, "2 F T"},
        {[](Query& q) { q.first(); }, "0 T F"},
        {[](Query& q) { q.moveTo(9); }, "2 F F"},    // clamped, and not a move to the last row
        {[](Query& q) { q.moveTo(-4); }, "0 F F"},
    };
    for (const Step& step : steps) {
        step.move(query);
        EXPECT_EQ(state(), step.expected);
    }
}

TEST_F(QueryCursor, EmptyResultHasBothStatesWhateverTheMove)
{
    query.setSql({QStringLiteral("Select * from Nothing")});
    query.open();
    EXPECT_EQ(state(), "-1 T T");
    query.next();
    query.last();
    query.moveTo(3);
    EXPECT_EQ(state(), "-1 T T");
    EXPECT_FALSE(query.value("n").isValid());
    EXPECT_FALSE(query.locate(QStringLiteral("n"), 1));
}

TEST_F(QueryCursor, AfterScrollFiresWhenTheCurrentRowChanges)
{
    QSignalSpy scrolled(&query, &Query::afterScroll);
    query.open();
    EXPECT_EQ(scrolled.count(), 1);
    query.prior();                 // nothing to move to
    EXPECT_EQ(scrolled.count(), 1);
    query.next();
    query.last();
    EXPECT_EQ(scrolled.count(), 3);
    // A grid reading another row does not move the cursor.
    const RowView drawn = query.visibleRow(0);
    EXPECT_EQ(drawn.value("N").toInt(), 3);
    EXPECT_EQ(drawn.index(), 0);
    EXPECT_EQ(query.value("n").toInt(), 2);
    EXPECT_THROW(drawn.value("missing"), DbError);
    EXPECT_EQ(scrolled.count(), 3);
}

TEST_F(QueryCursor, LocateComparesByTheFieldsKind)
{
    query.open();
    EXPECT_TRUE(query.locate(QStringLiteral("N"), QStringLiteral("1")));   // text "1" finds the integer 1
    EXPECT_EQ(query.recNo(), 1);
    EXPECT_TRUE(query.locate(QStringLiteral("name"), QVariant()));         // null finds the null
    EXPECT_EQ(query.recNo(), 2);
    EXPECT_FALSE(query.locate(QStringLiteral("name"), QStringLiteral("one")));  // padded on the server
    EXPECT_EQ(query.recNo(), 2);
    EXPECT_TRUE(query.locate(QStringLiteral("name"), QStringLiteral("one   ")));
    EXPECT_EQ(query.recNo(), 1);
    EXPECT_THROW(query.locate(QStringLiteral("missing"), 1), DbError);
}

TEST_F(QueryCursor, CalculatedFieldsAreFilledForEveryRowIncludingAppendedOnes)
{
    int computed = 0;
    query.onCalcFields = [&computed](Query& q) {
        ++computed;
        q.setValue(q.fieldIndex(QStringLiteral("label")), QStringLiteral("#%1").arg(q.value("n").toInt()));
    };
    query.open();
    EXPECT_EQ(computed, 3);
    EXPECT_EQ(query.value("label"), QVariant(QStringLiteral("#3")));
    EXPECT_EQ(query.heldRow(2)[2], QVariant(QStringLiteral("#2")));
    query.appendRow({qint32(7), QStringLiteral("seven")});
    EXPECT_EQ(query.value("label"), QVariant(QStringLiteral("#7")));

    // A sort reads every row again; a hook that fails there leaves the order as it was.
    computed = 0;
    query.setSort(QStringLiteral("n"));
    EXPECT_EQ(computed, 4);
    EXPECT_EQ(query.value("label"), QVariant(QStringLiteral("#7")));
    query.onCalcFields = [](Query&) { throw DbError(DbError::Cause::Server, QStringLiteral("lookup failed")); };
    EXPECT_THROW(query.setSort(QStringLiteral("n DESC")), DbError);
    EXPECT_EQ(query.sort(), QStringLiteral("n"));
}

TEST_F(QueryCursor, AppendedRowsStayOnTheClient)
{
    query.open();
    QSignalSpy reset(&query, &Query::rowsReset);
    query.appendRow({qint32(9)});
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(query.recordCount(), 4);
    EXPECT_EQ(query.recNo(), 3);
    EXPECT_EQ(query.value("n").toInt(), 9);
    EXPECT_FALSE(query.value("name").isValid());
    query.close();
    query.open();
    EXPECT_EQ(query.recordCount(), 3);

    Query list;
    list.setFields({{"value", FieldKind::WideString, 40}});
    EXPECT_THROW(list.appendRow({QStringLiteral("x")}), DbError);
    list.createDataSet();
    EXPECT_EQ(list.recordCount(), 0);
    list.appendRow({QStringLiteral("x")});
    EXPECT_EQ(list.recordCount(), 1);
    EXPECT_EQ(list.value("value").toString(), QStringLiteral("x"));
}

TEST_F(QueryCursor, SortKeepsTheCurrentRecordAndEndsWithTheResultSet)
{
    EXPECT_THROW(query.setSort(QStringLiteral("n")), DbError);
    query.open();
    query.moveTo(2);                              // n = 2
    query.setSort(QStringLiteral("n DESC"));
    EXPECT_EQ(visible(), "3,2,1");
    EXPECT_EQ(query.value("n").toInt(), 2);
    EXPECT_EQ(query.sort(), QStringLiteral("n DESC"));
    EXPECT_THROW(query.setSort(QStringLiteral("nope")), DbError);
    EXPECT_EQ(visible(), "3,2,1");
    query.close();
    EXPECT_EQ(query.sort(), QString());
    query.open();
    EXPECT_EQ(visible(), "3,1,2");   // the server's order again

    // Opened in an order: one pass of the calculated fields, the rows never shown unsorted.
    query.close();
    EXPECT_THROW(query.open(QStringLiteral("nope")), DbError);
    EXPECT_FALSE(query.isActive());
    int passes = 0;
    query.beforeCalcFields = [&passes](Query&) { ++passes; };
    query.onCalcFields = [](Query&) {};
    QSignalSpy reset(&query, &Query::rowsReset);
    QSignalSpy opened(&query, &Query::afterOpen);
    query.open(QStringLiteral("n DESC"));
    EXPECT_EQ(visible(), "3,2,1");
    EXPECT_EQ(query.sort(), QStringLiteral("n DESC"));
    EXPECT_EQ(state(), "0 T F");
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(reset.count(), 0);
}

TEST_F(QueryCursor, ArrangementFollowsTheSortAndRearrangeKeepsTheCurrentRow)
{
    // Held rows in the server's order: n = 3, 1, 2. The arrangement drops n = 1 and puts n = 2
    // first, whatever the sort.
    query.arrangeView = [](std::vector<int>& view, const std::vector<Row>&) {
        std::erase_if(view, [](int held) { return held == 1; });
        std::stable_partition(view.begin(), view.end(), [](int held) { return held == 2; });
    };
    query.open();
    EXPECT_EQ(visible(), "2,3");
    query.setSort(QStringLiteral("n DESC"));
    EXPECT_EQ(visible(), "2,3");
    query.moveTo(1);                              // n = 3
    query.arrangeView = nullptr;
    query.rearrange();
    EXPECT_EQ(visible(), "3,2,1");
    EXPECT_EQ(query.value("n").toInt(), 3);
}

TEST_F(QueryCursor, FilterOutlivesCloseAndTheSecondCursorSeesEveryRow)
{
    query.setFiltered(true);
    query.setFilter(QStringLiteral("[n] > 1"));    // closed: only remembered
    query.open();
    EXPECT_EQ(visible(), "3,2");
    EXPECT_EQ(query.heldRowCount(), 3);
    EXPECT_EQ(query.heldRow(1)[0].toInt(), 1);     // held order, hidden rows included

    query.next();
    query.setFilter(QStringLiteral("[n] < 3"));
    EXPECT_EQ(visible(), "1,2");
    EXPECT_EQ(state(), "0 T F");   // the first visible row is current

    EXPECT_THROW(query.setFilter(QStringLiteral("[n] <")), DbError);
    EXPECT_EQ(query.filter(), QStringLiteral("[n] < 3"));
    EXPECT_EQ(visible(), "1,2");

    query.setFiltered(false);
    EXPECT_EQ(visible(), "3,1,2");
    query.close();
    query.setFiltered(true);
    query.open();
    EXPECT_EQ(visible(), "1,2");
}
