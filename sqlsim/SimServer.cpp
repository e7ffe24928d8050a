#include "SimServer.h"

#include "tds/Listener.h"

namespace sqlsim {

SimServer::SimServer(ServerOptions options)
    : m_engine(std::make_unique<Engine>(options))
{
    m_engine->onKill = [this](int spid) { dropSession(spid); };
}

SimServer::~SimServer()
{
    stop();
}

void SimServer::start(quint16 port)
{
    stop();
    auto listener = std::make_unique<Listener>(*m_engine, port);
    std::lock_guard lock(m_listenerMutex);
    m_listener = std::move(listener);
}

void SimServer::stop()
{
    // Destroyed outside the lock: ending the sessions waits for their threads, and one of them
    // may be on its way into dropSession().
    std::unique_ptr<Listener> stopping;
    {
        std::lock_guard lock(m_listenerMutex);
        stopping.swap(m_listener);
    }
}

quint16 SimServer::port() const
{
    return m_listener ? m_listener->port() : 0;
}

Engine& SimServer::engine()
{
    return *m_engine;
}

void SimServer::dropSession(int spid)
{
    std::lock_guard lock(m_listenerMutex);
    if (m_listener)
        m_listener->dropSession(spid);
}

int SimServer::sessionCount() const
{
    return m_listener ? m_listener->sessionCount() : 0;
}

} // namespace sqlsim
