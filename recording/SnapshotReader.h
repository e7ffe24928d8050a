// Reads a recording without changing it: the list of its snapshots, and any snapshot rebuilt
// whole from the complete one before it and the changes since.
#pragma once

#include "Snapshot.h"

#include <map>
#include <memory>

namespace velmora {

class SnapshotReader {
public:
    /// When and where a snapshot was taken.
    struct Entry {
        qlonglong id = 0;
        QDateTime takenAt;
        QString server;
        QString family;
        qlonglong layout = 0;
        bool complete = false;
    };

    /// Opens `path` read-only and checks it; a recording without snapshots is refused too.
    /// Throws RecordingError.
    explicit SnapshotReader(const QString& path);
    ~SnapshotReader();

    QString path() const;
    int count() const { return int(m_entries.size()); }
    /// Precondition: 0 <= index < count().
    const Entry& entry(int index) const { return m_entries[size_t(index)]; }

    /// Snapshot `index` (0-based, in the order they were taken): its rows ordered by spid and
    /// ecid, as the server lists them. Throws RecordingError (Damaged) for contents that do not
    /// hang together.
    Snapshot read(int index);

private:
    const std::vector<FieldDef>& layoutFields(qlonglong layout);
    void apply(const Entry& entry, const std::vector<FieldDef>& fields);
    [[noreturn]] void damaged() const;

    struct Statements;
    std::unique_ptr<Statements> m_db;
    std::vector<Entry> m_entries;
    std::map<qlonglong, std::vector<FieldDef>> m_layouts;
    // The rows of snapshot m_stateIndex by process id, so that stepping forward applies one
    // snapshot's changes only.
    std::map<qlonglong, Row> m_state;
    int m_stateIndex = -1;
};

} // namespace velmora
