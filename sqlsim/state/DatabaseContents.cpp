// The seeded databases: their sysindexes figures, files, log space and users, among them the
// names that need quoting and the databases that are slow to read or cannot be opened.
#include "Population.h"

namespace sqlsim {

namespace {

struct Figures {
    qint32 id;
    qint16 indid;
    const char* name;
    qint32 dpages;
    qint32 reserved;
    qint32 used;
    qint32 rows;
};

// Tables of each database: a heap or clustered table (indid 0/1), an index, text pages (255).
constexpr Figures systemTables[] = {
    {1, 1, "sysobjects", 36, 48, 40, 1711},
    {2, 1, "sysindexes", 12, 24, 18, 180},
    {3, 1, "syscolumns", 60, 72, 66, 5120},
    {2, 255, "tsysindexes", 0, 16, 9, 0},
};

constexpr Figures salesTables[] = {
    {1977058079, 1, "PK_Orders", 5120, 5336, 5290, 240000},
    {1977058079, 2, "IX_Orders_Customer", 0, 840, 812, 240000},
    {2009058193, 0, "OrderLines", 20480, 20520, 20490, 1900000},
    {2009058193, 255, "tOrderLines", 0, 1200, 1137, 0},
};

// The user tables the population's locks fall on, by database; ids are per database, so one id
// names different objects (or nothing) depending on where it is looked up.
struct SeededObject {
    const char* database;
    qint32 id;
    const char* name;
};

constexpr SeededObject lockedObjects[] = {
    {"Northwind", 21575115, "Orders"},
    {"Northwind", 53575229, "Products"},
    {"Northwind", 117575457, "Order Details"},
    {"Northwind", 2073058421, "CustomerDemographicsArchive"},
    {"pubs", 2121058592, "titles"},
    {"pubs", 21575115, "authors"},
    {"tempdb", 1525580473, "#stock_balance_report_____________________000000000012"},
};

void addIndexes(Database& database, const Figures* begin, const Figures* end, int scale = 1)
{
    for (const Figures* f = begin; f != end; ++f) {
        database.indexes.push_back({f->id, f->indid, QString::fromLatin1(f->name), f->dpages * scale,
                                    f->reserved * scale, f->used * scale, f->rows * scale});
    }
}

// The seeded databases: the system ones, two samples, and names that need quoting (a quote, a
// blank, brackets, one longer than twenty characters); one without a log-space row, one whose
// sysindexes take a minute to read and one that is offline.
struct Seed {
    const char* name;
    int salesScale;          // 0: system tables only
    double logSizeMB;        // < 0: no row in DBCC SQLPERF(LOGSPACE)
    double logUsedPercent;
    bool offline;
    int sysindexesReadMs;
};

constexpr Seed seeds[] = {
    {"master", 0, 3.7421875, 38.4551, false, 0},
    {"tempdb", 0, 0.7421875, 62.5, false, 0},
    {"model", 0, 0.4921875, 63.5, false, 0},
    {"msdb", 0, 2.2421875, 27.8165, false, 0},
    {"pubs", 1, 0.7421875, 44.7368, false, 0},
    {"Northwind", 2, 0.9921875, 31.2992, false, 0},
    {"O'Brien", 1, 1.9921875, 12.8431, false, 0},
    {"Sales 2003", 3, 24.9921875, 81.0274, false, 0},
    {"Ledger[1]", 1, 0.9921875, 7.61811, false, 0},
    {"CustomerCorrespondenceArchive", 4, 49.9921875, 95.4687, false, 0},
    {"Staging", 1, -1, 0, false, 0},
    {"Warehouse", 2, 9.9921875, 18.3203, false, 60000},
    {"Legacy", 1, 1.9921875, 3.125, true, 0},
};

void addFiles(Database& database, int scale)
{
    const QString folder = QStringLiteral("C:\\Program Files\\Microsoft SQL Server\\MSSQL\\data\\");
    const qint32 dataKB = 1280 + 8 * 30000 * scale;
    database.files.push_back({database.name, 1, folder + database.name + QStringLiteral(".mdf"),
                              QStringLiteral("PRIMARY"), dataKB, -1, QStringLiteral("10%")});
    database.files.push_back({database.name + QStringLiteral("_log"), 2, folder + database.name + QStringLiteral("_log.ldf"),
                              QString(), 1024 * (scale + 1) - 8, 2048000, QStringLiteral("1024 KB")});
}

void addUsers(Database& database, bool sample)
{
    const QDateTime created = database.created;
    const auto user = [&](qint16 uid, qint16 status, const char* name, QByteArray sid, bool login) {
        DatabaseUser u;
        u.uid = uid;
        u.status = status;
        u.name = QString::fromLatin1(name);
        u.sid = std::move(sid);
        u.createdate = created;
        u.updatedate = created;
        u.login = login;
        return u;
    };
    database.users.push_back(user(1, 2, "dbo", QByteArray(1, '\x01'), true));
    database.users.push_back(user(2, 0, "guest", QByteArray(1, '\0'), database.name == u"tempdb"));
    database.users.push_back(user(3, 0, "INFORMATION_SCHEMA", {}, false));
    database.users.push_back(user(4, 0, "system_function_schema", {}, false));
    const char* const roles[] = {"public", "db_owner", "db_accessadmin", "db_securityadmin", "db_ddladmin",
                                 nullptr, "db_backupoperator", "db_datareader", "db_datawriter",
                                 "db_denydatareader", "db_denydatawriter"};
    for (int i = 0; i < int(std::size(roles)); ++i) {
        if (!roles[i])
            continue;
        const qint16 uid = i == 0 ? 0 : qint16(16383 + i);
        DatabaseUser role = user(uid, 32, roles[i], {}, false);
        role.altuid = 1;
        role.gid = uid;
        role.sqlRole = true;
        database.users.push_back(std::move(role));
    }
    if (!sample)
        return;
    DatabaseUser web = user(5, 2, "web_app", QByteArray::fromHex("5C3B2A1900000000000000000000000F"), true);
    web.createdate = created.addDays(30).addSecs(3600 * 14 + 125);
    web.updatedate = web.createdate;
    database.users.push_back(std::move(web));
    DatabaseUser windows = user(6, 14, "CORP\\ivanov", QByteArray::fromHex("010500000000000515000000A1B2C3D4"), true);
    windows.ntName = true;
    windows.createdate = created.addDays(92);
    windows.updatedate = windows.createdate.addDays(5).addSecs(600);
    database.users.push_back(std::move(windows));
    DatabaseUser reports = user(16400, 32, "ReportReaders", {}, false);
    reports.altuid = 1;
    reports.gid = 16400;
    reports.appRole = true;
    database.users.push_back(std::move(reports));
}

} // namespace

void seedDatabases(ServerState& state)
{
    if (!state.databases.empty())
        return;
    qint16 dbid = 1;
    for (const Seed& seed : seeds) {
        Database database;
        database.dbid = dbid++;
        database.name = QString::fromLatin1(seed.name);
        database.created = QDateTime(QDate(2004, 1, 15), QTime(9, 0).addSecs(database.dbid * 60));
        database.offline = seed.offline;
        database.sysindexesReadMs = seed.sysindexesReadMs;
        if (seed.logSizeMB >= 0)
            database.logSpace = LogSpace{seed.logSizeMB, seed.logUsedPercent};
        addIndexes(database, std::begin(systemTables), std::end(systemTables));
        database.objects = {{1, "sysobjects", "S"}, {2, "sysindexes", "S"}, {3, "syscolumns", "S"}};
        if (seed.salesScale > 0) {
            addIndexes(database, std::begin(salesTables), std::end(salesTables), seed.salesScale);
            database.objects.push_back({1977058079, "Orders", "U"});
            database.objects.push_back({2009058193, "OrderLines", "U"});
        }
        for (const SeededObject& object : lockedObjects) {
            if (database.name == QLatin1String(object.database))
                database.objects.push_back({object.id, QString::fromLatin1(object.name), QStringLiteral("U")});
        }
        addFiles(database, seed.salesScale);
        addUsers(database, seed.salesScale > 0);
        state.databases.push_back(std::move(database));
    }
}

} // namespace sqlsim
