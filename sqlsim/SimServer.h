// The simulated server as tests and the demo start it: a TDS 7.1 listener on 127.0.0.1 whose
// sessions run on threads of their own, answering through one Engine.
#pragma once

#include "engine/Engine.h"

#include <memory>
#include <mutex>

namespace sqlsim {

class Listener;

class SimServer {
public:
    explicit SimServer(ServerOptions options = {});
    ~SimServer();   // stops listening and ends every session
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    /// Starts listening on 127.0.0.1:`port` (0: any free port). Throws std::runtime_error.
    void start(quint16 port = 0);
    void stop();
    quint16 port() const;

    Engine& engine();

    /// Ends the link of a session at once, as a failing network would (tests of a drop).
    void dropSession(int spid);
    /// How many client sessions are connected now.
    int sessionCount() const;

private:
    std::unique_ptr<Engine> m_engine;
    // Session threads reach the listener through Kill while start() or stop() replaces it.
    std::mutex m_listenerMutex;
    std::unique_ptr<Listener> m_listener;
};

} // namespace sqlsim
