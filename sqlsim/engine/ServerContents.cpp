#include "Population.h"
#include "ProductVersion.h"

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

void addIndexes(Database& database, const Figures* begin, const Figures* end)
{
    for (const Figures* f = begin; f != end; ++f)
        database.indexes.push_back({f->id, f->indid, QString::fromLatin1(f->name), f->dpages, f->reserved, f->used, f->rows});
}

} // namespace

void seedDatabases(ServerState& state)
{
    if (!state.databases.empty())
        return;
    const char* const names[] = {"master", "tempdb", "model", "msdb", "pubs", "Northwind"};
    qint16 dbid = 1;
    for (const char* name : names) {
        Database database{dbid++, QString::fromLatin1(name), {}, {}};
        addIndexes(database, std::begin(systemTables), std::end(systemTables));
        database.objects = {{1, "sysobjects", "S"}, {2, "sysindexes", "S"}, {3, "syscolumns", "S"}};
        if (database.name == u"pubs" || database.name == u"Northwind") {
            addIndexes(database, std::begin(salesTables), std::end(salesTables));
            database.objects.push_back({1977058079, "Orders", "U"});
            database.objects.push_back({2009058193, "OrderLines", "U"});
        }
        state.databases.push_back(std::move(database));
    }
}

void seedErrorLogs(ServerState& state)
{
    if (!state.errorLogs.empty())
        return;
    const QDateTime started(QDate(2026, 12, 6), QTime(5, 17, 53, 510));
    const QString version = state.versionText();
    ErrorLogArchive current{0, started.addDays(3), {}};
    const auto line = [&current](const QDateTime& at, const char* source, const QString& text) {
        current.lines << at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).left(22) + u' '
                + QString::fromLatin1(source).leftJustified(8, u' ') + u' ' + text;
    };
    // The banner: the version text's first line after the date, its other lines on their own.
    const QStringList banner = version.split(u'\n', Qt::SkipEmptyParts);
    line(started, "server", banner.value(0));
    for (qsizetype i = 1; i < banner.size(); ++i)
        current.lines << banner[i];
    current.lines << QString();
    line(started.addMSecs(20), "server", QStringLiteral("Copyright (C) 1988-2002 Microsoft Corporation."));
    line(started.addMSecs(20), "server", QStringLiteral("All rights reserved."));
    line(started.addMSecs(20), "server", QStringLiteral("Server Process ID is 1480."));
    line(started.addMSecs(20), "server",
         QStringLiteral("Logging SQL Server messages in file 'C:\\Program Files\\Microsoft SQL Server\\MSSQL\\log\\ERRORLOG'."));
    line(started.addMSecs(50), "server", QStringLiteral("SQL Server is starting at priority class 'normal'(2 CPUs detected)."));
    const char* const databases[] = {"master", "model", "msdb", "pubs", "Northwind", "tempdb"};
    int spid = 3;
    for (const char* name : databases) {
        line(started.addMSecs(560 + spid * 70), QStringLiteral("spid%1").arg(spid).toLatin1().constData(),
             QStringLiteral("Starting up database '%1'.").arg(QString::fromLatin1(name)));
        ++spid;
    }
    line(started.addSecs(1).addMSecs(610), "server", QStringLiteral("SQL server listening on 192.168.10.5: 1433."));
    line(started.addSecs(1).addMSecs(640), "server", QStringLiteral("SQL Server is ready for client connections"));
    line(started.addSecs(9), "spid51",
         QStringLiteral("Using 'xpstar.dll' version '2000.80.2039' to execute extended stored procedure 'xp_msver'."));
    // A line longer than a row of the log reader: it comes back as two rows.
    line(started.addDays(1).addSecs(63948), "backup",
         QStringLiteral("Database backed up: Database: pubs, creation date(time): 2004/01/15(09:05:00), pages "
                        "dumped: 291, first LSN: 18:411:1, last LSN: 18:413:1, number of dump devices: 1, "
                        "device information: (FILE=1, TYPE=DISK: {'D:\\Backup\\pubs_full_20261207.bak'}). "
                        "This is an informational message only; no user action is required."));
    line(started.addDays(2).addSecs(17669), "logon", QStringLiteral("Login failed for user 'web_app'."));
    line(started.addDays(2).addSecs(20444), "spid57", QStringLiteral("Error: 1105, Severity: 17, State: 2"));
    line(started.addDays(2).addSecs(20444), "spid57",
         QStringLiteral("Could not allocate space for object 'OrderLines' in database 'pubs' because the "
                        "'PRIMARY' filegroup is full.."));
    // A stack dump's frame: a line without a single blank.
    current.lines << QString(72, u'*');
    state.errorLogs.push_back(std::move(current));

    for (int number = 1; number <= 6; ++number) {
        const QDateTime stopped = started.addDays(-7 * number + 6).addSecs(-3600 * number);
        ErrorLogArchive older{number, stopped, {}};
        const QDateTime began = stopped.addDays(-6);
        older.lines << began.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).left(22) + QStringLiteral(" server    ")
                + banner.value(0);
        older.lines << stopped.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).left(22)
                + QStringLiteral(" spid2     SQL Server is terminating due to 'stop' request from Service Control Manager.");
        // The fifth was cut short by a crash before anything was written; the sixth is held
        // open by a copy job, so the reader cannot open it.
        if (number == 5)
            older.lines.clear();
        older.unreadable = number == 6;
        state.errorLogs.push_back(std::move(older));
    }
}

} // namespace sqlsim
