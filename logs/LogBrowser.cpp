#include "LogBrowser.h"

#include "LogQueries.h"
#include "Query.h"

#include <QScopeGuard>
#include <functional>

namespace velmora {

namespace {

Query* makeQuery(QObject* parent, const char* name, Connection* connection, const std::function<void(Query&)>& setUp)
{
    auto* query = new Query(parent);
    query->setObjectName(QString::fromLatin1(name));
    query->setConnection(connection);
    setUp(*query);
    return query;
}

} // namespace

LogBrowser::LogBrowser(Connection* connection, QObject* parent)
    : QObject(parent)
    , m_logNumQuery(makeQuery(this, "LogNumQuery", connection, setUpLogArchiveQuery))
    // Set up for 2000 until a connect finds out which server it is.
    , m_logNumInfoQuery(makeQuery(this, "LogNumInfoQuery", connection,
                                  [](Query& query) { setUpLastEntryQuery(query, ServerFamily::Sql2000); }))
    , m_logListQuery(makeQuery(this, "LogListQuery", connection,
                               [](Query& query) { setUpLogListQuery(query, ServerFamily::Sql2000); }))
    , m_logQuery(makeQuery(this, "LogQuery", connection, setUpRawLogQuery))
{
}

void LogBrowser::openAfterConnect(ServerFamily family)
{
    // The last-entry and entry queries read the log reader of the server just connected; the
    // disconnect before closed them.
    m_logNumInfoQuery->close();
    m_logListQuery->close();
    setUpLastEntryQuery(*m_logNumInfoQuery, family);
    setUpLogListQuery(*m_logListQuery, family);
    m_logNumQuery->close();
    // At connect the last entry is read as a step of the connect, so that its error ends the
    // connect as well; on a later scroll the same error ends only the scroll.
    {
        m_openingAtConnect = true;
        const auto reset = qScopeGuard([this] { m_openingAtConnect = false; });
        m_logNumQuery->open();
    }
    readLastEntry();
}

void LogBrowser::closeAll()
{
    for (Query* query : {m_logNumQuery, m_logNumInfoQuery, m_logListQuery, m_logQuery})
        query->close();
}

void LogBrowser::currentArchiveChanged()
{
    if (!m_openingAtConnect)
        readLastEntry();
}

void LogBrowser::readLastEntry()
{
    if (!m_logNumQuery->isActive() || m_logNumQuery->recNo() < 0)
        return;
    m_logNumInfoQuery->close();
    m_logNumInfoQuery->setParameter(QStringLiteral("LID"),
                                    QString::number(m_logNumQuery->value(QStringLiteral("Archive #")).toInt()));
    m_logNumInfoQuery->open();
}

bool LogBrowser::hasArchives() const
{
    return m_logNumQuery->isActive() && m_logNumQuery->recordCount() > 0;
}

std::optional<int> LogBrowser::loadEntries()
{
    if (!hasArchives())
        return std::nullopt;
    const int archive = m_logNumQuery->value(QStringLiteral("Archive #")).toInt();
    m_logQuery->close();
    m_logQuery->setParameter(QStringLiteral("LID"), archive);
    m_logQuery->open();
    m_logListQuery->setFiltered(!m_showWithoutSource);
    m_logListQuery->close();
    m_logListQuery->setParameter(QStringLiteral("LID"), QString::number(archive));
    m_logListQuery->open();
    return archive;
}

void LogBrowser::setShowWithoutSource(bool show)
{
    m_showWithoutSource = show;
    if (hasArchives() && m_logListQuery->isActive())
        m_logListQuery->setFiltered(!show);
}

} // namespace velmora
