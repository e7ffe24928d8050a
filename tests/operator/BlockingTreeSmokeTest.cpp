// The blocking tree through the operator's keys: Ctrl+T shows a chain with its head on top and
// its count, Ctrl+B climbs from a waiter to its blocker and on to the head.
#include "OperatorFixture.h"

#include "BlockingTreeView.h"
#include "ProcessTab.h"
#include "Query.h"
#include "ResultGrid.h"
#include "WindowParts.h"

#include <QToolButton>
#include <X11/keysym.h>

using namespace velmora;
using velmora::testing::part;

namespace {

TEST_F(OperatorTest, CtrlTShowsTheChainUnderItsHeadAndCtrlBClimbsIt)
{
    // A chain of our own: 700 waits for 701, which waits for 702.
    serverState([](sqlsim::ServerState& state) {
        for (auto [spid, blocked] : {std::pair{700, 701}, {701, 702}, {702, 0}}) {
            sqlsim::Process process;
            process.spid = qint16(spid);
            process.blocked = qint16(blocked);
            process.waittime = blocked != 0 ? 5000 : 0;
            process.status = QStringLiteral("sleeping");
            process.loginame = QStringLiteral("chain");
            process.login_time = process.last_batch = QDateTime::currentDateTime();
            state.processes.push_back(process);
        }
        return 0;
    });
    desk.key(XK_F5);
    ASSERT_TRUE(waitUntil([this] { return rowOfSpid(702) >= 0; }));

    desk.key(XK_t, Qt::ControlModifier);
    ResultGrid& grid = processGrid();
    EXPECT_TRUE(part<ProcessTab>(*window, "processTab")->isBlockingTreeShown());
    EXPECT_TRUE(part<QToolButton>(*window, "blockingTreeButton")->isChecked());
    const int head = rowOfSpid(702);
    ASSERT_GE(head, 0);
    EXPECT_EQ(rowOfSpid(701), head + 1);
    EXPECT_EQ(rowOfSpid(700), head + 2);
    EXPECT_EQ(cellText(grid, head, BlockingTreeView::WaitingField), QStringLiteral("2"));

    desk.click(*grid.viewport(), cellCentre(grid, rowOfSpid(700), QStringLiteral("spid")));
    ASSERT_EQ(processList().value("spid").toInt(), 700);
    for (const int blocker : {701, 702}) {
        desk.key(XK_b, Qt::ControlModifier);
        EXPECT_EQ(processList().value("spid").toInt(), blocker);
        EXPECT_EQ(grid.currentIndex().row(), rowOfSpid(blocker));
    }
}

} // namespace
