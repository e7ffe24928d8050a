#include "ProcessMonitor.h"

#include "Connection.h"
#include "FilterRow.h"
#include "FilterValueLists.h"
#include "ProcessQueries.h"
#include "Query.h"
#include "ResultGrid.h"

namespace velmora {

namespace {

Query* makeVariant(const char* name, ServerFamily family, Connection* connection, QObject* parent)
{
    auto* query = new Query(parent);
    query->setObjectName(QString::fromLatin1(name));
    query->setConnection(connection);
    setUpProcessQuery(*query, family);
    return query;
}

} // namespace

ProcessMonitor::ProcessMonitor(Connection* connection, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_procQuery(makeVariant("ProcQuery", ServerFamily::Sql70, connection, this))
    , m_procQuery2(makeVariant("ProcQuery2", ServerFamily::Sql2000, connection, this))
    , m_procQuery2005(makeVariant("ProcQuery2005", ServerFamily::Sql2005AndLater, connection, this))
    , m_valueLists(std::make_unique<FilterValueLists>())
{
}

ProcessMonitor::~ProcessMonitor() = default;

Query* ProcessMonitor::source() const
{
    if (m_replay)
        return m_replay;
    switch (m_family) {
    case ServerFamily::Sql70: return m_procQuery;
    case ServerFamily::Sql2000: return m_procQuery2;
    case ServerFamily::Sql2005AndLater: return m_procQuery2005;
    }
    return m_procQuery;
}

void ProcessMonitor::open(ServerFamily family)
{
    m_family = family;
    m_sortOfFailedRefresh.clear();
    emit sourceBound(source());
    source()->open();
    emit listRead();
}

void ProcessMonitor::beginReplay(Query* list)
{
    m_replay = list;
    emit sourceBound(list);
}

void ProcessMonitor::endReplay()
{
    if (!m_replay)
        return;
    m_replay->close();
    m_replay = nullptr;
    emit sourceBound(source());
}

void ProcessMonitor::replayedListRead()
{
    emit listRead();
}

void ProcessMonitor::close()
{
    m_procQuery->close();
    m_procQuery2->close();
    m_procQuery2005->close();
}

std::optional<int> ProcessMonitor::currentSpid() const
{
    const Query* query = source();
    if (!query->isActive() || query->recNo() < 0)
        return std::nullopt;
    return query->value(QStringLiteral("spid")).toInt();
}

void ProcessMonitor::refresh()
{
    // A replayed list has no server to read it again from.
    if (m_replay)
        return;
    const int spid = currentSpid().value_or(0);
    Query* query = source();
    // Closing a result set discards its sort string. When the last reopening failed, the sort
    // marks still show the operator's order, so the order taken before that failure applies.
    const QString sort = query->isActive() ? query->sort() : m_sortOfFailedRefresh;
    m_sortOfFailedRefresh = sort;
    // Read straight into that order: the calculated fields and the visible rows are built once.
    query->reopen(sort);
    m_sortOfFailedRefresh.clear();
    // A process that has ended is simply not found: the position stays where the reopening
    // in that order left it, on the first row.
    query->locate(QStringLiteral("spid"), spid);
    emit listRead();
}

void ProcessMonitor::kill(int spid)
{
    // The number is the digits of an integer read from the row, so it cannot carry anything
    // but a process number into the statement.
    m_connection->executeNoRows(QStringLiteral("Kill ") + QString::number(spid));
    refresh();
}

bool ProcessMonitor::rebuildValueLists(ResultGrid& grid)
{
    m_valueLists->release(grid);
    grid.filterRow()->ApplyFilter();
    Query& list = *source();
    m_valueLists->make(grid, list, m_connection);
    if (!list.isActive())
        return false;
    m_valueLists->fill(grid, list);
    return true;
}

} // namespace velmora
