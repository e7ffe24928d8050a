#include "Session.h"

#include "Bytes.h"
#include "Login7.h"
#include "PreLogin.h"
#include "ReplyEncoder.h"
#include "SspiLogin.h"
#include "TlsChannel.h"
#include "RpcRequest.h"
#include "TokenWriter.h"
#include "TypeEncoding.h"
#include "engine/Engine.h"
#include "state/ProductVersion.h"
#include "tsql/Execution.h"

#include <cerrno>
#include <exception>
#include <stdexcept>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sqlsim::tds {

namespace {

// A batch larger than this is a misbehaving peer, not a query.
constexpr qsizetype kMaxMessageSize = 64 * 1024 * 1024;
// Before login a peer may send no more than this in one message. A pre-login or login is a few
// hundred bytes; LOGIN7 counts each text in 16-bit characters, so one text at its limit takes
// 128 KB, and this leaves room for that and the rest of the message.
constexpr qsizetype kMaxUnauthenticatedMessageSize = 256 * 1024;

// A request the server does not serve (bulk load, a transaction manager request, an unknown
// type, a second login) or cannot read.
Message streamIncorrect()
{
    return Message{4002, 1, 16, QStringLiteral("The incoming tabular data stream (TDS) protocol stream is incorrect."),
                   {}, 1};
}

Message rpcStreamIncorrect()
{
    return Message{8009, 1, 16,
                   QStringLiteral("The incoming tabular data stream (TDS) remote procedure call (RPC) protocol stream "
                                  "is incorrect."),
                   {}, 1};
}

// EXEC text for a procedure called by name: its parameters as the variables @__rpc1, @__rpc2 ...
QString executeText(const RpcCall& call, tsql::BatchVariables& variables)
{
    QString text = QStringLiteral("EXEC [%1]").arg(QString(call.procedure).replace(u']', QStringLiteral("]]")));
    for (size_t i = 0; i < call.parameters.size(); ++i) {
        const RpcParameter& parameter = call.parameters[i];
        const QString variable = QStringLiteral("@__rpc%1").arg(i + 1);
        text += QLatin1String(i == 0 ? " " : ", ")
            + (parameter.name.isEmpty() ? variable : parameter.name + QLatin1String(" = ") + variable);
        variables.values.push_back({variable, parameter.type, parameter.value});
    }
    return text;
}

QString textOf(const RpcParameter& parameter)
{
    return parameter.value.toString();
}

} // namespace

Session::Session(int fd, Engine& engine)
    : m_fd(fd), m_engine(engine), m_messageLimit(kMaxUnauthenticatedMessageSize),
      m_loginDeadline(Clock::now() + std::chrono::milliseconds(engine.options().loginTimeoutMs))
{
}

Session::~Session()
{
    std::lock_guard lock(m_fdMutex);
    if (m_fd >= 0)
        ::close(m_fd);
}

void Session::drop()
{
    std::lock_guard lock(m_fdMutex);
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

void Session::run()
{
    // Whatever goes wrong in one session ends that session only, never the server.
    try {
        serve();
    } catch (const std::exception& e) {
        qWarning("sqlsim: session %d ended: %s", m_spid.load(), e.what());
    }
    if (m_spid > 0)
        m_engine.logout(m_spid);
    drop();
}

void Session::serve()
{
    if (!handshake())
        return;
    for (;;) {
        std::uint8_t type = 0;
        QByteArray payload;
        if (readMessage(type, payload) != ReadResult::Message)
            return;
        bool keepGoing = false;
        if (type == std::uint8_t(PacketType::SqlBatch))
            keepGoing = serveBatch(payload);
        else if (type == std::uint8_t(PacketType::Rpc))
            keepGoing = serveRpc(payload);
        else if (type == std::uint8_t(PacketType::Attention))
            keepGoing = send(PacketType::Reply, attentionAcknowledgement());
        else
            keepGoing = refuse(streamIncorrect());
        if (!keepGoing)
            return;
    }
}

bool Session::handshake()
{
    std::uint8_t type = 0;
    QByteArray payload;
    if (readMessage(type, payload) != ReadResult::Message)
        return false;
    const ProductVersion version = productVersion(m_engine.options().version);
    const SecurityOptions& security = m_engine.options().security;
    TlsScope tlsScope = TlsScope::None;
    if (type == std::uint8_t(PacketType::PreLogin)) {
        if (!isValidPreLogin(payload))
            return false;
        const EncryptionAnswer encryption = answerEncryption(clientEncryption(payload), security.offersEncryption(),
                                                             security.requireEncryption);
        tlsScope = encryption.scope;
        if (!send(PacketType::Reply, preLoginReply(std::uint8_t(version.major),
                                                   std::uint8_t(version.minor),
                                                   std::uint16_t(version.build),
                                                   std::uint32_t(::gettid()), encryption.reply)))
            return false;
        if (tlsScope == TlsScope::Refused)
            throw std::runtime_error("the client will not encrypt, and this server requires it");
        if (tlsScope != TlsScope::None)
            startTls();
        if (readMessage(type, payload) != ReadResult::Message)
            return false;
        // FreeTDS's default: only the login travels encrypted, the rest in clear.
        if (tlsScope == TlsScope::LoginOnly)
            m_tls.reset();
    }
    if (security.offersEncryption() && security.requireEncryption && tlsScope == TlsScope::None)
        throw std::runtime_error("a login without pre-login, and this server requires encryption");
    if (type != std::uint8_t(PacketType::Login7))
        return false;
    std::optional<Login7> login = parseLogin7(payload);
    if (!login)
        throw std::runtime_error("malformed LOGIN7");

    QByteArray reply;
    if (login->info.integratedSecurity) {
        const SspiOutcome outcome = authenticateSspi(security, login->sspi,
                                                     [this](const QByteArray& token) { return sspiRoundTrip(token); });
        if (!outcome.error.isEmpty())
            qWarning("sqlsim: Windows login refused: %s", qUtf8Printable(outcome.error));
        login->info.windowsLogin = outcome.login;
        reply = outcome.replyToken;
    }
    TokenWriter writer(reply);
    // The spid is known here before another session can Kill the new process, so that the
    // Kill finds this link to drop.
    const auto outcome = m_engine.login(login->info, [this](int spid) { m_spid = spid; });
    if (const auto* refusal = std::get_if<Message>(&outcome)) {
        writer.message(*refusal);
        writer.done(DoneToken::Done, DoneError, CmdNone, 0);
        send(PacketType::Reply, reply);
        return false;
    }
    m_messageLimit = kMaxMessageSize;
    const QString database = m_engine.currentDatabase(m_spid);

    // The login reply as a server sends it: database, language and collation, then LOGINACK
    // and the packet size, in one message ending with a final DONE.
    writer.envChange(EnvChange::Database, database, QStringLiteral("master"));
    writer.message(Message{5701, 2, 0,
                           QStringLiteral("Changed database context to '%1'.").arg(database), {}, 1});
    writer.collationChange(defaultCollation());
    writer.envChange(EnvChange::Language, QStringLiteral("us_english"), {});
    writer.message(Message{5703, 1, 0,
                           QStringLiteral("Changed language setting to us_english."), {}, 1});
    writer.loginAck(QStringLiteral("Microsoft SQL Server"), version.wire());
    writer.envChange(EnvChange::PacketSize, QString::number(kPacketSize), QString::number(kPacketSize));
    writer.done(DoneToken::Done, DoneFinal, CmdNone, 0);
    return send(PacketType::Reply, reply);
}

void Session::startTls()
{
    auto channel = std::make_unique<TlsChannel>(m_fd, m_engine.options().security);
    channel->handshake(
        [this](QByteArray& payload) {
            std::uint8_t type = 0;
            return readMessage(type, payload) == ReadResult::Message && type == std::uint8_t(PacketType::PreLogin);
        },
        [this](const QByteArray& bytes) { return send(PacketType::PreLogin, bytes); });
    m_tls = std::move(channel);
}

std::optional<QByteArray> Session::sspiRoundTrip(const QByteArray& token)
{
    std::uint8_t type = 0;
    QByteArray answer;
    if (!send(PacketType::Reply, token) || readMessage(type, answer) != ReadResult::Message
        || type != std::uint8_t(PacketType::Sspi))
        return std::nullopt;
    return answer;
}

bool Session::refuse(const Message& message)
{
    QByteArray reply;
    TokenWriter writer(reply);
    writer.message(message);
    writer.done(DoneToken::Done, DoneError, CmdNone, 0);
    return send(PacketType::Reply, reply);
}

bool Session::serveBatch(const QByteArray& payload)
{
    if (payload.size() % 2 != 0)
        return refuse(streamIncorrect());
    const QString batch = getUcs2(payload.constData(), int(payload.size() / 2));
    bool peerBroken = false;
    const Reply reply = m_engine.execute(m_spid, batch, [this, &peerBroken](int waitMs) {
        return attentionArrived(waitMs, peerBroken);
    });
    if (peerBroken)
        return false;
    if (reply.cancelled)
        return send(PacketType::Reply, attentionAcknowledgement());
    if (reply.dropConnection && reply.dropAfterRows < 0)
        return false;
    QByteArray tokens;
    try {
        tokens = encodeReply(reply);
    } catch (const std::bad_alloc&) {
        return refuse(tsql::outOfMemory());
    }
    if (reply.dropConnection) {
        send(PacketType::Reply, tokens, false);
        return false;
    }
    return send(PacketType::Reply, tokens);
}

bool Session::serveRpc(const QByteArray& payload)
{
    const std::optional<std::vector<RpcCall>> calls = parseRpcRequest(payload);
    if (!calls)
        return refuse(rpcStreamIncorrect());
    Reply whole;
    for (const RpcCall& call : *calls) {
        bool peerBroken = false;
        Reply reply = runCall(call, peerBroken);
        if (peerBroken || reply.dropConnection)
            return false;
        if (reply.cancelled)
            return send(PacketType::Reply, attentionAcknowledgement());
        std::move(reply.items.begin(), reply.items.end(), std::back_inserter(whole.items));
    }
    return send(PacketType::Reply, encodeReply(whole));
}

Reply Session::runCall(const RpcCall& call, bool& peerBroken)
{
    const auto interrupted = [this, &peerBroken](int waitMs) { return attentionArrived(waitMs, peerBroken); };
    const QString procedure = call.procedure.section(u'.', -1).toLower();
    const std::vector<RpcParameter>& parameters = call.parameters;
    const auto valuesFrom = [&](size_t first) {
        tsql::BatchVariables variables;
        for (size_t i = first; i < parameters.size(); ++i)
            variables.values.push_back({parameters[i].name, parameters[i].type, parameters[i].value});
        return variables;
    };
    const auto failed = [](const Message& message) {
        Reply reply;
        reply.items.push_back(message);
        return reply;
    };
    // The statement procedures answer as procedures: their results inside, then their status.
    const auto asProcedure = [](Reply reply, std::vector<ReturnStatus::Output> outputs) {
        reply.items.insert(reply.items.begin(), ProcedureBegin{});
        reply.items.push_back(ReturnStatus{0, std::move(outputs)});
        return reply;
    };
    const auto handleOutput = [&](int handle) {
        return ReturnStatus::Output{1, parameters[0].name, Column{{}, SqlType::Int}, Value(qint64(handle))};
    };
    if (procedure == u"sp_executesql") {
        if (parameters.empty())
            return failed(Message{201, 4, 16, QStringLiteral("Procedure expects parameter '@statement', which was not supplied."),
                                  QStringLiteral("sp_executesql"), 1});
        tsql::BatchVariables variables = valuesFrom(2);
        variables.definitions = parameters.size() > 1 ? textOf(parameters[1]) : QString();
        return asProcedure(m_engine.execute(m_spid, textOf(parameters[0]), interrupted, variables), {});
    }
    if (procedure == u"sp_prepare" || procedure == u"sp_prepexec") {
        if (parameters.size() < 3)
            return failed(rpcStreamIncorrect());
        const int handle = ++m_lastHandle;
        m_prepared[handle] = {textOf(parameters[1]), textOf(parameters[2])};
        if (procedure == u"sp_prepare")
            return asProcedure(Reply{}, {handleOutput(handle)});
        tsql::BatchVariables variables = valuesFrom(3);
        variables.definitions = textOf(parameters[1]);
        return asProcedure(m_engine.execute(m_spid, textOf(parameters[2]), interrupted, variables), {handleOutput(handle)});
    }
    if (procedure == u"sp_execute" || procedure == u"sp_unprepare") {
        const int handle = parameters.empty() ? 0 : parameters[0].value.toInt();
        const auto prepared = m_prepared.find(handle);
        if (prepared == m_prepared.end())
            return failed(Message{8179, 4, 16, QStringLiteral("Could not find prepared statement with handle %1.").arg(handle),
                                  {}, 1});
        if (procedure == u"sp_unprepare") {
            m_prepared.erase(prepared);
            return asProcedure(Reply{}, {});
        }
        tsql::BatchVariables variables = valuesFrom(1);
        variables.definitions = prepared->second.first;
        return asProcedure(m_engine.execute(m_spid, prepared->second.second, interrupted, variables), {});
    }
    // Any other procedure runs as EXEC would run it, and answers as a procedure by itself.
    tsql::BatchVariables variables;
    const QString text = executeText(call, variables);
    return m_engine.execute(m_spid, text, interrupted, variables);
}

bool Session::attentionArrived(int waitMs, bool& peerBroken)
{
    if (!waitReadable(waitMs))
        return false;
    std::uint8_t type = 0;
    QByteArray payload;
    // 2.2.1.7 Attention stops the running batch; anything else now is a peer out of step.
    peerBroken = readMessage(type, payload) != ReadResult::Message
        || type != std::uint8_t(PacketType::Attention);
    return true;
}

bool Session::waitReadable(int timeoutMs)
{
    if (m_tls && m_tls->hasBuffered())
        return true;
    pollfd descriptor{m_fd, POLLIN, 0};
    return ::poll(&descriptor, 1, timeoutMs) > 0;
}

Session::ReadResult Session::readMessage(std::uint8_t& type, QByteArray& payload)
{
    std::optional<Clock::time_point> deadline;
    if (!loggedIn())
        deadline = m_loginDeadline;
    for (;;) {
        char headerBytes[kHeaderSize];
        if (!readExact(headerBytes, 1, deadline))
            return ReadResult::Closed;
        if (!deadline)
            deadline = Clock::now() + std::chrono::milliseconds(m_engine.options().packetTimeoutMs);
        if (!readExact(headerBytes + 1, kHeaderSize - 1, deadline))
            return ReadResult::Closed;
        const std::optional<PacketHeader> header = parseHeader(headerBytes);
        if (!header || m_assembler.size() + header->length - kHeaderSize > m_messageLimit)
            return ReadResult::Malformed;
        QByteArray data(header->length - kHeaderSize, Qt::Uninitialized);
        if (!readExact(data.data(), int(data.size()), deadline))
            return ReadResult::Closed;
        switch (m_assembler.add(*header, data)) {
        case MessageAssembler::Result::Malformed:
            return ReadResult::Malformed;
        case MessageAssembler::Result::Complete:
            type = m_assembler.type();
            payload = m_assembler.take();
            return ReadResult::Message;
        case MessageAssembler::Result::NeedMore:
            break;
        }
    }
}

bool Session::readExact(char* buffer, int size, std::optional<Clock::time_point> deadline)
{
    if (m_tls)
        return m_tls->readExact(buffer, size);
    int done = 0;
    while (done < size) {
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            if (left.count() <= 0 || !waitReadable(int(left.count())))
                return false;
        }
        const ssize_t got = ::recv(m_fd, buffer + done, size_t(size - done), 0);
        if (got <= 0) {
            if (got < 0 && errno == EINTR)
                continue;
            return false;
        }
        done += int(got);
    }
    return true;
}

bool Session::send(PacketType type, const QByteArray& payload, bool endOfMessage)
{
    const QByteArray bytes = framePackets(type, payload, std::uint16_t(m_spid.load()), endOfMessage);
    if (m_tls)
        return m_tls->writeAll(bytes.constData(), bytes.size());
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = ::send(m_fd, bytes.constData() + done, size_t(bytes.size() - done),
                                    MSG_NOSIGNAL);
        if (sent <= 0) {
            if (sent < 0 && errno == EINTR)
                continue;
            return false;
        }
        done += sent;
    }
    return true;
}

} // namespace sqlsim::tds
