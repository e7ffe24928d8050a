// The incremental search driven by the grid's keys and characters: starting, extending and
// ending it, its time-out, and what it asks of the grid.
#include "IncrementalSearcher.h"
#include "Query.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

enum Column { Spid, ProgramName };

// A grid as the search sees it; every request is noted, and a row moved by the search is
// reported back as the grid's own row move would be.
class FakeHost : public IncrementalSearchHost {
public:
    const GridColumns& columns() const override { return gridColumns; }
    const Query* dataSource() const override { return query; }
    int currentColumn() const override { return ProgramName; }
    void moveToCell(int row, int column) override
    {
        calls << QStringLiteral("move %1").arg(row);
        query->moveTo(row);
        searcher->rowMoved();
        if (column >= 0)
            calls << QStringLiteral("column %1").arg(column);
    }
    void closeEditor() override { calls << QStringLiteral("close"); }
    void redrawCurrentRow() override { calls << QStringLiteral("redraw"); }
    void openFindDialog() override { calls << QStringLiteral("dialog"); }

    GridColumns gridColumns;
    Query* query = nullptr;
    IncrementalSearcher* searcher = nullptr;
    QStringList calls;
};

class IncrementalSearcherTest : public ::testing::Test {
protected:
    IncrementalSearcherTest()
    {
        query.setFields({{QStringLiteral("spid"), FieldKind::SmallInt},
                         {QStringLiteral("program_name"), FieldKind::FixedChar, 20}});
        query.createDataSet();
        int spid = 51;
        for (const char* program : {"Microsoft", "Sample app", "sqlagent", "SQL Query", "isql"})
            query.appendRow({qint16(spid++), QString::fromUtf8(program).leftJustified(20)});
        query.first();
        for (const char* field : {"spid", "program_name"}) {
            GridColumn column;
            column.fieldName = QString::fromUtf8(field);
            host.gridColumns.push_back(column);
        }
        host.query = &query;
        host.searcher = &searcher;
    }

    // The calls the grid received since the last look.
    std::string calls()
    {
        const std::string seen = host.calls.join(u',').toStdString();
        host.calls.clear();
        return seen;
    }

    bool key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool dialogFind = true)
    {
        return searcher.keyPressed(key, modifiers, dialogFind);
    }

    Query query;
    FakeHost host;
    IncrementalSearcher searcher{host};
};

} // namespace

TEST_F(IncrementalSearcherTest, TypingSAndQFindsTheRowDropsWhatMatchesNothingAndTimesOut)
{
    EXPECT_TRUE(searcher.characterTyped(u's'));
    EXPECT_EQ(calls(), "move 1,close,redraw");
    EXPECT_TRUE(searcher.timer().isActive());
    EXPECT_EQ(searcher.timer().interval(), 1500);

    EXPECT_TRUE(searcher.characterTyped(u'q'));
    EXPECT_EQ(calls(), "move 2,close,redraw");
    EXPECT_TRUE(searcher.characterTyped(u'z'));   // nothing begins with "sqz": dropped
    EXPECT_EQ(calls(), "close,redraw");
    EXPECT_EQ(searcher.state().text().toStdString(), "sq");
    EXPECT_EQ(query.recNo(), 2);
    EXPECT_TRUE(searcher.state().isSearching());   // the move was the search's own

    searcher.timeOut();
    EXPECT_FALSE(searcher.state().isSearching());
    EXPECT_EQ(searcher.state().text().toStdString(), "");
    EXPECT_EQ(calls(), "redraw");
    EXPECT_FALSE(searcher.timer().isActive());
}

TEST_F(IncrementalSearcherTest, CtrlFStartsASearchWithoutTimeOutAndASecondOneOpensTheDialog)
{
    EXPECT_TRUE(key(Qt::Key_F, Qt::ControlModifier));
    EXPECT_TRUE(searcher.state().isSearching());
    EXPECT_EQ(calls(), "close,redraw");
    searcher.characterTyped(u'i');
    EXPECT_EQ(query.recNo(), 4);
    EXPECT_FALSE(searcher.timer().isActive());

    EXPECT_TRUE(key(Qt::Key_F, Qt::ControlModifier, false));   // no find dialog: nothing
    EXPECT_TRUE(searcher.state().isSearching());
    calls();
    EXPECT_TRUE(key(Qt::Key_F, Qt::ControlModifier));
    EXPECT_FALSE(searcher.state().isSearching());
    EXPECT_EQ(calls(), "redraw,dialog");
}

TEST_F(IncrementalSearcherTest, EnterEscAndF2EndTheSearchAndKeepTheirOwnEffect)
{
    for (int ending : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_F2}) {
        searcher.characterTyped(u'S');
        EXPECT_FALSE(key(ending)) << ending;   // left to the grid: Enter still opens the details
        EXPECT_FALSE(searcher.state().isSearching()) << ending;
    }
    calls();
    EXPECT_FALSE(key(Qt::Key_Return));   // idle: nothing to end
    EXPECT_EQ(calls(), "");
}

TEST_F(IncrementalSearcherTest, CtrlEnterAndCtrlShiftEnterMoveBetweenMatches)
{
    EXPECT_FALSE(key(Qt::Key_Return, Qt::ControlModifier));   // idle: not the search's key
    searcher.characterTyped(u's');   // row 1
    const struct { Qt::KeyboardModifiers modifiers; int row; } steps[] = {
        {Qt::ControlModifier, 2}, {Qt::ControlModifier, 3}, {Qt::ControlModifier, 3},
        {Qt::ControlModifier | Qt::ShiftModifier, 2}, {Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier, 1},
    };
    for (const auto& s : steps) {
        EXPECT_TRUE(key(Qt::Key_Return, s.modifiers));
        EXPECT_EQ(query.recNo(), s.row);
        EXPECT_TRUE(searcher.timer().isActive());
    }
    EXPECT_EQ(searcher.state().text().toStdString(), "s");
}

TEST_F(IncrementalSearcherTest, BackspaceShortensTheTextWithoutANewScan)
{
    searcher.characterTyped(u's');
    searcher.characterTyped(u'q');
    calls();
    EXPECT_TRUE(key(Qt::Key_Backspace));
    EXPECT_EQ(searcher.state().text().toStdString(), "s");
    EXPECT_EQ(calls(), "redraw");
    EXPECT_EQ(query.recNo(), 2);
    EXPECT_TRUE(searcher.timer().isActive());
    EXPECT_FALSE(key(Qt::Key_Backspace, Qt::ShiftModifier));
    EXPECT_EQ(searcher.state().text().toStdString(), "s");
}

TEST_F(IncrementalSearcherTest, AMoveByAnythingElseOrAnotherColumnEndsTheSearch)
{
    searcher.characterTyped(u's');
    query.moveTo(4);
    searcher.rowMoved();   // a click or a navigation key
    EXPECT_FALSE(searcher.state().isSearching());

    searcher.characterTyped(u's');
    searcher.columnChanged();
    EXPECT_FALSE(searcher.state().isSearching());
    EXPECT_FALSE(searcher.timer().isActive());
}

TEST_F(IncrementalSearcherTest, ControlCharactersAndClosedResultSetsStartNothing)
{
    EXPECT_FALSE(searcher.characterTyped(QChar(13)));
    EXPECT_FALSE(searcher.characterTyped(QChar(8)));
    query.close();
    EXPECT_FALSE(searcher.characterTyped(u's'));
    EXPECT_FALSE(searcher.state().isSearching());
    EXPECT_EQ(calls(), "");
}
