// Recording of the process list: while on, every read of the list (a connect, F5, an automatic
// refresh) appends a snapshot of its rows, and of the locks of the processes blocking others,
// to the recording file the operator chose. No widgets: the tab asks for the file and shows
// what went wrong.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

namespace velmora {

class Connection;
class ProcessMonitor;
class SnapshotWriter;

class ProcessRecorder : public QObject {
    Q_OBJECT
public:
    ProcessRecorder(ProcessMonitor& monitor, Connection* connection, QObject* parent);
    ~ProcessRecorder() override;

    /// Starts recording into `path` (made when missing, appended to when a recording). Throws
    /// RecordingError; recording stays off then.
    void start(const QString& path);
    void stop();
    bool isRecording() const { return m_writer != nullptr; }

signals:
    /// Recording has stopped by itself: a snapshot could not be written, for `message`. Said
    /// once; the list goes on refreshing.
    void failed(const QString& message);

private:
    void record();
    QString serverName() const;

    ProcessMonitor& m_monitor;
    Connection* m_connection;
    std::unique_ptr<SnapshotWriter> m_writer;
};

} // namespace velmora
