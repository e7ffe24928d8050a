// The process list apart from its widgets: the three variants of the process query and the one
// that serves the connected server, the current process, a refresh that keeps the operator's
// order and process, the termination of a process, and the filter row's value lists.
#pragma once

#include "ServerFamily.h"

#include <QObject>
#include <memory>
#include <optional>

namespace velmora {

class Connection;
class FilterValueLists;
class Query;
class ResultGrid;

class ProcessMonitor : public QObject {
    Q_OBJECT
public:
    /// The three variants, each on `connection`.
    ProcessMonitor(Connection* connection, QObject* parent);
    ~ProcessMonitor() override;

    /// ProcSource: the variant of the server's family (ProcQuery until the first open()), or the
    /// replayed list while a recording is shown.
    Query* source() const;
    /// The family of the variant bound last.
    ServerFamily family() const { return m_family; }
    /// Binds the variant of `family` (sourceBound) and opens it. Throws DbError.
    void open(ServerFamily family);
    /// Closes every variant, as a disconnect does.
    void close();

    /// spid of the current row; none when the list is closed or has no current row.
    std::optional<int> currentSpid() const;

    /// Reopens the list, keeping its order and, while it is still there, its current process;
    /// nothing while a recording is replayed. Throws DbError.
    void refresh();
    /// Sends "Kill <spid>" and refreshes. Throws DbError.
    void kill(int spid);

    /// Rebuilds the value lists of `grid`'s filter row from the rows now held; the conditions of
    /// the columns that had lists are cleared and applied first. Returns whether the lists were
    /// filled (the list is open). Throws DbError when a list's batch fails: the columns after it
    /// have no lists then.
    bool rebuildValueLists(ResultGrid& grid);

    /// Replay: `list`, a client-only result set a recording fills, becomes the source
    /// (sourceBound) until endReplay() binds the family's variant again.
    void beginReplay(Query* list);
    void endReplay();
    bool replaying() const { return m_replay != nullptr; }
    /// The replayed list now holds another snapshot's rows: announced as a read (listRead).
    void replayedListRead();

signals:
    /// The variant of the server's family has become the source, not yet opened.
    void sourceBound(Query* source);
    /// The list has just been read from the server (an open or a refresh that succeeded): its
    /// rows are held in source(), in the operator's order.
    void listRead();

private:
    Connection* m_connection;
    Query* m_procQuery;       // SQL Server 7.0
    Query* m_procQuery2;      // SQL Server 2000
    Query* m_procQuery2005;   // SQL Server 2005 and later
    ServerFamily m_family = ServerFamily::Sql70;
    QString m_sortOfFailedRefresh;   // the order to restore when a refresh could not reopen
    std::unique_ptr<FilterValueLists> m_valueLists;
    Query* m_replay = nullptr;
};

} // namespace velmora
