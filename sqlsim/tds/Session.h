// One client connection: pre-login, login, then batches and attentions until the link ends.
// Runs on a thread of its own with a blocking socket; any other thread may drop the link.
#pragma once

#include "Packet.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>
#include <mutex>

namespace sqlsim {
class Engine;
}

namespace sqlsim::tds {

class TlsChannel;

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

private:
    enum class ReadResult { Message, Closed, Malformed };

    ReadResult readMessage(std::uint8_t& type, QByteArray& payload);
    bool readExact(char* buffer, int size);
    bool send(PacketType type, const QByteArray& payload, bool endOfMessage = true);
    bool waitReadable(int timeoutMs);
    // While a batch runs: true when the client sent its attention within `waitMs` (or
    // anything else, which sets `peerBroken`).
    bool attentionArrived(int waitMs, bool& peerBroken);

    void serve();
    bool handshake();
    // Runs the TLS handshake inside pre-login messages; from then on the link is encrypted.
    void startTls();
    // One leg of a Windows login: sends the server's SSPI token, returns the client's answer.
    std::optional<QByteArray> sspiRoundTrip(const QByteArray& token);
    bool serveBatch(const QByteArray& payload);

    int m_fd;
    std::mutex m_fdMutex;   // guards shutdown against close
    Engine& m_engine;
    std::atomic<int> m_spid{0};
    MessageAssembler m_assembler;
    qsizetype m_messageLimit;   // the most one client message may hold; raised after login
    std::unique_ptr<TlsChannel> m_tls;   // while the link is encrypted
};

} // namespace sqlsim::tds
