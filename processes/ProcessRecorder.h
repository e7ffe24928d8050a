// Recording of the process list: while on, every read of the list (a connect, F5, an automatic
// refresh) appends a snapshot of its rows, and of the locks of the processes blocking others,
// to the recording file the operator chose. The rows are compared with the snapshot before on
// the thread that reads them; the changes are stored on a thread of the recorder's own. No
// widgets: the tab asks for the file and shows what went wrong.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

namespace velmora {

class Connection;
class ProcessMonitor;
class RecordingThread;
class SnapshotWriter;

class ProcessRecorder : public QObject {
    Q_OBJECT
public:
    ProcessRecorder(ProcessMonitor& monitor, Connection* connection, QObject* parent);
    ~ProcessRecorder() override;

    /// Starts recording into `path` (made when missing, appended to when a recording). Throws
    /// RecordingError; recording stays off then.
    void start(const QString& path);
    /// Stops recording once the snapshots taken so far are in the file.
    void stop();
    bool isRecording() const { return m_writer != nullptr; }
    /// The thread the snapshots are stored on while recording, else null: for the benchmarks,
    /// which count its CPU time.
    RecordingThread* recordingThread() const { return m_thread.get(); }

signals:
    /// Recording has stopped by itself: a snapshot could not be written, for `message`. Said
    /// once; the list goes on refreshing.
    void failed(const QString& message);

private:
    void record();
    void writeFailed(int run, const QString& message);
    QString serverName() const;

    ProcessMonitor& m_monitor;
    Connection* m_connection;
    std::unique_ptr<SnapshotWriter> m_writer;
    std::unique_ptr<RecordingThread> m_thread;   // ended before the writer it writes with
    int m_run = 0;                               // which start() the thread's failures are of
    std::atomic<bool> m_writeFailed = false;     // the snapshots after a failure are dropped
};

} // namespace velmora
