// The operator records two refreshes, disconnects, opens the recording and steps through it with
// the keys, and opens a blocker's detail window from the snapshot, as the X server delivers them.
#include "OperatorFixture.h"

#include "ProcessDetailWindow.h"
#include "ProcessTab.h"
#include "Query.h"
#include "RecordingControls.h"
#include "ResultGrid.h"
#include "WindowParts.h"

#include <QLabel>
#include <QToolButton>
#include <QTemporaryDir>
#include <X11/keysym.h>

using namespace velmora;
using velmora::testing::part;

TEST_F(OperatorTest, ARecordingOpensWithNoServerAltRightStepsAndEnterShowsABlockersLocks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("night.vrec"));
    RecordingControls& controls = *part<ProcessTab>(*window, "processTab")->recordingControls();
    controls.onChooseRecordingFile = [path] { return path; };
    controls.onChooseRecordingToOpen = [path] { return path; };

    desk.key(XK_r, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(controls.isRecording());
    desk.key(XK_F5);
    desk.key(XK_F5);
    const int shown = processGrid().model()->rowCount();
    desk.key(XK_r, Qt::ControlModifier | Qt::ShiftModifier);
    desk.key(XK_d, Qt::ControlModifier);
    ASSERT_FALSE(processList().isActive());

    desk.key(XK_o, Qt::ControlModifier);
    ASSERT_TRUE(controls.isReplaying());
    const QLabel& position = *part<QLabel>(*window, "replayPosition");
    EXPECT_EQ(position.text(), QStringLiteral("1 из 2"));
    desk.key(XK_Right, Qt::AltModifier);
    EXPECT_EQ(position.text(), QStringLiteral("2 из 2"));
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral(" — запись 127.0.0.1,%1, ").arg(sim.port())));
    EXPECT_EQ(processGrid().model()->rowCount(), shown);

    // Enter on a blocker opens its detail window with the locks the snapshot keeps of it.
    Query& list = processList();
    int blocker = 0;
    for (int row = 0; row < list.recordCount() && blocker == 0; ++row)
        blocker = list.valueAt(row, list.fieldIndex(QStringLiteral("blocked"))).toInt();
    ASSERT_GE(rowOfSpid(blocker), 0);
    ResultGrid& grid = processGrid();
    desk.click(*grid.viewport(), cellCentre(grid, rowOfSpid(blocker), QStringLiteral("spid")));
    int locks = -1;
    bool refreshable = true;
    expectWindow<ProcessDetailWindow>([&](ProcessDetailWindow& detail) {
        locks = part<ResultGrid>(detail, "lockGrid")->model()->rowCount();
        refreshable = part<QToolButton>(detail, "refreshButton")->isEnabled();
        QToolButton& exit = *part<QToolButton>(detail, "exitButton");
        desk.click(exit, QPoint(exit.width() / 2, exit.height() / 2));
    });
    desk.key(XK_Return);
    ASSERT_TRUE(expectedWindowHandled());
    EXPECT_EQ(locks, serverState([&](auto& state) {
                  return int(std::count_if(state.locks.begin(), state.locks.end(),
                                           [&](const sqlsim::Lock& lock) { return lock.spid == blocker; }));
              }));
    EXPECT_FALSE(refreshable);
}
