// Title clicks on a result grid: how sort marks advance, when the changed sort is applied, and
// where it goes.
#include "ResultGridTestData.h"

#include <QLineEdit>

using namespace velmora;
using namespace velmora::testing;

namespace {

using SortMarks = ResultGridTest;

struct Step {
    std::string marks;   // after the click
    std::string order;   // after the click, and for Ctrl+clicks after the release of Ctrl
    std::string sort;
};

} // namespace

TEST_F(SortMarks, PlainClicksAlternateAscendingAndDescendingAndSortAtOnce)
{
    const Step steps[] = {
        {"spid:none0 cpu:asc1 loginame:none0", "53|51|54|52", "cpu"},
        {"spid:none0 cpu:desc1 loginame:none0", "52|54|53|51", "cpu DESC"},
        {"spid:none0 cpu:asc1 loginame:none0", "53|51|54|52", "cpu"},
    };
    for (const Step& step : steps) {
        clickTitle(QStringLiteral("cpu"));
        EXPECT_EQ(marks(), step.marks);
        EXPECT_EQ(spidOrder(), step.order);
        EXPECT_EQ(query.sort().toStdString(), step.sort);
        EXPECT_FALSE(grid.isSortPending());
    }
}

TEST_F(SortMarks, CtrlClicksGoThroughNoMarkAndSortOnlyWhenCtrlIsReleased)
{
    query.setSort(QStringLiteral("spid DESC"));
    const Step steps[] = {
        {"spid:none0 cpu:asc1 loginame:none0", "53|51|54|52", "cpu"},
        {"spid:none0 cpu:desc1 loginame:none0", "52|54|53|51", "cpu DESC"},
        {"spid:none0 cpu:none0 loginame:none0", serverOrder, ""},
    };
    for (const Step& step : steps) {
        const std::string before = spidOrder();
        clickTitle(QStringLiteral("cpu"), Qt::ControlModifier);
        EXPECT_EQ(marks(), step.marks);
        EXPECT_EQ(spidOrder(), before) << "sorted before Ctrl was released";
        EXPECT_TRUE(grid.isSortPending());
        releaseCtrl();
        EXPECT_EQ(spidOrder(), step.order);
        EXPECT_EQ(query.sort().toStdString(), step.sort);
        EXPECT_FALSE(grid.isSortPending());
    }
}

TEST_F(SortMarks, CtrlClicksMarkSeveralColumnsAndAPlainClickLeavesOne)
{
    int sorts = 0;
    QObject::connect(&query, &Query::rowsReset, [&] { ++sorts; });
    clickTitle(QStringLiteral("cpu"), Qt::ControlModifier);
    clickTitle(QStringLiteral("spid"), Qt::ControlModifier);
    EXPECT_EQ(marks(), "spid:asc2 cpu:asc1 loginame:none0");
    EXPECT_EQ(markedList(), "cpu,spid");
    EXPECT_EQ(spidOrder(), serverOrder);

    releaseCtrl();
    EXPECT_EQ(sorts, 1) << "applied once for both Ctrl+clicks";
    EXPECT_EQ(query.sort().toStdString(), "cpu, spid");
    EXPECT_EQ(spidOrder(), "51|53|54|52");

    clickTitle(QStringLiteral("spid"));
    EXPECT_EQ(marks(), "spid:desc1 cpu:none0 loginame:none0");
    EXPECT_EQ(markedList(), "spid");
    EXPECT_EQ(query.sort().toStdString(), "spid DESC");
    EXPECT_EQ(spidOrder(), "54|53|52|51");
}

TEST_F(SortMarks, RemovingAMarkMovesTheLaterOnesUp)
{
    for (const char* field : {"cpu", "spid", "loginame"})
        clickTitle(QString::fromLatin1(field), Qt::ControlModifier);
    clickTitle(QStringLiteral("cpu"), Qt::ControlModifier);   // asc -> desc keeps its place
    EXPECT_EQ(marks(), "spid:asc2 cpu:desc1 loginame:asc3");
    clickTitle(QStringLiteral("cpu"), Qt::ControlModifier);   // desc -> none
    EXPECT_EQ(marks(), "spid:asc1 cpu:none0 loginame:asc2");
    EXPECT_EQ(markedList(), "spid,loginame");
    releaseCtrl();
    EXPECT_EQ(query.sort().toStdString(), "spid, loginame");
}

TEST_F(SortMarks, SingleMarkingGridMovesItsOnlyMark)
{
    GridBehaviourOptions behaviourOptions = grid.behaviourOptions();
    behaviourOptions.multiSortMarking = false;
    grid.setBehaviourOptions(behaviourOptions);

    clickTitle(QStringLiteral("cpu"), Qt::ControlModifier);
    clickTitle(QStringLiteral("spid"), Qt::ControlModifier);
    EXPECT_EQ(marks(), "spid:asc1 cpu:none0 loginame:none0");
    EXPECT_EQ(markedList(), "spid");
    releaseCtrl();
    EXPECT_EQ(query.sort().toStdString(), "spid");

    clickTitle(QStringLiteral("spid"), Qt::ControlModifier);
    clickTitle(QStringLiteral("spid"), Qt::ControlModifier);
    EXPECT_EQ(marks(), "spid:none0 cpu:none0 loginame:none0");
    EXPECT_EQ(markedList(), "");
    releaseCtrl();
    EXPECT_EQ(query.sort().toStdString(), "");
    EXPECT_EQ(spidOrder(), serverOrder);
}

TEST_F(SortMarks, ClickAtEndOfDataChangesMarksButNotOrder)
{
    clickCell(0);
    pressKey(Qt::Key_End);
    ASSERT_TRUE(query.eof());
    clickTitle(QStringLiteral("cpu"));
    EXPECT_EQ(marks(), "spid:none0 cpu:asc1 loginame:none0");
    EXPECT_EQ(spidOrder(), serverOrder);

    // After any other move the next click sorts by the marks then present.
    pressKey(Qt::Key_Up);
    clickTitle(QStringLiteral("cpu"));
    EXPECT_EQ(query.sort().toStdString(), "cpu DESC");
    EXPECT_EQ(spidOrder(), "52|54|53|51");
}

TEST_F(SortMarks, PendingSortIsAppliedWhenTheGridLosesTheFocus)
{
    QLineEdit elsewhere;
    clickCell(0);
    clickTitle(QStringLiteral("cpu"), Qt::ControlModifier);
    ASSERT_TRUE(grid.isSortPending());
    ASSERT_TRUE(showActive(elsewhere));
    EXPECT_FALSE(grid.isSortPending());
    EXPECT_EQ(query.sort().toStdString(), "cpu");
}

TEST_F(SortMarks, ChangedSortGoesToTheScreensHandlerInsteadOfTheLocalSort)
{
    std::vector<std::string> seen;
    grid.onSortMarkingChanged = [&] { seen.push_back(markedList()); };
    clickTitle(QStringLiteral("cpu"));
    clickTitle(QStringLiteral("loginame"), Qt::ControlModifier);
    clickTitle(QStringLiteral("spid"), Qt::ControlModifier);
    releaseCtrl();
    EXPECT_EQ(seen, (std::vector<std::string>{"cpu", "cpu,loginame,spid"}));
    EXPECT_EQ(query.sort().toStdString(), "");
}

TEST_F(SortMarks, TitleButtonClicksOnlyWhenReleasedOverTheSameTitle)
{
    QWidget& titles = *header().viewport();
    pressButton(titles, titleCentre(QStringLiteral("cpu")));
    EXPECT_EQ(header().pressedTitle(), grid.columnIndex(QStringLiteral("cpu")));
    moveMouse(titles, titleCentre(QStringLiteral("loginame")));
    releaseButton(titles, titleCentre(QStringLiteral("loginame")));
    EXPECT_EQ(marks(), "spid:none0 cpu:none0 loginame:none0");
    EXPECT_EQ(header().pressedTitle(), -1);

    drag(titles, {titleCentre(QStringLiteral("cpu")), titleCentre(QStringLiteral("loginame")),
                  titleCentre(QStringLiteral("cpu"))});
    EXPECT_EQ(marks(), "spid:none0 cpu:asc1 loginame:none0");
}

TEST_F(SortMarks, ReplacedColumnsRebuildTheMarkedListFromSortIndex)
{
    GridColumns columns = grid.columns();
    columns[0].sortMarker = SortMarker::Up;
    columns[0].sortIndex = 2;
    columns[1].sortMarker = SortMarker::Down;
    columns[1].sortIndex = 1;
    grid.setColumns(columns);
    EXPECT_EQ(markedList(), "cpu,spid");

    // Marks taken over without SortIndex (as the layout file loads them) leave the list empty
    // until the next change of a mark.
    columns[0].sortIndex = 0;
    columns[1].sortIndex = 0;
    grid.setColumns(columns);
    EXPECT_EQ(markedList(), "");
    clickTitle(QStringLiteral("loginame"), Qt::ControlModifier);
    EXPECT_EQ(marks(), "spid:desc0 cpu:asc0 loginame:asc1");
}
