#include "Listener.h"

#include "Session.h"
#include "engine/Engine.h"

#include <algorithm>
#include <vector>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <system_error>
#include <sys/socket.h>
#include <unistd.h>

namespace sqlsim {

struct Listener::Running {
    std::unique_ptr<tds::Session> session;
    std::thread thread;
    bool ended = false;     // the thread has left the session (guarded by m_mutex)
    bool evicted = false;   // dropped before its login to make room (guarded by m_mutex)
};

Listener::Listener(Engine& engine, quint16 port)
    : m_engine(engine)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    const int yes = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(m_fd, 64) != 0
        || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(m_fd);
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + reason);
    }
    m_port = ntohs(address.sin_port);
    m_reapThread = std::thread([this] { reapLoop(); });
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

Listener::~Listener()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    // shutdown() wakes the blocked accept(); close only after the thread has left it.
    ::shutdown(m_fd, SHUT_RDWR);
    m_acceptThread.join();
    m_reapThread.join();
    ::close(m_fd);
    std::list<std::unique_ptr<Running>> sessions;
    {
        std::lock_guard lock(m_mutex);
        sessions.swap(m_sessions);
    }
    for (auto& running : sessions)
        running->session->drop();
    for (auto& running : sessions)
        running->thread.join();
}

void Listener::acceptLoop()
{
    // Running out of descriptors or memory is passing: sessions end and give theirs back. Wait
    // a little longer each time and keep accepting; only stopping ends the loop.
    constexpr std::chrono::milliseconds kFirstPause{10};
    constexpr std::chrono::milliseconds kLongestPause{1000};
    std::chrono::milliseconds pauseFor = kFirstPause;
    for (;;) {
        const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            pauseFor = kFirstPause;
            startSession(client);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (!pause(pauseFor))
            return;
        pauseFor = std::min(pauseFor * 2, kLongestPause);
    }
}

bool Listener::pause(std::chrono::milliseconds delay)
{
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, delay, [this] { return m_stopping; });
}

void Listener::startSession(int client)
{
    std::lock_guard lock(m_mutex);
    // Logged-in sessions hold the slots; a connection that has not logged in yet waits in a
    // pool of its own, whose oldest member makes room for a newcomer, so silent peers can
    // never shut real logins out.
    const int bound = m_engine.options().maxConnections;
    int loggedIn = 0;
    std::vector<Running*> waiting;
    for (const auto& running : m_sessions) {
        if (running->ended || running->evicted)
            continue;
        if (running->session->loggedIn())
            ++loggedIn;
        else
            waiting.push_back(running.get());
    }
    if (m_stopping || loggedIn >= bound) {
        ::close(client);
        return;
    }
    if (int(waiting.size()) >= bound) {
        waiting.front()->evicted = true;
        waiting.front()->session->drop();
    }
    const int yes = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    auto running = std::make_unique<Running>();
    running->session = std::make_unique<tds::Session>(client, m_engine);
    try {
        running->thread = std::thread([this, self = running.get()] {
            self->session->run();
            {
                std::lock_guard lock(m_mutex);
                self->ended = true;
                ++m_ended;
            }
            m_wake.notify_all();
        });
    } catch (const std::system_error&) {
        return;   // no thread to be had now: this client is closed, the next may fare better
    }
    m_sessions.push_back(std::move(running));
}

void Listener::reapLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_ended > 0; });
        if (m_stopping)
            return;   // the destructor joins whatever is left
        std::list<std::unique_ptr<Running>> finished;
        for (auto it = m_sessions.begin(); it != m_sessions.end();) {
            if ((*it)->ended) {
                finished.push_back(std::move(*it));
                it = m_sessions.erase(it);
            } else {
                ++it;
            }
        }
        m_ended -= int(finished.size());
        lock.unlock();
        for (auto& running : finished)
            running->thread.join();
        finished.clear();   // closes the sockets
        lock.lock();
    }
}

void Listener::dropSession(int spid)
{
    std::lock_guard lock(m_mutex);
    for (auto& running : m_sessions) {
        if (running->session->spid() == spid)
            running->session->drop();
    }
}

int Listener::sessionCount() const
{
    std::lock_guard lock(m_mutex);
    int count = 0;
    for (const auto& running : m_sessions)
        count += running->ended ? 0 : 1;
    return count;
}

} // namespace sqlsim
