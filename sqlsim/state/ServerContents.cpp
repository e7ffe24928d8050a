#include "Population.h"
#include "ProductVersion.h"

namespace sqlsim {

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
