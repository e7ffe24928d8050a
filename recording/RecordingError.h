// What can go wrong with a recording file, as the operator is told it.
#pragma once

#include <QString>
#include <stdexcept>

namespace velmora {

class RecordingError : public std::runtime_error {
public:
    enum class Cause {
        NotARecording,   // not an SQLite file, or one this program did not make
        NewerSchema,     // made by a later version of the program
        Damaged,         // truncated or otherwise corrupt
        Locked,          // another program holds the file
        Unreadable,      // missing, or no permission to read
        CannotWrite,     // a folder or disk that does not take the writes
    };

    RecordingError(Cause cause, const QString& text);
    /// Damaged: the file at `path` is corrupt, truncated or holds what no recording can.
    static RecordingError damaged(const QString& path);

    Cause cause() const noexcept { return m_cause; }
    /// The message for the operator.
    QString text() const { return m_text; }

private:
    Cause m_cause;
    QString m_text;
};

} // namespace velmora
