#include "DatabaseInspector.h"

#include "Connection.h"
#include "DatabaseQueries.h"
#include "DbError.h"
#include "FieldText.h"
#include "Query.h"
#include "UserSort.h"

#include <cmath>

namespace velmora {

namespace {

Query* makeQuery(QObject* parent, const char* name, Connection* connection, void (*setUp)(Query&))
{
    auto* query = new Query(parent);
    query->setObjectName(QString::fromLatin1(name));
    query->setConnection(connection);
    setUp(*query);
    return query;
}

// The text a field of the current row shows, empty when the query is closed or has no rows.
QString currentText(const Query& query, const QString& fieldName)
{
    if (!query.isActive() || query.recNo() < 0)
        return {};
    const int index = query.fieldIndex(fieldName);
    return fieldDisplayText(query.value(index), query.fields()[size_t(index)].kind);
}

int currentPercent(const Query& query, const QString& fieldName)
{
    const bool hasRow = query.isActive() && query.recordCount() > 0;
    return hasRow ? roundPercent(query.value(fieldName).toDouble()) : 0;
}

void replaceFirstLine(Query& query, const QString& line)
{
    QStringList lines = query.sql();
    lines[0] = line;
    query.setSql(lines);
}

} // namespace

int roundPercent(double value)
{
    // nearbyint rounds in the default mode, to nearest with halves to even.
    return int(std::nearbyint(value));
}

DatabaseInspector::DatabaseInspector(Connection* connection, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_databaseListQuery(makeQuery(this, "DatabaseListQuery", connection, setUpDatabaseListQuery))
    , m_propertiesQuery(makeQuery(this, "PropertiesQuery", connection, setUpPropertiesQuery))
    , m_filesQuery(makeQuery(this, "FilesQuery", connection, setUpFilesQuery))
    , m_logSpaceQuery(makeQuery(this, "LogSpaceQuery", connection, setUpLogSpaceQuery))
    , m_spaceUsedQuery(makeQuery(this, "SpaceUsedQuery", connection, setUpSpaceUsedQuery))
    , m_userQuery(makeQuery(this, "UserQuery", connection, setUpUserQuery))
{
    for (Query* query : {m_logSpaceQuery, m_spaceUsedQuery}) {
        connect(query, &Query::afterOpen, this, &DatabaseInspector::sizesChanged);
        connect(query, &Query::afterClose, this, &DatabaseInspector::sizesChanged);
        connect(query, &Query::afterScroll, this, &DatabaseInspector::sizesChanged);
        connect(query, &Query::rowsReset, this, &DatabaseInspector::sizesChanged);
    }
}

void DatabaseInspector::openDatabaseList()
{
    m_databaseListQuery->open();
}

void DatabaseInspector::closeAll()
{
    for (Query* query : {m_databaseListQuery, m_propertiesQuery, m_filesQuery, m_logSpaceQuery, m_spaceUsedQuery,
                         m_userQuery})
        query->close();
}

DatabaseInspector::RefreshResult DatabaseInspector::refresh()
{
    // The chosen database is the list's current row; with no row there is nothing to show.
    if (!m_databaseListQuery->isActive() || m_databaseListQuery->recNo() < 0)
        return RefreshResult::NoDatabase;
    const QString db = m_databaseListQuery->value(QStringLiteral("name")).toString();

    m_connection->executeNoRows(dropLeftOverSpaceTable());

    m_propertiesQuery->close();
    m_propertiesQuery->setParameter(QStringLiteral("BD"), db);
    m_propertiesQuery->open();

    m_filesQuery->close();
    m_filesQuery->setSql({helpFileLine(db)});
    m_filesQuery->open();

    m_logSpaceQuery->close();
    m_logSpaceQuery->setFilter(logSpaceFilter(db));
    m_logSpaceQuery->setFiltered(true);
    m_logSpaceQuery->open();

    try {
        m_spaceUsedQuery->close();
        replaceFirstLine(*m_spaceUsedQuery, useDatabaseLine(db));
        m_spaceUsedQuery->open();

        m_userQuery->close();
        replaceFirstLine(*m_userQuery, useDatabaseLine(db));
        m_userQuery->open();
    } catch (const DbError&) {
        return RefreshResult::SpaceUsedOrUsersFailed;
    }
    return RefreshResult::Complete;
}

int DatabaseInspector::dataSpacePercent() const
{
    return currentPercent(*m_spaceUsedQuery, QStringLiteral("procen"));
}

int DatabaseInspector::logSpacePercent() const
{
    return currentPercent(*m_logSpaceQuery, QStringLiteral("Log Space Used (%)"));
}

QString DatabaseInspector::dataSizeText() const
{
    return currentText(*m_spaceUsedQuery, QStringLiteral("reserved"));
}

QString DatabaseInspector::logSizeText() const
{
    return currentText(*m_logSpaceQuery, QStringLiteral("Log Size (MB)"));
}

void DatabaseInspector::sortUsers(const GridColumns& columns, const std::vector<int>& sortMarked)
{
    if (!m_userQuery->isActive())
        return;
    const QString sort = userSortString(columns, sortMarked);
    if (sort.isEmpty())
        return;
    const int uid = m_userQuery->recNo() >= 0 ? m_userQuery->value(QStringLiteral("uid")).toInt() : 0;
    m_userQuery->setSort(sort);
    m_userQuery->locate(QStringLiteral("uid"), uid);
}

} // namespace velmora
