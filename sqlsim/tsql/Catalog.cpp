#include "Catalog.h"

#include "state/Population.h"
#include "state/SystemTables.h"

#include <algorithm>

namespace sqlsim::tsql {

namespace {

TableColumn tableColumn(const Column& column)
{
    return TableColumn{column.name, TypeInfo::fromColumn(column), column.nullable};
}

// A view over state rows through the columns the server declares for them.
template <typename StateRow>
Table view(const char* name, const std::vector<SystemColumn<StateRow>>& columns,
           const std::vector<const StateRow*>& rows)
{
    Table table;
    table.name = QString::fromLatin1(name);
    for (const auto& column : columns)
        table.columns.push_back(tableColumn(column.column));
    table.rows.reserve(rows.size());
    for (const StateRow* row : rows) {
        Row values;
        values.reserve(columns.size());
        for (const auto& column : columns)
            values.push_back(SqlValue::fromReplyValue(storedValue(column.column, column.read(*row)), column.column));
        table.rows.push_back(std::move(values));
    }
    return table;
}

template <typename StateRow>
std::vector<const StateRow*> pointers(const std::vector<StateRow>& rows)
{
    std::vector<const StateRow*> out;
    out.reserve(rows.size());
    for (const StateRow& row : rows)
        out.push_back(&row);
    return out;
}

Table sysprocesses(const ServerState& state, const Database&, const SessionState&)
{
    // The server lists its processes in spid order.
    std::vector<const Process*> rows = pointers(state.processes);
    std::stable_sort(rows.begin(), rows.end(), [](const Process* a, const Process* b) { return a->spid < b->spid; });
    return view("sysprocesses", sysprocessesColumns(state.options.version), rows);
}

Table syslocks(const ServerState& state, const Database&, const SessionState&)
{
    return view("syslocks", syslocksColumns(), pointers(state.locks));
}

Table syslockinfo(const ServerState& state, const Database&, const SessionState&)
{
    return view("syslockinfo", syslockinfoColumns(), pointers(state.locks));
}

bool before2005(ServerVersion version)
{
    return !isSql2005OrLater(version);
}

Column declared(const char* name, SqlType type, int size = 0, bool nullable = false)
{
    return Column{QString::fromLatin1(name), type, size, 0, 0, nullable};
}

// SQL Server 2000's sysdatabases, column for column.
Table sysdatabases(const ServerState& state, const Database&, const SessionState&)
{
    using D = Database;
    static const std::vector<SystemColumn<D>> columns{
        {declared("name", SqlType::NVarChar, 128), [](const D& d) { return Value(d.name); }},
        {declared("dbid", SqlType::SmallInt), [](const D& d) { return Value(qint64(d.dbid)); }},
        {declared("sid", SqlType::VarBinary, 85, true), [](const D&) { return Value(QByteArray(1, '\x01')); }},
        {declared("mode", SqlType::SmallInt), [](const D&) { return Value(qint64(0)); }},
        {declared("status", SqlType::Int), [](const D& d) { return Value(qint64(d.offline ? 0x210 : 0x10)); }},
        {declared("status2", SqlType::Int), [](const D&) { return Value(qint64(0x40000000)); }},
        {declared("crdate", SqlType::DateTime), [](const D& d) { return Value(d.created); }},
        {declared("reserved", SqlType::DateTime), [](const D&) { return Value(QDateTime(QDate(1900, 1, 1), QTime(0, 0))); }},
        {declared("category", SqlType::Int), [](const D&) { return Value(qint64(0)); }},
        {declared("cmptlevel", SqlType::TinyInt), [](const D&) { return Value(qint64(80)); }},
        {declared("filename", SqlType::NVarChar, 260, true),
         [](const D& d) { return Value(d.files.empty() ? QString() : d.files.front().filename); }},
        {declared("version", SqlType::SmallInt, 0, true), [](const D&) { return Value(qint64(539)); }},
    };
    return view("sysdatabases", columns, pointers(state.databases));
}

// SQL Server 2000's sysusers; the is* columns are computed from the status and sid there.
Table sysusers(const ServerState&, const Database& database, const SessionState&)
{
    using U = DatabaseUser;
    static const std::vector<SystemColumn<U>> columns{
        {declared("uid", SqlType::SmallInt), [](const U& u) { return Value(qint64(u.uid)); }},
        {declared("status", SqlType::SmallInt), [](const U& u) { return Value(qint64(u.status)); }},
        {declared("name", SqlType::NVarChar, 128), [](const U& u) { return Value(u.name); }},
        {declared("sid", SqlType::VarBinary, 85, true),
         [](const U& u) { return u.sid.isEmpty() ? Value() : Value(u.sid); }},
        {declared("roles", SqlType::VarBinary, 2048, true), [](const U&) { return Value(); }},
        {declared("createdate", SqlType::DateTime), [](const U& u) { return Value(u.createdate); }},
        {declared("updatedate", SqlType::DateTime), [](const U& u) { return Value(u.updatedate); }},
        {declared("altuid", SqlType::SmallInt, 0, true),
         [](const U& u) { return u.altuid ? Value(qint64(*u.altuid)) : Value(); }},
        {declared("password", SqlType::VarBinary, 256, true), [](const U&) { return Value(); }},
        {declared("gid", SqlType::SmallInt), [](const U& u) { return Value(qint64(u.gid)); }},
        {declared("environ", SqlType::VarChar, 255, true), [](const U&) { return Value(); }},
        {declared("hasdbaccess", SqlType::Int, 0, true), [](const U& u) { return Value(qint64(u.login ? 1 : 0)); }},
        {declared("islogin", SqlType::Int, 0, true), [](const U& u) { return Value(qint64(u.login ? 1 : 0)); }},
        {declared("isntname", SqlType::Int, 0, true), [](const U& u) { return Value(qint64(u.ntName ? 1 : 0)); }},
        {declared("isntgroup", SqlType::Int, 0, true),
         [](const U& u) { return Value(qint64(u.ntName && u.ntGroup ? 1 : 0)); }},
        {declared("isntuser", SqlType::Int, 0, true),
         [](const U& u) { return Value(qint64(u.ntName && !u.ntGroup ? 1 : 0)); }},
        {declared("issqluser", SqlType::Int, 0, true),
         [](const U& u) { return Value(qint64(!u.ntName && !u.sqlRole && !u.appRole ? 1 : 0)); }},
        {declared("isaliased", SqlType::Int, 0, true), [](const U&) { return Value(qint64(0)); }},
        {declared("issqlrole", SqlType::Int, 0, true), [](const U& u) { return Value(qint64(u.sqlRole ? 1 : 0)); }},
        {declared("isapprole", SqlType::Int, 0, true), [](const U& u) { return Value(qint64(u.appRole ? 1 : 0)); }},
    };
    return view("sysusers", columns, pointers(database.users));
}

Table sysindexes(const ServerState&, const Database& database, const SessionState&)
{
    using I = IndexFigures;
    static const std::vector<SystemColumn<I>> columns{
        {declared("id", SqlType::Int), [](const I& i) { return Value(qint64(i.id)); }},
        {declared("indid", SqlType::SmallInt), [](const I& i) { return Value(qint64(i.indid)); }},
        {declared("dpages", SqlType::Int), [](const I& i) { return Value(qint64(i.dpages)); }},
        {declared("reserved", SqlType::Int), [](const I& i) { return Value(qint64(i.reserved)); }},
        {declared("used", SqlType::Int), [](const I& i) { return Value(qint64(i.used)); }},
        {declared("rows", SqlType::Int), [](const I& i) { return Value(qint64(i.rows)); }},
        {declared("name", SqlType::NVarChar, 128, true), [](const I& i) { return Value(i.name); }},
    };
    return view("sysindexes", columns, pointers(database.indexes));
}

// The rows of spt_values the server's own procedures read; number 1 of type E is the page size.
Table sptValues(const ServerState&, const Database&, const SessionState&)
{
    struct Entry {
        const char* name;
        int number;
        const char* type;
        int low;
        int high;
        int status;
    };
    static const Entry entries[] = {
        {"SQLSERVER HOST TYPE", 0, "E", 0, 0, 0},
        {nullptr, 1, "E", 8192, 0, 0},
        {"ENGLISH", 1033, "L", 0, 0, 0},
        {"P", 0, "P", 1, 0, 0},
        {nullptr, 1, "P", 1, 8, 0},
        {"autoclose", 1, "D", 0, 0, 1},
    };
    Table table;
    table.name = QStringLiteral("spt_values");
    table.columns = {
        {QStringLiteral("name"), TypeInfo::text(SqlType::NVarChar, 35), true},
        {QStringLiteral("number"), TypeInfo::integer(), false},
        {QStringLiteral("type"), TypeInfo::text(SqlType::NChar, 3), false},
        {QStringLiteral("low"), TypeInfo::integer(), true},
        {QStringLiteral("high"), TypeInfo::integer(), true},
        {QStringLiteral("status"), TypeInfo::integer(), true},
    };
    for (const Entry& e : entries) {
        table.rows.push_back({
            e.name ? SqlValue::text(QString::fromLatin1(e.name), table.columns[0].type) : SqlValue::null(table.columns[0].type),
            SqlValue::integer(e.number),
            SqlValue::text(QString::fromLatin1(e.type).leftJustified(3, u' '), table.columns[2].type),
            SqlValue::integer(e.low),
            SqlValue::integer(e.high),
            SqlValue::integer(e.status),
        });
    }
    return table;
}

// The objects of a database; tempdb's also has the session's # tables, under the long names
// the server gives them there.
Table sysobjects(const ServerState&, const Database& database, const SessionState& session)
{
    using O = DatabaseObject;
    static const std::vector<SystemColumn<O>> columns{
        {declared("name", SqlType::NVarChar, 128), [](const O& o) { return Value(o.name); }},
        {declared("id", SqlType::Int), [](const O& o) { return Value(qint64(o.id)); }},
        {declared("xtype", SqlType::Char, 2), [](const O& o) { return Value(o.type); }},
        {declared("uid", SqlType::SmallInt), [](const O&) { return Value(qint64(1)); }},
        {declared("type", SqlType::Char, 2), [](const O& o) { return Value(o.type); }},
    };
    std::vector<DatabaseObject> objects = database.objects;
    if (database.name.compare(u"tempdb", Qt::CaseInsensitive) == 0) {
        for (const auto& [key, table] : session.tempTables) {
            const QString suffix = QStringLiteral("%1").arg(table.objectId, 12, 16, QLatin1Char('0')).toUpper();
            objects.push_back({table.objectId, table.name.leftJustified(128 - 12, u'_') + suffix, QStringLiteral("U")});
        }
        // A ## table goes by its own name: it is the same table for every session.
        for (const auto& [key, global] : *session.globalTables)
            objects.push_back({global.table.objectId, global.table.name, QStringLiteral("U")});
    }
    return view("sysobjects", columns, pointers(objects));
}

// A plain table of the tests, typed as declared.
Table plainTable(const QString& name, const ResultSet& contents)
{
    Table table;
    table.name = name;
    for (const Column& column : contents.columns)
        table.columns.push_back(tableColumn(column));
    for (const auto& values : contents.rows) {
        Row row;
        for (size_t i = 0; i < contents.columns.size() && i < values.size(); ++i)
            row.push_back(SqlValue::fromReplyValue(values[i], contents.columns[i]));
        table.rows.push_back(std::move(row));
    }
    return table;
}

} // namespace

const std::vector<SystemTable>& systemTables()
{
    static const std::vector<SystemTable> tables{
        // The first reading shows the population as it was made; every later one finds it moved on.
        {"sysprocesses", false, sysprocesses,
         [](ServerState& state) {
             if (state.refreshCount++ > 0)
                 evolve(state);
         }},
        {"syslocks", false, syslocks, nullptr, before2005},
        {"syslockinfo", false, syslockinfo, nullptr, isSql2005OrLater},
        {"sysdatabases", false, sysdatabases},
        {"sysindexes", false, sysindexes},
        {"sysusers", false, sysusers},
        {"sysobjects", false, sysobjects},
        {"spt_values", true, sptValues},
    };
    return tables;
}

const Database* Catalog::database(const QString& name) const
{
    const auto it = std::find_if(m_state.databases.begin(), m_state.databases.end(),
                                 [&](const Database& d) { return d.name.compare(name, Qt::CaseInsensitive) == 0; });
    return it == m_state.databases.end() ? nullptr : &*it;
}

Table* Catalog::findTemporary(const ObjectName& name)
{
    if (!name.isTemporary())
        return nullptr;
    if (name.isGlobalTemporary()) {
        m_holdsShared = true;
        const auto it = m_session.globalTables->find(name.object.toLower());
        return it == m_session.globalTables->end() ? nullptr : &it->second.table;
    }
    const auto it = m_session.tempTables.find(name.object.toLower());
    return it == m_session.tempTables.end() ? nullptr : &it->second;
}

const Table* Catalog::find(const ObjectName& name, const QString& currentDatabase)
{
    if (name.isTemporary())
        return findTemporary(name);
    const QString databaseName = name.database.isEmpty() ? currentDatabase : name.database;
    const QString key = databaseName.toLower() + u'.' + name.object.toLower();
    if (const auto cached = m_views.find(key); cached != m_views.end())
        return cached->second.get();
    const Database* database = this->database(databaseName);
    if (!database)
        return nullptr;
    std::unique_ptr<Table> table;
    for (const SystemTable& system : systemTables()) {
        if (name.object.compare(QLatin1String(system.name), Qt::CaseInsensitive) != 0
            || (system.inVersion && !system.inVersion(m_state.options.version)))
            continue;
        if (system.masterOnly && database->name.compare(u"master", Qt::CaseInsensitive) != 0)
            return nullptr;
        if (system.beforeRead)
            system.beforeRead(m_state);
        table = std::make_unique<Table>(system.build(m_state, *database, m_session));
    }
    if (!table) {
        for (const auto& [tableName, contents] : m_state.tables) {
            if (tableName.compare(name.object, Qt::CaseInsensitive) == 0)
                table = std::make_unique<Table>(plainTable(tableName, contents));
        }
    }
    if (!table)
        return nullptr;
    return m_views.emplace(key, std::move(table)).first->second.get();
}

} // namespace sqlsim::tsql
