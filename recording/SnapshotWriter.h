// Appends snapshots to a recording file, each in one transaction, storing of each row only the
// values that changed since the snapshot before (see the schema in RecordingFile.cpp).
#pragma once

#include "Snapshot.h"

#include <memory>
#include <vector>

namespace velmora {

class SnapshotWriter {
public:
    /// Opens `path` for appending, making it when missing. Throws RecordingError.
    explicit SnapshotWriter(const QString& path);
    ~SnapshotWriter();

    /// Appends `snapshot` whole or not at all. Throws RecordingError; the file then holds what it
    /// held before, and the next snapshot is stored as if this one had not been taken.
    void append(const Snapshot& snapshot);
    /// The same for a snapshot whose rows are held elsewhere (`heading.rows` is not read): the
    /// rows of a list as it holds them, not copied.
    void append(const Snapshot& heading, const std::vector<const Row*>& rows);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace velmora
