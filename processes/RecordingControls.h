// The process tab's recording and replay controls: the record and open buttons on its tool bar,
// the snapshot slider with the snapshot's place and time, and closing the recording; what the
// window's keys for them do, and the window title's part while a recording is shown.
#pragma once

#include "FieldDef.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>

class QLabel;
class QSlider;
class QToolButton;

namespace velmora {

class Connection;
class ProcessMonitor;
class ProcessRecorder;
class ProcessReplay;
class ResultGrid;
class TabToolBar;
struct Snapshot;

class RecordingControls : public QObject {
    Q_OBJECT
public:
    /// The controls on `toolBar` from x = 330 on, over the tab's list and grid.
    RecordingControls(TabToolBar& toolBar, ProcessMonitor& monitor, ResultGrid& grid, Connection* connection);
    ~RecordingControls() override;

    /// The file to record into, asked once a session (a save dialog by default); empty: none.
    std::function<QString()> onChooseRecordingFile;
    /// The recording to open (an open dialog by default); empty: none.
    std::function<QString()> onChooseRecordingToOpen;

    bool isRecording() const;
    bool isReplaying() const;
    /// The locks of process `spid` in the snapshot shown: see ProcessReplay::locksOf.
    std::vector<Row> recordedLocksOf(int spid) const;

    /// Ctrl+Shift+R: starts recording (asking for the file the first time) or stops it.
    void toggleRecording();
    /// Ctrl+O: opens a recording while disconnected.
    void openRecording();
    void closeRecording();
    enum class Step { First, Previous, Next, Last };
    /// Alt+Home, Alt+Left, Alt+Right, Alt+End while a recording is shown.
    void step(Step step);
    /// Shows the snapshot shown again, as after a jump to it (the rates against the one before).
    void showAgain();

    /// Connecting leaves the replay; the open button is there only while disconnected.
    void setConnectedState(bool connected);

signals:
    /// The window title's part for the snapshot shown; empty when no recording is.
    void captionChanged(const QString& caption);
    /// A snapshot of the recording is shown: see ProcessReplay::shown.
    void snapshotShown(const QDateTime& takenAt, const Snapshot* before);

private:
    void showIndex(int index);
    void replayShown();
    void replayClosed();
    void updateControls();

    ProcessMonitor& m_monitor;
    ResultGrid& m_grid;
    ProcessRecorder* m_recorder;
    ProcessReplay* m_replay;
    QToolButton* m_recordButton;
    QToolButton* m_openButton;
    QSlider* m_slider;
    QLabel* m_position;
    QToolButton* m_closeButton;
    QString m_recordingPath;   // chosen once a session
    bool m_connected = false;
};

} // namespace velmora
