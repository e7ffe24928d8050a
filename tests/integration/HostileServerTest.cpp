// A server that answers with what no SQL Server sends: the client must give a clear error and
// keep its connection, never compute with the impossible value.
#include "Connection.h"
#include "DbError.h"
#include "Query.h"
#include "engine/ProductVersion.h"
#include "tds/Bytes.h"
#include "tds/Packet.h"
#include "tds/PreLogin.h"
#include "tds/ReplyEncoder.h"
#include "tds/TokenWriter.h"
#include "tds/TypeEncoding.h"

#include <QDate>
#include <gtest/gtest.h>

#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace velmora;
using namespace sqlsim::tds;

namespace {

// Logs any client in and answers the batch "Select * from Hostile" with one datetime column
// whose single row holds `days` since 1900-01-01 at noon; any other batch gets a bare DONE.
class HostileServer {
public:
    explicit HostileServer(qint32 days) : m_days(days)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_fd, 4);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            for (int client; (client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
                serve(client);
                ::close(client);
            }
        });
    }
    ~HostileServer()
    {
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        ::close(m_fd);
    }

    quint16 port() const { return m_port; }

private:
    void serve(int client)
    {
        for (;;) {
            QByteArray payload;
            std::uint8_t type = 0;
            for (bool last = false; !last;) {
                char header[kHeaderSize];
                if (!readExact(client, header, kHeaderSize))
                    return;
                type = std::uint8_t(header[0]);
                last = header[1] & kStatusEndOfMessage;
                QByteArray data(((std::uint8_t(header[2]) << 8) | std::uint8_t(header[3])) - kHeaderSize, '\0');
                if (!readExact(client, data.data(), int(data.size())))
                    return;
                payload += data;
            }
            QByteArray reply;
            if (type == std::uint8_t(PacketType::PreLogin))
                reply = preLoginReply(8, 0, 2039, 1);
            else if (type == std::uint8_t(PacketType::Login7))
                reply = loginReply();
            else if (type == std::uint8_t(PacketType::SqlBatch))
                reply = batchReply(getUcs2(payload.constData(), int(payload.size() / 2)));
            else if (type == std::uint8_t(PacketType::Attention))
                reply = attentionAcknowledgement();
            else
                return;
            const QByteArray bytes = framePackets(PacketType::Reply, reply, 51);
            ::send(client, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
        }
    }

    static QByteArray loginReply()
    {
        QByteArray reply;
        TokenWriter writer(reply);
        writer.envChange(EnvChange::Database, QStringLiteral("master"), QStringLiteral("master"));
        writer.collationChange(defaultCollation());
        writer.loginAck(QStringLiteral("Microsoft SQL Server"),
                        sqlsim::productVersion(sqlsim::ServerVersion::Sql2000).wire());
        writer.envChange(EnvChange::PacketSize, QString::number(kPacketSize), QString::number(kPacketSize));
        writer.done(DoneToken::Done, DoneFinal, CmdNone, 0);
        return reply;
    }

    QByteArray batchReply(const QString& batch) const
    {
        QByteArray reply;
        TokenWriter writer(reply);
        if (batch.contains(QStringLiteral("Hostile"))) {
            writer.columnMetadata({{QStringLiteral("stamp"), sqlsim::SqlType::DateTime}});
            putU8(reply, 0xD1);                    // ROW: DATETIMN of 8 bytes
            putU8(reply, 8);
            putU32(reply, std::uint32_t(m_days));
            putU32(reply, 300u * 3600 * 12);
            writer.done(DoneToken::Done, DoneCount, CmdSelect, 1);
        } else {
            writer.done(DoneToken::Done, DoneFinal, CmdNone, 0);
        }
        return reply;
    }

    static bool readExact(int fd, char* buffer, int size)
    {
        for (int done = 0; done < size;) {
            const ssize_t got = ::recv(fd, buffer + done, size_t(size - done), 0);
            if (got <= 0)
                return false;
            done += int(got);
        }
        return true;
    }

    qint32 m_days;
    int m_fd = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

} // namespace

TEST(HostileServer, ADateOfYearZeroIsABindingErrorAndTheConnectionGoesOn)
{
    // 31 December of the year before year 1, which the driver reads as year 0.
    const auto days = qint32(QDate(-1, 12, 31).toJulianDay() - QDate(1900, 1, 1).toJulianDay());
    HostileServer server(days);
    Connection connection;
    connection.setConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Password=velmora;User ID=sa;"
                                                  "Initial Catalog=master;Data Source=127.0.0.1,%1")
                                       .arg(server.port()));
    connection.open();
    Query query;
    query.setConnection(&connection);
    query.setSql({QStringLiteral("Select * from Hostile")});
    query.setFields({{"stamp", FieldKind::DateTime}});
    try {
        query.open();
        FAIL() << query.value("stamp").toString().toStdString();
    } catch (const DbError& e) {
        EXPECT_EQ(e.cause(), DbError::Cause::Binding);
        EXPECT_EQ(e.text(), QStringLiteral("The server sent an impossible date (year 0, month 12, day 31)."));
    }
    EXPECT_FALSE(query.isActive());
    EXPECT_TRUE(connection.isOpen());
    EXPECT_NO_THROW(connection.execute(QStringLiteral("SET NOCOUNT ON")));
}
