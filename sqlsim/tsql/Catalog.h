// Where a batch's table names lead: the session's # tables, the plain tables of tests, and the
// system tables, which are views built from the server state when a statement reads them.
// A new system table is one entry in systemTables() with the function that builds its rows.
#pragma once

#include "Ast.h"
#include "SessionState.h"
#include "Table.h"
#include "state/ServerState.h"

#include <map>
#include <memory>

namespace sqlsim::tsql {

struct SystemTable {
    const char* name;
    /// Only in master (spt_values): elsewhere it must be named master.dbo.<name>. The sys*
    /// tables of master are found from every database, as the server finds them.
    bool masterOnly;
    /// The view's columns and rows for `database`, read from the state now (and, for tempdb,
    /// from the session's # tables).
    Table (*build)(const ServerState& state, const Database& database, const SessionState& session);
    /// Called before each reading, or null: the process figures move on between readings.
    void (*beforeRead)(ServerState& state) = nullptr;
    /// Whether a server of that version has the table, or null when every version has it.
    bool (*inVersion)(ServerVersion version) = nullptr;
};

/// Every system table the simulated server has.
const std::vector<SystemTable>& systemTables();

class Catalog {
public:
    Catalog(ServerState& state, SessionState& session) : m_state(state), m_session(session) {}

    /// The table `name` names, read from `currentDatabase` unless the name says otherwise;
    /// null when there is none. Views are built once a statement (see newStatement()).
    const Table* find(const ObjectName& name, const QString& currentDatabase);
    /// A table a statement may change: the session's # tables and the ## tables; null when
    /// there is none.
    Table* findTemporary(const ObjectName& name);
    /// Forget the views built for the statement before.
    void newStatement()
    {
        m_views.clear();
        m_holdsShared = false;
    }
    /// Whether the statement has found a ## table, which other sessions may change.
    bool holdsShared() const { return m_holdsShared; }

    /// The database of that name (any case), or null.
    const Database* database(const QString& name) const;

private:
    ServerState& m_state;
    SessionState& m_session;
    std::map<QString, std::unique_ptr<Table>> m_views;
    bool m_holdsShared = false;
};

} // namespace sqlsim::tsql
