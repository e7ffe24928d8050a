// A recording file: an SQLite database opened read-only (replay) or for appending (recording),
// its schema made when the file is new and its version checked when it is not, and the
// prepared statements the reader and the writer run on it.
#pragma once

#include "RecordingError.h"

#include <QByteArray>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace velmora {

class RecordingFile {
public:
    /// The schema this program writes, and the newest it reads.
    static constexpr int schemaVersion = 1;

    enum class Mode { ReadOnly, Append };

    /// Opens `path`. ReadOnly never writes a byte to the file and checks it whole first;
    /// Append makes the file and its schema when missing or empty. Throws RecordingError.
    RecordingFile(const QString& path, Mode mode);
    ~RecordingFile();
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    const QString& path() const { return m_path; }
    sqlite3* handle() const { return m_db; }

    /// Runs statements that return nothing. Throws RecordingError.
    void exec(const char* sql);
    /// The RecordingError for SQLite's result `code` on this file.
    [[noreturn]] void fail(int code) const;

    /// One prepared statement, reset for the next use after each run.
    class Statement {
    public:
        Statement(const RecordingFile& file, const char* sql);
        ~Statement();
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;

        sqlite3_stmt* handle() const { return m_statement; }
        /// Steps once: true while a row is there. Throws RecordingError.
        bool step();
        /// Steps to the end and resets the statement for the next run. Throws RecordingError.
        void run();
        void reset();

    private:
        const RecordingFile& m_file;
        sqlite3_stmt* m_statement = nullptr;
    };

private:
    bool isEmpty() const;
    void createSchema();
    void checkSchema();

    QString m_path;
    Mode m_mode;
    sqlite3* m_db = nullptr;
};

} // namespace velmora
