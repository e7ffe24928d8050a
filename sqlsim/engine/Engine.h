// The simulated server's brain: logins, sessions, and the answer to every batch, which the T-SQL
// interpreter computes over the server state (processes, locks, databases, logs) and the
// session's own tables. Thread-safe: every session thread calls in; one fair mutex guards the
// state, and a running batch lets it go between units of its work whenever another session waits.
#pragma once

#include "FairMutex.h"
#include "state/MemoryBudget.h"
#include "state/Reply.h"
#include "state/ServerState.h"
#include "state/TroubleScenario.h"
#include "tsql/Interpreter.h"
#include "tsql/SessionState.h"

#include <QString>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>

namespace sqlsim {

struct LoginInfo {
    QString login;
    QString password;
    QString host;        // the client's host name from LOGIN7
    QString program;     // application name from LOGIN7
    QString database;    // initial database from LOGIN7, may be empty
    QString hostProcess; // client process id as text
    QString netAddress;  // client MAC-like address text
    QString language;
    bool integratedSecurity = false;
    QString windowsLogin;   // "REALM\user" once Kerberos has authenticated an integrated login
};

class Engine {
public:
    explicit Engine(ServerOptions options = {});

    /// Checks a login; on success adds a process for the new session and returns its spid.
    /// On failure returns the message to send (18456 "Login failed for user '<name>'."; 18452
    /// for an integrated login that was not authenticated). An authenticated Windows login is
    /// admitted under its own name.
    /// `admitted` gets the spid under the state lock, before any other session can see the
    /// process (and Kill it).
    std::variant<int, Message> login(const LoginInfo& info,
                                     const std::function<void(int spid)>& admitted = {});
    /// The session's link is gone: its process, locks, # tables and the ## tables it made leave
    /// the server.
    void logout(int spid);
    /// The database the session is in (after login and after every Use).
    QString currentDatabase(int spid) const;

    /// Answers one batch of the session. Never throws: a malformed batch gets SQL Server's error.
    /// `interrupted` tells whether the client's attention has come (waiting up to the given
    /// milliseconds for it); the batch stops within a millisecond or so of its work when it has.
    /// `variables` are declared and set before the batch runs (the parameters of an RPC).
    Reply execute(int spid, const QString& batch, const std::function<bool(int waitMs)>& interrupted = {},
                  const tsql::BatchVariables& variables = {});

    /// Called (outside the state lock) when Kill ends a session that has a real client link.
    std::function<void(int spid)> onKill;

    /// Direct access for tests and the demo: lock, then read or change.
    FairMutex& mutex() const { return m_mutex; }
    ServerState& state() { return m_state; }
    const ServerOptions& options() const { return m_state.options; }
    /// The session's own state (its # tables, cursors, options); lock first.
    tsql::SessionState& session(int spid) { return m_sessions[spid]; }

private:
    mutable FairMutex m_mutex;
    ServerState m_state;
    std::map<int, tsql::SessionState> m_sessions;
    std::shared_ptr<tsql::GlobalTables> m_globalTables = std::make_shared<tsql::GlobalTables>();
    MemoryBudget m_memory;
    std::optional<TroubleScenario> m_trouble;   // only when the options ask for a server in trouble
    // Killed sessions whose link has not logged out yet: their spids are not given out again
    // until it has, so the late logout cannot remove a newcomer's process.
    std::set<int> m_closing;
};

} // namespace sqlsim
