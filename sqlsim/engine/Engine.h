// The simulated server's brain: logins, sessions, and the answer to every batch, computed over
// the server state (processes, locks, databases, logs). Thread-safe: every session thread
// calls in; one mutex guards the state.
#pragma once

#include "Reply.h"
#include "ServerState.h"

#include <QString>
#include <functional>
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
};

class Engine {
public:
    explicit Engine(ServerOptions options = {});

    /// Checks a login; on success adds a process for the new session and returns its spid.
    /// On failure returns the message to send (18456 "Login failed for user '<name>'.").
    /// `admitted` gets the spid under the state lock, before any other session can see the
    /// process (and Kill it).
    std::variant<int, Message> login(const LoginInfo& info,
                                     const std::function<void(int spid)>& admitted = {});
    /// The session's link is gone: its process and locks leave the server.
    void logout(int spid);
    /// The database the session is in (after login and after every Use).
    QString currentDatabase(int spid) const;

    /// Answers one batch of the session. Never throws: a malformed batch gets SQL Server's error.
    Reply execute(int spid, const QString& batch);

    /// Called (outside the state lock) when Kill ends a session that has a real client link.
    std::function<void(int spid)> onKill;

    /// Direct access for tests and the demo: lock, then read or change.
    std::mutex& mutex() const { return m_mutex; }
    ServerState& state() { return m_state; }
    const ServerOptions& options() const { return m_state.options; }

private:
    mutable std::mutex m_mutex;
    ServerState m_state;
    // Killed sessions whose link has not logged out yet: their spids are not given out again
    // until it has, so the late logout cannot remove a newcomer's process.
    std::set<int> m_closing;
};

} // namespace sqlsim
