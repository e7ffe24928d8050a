// Everything the simulated server holds: its version, logins, processes, locks, faults.
#pragma once

#include "Reply.h"
#include "SecurityOptions.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <random>
#include <vector>

namespace sqlsim {

enum class ServerVersion { Sql70, Sql2000, Sql2005, Sql2008R2, Sql2016, Sql2022 };

/// 2005 and later keep the 2000 system tables as compatibility views, but without syslocks
/// and with their own column types and procedure results.
inline bool isSql2005OrLater(ServerVersion version)
{
    return version != ServerVersion::Sql70 && version != ServerVersion::Sql2000;
}

struct ServerOptions {
    ServerVersion version = ServerVersion::Sql2000;
    quint32 seed = 1;
    bool populate = true;   // the lively default population of processes and locks
    bool trouble = false;   // also a blocking chain that builds up and clears, and busy sessions
    int maxConnections = 256;   // logged-in clients beyond this are closed as soon as they connect
    // What one statement may do (rows visited, subqueries evaluated) and how long one batch may
    // run before the server cancels it with the query governor's error 8649.
    qint64 statementWorkLimit = 200'000'000;
    int batchTimeLimitMs = 600'000;
    // Bytes the rows of # tables and the results of a batch may take, per session and for the
    // whole server; past them a batch gets error 701.
    qint64 sessionMemoryLimit = qint64(1) << 30;
    qint64 serverMemoryLimit = qint64(4) << 30;
    // A client must log in this soon after it connects, and send the rest of a packet this soon
    // after its first byte, or its link is closed.
    int loginTimeoutMs = 60'000;
    int packetTimeoutMs = 30'000;
    SecurityOptions security{};
};

/// Faults on demand, for tests. Statements are matched on their text with white space folded
/// and case ignored.
struct Faults {
    QString slowStatement;      // this statement waits slowMs before it runs (a cancel stops the batch there)
    int slowMs = 0;
    QString dropOnStatement;    // the link is closed instead of answering
    int dropAfterRows = -1;     // ... after this many rows of the first result (-1: at once)
    QString errorOnStatement;   // answered with errorMessage instead
    Message errorMessage{50000, 1, 16, QStringLiteral("Simulated failure."), {}, 1};
    bool productVersionWithoutRows = false;   // xp_msver 'ProductVersion' returns no rows
    std::optional<QString> versionText;       // replaces @@VERSION (e.g. fewer than four lines)
};

/// One row of sysprocesses, with the columns of every version; what a version lacks is not
/// reported by that version.
struct Process {
    qint16 spid = 0;
    qint16 kpid = 0;
    qint16 blocked = 0;
    QByteArray waittype = QByteArray(2, '\0');
    qint32 waittime = 0;
    QString lastwaittype;
    QString waitresource;
    qint16 dbid = 1;
    qint16 uid = 1;
    qint32 cpu = 0;
    qint64 physical_io = 0;
    qint32 memusage = 0;
    QDateTime login_time;
    QDateTime last_batch;
    qint16 ecid = 0;
    qint16 open_tran = 0;
    QString status;
    QByteArray sid;
    QString hostname;
    QString program_name;
    QString hostprocess;
    QString cmd;
    QString nt_domain;
    QString nt_username;
    QString net_address;
    QString net_library;
    QString loginame;
    qint16 suid = 0;          // 7.0 only
    bool system = false;      // spid 1-10 style background process
    bool hasClient = false;   // a real TDS session stands behind it
    QString database;         // current database name of a real session
    bool simulated = false;   // belongs to the default population: its figures move
    QString inputEvent = QStringLiteral("Language Event");   // the last input, as dbcc inputbuffer shows it
    qint32 inputParameters = 0;
    QString inputText{};
};

/// One row of syslocks (syslockinfo on 2005 and later).
struct Lock {
    qint16 spid = 0;
    qint32 id = 0;            // object id
    qint16 dbid = 1;
    qint16 type = 1;
    qint32 page = 0;          // page number of a page lock, 0 otherwise
    // What sp_lock reports beyond syslocks; left empty, it is derived from the type code.
    qint16 indid = 0;
    QString rscType{};          // DB, TAB, PAG, KEY, RID, EXT
    QString resource{};         // "1:88", "(0a0087c006b1)", "1:88:3"
    QString mode{};             // S, X, IS, IX, U, Sch-S ...
    bool waiting = false;     // requested, not granted: Status WAIT
};

/// One row of a database's sysindexes: the page figures of a table (indid 0 or 1), an index
/// (2..250) or a table's text and image pages (255).
struct IndexFigures {
    qint32 id = 0;            // object id of the table
    qint16 indid = 0;
    QString name;
    qint32 dpages = 0;        // data pages (heap or clustered index)
    qint32 reserved = 0;      // pages reserved
    qint32 used = 0;          // pages used
    qint32 rows = 0;
};

/// One row of a database's sysobjects: a table, view or procedure.
struct DatabaseObject {
    qint32 id = 0;
    QString name;
    QString type;             // 'U' user table, 'S' system table, 'V' view, 'P' procedure
};

/// One file of a database as sp_helpfile reports it; sizes in KB.
struct DatabaseFile {
    QString name;
    qint16 fileid = 1;
    QString filename;
    QString filegroup;        // empty for a log file
    qint32 sizeKB = 0;
    qint32 maxsizeKB = -1;    // -1: Unlimited
    QString growth;           // "10%" or a size in KB
};

/// One row of a database's sysusers.
struct DatabaseUser {
    qint16 uid = 0;
    qint16 status = 0;
    QString name;
    QByteArray sid;
    QDateTime createdate;
    QDateTime updatedate;
    std::optional<qint16> altuid{};   // roles: the owner's uid; users: none
    qint16 gid = 0;
    bool login = false;       // a login's user (islogin, hasdbaccess)
    bool ntName = false;      // a Windows user or group
    bool ntGroup = false;
    bool sqlRole = false;
    bool appRole = false;
};

/// What DBCC SQLPERF(LOGSPACE) reports for a database.
struct LogSpace {
    double sizeMB = 0;
    double usedPercent = 0;
};

struct Database {
    qint16 dbid = 0;
    QString name;
    std::vector<IndexFigures> indexes;
    std::vector<DatabaseObject> objects;
    QString owner = QStringLiteral("sa");
    QDateTime created{};
    std::vector<DatabaseFile> files{};
    std::vector<DatabaseUser> users{};
    std::optional<LogSpace> logSpace{};   // none: DBCC SQLPERF(LOGSPACE) has no row for it
    bool offline = false;               // cannot be opened (USE and procedures run in it fail)
    int sysindexesReadMs = 0;           // reading its sysindexes takes this long
};

struct SqlLogin {
    QString name;
    QString password;
    bool mayKill = false;     // sysadmin or processadmin: may use KILL
};

/// One error log archive as the log reader finds it: 0 is the current log. Lines are the
/// file's lines; one longer than 255 characters is read as several rows.
struct ErrorLogArchive {
    int number = 0;
    QDateTime lastWrite;
    QStringList lines;
    bool unreadable = false;   // listed, but the reader cannot open the file (held by another process)
};

struct ServerState {
    ServerOptions options;
    std::vector<SqlLogin> logins;
    std::vector<Process> processes;
    std::vector<Lock> locks;
    std::vector<Database> databases;
    std::vector<ErrorLogArchive> errorLogs;
    Faults faults;
    /// Plain tables (tests, scenarios), in every database, typed as declared. Names compare
    /// case-insensitively.
    std::map<QString, ResultSet> tables;
    std::mt19937 random;
    int refreshCount = 0;     // how many process-list batches have been answered
    int batchCount = 0;       // how many batches have been answered, of every kind
    QDateTime frozenNow;      // the clock of the population when valid (tests); else wall time

    /// The multi-line text of @@VERSION for the configured version.
    QString versionText() const;
};

} // namespace sqlsim
