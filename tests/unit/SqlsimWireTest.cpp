// The simulator's sessions seen from a raw socket: login messages, a request split across
// packets and writes, attention, and peers that send what no client should.
#include "KerberosRealm.h"
#include "SelfSignedCertificate.h"
#include "SimFixture.h"
#include "tds/Bytes.h"
#include "tds/Login7.h"
#include "tds/Packet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <mutex>
#include <random>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace sqlsim;

namespace {

void putU16(QByteArray& out, int value) { out.append(char(value & 0xFF)).append(char(value >> 8)); }
void putU32(QByteArray& out, std::uint32_t value)
{
    putU16(out, int(value & 0xFFFF));
    putU16(out, int(value >> 16));
}
QByteArray ucs2(const QString& text)
{
    QByteArray out;
    for (QChar c : text)
        putU16(out, c.unicode());
    return out;
}

QByteArray packet(std::uint8_t type, const QByteArray& data, bool last = true)
{
    QByteArray out;
    const int length = int(data.size()) + 8;
    out.append(char(type)).append(char(last ? 1 : 0)).append(char(length >> 8)).append(char(length & 0xFF));
    out.append(QByteArray(2, '\0')).append(char(1)).append('\0');
    return out + data;
}

QByteArray preLogin()
{
    // VERSION (6 bytes) and the terminator.
    return QByteArray::fromHex("00 0006 0006 ff 090000000000");
}

struct LoginFields {
    QString host = QStringLiteral("client-host");
    QString user = QStringLiteral("sa");
    QString password = QStringLiteral("velmora");
    QString app = QStringLiteral("Velmora 2.4.0.27");
    QString database = QStringLiteral("master");
    std::uint32_t version = 0x71000001;
    bool integrated = false;
    QByteArray sspi;
    int sspiLength = -1;   // the length cbSSPI claims; -1: the true one
};

// A LOGIN7 message in the 7.1 layout: 86 fixed bytes, then the texts.
QByteArray login7(const LoginFields& f)
{
    QByteArray scrambled = ucs2(f.password);
    for (char& c : scrambled) {
        const auto b = std::uint8_t(c);
        c = char(std::uint8_t(((b << 4) | (b >> 4)) ^ 0xA5));
    }
    const QByteArray texts[] = {ucs2(f.host), ucs2(f.user), scrambled, ucs2(f.app), ucs2("server"),
                                {}, ucs2("ODBC"), {}, ucs2(f.database)};
    QByteArray fixed;
    putU32(fixed, 0);   // length, filled in below
    putU32(fixed, f.version);
    putU32(fixed, 4096);
    putU32(fixed, 7);
    putU32(fixed, 4242);   // client pid
    putU32(fixed, 0);
    fixed.append('\0').append(char(f.integrated ? 0x80 : 0x00)).append('\0').append('\0');
    putU32(fixed, 0);
    putU32(fixed, 0x0409);
    QByteArray data;
    int offset = 86;
    for (const QByteArray& text : texts) {
        putU16(fixed, offset + int(data.size()));
        putU16(fixed, int(text.size() / 2));
        data += text;
    }
    fixed.append(QByteArray::fromHex("0a0b0c0d0e0f"));   // client id
    putU16(fixed, offset + int(data.size()));   // SSPI
    putU16(fixed, f.sspiLength >= 0 ? f.sspiLength : int(f.sspi.size()));
    data += f.sspi;
    putU16(fixed, offset + int(data.size()));   // attach file
    putU16(fixed, 0);
    QByteArray message = fixed + data;
    const auto size = std::uint32_t(message.size());
    for (int i = 0; i < 4; ++i)
        message[i] = char((size >> (8 * i)) & 0xFF);
    return message;
}

class RawClient {
public:
    explicit RawClient(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        timeval timeout{5, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { ::close(m_fd); }

    bool connected() const { return m_connected; }
    void send(const QByteArray& bytes) { ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL); }
    void endWriting() { ::shutdown(m_fd, SHUT_WR); }

    // The payload of the next reply and the spid of its last packet; nothing when the link
    // closed or nothing came.
    std::optional<QByteArray> reply(int* spid = nullptr)
    {
        QByteArray payload;
        for (;;) {
            char header[8];
            if (!readExact(header, 8))
                return std::nullopt;
            const int length = (std::uint8_t(header[2]) << 8) | std::uint8_t(header[3]);
            if (spid)
                *spid = (std::uint8_t(header[4]) << 8) | std::uint8_t(header[5]);
            QByteArray data(length - 8, '\0');
            if (!readExact(data.data(), length - 8))
                return std::nullopt;
            payload += data;
            if (header[1] & 1)
                return payload;
        }
    }

    bool closedByServer()
    {
        char byte;
        const ssize_t got = ::recv(m_fd, &byte, 1, 0);
        return got == 0 || (got < 0 && errno == ECONNRESET);
    }

    bool logIn(const LoginFields& fields = {}, int* spid = nullptr)
    {
        send(packet(0x12, preLogin()));
        if (!reply())
            return false;
        send(packet(0x10, login7(fields)));
        const auto answer = reply(spid);
        return answer && answer->contains(QByteArray::fromHex("ad"));
    }

private:
    bool readExact(char* buffer, int size)
    {
        for (int done = 0; done < size;) {
            const ssize_t got = ::recv(m_fd, buffer + done, size_t(size - done), 0);
            if (got <= 0)
                return false;
            done += int(got);
        }
        return true;
    }

    int m_fd = -1;
    bool m_connected = false;
};

// The text of an ERROR or INFO token at the start of `reply`, when the token's length holds
// exactly its fields and a DONE ends the reply right after it.
std::optional<QString> soleMessageBeforeDone(const QByteArray& reply)
{
    if (reply.size() < 3 || (std::uint8_t(reply[0]) != 0xAA && std::uint8_t(reply[0]) != 0xAB))
        return std::nullopt;
    const int length = std::uint8_t(reply[1]) | (std::uint8_t(reply[2]) << 8);
    const int chars = std::uint8_t(reply[9]) | (std::uint8_t(reply[10]) << 8);
    const QByteArray text = reply.mid(11, 2 * chars);
    const int serverAt = 11 + 2 * chars;
    const int serverChars = std::uint8_t(reply[serverAt]);
    const int procedureChars = std::uint8_t(reply[serverAt + 1 + 2 * serverChars]);
    const int fields = 4 + 1 + 1 + 2 + 2 * chars + 1 + 2 * serverChars + 1 + 2 * procedureChars + 2;
    if (length != fields || reply.size() != 3 + length + 9 || std::uint8_t(reply[3 + length]) != 0xFD)
        return std::nullopt;
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.constData()), chars);
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// Waits up to five seconds for what the server's threads do: whether `condition` came true.
bool eventually(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 5000)
        QThread::msleep(5);
    return condition();
}

bool descriptorsSettleAt(int count)
{
    return eventually([count] { return openDescriptors() == count; });
}

// Lowers this process's descriptor limit for its lifetime.
class DescriptorLimit {
public:
    explicit DescriptorLimit(rlim_t soft)
    {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = soft;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

private:
    rlimit m_saved{};
};

bool settlesAt(SimServer& server, int sessions)
{
    return eventually([&server, sessions] { return server.sessionCount() == sessions; });
}

int batchesStarted(Engine& engine)
{
    std::lock_guard lock(engine.mutex());
    return engine.state().batchCount;
}

// A PRELOGIN with VERSION and ENCRYPTION set to `encryption`.
QByteArray preLoginAsking(std::uint8_t encryption)
{
    return QByteArray::fromHex("00 000b 0006 01 0011 0001 ff 090000000000") + QByteArray(1, char(encryption));
}

// Collects sqlsim's log (its warnings, from any session thread) while alive.
class ServerLog {
public:
    ServerLog() : m_previous(qInstallMessageHandler(&ServerLog::record)) { lines().clear(); }
    ~ServerLog() { qInstallMessageHandler(m_previous); }
    QString last() const
    {
        std::lock_guard lock(mutex());
        return lines().isEmpty() ? QString() : lines().last();
    }

private:
    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }
    static QStringList& lines()
    {
        static QStringList l;
        return l;
    }
    static void record(QtMsgType, const QMessageLogContext&, const QString& text)
    {
        std::lock_guard lock(mutex());
        lines() << text;
    }

    QtMessageHandler m_previous;
};

} // namespace

TEST(SqlsimLogin7, FieldsAndScrambledPasswordAreRead)
{
    LoginFields fields;
    fields.password = QStringLiteral("Pa$$wörd;x");
    fields.database = QStringLiteral("Northwind");
    const auto login = tds::parseLogin7(login7(fields));
    ASSERT_TRUE(login);
    EXPECT_EQ(login->tdsVersion, 0x71000001u);
    EXPECT_EQ(login->info.login, fields.user);
    EXPECT_EQ(login->info.password, fields.password);
    EXPECT_EQ(login->info.host, fields.host);
    EXPECT_EQ(login->info.program, fields.app);
    EXPECT_EQ(login->info.database, fields.database);
    EXPECT_EQ(login->info.hostProcess, QStringLiteral("4242"));
    EXPECT_EQ(login->info.netAddress, QStringLiteral("0A0B0C0D0E0F"));
    EXPECT_FALSE(login->info.integratedSecurity);

    fields.integrated = true;
    fields.sspi = QByteArray::fromHex("604e06092a864886f712010202");
    const auto windowsLogin = tds::parseLogin7(login7(fields));
    ASSERT_TRUE(windowsLogin);
    EXPECT_TRUE(windowsLogin->info.integratedSecurity);
    EXPECT_EQ(windowsLogin->sspi, fields.sspi);
    EXPECT_EQ(windowsLogin->info.database, fields.database);
}

TEST(SqlsimLogin7, MalformedMessagesAreRefused)
{
    const QByteArray good = login7({});
    QByteArray wrongLength = good;
    wrongLength[0] = char(wrongLength[0] + 1);
    QByteArray fieldOutside = good;
    fieldOutside[40] = char(0xF0);   // user name offset far beyond the message
    QByteArray longField = good;
    longField[42] = char(0x7F);      // user name length beyond the message
    LoginFields sspiBeyond;
    sspiBeyond.sspi = QByteArray(16, '\x60');
    sspiBeyond.sspiLength = 17;
    for (const QByteArray& bad : {good.left(85), wrongLength, fieldOutside, longField, QByteArray(),
                                  login7(sspiBeyond)})
        EXPECT_FALSE(tds::parseLogin7(bad)) << bad.toHex().toStdString();
}

TEST(SqlsimWire, LoginReplyCarriesSpidAndSevenOneAcknowledgement)
{
    SimFixture sim;
    for (const std::uint32_t asked : {0x71000001u, 0x74000004u}) {
        RawClient client(sim.port());
        ASSERT_TRUE(client.connected());
        client.send(packet(0x12, preLogin()));
        const auto preLoginReply = client.reply();
        ASSERT_TRUE(preLoginReply);
        // ENCRYPTION option: its offset is in the second entry, its value must be "not supported".
        const int encryptionAt = (std::uint8_t((*preLoginReply)[6]) << 8) | std::uint8_t((*preLoginReply)[7]);
        EXPECT_EQ((*preLoginReply)[encryptionAt], 2);

        LoginFields fields;
        fields.version = asked;
        client.send(packet(0x10, login7(fields)));
        int spid = 0;
        const auto reply = client.reply(&spid);
        ASSERT_TRUE(reply);
        EXPECT_GE(spid, 51);
        EXPECT_TRUE(reply->contains(QByteArray::fromHex("01" "71000001")));   // interface, TDS 7.1
        EXPECT_TRUE(reply->endsWith(QByteArray::fromHex("fd 0000 0000 00000000")));
    }
}

TEST(SqlsimWire, RequestSplitAcrossPacketsAndWritesIsOneBatch)
{
    SimFixture sim;
    RawClient client(sim.port());
    int spid = 0;
    ASSERT_TRUE(client.logIn({}, &spid));
    const QByteArray text = ucs2(QStringLiteral("SELECT @@SPID"));
    const QByteArray first = packet(0x01, text.left(7), false);   // the split falls inside a character
    const QByteArray second = packet(0x01, text.mid(7));
    client.send(first.left(3));
    QThread::msleep(20);
    client.send(first.mid(3) + second.left(5));
    QThread::msleep(20);
    client.send(second.mid(5));
    const auto reply = client.reply();
    ASSERT_TRUE(reply);
    QByteArray row = QByteArray::fromHex("d1 02");
    putU16(row, spid);
    EXPECT_TRUE(reply->contains(row));
}

TEST(SqlsimWire, AttentionIsAcknowledgedIdleAndWhileAStatementRuns)
{
    SimFixture sim;
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().faults.slowStatement = QStringLiteral("SELECT @@VERSION");
        sim.engine().state().faults.slowMs = 30000;
    }
    RawClient client(sim.port());
    ASSERT_TRUE(client.logIn());
    const QByteArray acknowledgement = QByteArray::fromHex("fd 2000 0000 00000000");

    client.send(packet(0x06, {}));
    EXPECT_EQ(client.reply(), acknowledgement);

    QElapsedTimer timer;
    timer.start();
    const int before = batchesStarted(sim.engine());
    client.send(packet(0x01, ucs2(QStringLiteral("SELECT @@VERSION"))));
    ASSERT_TRUE(eventually([&] { return batchesStarted(sim.engine()) > before; }));   // it runs
    client.send(packet(0x06, {}));
    EXPECT_EQ(client.reply(), acknowledgement);   // the batch's results are never sent
    EXPECT_LT(timer.elapsed(), 5000);

    client.send(packet(0x01, ucs2(QStringLiteral("SELECT @@SPID"))));
    const auto next = client.reply();
    ASSERT_TRUE(next);
    EXPECT_TRUE(next->startsWith(QByteArray::fromHex("81")));
}

TEST(SqlsimWire, BadPeerEndsItsOwnSessionOnly)
{
    SimFixture sim;
    RawClient bystander(sim.port());
    ASSERT_TRUE(bystander.logIn());

    QByteArray mixedTypes = packet(0x01, ucs2("SELECT"), false) + packet(0x0E, ucs2(" 1"));
    QByteArray badPreLogin = QByteArray::fromHex("00 0020 0006 ff");
    LoginFields refused;
    refused.password = QStringLiteral("wrong");
    struct Case {
        const char* what;
        bool logInFirst;
        QByteArray bytes;
        bool endWriting;
    } cases[] = {
        {"truncated header", false, QByteArray::fromHex("12010010"), true},
        {"truncated packet body", false, packet(0x12, preLogin()).left(12), true},
        {"header length below eight", false, QByteArray::fromHex("1201000400000100"), false},
        {"batch before login", false, packet(0x01, ucs2("SELECT @@VERSION")), false},
        {"garbage login", false, packet(0x10, QByteArray(120, '\x5A')), false},
        {"pre-login option outside the message", false, packet(0x12, badPreLogin), false},
        {"refused login", false, packet(0x10, login7(refused)), false},
        {"packets of two types in one message", true, mixedTypes, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RawClient peer(sim.port());
        if (c.logInFirst) {
            ASSERT_TRUE(peer.logIn());
        }
        peer.send(c.bytes);
        if (c.endWriting)
            peer.endWriting();
        // A refused login gets its error before the close; drain whatever comes.
        while (peer.reply()) {
        }
        EXPECT_TRUE(settlesAt(sim.server(), 1));
    }

    bystander.send(packet(0x01, ucs2(QStringLiteral("SELECT @@VERSION"))));
    const auto reply = bystander.reply();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->contains(ucs2(QStringLiteral("8.00.2039"))));
    RawClient newcomer(sim.port());
    EXPECT_TRUE(newcomer.logIn());
}

TEST(SqlsimWire, RequestsTheServerDoesNotServeGetAnErrorAndTheLinkStays)
{
    SimFixture sim;
    RawClient client(sim.port());
    ASSERT_TRUE(client.logIn());
    const struct {
        const char* what;
        QByteArray bytes;
        std::uint32_t error;
    } cases[] = {
        {"bulk load", packet(0x07, "xx"), 4002},
        {"transaction manager request", packet(0x0E, QByteArray::fromHex("0000")), 4002},
        {"unknown type", packet(0x55, "z"), 4002},
        {"second login", packet(0x10, login7({})), 4002},
        {"odd-length batch", packet(0x01, "abc"), 4002},
        {"RPC cut short", packet(0x03, QByteArray::fromHex("0500 6100")), 8009},
        {"RPC parameter of an unknown type", packet(0x03, QByteArray::fromHex("ffff 0a00 0000 00 00 99")), 8009},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        client.send(c.bytes);
        const auto reply = client.reply();
        ASSERT_TRUE(reply);
        ASSERT_GT(reply->size(), 7);
        EXPECT_EQ(std::uint8_t((*reply)[0]), 0xAA);
        EXPECT_EQ(tds::getU32(reply->constData() + 3), c.error);
        client.send(packet(0x01, ucs2(QStringLiteral("SELECT @@SPID"))));
        const auto next = client.reply();
        ASSERT_TRUE(next);
        EXPECT_TRUE(next->startsWith(QByteArray::fromHex("81")));
    }
}

TEST(SqlsimWire, ProceduresCalledByNameOverRpcAnswerAsTheirExec)
{
    SimFixture sim;
    RawClient client(sim.port());
    ASSERT_TRUE(client.logIn());
    // xp_msver with one NVARCHAR(4000) parameter by position, then sp_nosuch in the same request.
    QByteArray request;
    putU16(request, 8);
    request += ucs2(QStringLiteral("xp_msver"));
    putU16(request, 0);
    request += QByteArray::fromHex("00 00 e7 401f 0904d00034");
    putU16(request, 28);
    request += ucs2(QStringLiteral("ProductVersion"));
    request += QByteArray::fromHex("80");
    putU16(request, 9);
    request += ucs2(QStringLiteral("sp_nosuch"));
    putU16(request, 0);
    client.send(packet(0x03, request));
    const auto reply = client.reply();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->contains(ucs2(QStringLiteral("8.00.2039"))));
    EXPECT_TRUE(reply->contains(QByteArray::fromHex("79 00000000 fe")));   // its status and DONEPROC
    EXPECT_TRUE(reply->contains(ucs2(QStringLiteral("Could not find stored procedure 'sp_nosuch'."))));
}

TEST(SqlsimWire, SilentPeersAndStalledPacketsAreClosedAndNeverShutOutALogin)
{
    ServerOptions options;
    options.populate = false;
    options.maxConnections = 4;
    options.loginTimeoutMs = 300;
    options.packetTimeoutMs = 300;
    SimFixture sim(options);
    std::vector<std::unique_ptr<RawClient>> silent;
    for (int i = 0; i < 12; ++i)
        silent.push_back(std::make_unique<RawClient>(sim.port()));
    RawClient real(sim.port());
    EXPECT_TRUE(real.logIn());
    EXPECT_TRUE(silent.back()->closedByServer());

    RawClient stalledBeforeLogin(sim.port());
    stalledBeforeLogin.send(packet(0x12, preLogin()).left(10));
    EXPECT_TRUE(stalledBeforeLogin.closedByServer());
    RawClient stalled(sim.port());
    ASSERT_TRUE(stalled.logIn());
    stalled.send(packet(0x01, ucs2(QStringLiteral("SELECT @@SPID"))).left(12));
    EXPECT_TRUE(stalled.closedByServer());
    // An idle logged-in session has no deadline.
    QThread::msleep(400);
    real.send(packet(0x01, ucs2(QStringLiteral("SELECT @@SPID"))));
    EXPECT_TRUE(real.reply());
}

TEST(SqlsimWire, AttentionAndAHangUpStopAHeavyStatementWhileOthersAreServed)
{
    ServerOptions options;
    options.populate = false;
    options.statementWorkLimit = std::numeric_limits<qint64>::max();   // only the client stops it
    SimFixture sim(options);
    const QString heavy = QStringLiteral(
        "create table #t (n int) declare @i int set @i = 0 while @i < 1000 begin insert #t values (@i) set @i = @i + 1 end "
        "select count(*) from #t a where exists (select * from #t b join #t c on b.n <> c.n where b.n = a.n)");
    RawClient bystander(sim.port());
    ASSERT_TRUE(bystander.logIn());
    RawClient client(sim.port());
    ASSERT_TRUE(client.logIn());
    client.send(packet(0x01, ucs2(heavy)));
    QThread::msleep(300);
    bystander.send(packet(0x01, ucs2(QStringLiteral("SELECT @@SPID"))));
    EXPECT_TRUE(bystander.reply());
    client.send(packet(0x06, {}));
    EXPECT_EQ(client.reply(), QByteArray::fromHex("fd 2000 0000 00000000"));
    client.send(packet(0x01, ucs2(QStringLiteral("SELECT @@SPID"))));
    const auto next = client.reply();
    ASSERT_TRUE(next);
    EXPECT_TRUE(next->startsWith(QByteArray::fromHex("81")));
    {
        RawClient quitter(sim.port());
        ASSERT_TRUE(quitter.logIn());
        quitter.send(packet(0x01, ucs2(heavy)));
        QThread::msleep(300);
    }
    EXPECT_TRUE(settlesAt(sim.server(), 2));
}

TEST(SqlsimWire, MutatedLoginExchangesNeverTakeTheServerDown)
{
    SimFixture sim;
    std::mt19937 random(7);
    const QByteArray valid = packet(0x12, preLogin()) + packet(0x10, login7({}));
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes = valid;
        const int flips = 1 + int(random() % 8);
        for (int i = 0; i < flips; ++i)
            bytes[int(random() % bytes.size())] = char(random());
        if (round % 5 == 0)
            bytes.truncate(int(random() % bytes.size()));
        RawClient peer(sim.port());
        peer.send(bytes);
        peer.endWriting();
        while (peer.reply()) {
        }
    }
    EXPECT_TRUE(settlesAt(sim.server(), 0));
    RawClient newcomer(sim.port());
    EXPECT_TRUE(newcomer.logIn());
}

TEST(SqlsimWire, StoppingTheServerEndsSessionsEvenMidStatement)
{
    auto sim = std::make_unique<SimFixture>();
    {
        std::lock_guard lock(sim->engine().mutex());
        sim->engine().state().faults.slowStatement = QStringLiteral("SELECT @@VERSION");
        sim->engine().state().faults.slowMs = 60000;
    }
    RawClient busy(sim->port());
    ASSERT_TRUE(busy.logIn());
    RawClient idle(sim->port());
    ASSERT_TRUE(idle.logIn());
    const int before = batchesStarted(sim->engine());
    busy.send(packet(0x01, ucs2(QStringLiteral("SELECT @@VERSION"))));
    ASSERT_TRUE(eventually([&] { return batchesStarted(sim->engine()) > before; }));   // it runs

    QElapsedTimer timer;
    timer.start();
    sim.reset();
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(busy.closedByServer());
    EXPECT_TRUE(idle.closedByServer());
}

TEST(SqlsimWire, AcceptingResumesOnceDescriptorsAreFreeAgain)
{
    SimFixture sim;
    std::vector<int> fillers;
    std::unique_ptr<RawClient> waiting;
    {
        DescriptorLimit limit(rlim_t(openDescriptors() + 64));
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            fillers.push_back(fd);
        ASSERT_EQ(errno, EMFILE);
        // One descriptor for the client; the server then has none to accept it with.
        ::close(fillers.back());
        fillers.pop_back();
        waiting = std::make_unique<RawClient>(sim.port());
        ASSERT_TRUE(waiting->connected());
        QThread::msleep(200);
        for (const int fd : fillers)
            ::close(fd);
    }
    EXPECT_TRUE(waiting->logIn());
    RawClient newcomer(sim.port());
    EXPECT_TRUE(newcomer.logIn());
}

TEST(SqlsimWire, EndedSessionsGiveBackTheirSocketsAtOnce)
{
    SimFixture sim;
    const int before = openDescriptors();
    {
        std::vector<std::unique_ptr<RawClient>> peers;
        for (int i = 0; i < 8; ++i) {
            peers.push_back(std::make_unique<RawClient>(sim.port()));
            peers.back()->send(packet(0x12, QByteArray(4000, 'p'), false));   // a message left unfinished
        }
        ASSERT_TRUE(settlesAt(sim.server(), 8));
    }
    // No other client connects: the sessions' own ends close their sockets.
    EXPECT_TRUE(descriptorsSettleAt(before));
    EXPECT_TRUE(settlesAt(sim.server(), 0));
}

TEST(SqlsimWire, BeforeLoginAPeerMaySendOnlyALittle)
{
    SimFixture sim;
    RawClient flooder(sim.port());
    const QByteArray chunk = packet(0x12, QByteArray(32000, 'p'), false);
    for (int i = 0; i < 12; ++i)
        flooder.send(chunk);
    EXPECT_TRUE(flooder.closedByServer());

    // After login a batch far larger than that is still a batch.
    RawClient client(sim.port());
    ASSERT_TRUE(client.logIn());
    const QString batch = QStringLiteral("SELECT @@SPID /*%1*/").arg(QString(300000, u'c'));
    client.send(tds::framePackets(tds::PacketType::SqlBatch, ucs2(batch), 0));
    const auto reply = client.reply();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->startsWith(QByteArray::fromHex("81")));
}

TEST(SqlsimWire, ConnectionsBeyondTheBoundAreClosed)
{
    ServerOptions options;
    options.populate = false;
    options.maxConnections = 3;
    SimServer server(options);
    server.start(0);
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<RawClient>(server.port()));
        ASSERT_TRUE(clients.back()->logIn());
    }
    RawClient refused(server.port());
    EXPECT_TRUE(refused.closedByServer());

    clients.pop_back();
    ASSERT_TRUE(settlesAt(server, 2));
    RawClient admitted(server.port());
    EXPECT_TRUE(admitted.logIn());
}

TEST(SqlsimWire, HugeNamesInMessagesAreCutSoTheTokenLengthHolds)
{
    SimFixture sim;
    RawClient client(sim.port());
    ASSERT_TRUE(client.logIn());
    const QString name(40000, u'n');
    client.send(tds::framePackets(tds::PacketType::SqlBatch,
                                  ucs2(QStringLiteral("SELECT * FROM [%1]").arg(name)), 0));
    const auto reply = client.reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(soleMessageBeforeDone(*reply),
              QStringLiteral("Invalid object name '%1'.").arg(name.left(128)));
    // The cut keeps a character outside the Basic Multilingual Plane whole or leaves it out.
    client.send(tds::framePackets(tds::PacketType::SqlBatch,
                                  ucs2(QStringLiteral("RAISERROR(N'%1\U0001F600tail', 16, 1)").arg(QString(2046, u'm'))), 0));
    const auto raised = client.reply();
    ASSERT_TRUE(raised);
    EXPECT_EQ(soleMessageBeforeDone(*raised), QString(2046, u'm'));
    // The stream is still in step: the next batch gets its own answer.
    client.send(packet(0x01, ucs2(QStringLiteral("SELECT @@SPID"))));
    const auto next = client.reply();
    ASSERT_TRUE(next);
    EXPECT_TRUE(next->startsWith(QByteArray::fromHex("81")));

    RawClient stranger(sim.port());
    stranger.send(packet(0x12, preLogin()));
    ASSERT_TRUE(stranger.reply());
    LoginFields fields;
    fields.user = QString(65535, u'u');
    stranger.send(tds::framePackets(tds::PacketType::Login7, login7(fields), 0));
    const auto refusal = stranger.reply();
    ASSERT_TRUE(refusal);
    EXPECT_EQ(soleMessageBeforeDone(*refusal),
              QStringLiteral("Login failed for user '%1'.").arg(QString(128, u'u')));
}

TEST(SqlsimWire, BadSecurityExchangesEndTheirOwnSessionWithAnErrorInTheLog)
{
    KerberosRealm realm;
    sqlsim::SecurityOptions security;
    security.keytab = realm.path(QStringLiteral("sqlsim.keytab"));
    security.certificateFile = realm.path(QStringLiteral("sqlsim.pem"));
    security.keyFile = realm.path(QStringLiteral("sqlsim.key"));
    makeSelfSignedCertificate(security.certificateFile, security.keyFile);
    SimFixture sim(ServerVersion::Sql2000, false, security);
    realm.addPrincipal(QStringLiteral("MSSQLSvc/127.0.0.1:%1").arg(sim.port()), security.keytab);
    RawClient bystander(sim.port());
    ASSERT_TRUE(bystander.logIn());

    LoginFields garbageToken;
    garbageToken.integrated = true;
    garbageToken.sspi = QByteArray(40, 'Z');
    LoginFields noToken;
    noToken.integrated = true;
    LoginFields tokenBeyond = garbageToken;
    tokenBeyond.sspiLength = 4000;
    const QByteArray asksTls = packet(0x12, preLoginAsking(1));
    // A ClientHello record announcing 512 bytes, of which a handful come.
    const QByteArray halfHello = packet(0x12, QByteArray::fromHex("16 0303 0200 01 0001fc 0303 00112233"));
    const QString refusal = QStringLiteral("Login failed for user '(null)'. Reason: Not associated with a trusted SQL "
                                           "Server connection.");
    const struct Case {
        const char* what;
        QByteArray bytes;
        bool refused;   // the client hears 18452 before the link closes
        QString logged;
    } cases[] = {
        {"garbage SSPI bytes", packet(0x12, preLogin()) + packet(0x10, login7(garbageToken)), true,
         QStringLiteral("Windows login refused")},
        {"integrated login without SSPI bytes", packet(0x12, preLogin()) + packet(0x10, login7(noToken)), true,
         QStringLiteral("carries no SSPI data")},
        {"SSPI token larger than the packet", packet(0x12, preLogin()) + packet(0x10, login7(tokenBeyond)), false,
         QStringLiteral("malformed LOGIN7")},
        {"TLS handshake cut halfway", asksTls + halfHello, false, QStringLiteral("TLS handshake")},
        {"garbage instead of a TLS record", asksTls + packet(0x12, QByteArray(64, 'Z')), false,
         QStringLiteral("TLS handshake")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ServerLog log;
        RawClient peer(sim.port());
        peer.send(c.bytes);
        peer.endWriting();
        std::optional<QString> message;
        while (const auto reply = peer.reply())
            message = soleMessageBeforeDone(*reply);
        EXPECT_EQ(message, c.refused ? std::optional(refusal) : std::nullopt);
        EXPECT_TRUE(settlesAt(sim.server(), 1));
        EXPECT_TRUE(log.last().contains(c.logged)) << log.last().toStdString();
    }

    bystander.send(packet(0x01, ucs2(QStringLiteral("SELECT @@VERSION"))));
    const auto reply = bystander.reply();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->contains(ucs2(QStringLiteral("8.00.2039"))));
}

TEST(SqlsimWire, PreLoginAnswersEncryptionByTheCertificateAndTheClientsWish)
{
    QTemporaryDir dir;
    sqlsim::SecurityOptions security;
    security.certificateFile = dir.filePath(QStringLiteral("sqlsim.pem"));
    security.keyFile = dir.filePath(QStringLiteral("sqlsim.key"));
    makeSelfSignedCertificate(security.certificateFile, security.keyFile);
    constexpr std::uint8_t off = 0, on = 1, notSupported = 2, required = 3;
    const struct Case {
        bool certificate;
        bool demands;
        std::uint8_t wish;
        std::uint8_t answer;
        bool linkStaysOpen;   // false: the server ends the session after its answer
    } cases[] = {
        {false, false, on, notSupported, true},   {false, false, off, notSupported, true},
        {true, false, notSupported, notSupported, true}, {true, false, off, off, true},
        {true, false, on, on, true},              {true, false, required, on, true},
        {true, true, off, required, true},        {true, true, on, on, true},
        {true, true, notSupported, required, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "certificate " << c.certificate << ", required " << c.demands
                                        << ", wish " << int(c.wish));
        sqlsim::SecurityOptions options = c.certificate ? security : sqlsim::SecurityOptions{};
        options.requireEncryption = c.demands;
        SimFixture sim(ServerVersion::Sql2000, false, options);
        RawClient peer(sim.port());
        peer.send(packet(0x12, preLoginAsking(c.wish)));
        const auto reply = peer.reply();
        ASSERT_TRUE(reply);
        const int encryptionAt = (std::uint8_t((*reply)[6]) << 8) | std::uint8_t((*reply)[7]);
        EXPECT_EQ(std::uint8_t((*reply)[encryptionAt]), c.answer);
        EXPECT_TRUE(settlesAt(sim.server(), c.linkStaysOpen ? 1 : 0));
    }
}
