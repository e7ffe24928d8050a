// Replay of a recording on the process list: the snapshots shown one at a time through a
// client-only list that stands in for the server's, keeping the operator's sort, filter and
// process from one snapshot to the next. No widgets.
#pragma once

#include "FieldDef.h"

#include <QDateTime>
#include <QObject>
#include <memory>

namespace velmora {

class ProcessMonitor;
class Query;
class SnapshotReader;
struct Snapshot;

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
    /// The locks the snapshot shown keeps of process `spid` (the recording keeps those of the
    /// processes that block others), in the columns of recordedLockFields().
    std::vector<Row> locksOf(int spid) const;

signals:
    /// Another snapshot is shown (or the first, at open), recorded at `takenAt`. `before` is the
    /// snapshot recorded just before it when the one shown before was another (a jump, the
    /// opening; empty before the first snapshot), null after a step to the next one.
    void shown(const QDateTime& takenAt, const Snapshot* before);
    void closed();

private:
    ProcessMonitor& m_monitor;
    Query* m_list;
    std::unique_ptr<SnapshotReader> m_reader;
    int m_index = -1;
    std::vector<Row> m_locks;   // of the snapshot shown
};

} // namespace velmora
