// Appends snapshots to a recording file, each in one transaction, storing of each row only the
// values that changed since the snapshot before (see the schema in RecordingFile.cpp).
#pragma once

#include "Snapshot.h"

#include <memory>
#include <vector>

namespace velmora {

class SnapshotWriter {
public:
    /// What a snapshot adds to the file, worked out against the snapshot before it: values of
    /// their own (shared, not copied), so that it can be stored on another thread.
    struct Changes {
        struct Process {
            qlonglong id;
            QVariant spid, loginTime, ecid;
        };
        struct Cell {
            qlonglong process;
            int position;
            QVariant value;
        };
        Snapshot heading;                  // without its rows
        bool complete = false;
        std::vector<Process> added;        // processes new to the snapshot
        std::vector<Cell> cells;           // in the table's key order
        std::vector<qlonglong> gone;       // in order
    };

    /// Opens `path` for appending, making it when missing. Throws RecordingError.
    explicit SnapshotWriter(const QString& path);
    ~SnapshotWriter();

    /// Appends `snapshot` whole or not at all. Throws RecordingError; the file then holds what it
    /// held before, and the next snapshot is stored as if this one had not been taken.
    void append(const Snapshot& snapshot);
    /// The same for a snapshot whose rows are held elsewhere (`heading.rows` is not read): the
    /// rows of a list as it holds them, not copied.
    void append(const Snapshot& heading, const std::vector<const Row*>& rows);

    /// The two halves of an append, which may run on two threads, each half on one: the rows
    /// compared with the values held (which become the rows'), without touching the file...
    Changes changesOf(const Snapshot& heading, const std::vector<const Row*>& rows);
    /// ...and the changes stored in one transaction. Throws RecordingError; the file then holds
    /// what it held before, and changes made since are of no use: forget() before the next.
    void write(const Changes& changes);
    /// Drops the values held, so that the next snapshot is stored whole. Not while a write runs.
    void forget();

private:
    struct Comparison;
    struct File;
    std::unique_ptr<Comparison> m_comparison;
    std::unique_ptr<File> m_file;
};

} // namespace velmora
