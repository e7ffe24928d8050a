#include "DatabaseProcedures.h"

#include "state/ProductVersion.h"

#include <QLocale>

#include <algorithm>

namespace sqlsim::tsql {

namespace {

const Database* findDatabase(const ServerState& state, const QString& name)
{
    const auto it = std::find_if(state.databases.begin(), state.databases.end(),
                                 [&](const Database& d) { return d.name.compare(name, Qt::CaseInsensitive) == 0; });
    return it == state.databases.end() ? nullptr : &*it;
}

Message offlineDatabase(const QString& name, const QString& procedure)
{
    return Message{942, 4, 14, QStringLiteral("Database '%1' cannot be opened because it is offline.").arg(name),
                   procedure, 1};
}

QString sizeKB(qint32 kilobytes)
{
    return QString::number(kilobytes) + QStringLiteral(" KB");
}

// sp_helpfile's result set, and the second one of sp_helpdb <name>.
ProcedureResult fileList(const Database& database)
{
    ProcedureResult result;
    result.columns = {textColumn("name", SqlType::NChar, 128), intColumn("fileid", SqlType::SmallInt),
                      textColumn("filename", SqlType::NChar, 260), textColumn("filegroup", SqlType::NVarChar, 128),
                      textColumn("size", SqlType::NVarChar, 18), textColumn("maxsize", SqlType::NVarChar, 18),
                      textColumn("growth", SqlType::NVarChar, 18), textColumn("usage", SqlType::VarChar, 9)};
    for (const DatabaseFile& file : database.files) {
        const bool log = file.filegroup.isEmpty();
        result.rows.push_back({
            SqlValue::text(file.name.leftJustified(128, u' '), result.columns[0].type),
            SqlValue::integer(file.fileid, SqlType::SmallInt),
            SqlValue::text(file.filename.leftJustified(260, u' '), result.columns[2].type),
            log ? SqlValue::null(result.columns[3].type) : SqlValue::text(file.filegroup, result.columns[3].type),
            SqlValue::text(sizeKB(file.sizeKB), result.columns[4].type),
            SqlValue::text(file.maxsizeKB < 0 ? QStringLiteral("Unlimited") : sizeKB(file.maxsizeKB),
                           result.columns[5].type),
            SqlValue::text(file.growth, result.columns[6].type),
            SqlValue::text(log ? QStringLiteral("log only") : QStringLiteral("data only"), result.columns[7].type),
        });
    }
    return result;
}

// The database list of sp_helpdb: the size of all files in MB as str(size, 10, 2) + ' MB', the
// creation date as convert(char(11), crdate), the options as one text.
ProcedureResult databaseList(const std::vector<const Database*>& databases, ServerVersion version)
{
    // 2000 cuts names and owners at 24 characters; 2005 and later give them whole.
    const int nameLength = isSql2005OrLater(version) ? 128 : 24;
    ProcedureResult result;
    result.columns = {textColumn("name", SqlType::NVarChar, nameLength), textColumn("db_size", SqlType::NVarChar, 13),
                      textColumn("owner", SqlType::NVarChar, nameLength), intColumn("dbid", SqlType::SmallInt),
                      textColumn("created", SqlType::Char, 11), textColumn("status", SqlType::VarChar, 340),
                      intColumn("compatibility_level", SqlType::TinyInt)};
    for (const Database* database : databases) {
        qint64 kilobytes = 0;
        for (const DatabaseFile& file : database->files)
            kilobytes += file.sizeKB;
        const QString status = QStringLiteral("Status=%1, Updateability=READ_WRITE, UserAccess=MULTI_USER, "
                                              "Recovery=%2, Version=539, Collation=SQL_Latin1_General_CP1_CI_AS, "
                                              "SQLSortOrder=52, IsAutoCreateStatistics, IsAutoUpdateStatistics")
                                   .arg(database->offline ? QStringLiteral("OFFLINE") : QStringLiteral("ONLINE"),
                                        database->name.compare(u"tempdb", Qt::CaseInsensitive) == 0
                                            ? QStringLiteral("SIMPLE") : QStringLiteral("FULL"));
        result.rows.push_back({
            SqlValue::text(database->name.left(nameLength), result.columns[0].type),
            SqlValue::text(QStringLiteral("%1 MB").arg(double(kilobytes) / 1024.0, 10, 'f', 2), result.columns[1].type),
            SqlValue::text(database->owner.left(nameLength), result.columns[2].type),
            SqlValue::integer(database->dbid, SqlType::SmallInt),
            SqlValue::text(QStringLiteral("%1 %2 %3")
                               .arg(QLocale::c().monthName(database->created.date().month(), QLocale::ShortFormat))
                               .arg(database->created.date().day(), 2)
                               .arg(database->created.date().year()),
                           result.columns[4].type),
            SqlValue::text(status.left(340), result.columns[5].type),
            SqlValue::integer(compatibilityLevel(version), SqlType::TinyInt),
        });
    }
    return result;
}

} // namespace

void spHelpFile(ProcedureCall& call)
{
    const Database* database = findDatabase(call.state, call.database);
    if (!database)
        return;
    if (database->offline) {
        call.output.push_back(offlineDatabase(database->name, QStringLiteral("sp_helpfile")));
        call.returnStatus = 1;
        return;
    }
    call.output.push_back(fileList(*database));
}

void spHelpDb(ProcedureCall& call)
{
    const SqlValue* argument = call.argument(0, "@dbname");
    std::vector<const Database*> databases;
    if (!argument || argument->isNull()) {
        for (const Database& database : call.state.databases)
            databases.push_back(&database);
        std::sort(databases.begin(), databases.end(),
                  [](const Database* a, const Database* b) { return a->name.compare(b->name, Qt::CaseInsensitive) < 0; });
        call.output.push_back(databaseList(databases, call.state.options.version));
        return;
    }
    const QString name = argumentText(*argument);
    const Database* database = findDatabase(call.state, name);
    if (!database) {
        call.output.push_back(Message{15010, 1, 16,
                                      QStringLiteral("The database '%1' does not exist. Use sp_helpdb to show "
                                                     "available databases.").arg(name),
                                      QStringLiteral("sp_helpdb"), 1});
        call.returnStatus = 1;
        return;
    }
    call.output.push_back(databaseList({database}, call.state.options.version));
    if (database->offline) {
        call.output.push_back(offlineDatabase(database->name, QStringLiteral("sp_helpdb")));
        call.returnStatus = 1;
        return;
    }
    call.output.push_back(fileList(*database));
}

// One row per database whose log the server tracks, in dbid order.
void dbccSqlPerf(ProcedureCall& call)
{
    if (call.arguments.size() != 1
        || argumentText(call.arguments[0].value).compare(u"logspace", Qt::CaseInsensitive) != 0) {
        call.output.push_back(Message{2526, 1, 16,
                                      QStringLiteral("Incorrect DBCC statement. Check the documentation for the "
                                                     "correct DBCC syntax and options."),
                                      {}, 1});
        return;
    }
    ProcedureResult result;
    result.columns = {textColumn("Database Name", SqlType::NVarChar, 128),
                      TableColumn{QStringLiteral("Log Size (MB)"), TypeInfo::floating(), true},
                      TableColumn{QStringLiteral("Log Space Used (%)"), TypeInfo::floating(), true},
                      intColumn("Status")};
    for (const Database& database : call.state.databases) {
        if (!database.logSpace)
            continue;
        result.rows.push_back({SqlValue::text(database.name, result.columns[0].type),
                               SqlValue::floating(database.logSpace->sizeMB),
                               SqlValue::floating(database.logSpace->usedPercent), SqlValue::integer(0)});
    }
    call.output.push_back(std::move(result));
}

} // namespace sqlsim::tsql
