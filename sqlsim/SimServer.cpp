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
    m_listener = std::make_unique<Listener>(*m_engine, port);
}

void SimServer::stop()
{
    m_listener.reset();
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
    if (m_listener)
        m_listener->dropSession(spid);
}

int SimServer::sessionCount() const
{
    return m_listener ? m_listener->sessionCount() : 0;
}

} // namespace sqlsim
