// One client connection: pre-login, login, then batches and attentions until the link ends.
// Runs on a thread of its own with a blocking socket; any other thread may drop the link.
#pragma once

#include "Packet.h"
#include "state/Reply.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace sqlsim {
class Engine;
}

namespace sqlsim::tds {

class TlsChannel;
struct RpcCall;

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
    /// Whether the client has logged in (a session that has not holds a slot only until its
    /// login deadline, or until a newcomer needs the slot).
    bool loggedIn() const { return m_spid > 0; }

private:
    using Clock = std::chrono::steady_clock;
    enum class ReadResult { Message, Closed, Malformed };

    // Before login the whole message must come before the login deadline; after it, the rest
    // of a message within the packet time-out of its first byte.
    ReadResult readMessage(std::uint8_t& type, QByteArray& payload);
    bool readExact(char* buffer, int size, std::optional<Clock::time_point> deadline);
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
    bool serveRpc(const QByteArray& payload);
    // Runs one call of an RPC request; `peerBroken` as for a batch.
    Reply runCall(const RpcCall& call, bool& peerBroken);
    // Answers a request the server does not serve with an error; the link stays.
    bool refuse(const Message& message);

    int m_fd;
    std::mutex m_fdMutex;   // guards shutdown against close
    Engine& m_engine;
    std::atomic<int> m_spid{0};
    MessageAssembler m_assembler;
    qsizetype m_messageLimit;   // the most one client message may hold; raised after login
    std::unique_ptr<TlsChannel> m_tls;   // while the link is encrypted
    Clock::time_point m_loginDeadline;
    // Statements prepared over RPC (sp_prepare, sp_prepexec), by handle: parameter
    // definitions and text.
    std::map<int, std::pair<QString, QString>> m_prepared;
    int m_lastHandle = 0;
};

} // namespace sqlsim::tds
