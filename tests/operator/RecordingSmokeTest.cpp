// The operator records two refreshes, disconnects, opens the recording and steps through it with
// the keys, as the X server delivers them.
#include "OperatorFixture.h"

#include "ProcessTab.h"
#include "Query.h"
#include "RecordingControls.h"
#include "ResultGrid.h"
#include "WindowParts.h"

#include <QLabel>
#include <QTemporaryDir>
#include <X11/keysym.h>

using namespace velmora;
using velmora::testing::part;

TEST_F(OperatorTest, ARecordingOpensWithNoServerAndAltRightStepsToTheNextSnapshot)
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
}
