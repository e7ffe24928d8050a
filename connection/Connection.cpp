#include "Connection.h"

#include "ConnectionString.h"
#include "DbError.h"
#include "OdbcConnection.h"
#include "OdbcStatement.h"
#include "Query.h"
#include "ServerAliases.h"
#include "ServerWait.h"
#include "WaitCursor.h"

#include <algorithm>

namespace velmora {

QString CommandResult::text(int position) const
{
    if (rows.empty() || position < 0 || size_t(position) >= rows.front().size())
        throw DbError(DbError::Cause::Usage,
                      QStringLiteral("No field at position %1 of the first row.").arg(position));
    const QVariant& value = rows.front()[size_t(position)];
    return value.isValid() ? value.toString() : QString();
}

Connection::Connection(QObject* parent)
    : QObject(parent)
{
}

Connection::~Connection()
{
    close();
    for (Query* query : std::vector<Query*>(m_queries))
        query->setConnection(nullptr);
}

void Connection::setConnectionString(const QString& oleDb)
{
    m_connectionString = oleDb;
}

QString Connection::connectionString() const
{
    return m_connectionString;
}

void Connection::open()
{
    if (isOpen())
        return;
    close();
    const QString configPath = freeTdsConfigPath();
    const QString odbc = toOdbcConnectionString(
        m_connectionString, [&](const QString& name) { return isServerAlias(name, configPath); },
        [&](const QString& name) { return aliasTdsVersion(name, configPath); });
    WaitCursor wait;
    // The driver cannot cancel a login: the wait keeps the window painted until the login
    // time-out.
    std::unique_ptr<OdbcConnection> connection;
    const WaitOutcome outcome = waitForServer(
        [&] { connection = std::make_unique<OdbcConnection>(odbc, m_loginTimeout); }, {}, {});
    if (outcome.failure)
        std::rethrow_exception(outcome.failure);
    m_odbc = std::move(connection);
    emit opened();
}

bool Connection::isOpen() const
{
    return m_odbc && m_odbc->alive();
}

void Connection::close() noexcept
{
    for (Query* query : std::vector<Query*>(m_queries))
        query->close();
    if (!m_odbc)
        return;
    m_odbc.reset();
    emit closed();
}

OdbcConnection& Connection::odbc()
{
    if (!m_odbc)
        throw DbError(DbError::Cause::Usage, QStringLiteral("The connection is not open."));
    m_odbc->ensureAlive();
    return *m_odbc;
}

OdbcStatement Connection::statement(int timeoutSeconds)
{
    const bool limited = m_commandTimeoutLimit > 0 && (timeoutSeconds <= 0 || timeoutSeconds > m_commandTimeoutLimit);
    return OdbcStatement(odbc(), limited ? m_commandTimeoutLimit : timeoutSeconds);
}

CommandResult Connection::execute(const QString& commandText, int timeoutSeconds)
{
    WaitCursor wait;
    OdbcStatement statement = this->statement(timeoutSeconds);
    return fetchResult(statement, commandText);
}

CommandSeries Connection::executeSeries(const QStringList& commandTexts, int timeoutSeconds)
{
    WaitCursor wait;
    CommandSeries series;
    const WaitOutcome outcome = waitForSeries([&] {
        if (commandTexts.isEmpty())
            return;
        try {
            // One statement carries the whole series: making and freeing a statement costs the
            // driver about as many instructions as the rest of a one-row look-up.
            OdbcStatement statement = this->statement(timeoutSeconds);
            for (const QString& text : commandTexts)
                series.results.push_back(fetchResult(statement, text));
        } catch (const DbError& error) {
            series.failure = error;
        }
    });
    if (outcome.failure)
        std::rethrow_exception(outcome.failure);
    return series;
}

CommandResult Connection::fetchResult(OdbcStatement& statement, const QString& commandText)
{
    CommandResult result;
    statement.run([&] {
        if (!statement.openFirstResultWithColumns(commandText))
            return;
        std::vector<ColumnRead> plan;
        for (const ResultColumn& column : statement.columns()) {
            plan.push_back({int(plan.size()), int(plan.size()), column.kind});
            result.columnNames << column.name;
        }
        result.rows = statement.fetchByRows(plan, plan.size());
        statement.drain();
    });
    return result;
}

void Connection::executeNoRows(const QString& commandText, int timeoutSeconds)
{
    WaitCursor wait;
    OdbcStatement statement = this->statement(timeoutSeconds);
    statement.run([&] { statement.runToEnd(commandText); });
}

void Connection::attach(Query* query)
{
    if (std::find(m_queries.begin(), m_queries.end(), query) == m_queries.end())
        m_queries.push_back(query);
}

void Connection::detach(Query* query)
{
    std::erase(m_queries, query);
}

} // namespace velmora
