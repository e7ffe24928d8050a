#include "ProcessDetail.h"

#include "Connection.h"
#include "DbError.h"
#include "LockQueries.h"
#include "Query.h"
#include "ValueCompare.h"

#include <QScopeGuard>
#include <stdexcept>
#include <utility>

namespace velmora {

namespace {

// A failed name look-up, told apart from a failure of the lock query itself: a refresh reports
// the latter as a failed refresh and lets the former go on to the general error display.
class LookupError : public std::runtime_error {
public:
    explicit LookupError(const DbError& error) : std::runtime_error(error.text().toStdString()) {}
};

// A held id as a look-up writes it: the number, or nothing for a null.
QString idText(const QVariant& id)
{
    return isMissing(id) ? QString() : QString::number(heldInteger(id));
}

} // namespace

ProcessDetail::ProcessDetail(std::function<void(Query& locks)> sortLocks, QObject* parent)
    : QObject(parent)
    , m_sortLocks(std::move(sortLocks))
    , m_lockQuery(new Query(this))
    , m_inputBufferQuery(new Query(this))
{
    m_lockQuery->setObjectName(QStringLiteral("LockQuery"));
    m_lockQuery->setFields(lockFields());
    m_lockQuery->beforeCalcFields = [this](Query& query) { lookUpNames(query); };
    m_lockQuery->onCalcFields = [this](Query& query) { setNames(query); };
    m_inputBufferQuery->setObjectName(QStringLiteral("inputBufferQuery"));
    m_inputBufferQuery->setFields(inputBufferFields());
}

ProcessDetail::~ProcessDetail() = default;

void ProcessDetail::open(Connection* connection, const QString& spid)
{
    m_lockQuery->setConnection(connection);
    m_lockQuery->setSql(lockBatch(spid));
    m_lockQuery->open();
    m_inputBufferQuery->setConnection(connection);
    m_inputBufferQuery->setSql(inputBufferBatch(spid));
    try {
        m_inputBufferQuery->open();
    } catch (const DbError&) {
        // The server may refuse the input buffer (permissions); the locks are still worth showing.
    }
}

void ProcessDetail::openRecorded(std::vector<Row> locks)
{
    // The recording kept the ids; the names would need a server.
    m_lockQuery->beforeCalcFields = nullptr;
    m_lockQuery->onCalcFields = nullptr;
    m_lockQuery->createDataSet();
    m_lockQuery->appendRows(std::move(locks));
}

void ProcessDetail::sortAndGoFirst()
{
    if (!m_lockQuery->isActive())
        return;
    // Called right after the rows were fetched, their names looked up as they came: ordering them
    // by a server column (the names cannot be sorted by) must not send every look-up again.
    const auto lookUps = std::exchange(m_lockQuery->onCalcFields, nullptr);
    const auto restore = qScopeGuard([&] { m_lockQuery->onCalcFields = lookUps; });
    m_sortLocks(*m_lockQuery);
    m_lockQuery->first();
}

bool ProcessDetail::refresh()
{
    try {
        m_lockQuery->close();
        m_lockQuery->open();
    } catch (const DbError&) {
        return false;
    }
    // The sort marks stay on their titles, so the new rows take the order they show.
    sortAndGoFirst();
    // The input buffer is re-run only as the result it is: one the server refused at opening
    // was never there to re-run, and its refresh fails like any other.
    if (!m_inputBufferQuery->isActive())
        return false;
    try {
        m_inputBufferQuery->close();
        m_inputBufferQuery->open();
    } catch (const DbError&) {
        return false;
    }
    return true;
}

void ProcessDetail::lookUpNames(Query& query)
{
    // Looked up row by row with nothing kept between rows: the names are whatever the server
    // answers at this moment, the object's in the connection's current database. The look-ups
    // of all rows go to the server in one wait, which a failed one ends.
    const int objectId = query.fieldIndex(QStringLiteral("ObjId"));
    const int databaseId = query.fieldIndex(QStringLiteral("dbid"));
    QStringList lookUps;
    for (int row = 0; row < query.heldRowCount(); ++row) {
        const Row& lock = query.heldRow(row);
        lookUps << objectNameLookup(idText(lock[size_t(objectId)])) << databaseNameLookup(idText(lock[size_t(databaseId)]));
    }
    m_nextName = 0;
    m_objectNameField = query.fieldIndex(QStringLiteral("OName"));
    m_databaseNameField = query.fieldIndex(QStringLiteral("DBName"));
    try {
        m_names = query.connection()->executeSeries(lookUps);
    } catch (const DbError& error) {
        throw LookupError(error);
    }
}

void ProcessDetail::setNames(Query& query)
{
    // Row by row as the answers came: the rows before a failed look-up keep their names.
    const auto name = [this] {
        const size_t answer = m_nextName++;
        if (answer >= m_names.results.size())
            throw LookupError(m_names.failure.value());
        try {
            const CommandResult& result = m_names.results[answer];
            return result.rowCount() > 0 ? result.text(0).left(lockNameLength) : QString();
        } catch (const DbError& error) {
            throw LookupError(error);
        }
    };
    const QString objectName = name();
    query.setValue(m_objectNameField, objectName);
    const QString databaseName = name();
    query.setValue(m_databaseNameField, databaseName);
}

} // namespace velmora
