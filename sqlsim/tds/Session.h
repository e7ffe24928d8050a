// One client connection: pre-login, login, then batches and attentions until the link ends.
// Runs on a thread of its own with a blocking socket; any other thread may drop the link.
#pragma once

#include "Packet.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <mutex>

namespace sqlsim {
class Engine;
}

namespace sqlsim::tds {

class Session {
public:
    /// Takes ownership of the connected socket `fd`.
    Session(int fd, Engine& engine);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    /// The thread body: serves the client until the link ends or the peer misbehaves.
    void run();
    /// Ends the link at once (the session thread then logs out and returns).
    void drop();

    int spid() const { return m_spid; }
    bool finished() const { return m_finished; }

private:
    enum class ReadResult { Message, Closed, Malformed };

    ReadResult readMessage(std::uint8_t& type, QByteArray& payload);
    bool readExact(char* buffer, int size);
    bool send(PacketType type, const QByteArray& payload, bool endOfMessage = true);
    bool waitReadable(int timeoutMs);

    void serve();
    bool handshake();
    bool serveBatch(const QByteArray& payload);
    // Waits out a slow statement, watching for the client's attention (answered when it comes).
    enum class WaitResult { Elapsed, Cancelled, LinkEnded };
    WaitResult waitOrAttention(int delayMs);

    int m_fd;
    std::mutex m_fdMutex;   // guards shutdown against close
    Engine& m_engine;
    std::atomic<int> m_spid{0};
    std::atomic<bool> m_finished{false};
    QString m_database;
    MessageAssembler m_assembler;
};

} // namespace sqlsim::tds
