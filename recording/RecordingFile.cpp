#include "RecordingFile.h"

#include <QFileInfo>
#include <sqlite3.h>

namespace velmora {

namespace {

// The schema, readable with the sqlite3 shell. A snapshot stores only what changed since the
// snapshot before it; "complete" snapshots (the first of a recording run, and any whose field
// list differs from the one before) store every row in full.
//
//   meta(key, value)           schema_version, application ("Velmora")
//   snapshot                   one reading of the process list: taken_at (ISO 8601, ms and
//                              offset), server, family ("7.0", "2000", "2005"), layout (the id
//                              of the snapshot whose field list it has), complete (1 or 0)
//   field                      a layout's fields in order: name, kind (SmallInt, Integer,
//                              LargeInt, Float, BCD, DateTime, String, FixedChar, WideString,
//                              FixedWideChar, Bytes, VarBytes), size, read_only, calculated
//   process                    one stretch of consecutive snapshots in which a process
//                              (spid, login_time, ecid) was listed
//   cell                       the values of a snapshot that differ from the snapshot before:
//                              integers as INTEGER, Float as REAL, date-times as TEXT
//                              'yyyy-MM-dd HH:mm:ss.zzz' (the server's wall clock), texts as
//                              TEXT, byte strings as BLOB; NULL is a value that became null.
//                              A process new to a snapshot has every non-null value stored.
//   gone                       the processes of the snapshot before that this one no longer lists
//   lock                       the locks of the processes that blocked others, per snapshot
//
// Snapshot N is thus: start at the last complete snapshot at or before N, then for each
// snapshot up to N drop the processes in gone and apply the cells.
const char* const Schema = R"(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE snapshot(id INTEGER PRIMARY KEY, taken_at TEXT NOT NULL, server TEXT NOT NULL,
                      family TEXT NOT NULL, layout INTEGER NOT NULL, complete INTEGER NOT NULL);
CREATE TABLE field(layout INTEGER NOT NULL, position INTEGER NOT NULL, name TEXT NOT NULL,
                   kind TEXT NOT NULL, size INTEGER NOT NULL, read_only INTEGER NOT NULL,
                   calculated INTEGER NOT NULL, PRIMARY KEY(layout, position)) WITHOUT ROWID;
CREATE TABLE process(id INTEGER PRIMARY KEY, first_snapshot INTEGER NOT NULL, spid INTEGER,
                     login_time TEXT, ecid INTEGER);
CREATE TABLE cell(snapshot INTEGER NOT NULL, process INTEGER NOT NULL, position INTEGER NOT NULL,
                  value, PRIMARY KEY(snapshot, process, position)) WITHOUT ROWID;
CREATE TABLE gone(snapshot INTEGER NOT NULL, process INTEGER NOT NULL,
                  PRIMARY KEY(snapshot, process)) WITHOUT ROWID;
CREATE TABLE lock(snapshot INTEGER NOT NULL, spid INTEGER, dbid INTEGER, obj_id INTEGER,
                  ind_id INTEGER, type TEXT, resource TEXT, mode TEXT, status TEXT);
CREATE INDEX lock_of_snapshot ON lock(snapshot);
)";

// How long a statement waits for another program's lock before the file counts as locked: short,
// since the writer runs within a refresh.
constexpr int BusyTimeoutMs = 500;

} // namespace

RecordingFile::RecordingFile(const QString& path, Mode mode) : m_path(path), m_mode(mode)
{
    const int flags = mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (mode == Mode::ReadOnly && !QFileInfo(path).isFile())
        throw RecordingError(RecordingError::Cause::Unreadable,
                             QStringLiteral("Файл записи %1 не найден.").arg(path));
    const int opened = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    try {
        if (opened != SQLITE_OK)
            fail(opened);
        sqlite3_extended_result_codes(m_db, 0);
        sqlite3_busy_timeout(m_db, BusyTimeoutMs);
        if (isEmpty() && mode == Mode::Append) {
            createSchema();
        } else {
            // A truncated or damaged file is neither shown nor appended to.
            Statement check(*this, "PRAGMA quick_check");
            if (!check.step()
                || QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(check.handle(), 0))) != "ok")
                fail(SQLITE_CORRUPT);
        }
        checkSchema();
    } catch (...) {
        sqlite3_close(m_db);
        throw;
    }
}

RecordingFile::~RecordingFile()
{
    sqlite3_close(m_db);
}

bool RecordingFile::isEmpty() const
{
    Statement tables(*this, "SELECT count(*) FROM sqlite_schema");
    tables.step();
    return sqlite3_column_int(tables.handle(), 0) == 0;
}

void RecordingFile::createSchema()
{
    exec("BEGIN IMMEDIATE");
    try {
        exec(Schema);
        const QByteArray meta = QStringLiteral("INSERT INTO meta VALUES('schema_version', '%1'), "
                                               "('application', 'Velmora')")
                                    .arg(schemaVersion)
                                    .toUtf8();
        exec(meta.constData());
        exec("COMMIT");
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void RecordingFile::checkSchema()
{
    const auto notARecording = [this] {
        return RecordingError(RecordingError::Cause::NotARecording,
                              QStringLiteral("Файл %1 не является записью процессов Velmora.").arg(m_path));
    };
    {
        Statement named(*this, "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'meta'");
        named.step();
        if (sqlite3_column_int(named.handle(), 0) == 0)   // some other program's database
            throw notARecording();
    }
    Statement meta(*this, "SELECT (SELECT value FROM meta WHERE key = 'application'), "
                          "(SELECT value FROM meta WHERE key = 'schema_version')");
    meta.step();
    const auto text = [&meta](int column) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(meta.handle(), column)));
    };
    bool numeric = false;
    const int version = text(1).toInt(&numeric);
    if (text(0) != QLatin1String("Velmora") || !numeric || version < 1)
        throw notARecording();
    if (version > schemaVersion)
        throw RecordingError(RecordingError::Cause::NewerSchema,
                             QStringLiteral("Запись %1 сделана более новой версией программы (схема %2; "
                                            "эта версия читает схемы до %3).")
                                 .arg(m_path).arg(version).arg(schemaVersion));
}

void RecordingFile::exec(const char* sql)
{
    const int result = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (result != SQLITE_OK)
        fail(result);
}

void RecordingFile::fail(int code) const
{
    using Cause = RecordingError::Cause;
    const QString reason = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(code));
    switch (code & 0xff) {
    case SQLITE_NOTADB:
        throw RecordingError(Cause::NotARecording,
                             QStringLiteral("Файл %1 не является записью процессов Velmora.").arg(m_path));
    case SQLITE_CORRUPT:
        throw RecordingError::damaged(m_path);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw RecordingError(Cause::Locked,
                             QStringLiteral("Запись %1 занята другой программой.").arg(m_path));
    default:
        if (m_mode == Mode::Append)
            throw RecordingError(Cause::CannotWrite,
                                 QStringLiteral("Не удалось записать в файл %1: %2.").arg(m_path, reason));
        throw RecordingError(Cause::Unreadable,
                             QStringLiteral("Не удалось прочитать запись %1: %2.").arg(m_path, reason));
    }
}

RecordingFile::Statement::Statement(const RecordingFile& file, const char* sql) : m_file(file)
{
    const int result = sqlite3_prepare_v2(file.handle(), sql, -1, &m_statement, nullptr);
    if (result != SQLITE_OK) {
        sqlite3_finalize(m_statement);
        file.fail(result);
    }
}

RecordingFile::Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

bool RecordingFile::Statement::step()
{
    const int result = sqlite3_step(m_statement);
    if (result == SQLITE_ROW)
        return true;
    if (result == SQLITE_DONE)
        return false;
    sqlite3_reset(m_statement);
    m_file.fail(result);
}

void RecordingFile::Statement::run()
{
    while (step()) {
    }
    reset();
}

void RecordingFile::Statement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

} // namespace velmora
