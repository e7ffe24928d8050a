// Accepts client connections on 127.0.0.1 and gives each a Session on a thread of its own.
// A session's thread is joined and its socket closed as soon as it ends; at most
// ServerOptions::maxConnections logged-in sessions run at once, and as many more may be on
// their way in.
#pragma once

#include <QtGlobal>
#include <chrono>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace sqlsim {

class Engine;

namespace tds {
class Session;
}

class Listener {
public:
    /// Binds 127.0.0.1:`port` (0: any free port) and starts accepting. Throws std::runtime_error.
    Listener(Engine& engine, quint16 port);
    /// Stops accepting, ends every session and waits for their threads.
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    quint16 port() const { return m_port; }
    void dropSession(int spid);
    int sessionCount() const;

private:
    struct Running;

    void acceptLoop();
    void startSession(int client);
    void reapLoop();
    // Waits `delay` or until the listener stops; false when it stops.
    bool pause(std::chrono::milliseconds delay);

    Engine& m_engine;
    int m_fd = -1;
    quint16 m_port = 0;
    std::thread m_acceptThread;
    std::thread m_reapThread;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;   // a session ended, or the listener stops
    bool m_stopping = false;
    int m_ended = 0;                  // sessions ended and not yet joined
    std::list<std::unique_ptr<Running>> m_sessions;
};

} // namespace sqlsim
