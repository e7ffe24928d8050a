// Replay of a recording on the process list: the snapshots shown one at a time through a
// client-only list that stands in for the server's, keeping the operator's sort, filter and
// process from one snapshot to the next. No widgets.
#pragma once

#include <QDateTime>
#include <QObject>
#include <memory>

namespace velmora {

class ProcessMonitor;
class Query;
class SnapshotReader;

class ProcessReplay : public QObject {
    Q_OBJECT
public:
    ProcessReplay(ProcessMonitor& monitor, QObject* parent);
    ~ProcessReplay() override;

    /// Opens the recording at `path` read-only and shows its first snapshot in place of the
    /// server's list. Throws RecordingError; what was shown stays then.
    void open(const QString& path);
    /// Gives the list back to the server's variant.
    void close();
    bool isOpen() const { return m_reader != nullptr; }

    int count() const;
    int index() const { return m_index; }
    /// Shows snapshot `index`, clamped to the recording. Throws RecordingError.
    void show(int index);

    /// "запись <server>, <time of the snapshot>"; empty while closed.
    QString caption() const;

signals:
    /// Another snapshot is shown (or the first, at open).
    void shown();
    void closed();

private:
    ProcessMonitor& m_monitor;
    Query* m_list;
    std::unique_ptr<SnapshotReader> m_reader;
    int m_index = -1;
};

} // namespace velmora
