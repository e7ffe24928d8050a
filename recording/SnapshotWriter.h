// Appends snapshots to a recording file, each in one transaction, storing of each row only the
// values that changed since the snapshot before (see the schema in RecordingFile.cpp).
#pragma once

#include "Snapshot.h"

#include <memory>

namespace velmora {

class SnapshotWriter {
public:
    /// Opens `path` for appending, making it when missing. Throws RecordingError.
    explicit SnapshotWriter(const QString& path);
    ~SnapshotWriter();

    /// Appends `snapshot` whole or not at all. Throws RecordingError; the file then holds what it
    /// held before, and the next snapshot is stored as if this one had not been taken.
    void append(const Snapshot& snapshot);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace velmora
