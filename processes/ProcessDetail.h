// The process detail apart from its window: the lock query of one process with the names of
// each lock's object and database looked up row by row, the input-buffer query, and the
// opening and refresh sequences over both.
#pragma once

#include "Connection.h"
#include "FieldDef.h"

#include <QObject>
#include <functional>

namespace velmora {

class Query;

class ProcessDetail : public QObject {
    Q_OBJECT
public:
    /// `sortLocks` orders the lock rows (by the window's sort marks).
    ProcessDetail(std::function<void(Query& locks)> sortLocks, QObject* parent);
    ~ProcessDetail() override;

    Query& locks() const { return *m_lockQuery; }
    Query& inputBuffer() const { return *m_inputBufferQuery; }

    /// Opens the lock query of process `spid` (its number as text; throws DbError) and then
    /// the input-buffer query, whose failure only leaves it closed.
    void open(Connection* connection, const QString& spid);
    /// Holds `locks` (rows of the eight sp_lock columns, as a recording keeps them) in the lock
    /// query without a server: no names looked up, no input buffer.
    void openRecorded(std::vector<Row> locks);
    /// Sorts the rows just fetched by sortLocks, without looking their names up a second time,
    /// and makes the first row current.
    void sortAndGoFirst();
    /// Re-runs both queries, the lock rows sorted in between. Returns false when a query
    /// failed, or when the input buffer, refused at opening, has nothing to re-run. Throws the
    /// error of a failed name look-up, which is not a failed refresh.
    bool refresh();

private:
    void lookUpNames(Query& locks);
    void setNames(Query& locks);

    std::function<void(Query& locks)> m_sortLocks;
    Query* m_lockQuery;
    Query* m_inputBufferQuery;
    CommandSeries m_names;     // the answers of the look-ups of every lock row, two a row
    size_t m_nextName = 0;
    int m_objectNameField = -1;   // where the answers go, found once a pass
    int m_databaseNameField = -1;
};

} // namespace velmora
