// A server that answers with what no SQL Server sends: the client must give a clear error and
// keep its connection, never compute with the impossible value; and a process list that is
// malformed, empty of values or huge still loads, shows, sorts and lists, or fails clearly.
#include "Connection.h"
#include "DbError.h"
#include "FilterRow.h"
#include "MessageSeam.h"
#include "ProcessQueries.h"
#include "ProcessTab.h"
#include "Query.h"
#include "ResultGrid.h"
#include "ValueList.h"
#include "state/ProductVersion.h"
#include "tds/Bytes.h"
#include "tds/Packet.h"
#include "tds/PreLogin.h"
#include "tds/ReplyEncoder.h"
#include "tds/TokenWriter.h"
#include "tds/TypeEncoding.h"
#include "WindowParts.h"

#include <QDate>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace velmora;
using namespace sqlsim::tds;

namespace {

// Logs any client in and answers every batch with the tokens `answer` gives for its text; the
// batches `trickled` picks are answered a byte every kByteGap, each byte well within any read
// time-out.
class HostileServer {
public:
    using Answer = std::function<QByteArray(const QString& batch)>;
    static constexpr int kByteGap = 100;   // ms

    explicit HostileServer(Answer answer, std::function<bool(const QString& batch)> trickled = {})
        : m_answer(std::move(answer))
        , m_trickled(std::move(trickled))
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
        std::uint8_t type = 0;
        QByteArray payload;
        while (readRequest(client, type, payload)) {
            QByteArray reply;
            bool trickled = false;
            if (type == std::uint8_t(PacketType::PreLogin)) {
                reply = preLoginReply(8, 0, 2039, 1);
            } else if (type == std::uint8_t(PacketType::Login7)) {
                reply = loginReply();
            } else if (type == std::uint8_t(PacketType::SqlBatch)) {
                const QString batch = getUcs2(payload.constData(), int(payload.size() / 2));
                reply = m_answer(batch);
                trickled = m_trickled && m_trickled(batch);
            } else if (type == std::uint8_t(PacketType::Attention)) {
                reply = attentionAcknowledgement();
            } else {
                return;
            }
            const QByteArray bytes = framePackets(PacketType::Reply, reply, 51);
            if (trickled)
                trickle(client, bytes);
            else
                ::send(client, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
        }
    }

    /// Reads one request whole; false when the client has gone.
    static bool readRequest(int client, std::uint8_t& type, QByteArray& payload)
    {
        payload.clear();
        for (bool last = false; !last;) {
            char header[kHeaderSize];
            if (!readExact(client, header, kHeaderSize))
                return false;
            type = std::uint8_t(header[0]);
            last = header[1] & kStatusEndOfMessage;
            QByteArray data(((std::uint8_t(header[2]) << 8) | std::uint8_t(header[3])) - kHeaderSize, '\0');
            if (!readExact(client, data.data(), int(data.size())))
                return false;
            payload += data;
        }
        return true;
    }

    /// Sends a byte a gap. An attention in between gets the rest at once and then its
    /// acknowledgement, as a server ends the packet it is sending before it answers the cancel.
    static void trickle(int client, const QByteArray& bytes)
    {
        for (qsizetype sent = 0; sent < bytes.size(); ++sent) {
            if (::send(client, bytes.constData() + sent, 1, MSG_NOSIGNAL) != 1)
                return;
            pollfd request{client, POLLIN, 0};
            if (::poll(&request, 1, kByteGap) == 0)
                continue;
            std::uint8_t type = 0;
            QByteArray payload;
            if (!readRequest(client, type, payload) || type != std::uint8_t(PacketType::Attention))
                return;
            const QByteArray rest = bytes.mid(sent + 1) + framePackets(PacketType::Reply, attentionAcknowledgement(), 51);
            ::send(client, rest.constData(), size_t(rest.size()), MSG_NOSIGNAL);
            return;
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

    Answer m_answer;
    std::function<bool(const QString&)> m_trickled;
    int m_fd = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

QString connectionString(const HostileServer& server)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Password=velmora;User ID=sa;Initial Catalog=master;"
                          "Data Source=127.0.0.1,%1").arg(server.port());
}

// A connection to `server` and one query on it with its text and declared fields.
struct ClientOf {
    ClientOf(const HostileServer& server, const QString& sql, std::vector<FieldDef> fields)
    {
        connection.setConnectionString(connectionString(server));
        connection.open();
        query.setConnection(&connection);
        query.setSql({sql});
        query.setFields(std::move(fields));
    }
    Connection connection;
    Query query;
};

} // namespace

TEST(HostileServer, ADateOfYearZeroIsABindingErrorAndTheConnectionGoesOn)
{
    // 31 December of the year before year 1, which the driver reads as year 0.
    const auto days = qint32(QDate(-1, 12, 31).toJulianDay() - QDate(1900, 1, 1).toJulianDay());
    // "Select * from Hostile" gets one datetime column whose row holds that day at noon.
    HostileServer server([days](const QString& batch) {
        QByteArray reply;
        TokenWriter writer(reply);
        if (batch.contains(QStringLiteral("Hostile"))) {
            writer.columnMetadata({{QStringLiteral("stamp"), sqlsim::SqlType::DateTime}});
            putU8(reply, 0xD1);                    // ROW: DATETIMN of 8 bytes
            putU8(reply, 8);
            putU32(reply, std::uint32_t(days));
            putU32(reply, 300u * 3600 * 12);
            writer.done(DoneToken::Done, DoneCount, CmdSelect, 1);
        } else {
            writer.done(DoneToken::Done, DoneFinal, CmdNone, 0);
        }
        return reply;
    });
    ClientOf client(server, QStringLiteral("Select * from Hostile"), {{"stamp", FieldKind::DateTime}});
    Connection& connection = client.connection;
    Query& query = client.query;
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

// The driver counts its time-out for each read; an answer trickled a byte at a time must still
// end at the time-out of the whole call, cancelled on the server, and the connection go on.
TEST(HostileServer, ATrickledAnswerEndsAtTheTimeOutOfTheWholeCall)
{
    const auto answer = [](const QString& batch) {
        QByteArray reply;
        TokenWriter writer(reply);
        if (batch.contains(QStringLiteral("Trickle"))) {
            writer.columnMetadata({{QStringLiteral("n"), sqlsim::SqlType::Int}});
            writer.row({{QStringLiteral("n"), sqlsim::SqlType::Int}}, {qint64(1)});
            writer.done(DoneToken::Done, DoneCount, CmdSelect, 1);
        } else {
            writer.done(DoneToken::Done, DoneFinal, CmdNone, 0);
        }
        return reply;
    };
    HostileServer server(answer, [](const QString& batch) { return batch.contains(QStringLiteral("Trickle")); });
    ClientOf client(server, QStringLiteral("Select n from Trickle"), {{"n", FieldKind::Integer}});
    Connection& connection = client.connection;
    Query& query = client.query;
    query.setCommandTimeout(1);   // the answer takes some 40 bytes: four seconds
    try {
        query.open();
        FAIL() << "read the whole trickled answer";
    } catch (const DbError& e) {
        EXPECT_EQ(e.cause(), DbError::Cause::Link);
        EXPECT_EQ(e.text(), QStringLiteral("[FreeTDS][SQL Server]Timeout expired\n"
                                           "[FreeTDS][SQL Server]Operation was cancelled"));
    }
    EXPECT_FALSE(query.isActive());
    EXPECT_TRUE(connection.isOpen());
    EXPECT_NO_THROW(connection.execute(QStringLiteral("SET NOCOUNT ON")));
}

namespace {

// The process list of SQL Server 2000 as a hostile server may send it: each declared field as
// a column of its kind (text as nvarchar(128)), with values that a test then spoils.
struct ProcessList {
    std::vector<sqlsim::Column> columns;
    std::vector<std::vector<sqlsim::Value>> rows;
    std::vector<sqlsim::Column> described;   // what the metadata claims, when not `columns`

    int column(const char* name) const
    {
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i].name == QLatin1String(name))
                return int(i);
        return -1;
    }
};

sqlsim::Column columnFor(const FieldDef& field)
{
    using sqlsim::SqlType;
    switch (field.kind) {
    case FieldKind::SmallInt: return {field.name, SqlType::SmallInt};
    case FieldKind::Integer: return {field.name, SqlType::Int};
    case FieldKind::LargeInt: return {field.name, SqlType::BigInt};
    case FieldKind::DateTime: return {field.name, SqlType::DateTime};
    case FieldKind::Bytes: return {field.name, SqlType::Binary, field.size};
    default: return {field.name, SqlType::NVarChar, 128};
    }
}

sqlsim::Value plainValue(const sqlsim::Column& column, int row)
{
    using sqlsim::SqlType;
    switch (column.type) {
    case SqlType::SmallInt: return qint64(row % 30000 + 1);
    case SqlType::Int:
    case SqlType::BigInt: return qint64(row + 1);
    case SqlType::DateTime: return QDateTime(QDate(2004, 1, 15), QTime(10, 0)).addSecs(row);
    case SqlType::Binary: return QByteArray(column.size, '\x01');
    default: return QStringLiteral("v%1").arg(row % 50);
    }
}

ProcessList plainProcessList(int rows)
{
    ProcessList list;
    for (const FieldDef& field : processFields(ServerFamily::Sql2000))
        list.columns.push_back(columnFor(field));
    for (int row = 0; row < rows; ++row) {
        std::vector<sqlsim::Value> values;
        for (const sqlsim::Column& column : list.columns)
            values.push_back(plainValue(column, row));
        list.rows.push_back(std::move(values));
    }
    return list;
}

// The process tab on a connection to a hostile server that answers the process batch with
// `list`, each filter value list's batch with its one empty column, and anything else with DONE.
class HostileProcessList : public ::testing::Test {
protected:
    HostileProcessList()
    {
        connection.setConnectionString(connectionString(server));
        connection.open();
        tab.setConnectedState(true);
        tab.openAfterConnect(ServerFamily::Sql2000);
    }
    ~HostileProcessList() override { setMessageHandler(previous); }

    void answerWith(ProcessList answer)
    {
        std::lock_guard lock(mutex);
        list = std::move(answer);
    }
    QByteArray reply(const QString& batch)
    {
        static const QRegularExpression valueList(QStringLiteral("^create Table #temp\\((\\w+) ?(int|DateTime|varchar\\(250\\))\\)"));
        QByteArray tokens;
        TokenWriter writer(tokens);
        if (batch.contains(QStringLiteral("sysprocesses"))) {
            std::lock_guard lock(mutex);
            writer.columnMetadata(list.described.empty() ? list.columns : list.described);
            for (const auto& row : list.rows)
                writer.row(list.columns, row);
            writer.done(DoneToken::Done, DoneCount, CmdSelect, qint64(list.rows.size()));
        } else if (const QRegularExpressionMatch match = valueList.match(batch); match.hasMatch()) {
            const QString type = match.captured(2);
            writer.columnMetadata({type == u"int"        ? sqlsim::Column{match.captured(1), sqlsim::SqlType::Int}
                                   : type == u"DateTime" ? sqlsim::Column{match.captured(1), sqlsim::SqlType::DateTime}
                                                         : sqlsim::Column{match.captured(1), sqlsim::SqlType::VarChar, 250}});
            writer.done(DoneToken::Done, DoneCount, CmdSelect, 0);
        } else {
            writer.done(DoneToken::Done, DoneFinal, CmdNone, 0);
        }
        return tokens;
    }

    Query& processes() { return *tab.procSource(); }
    ResultGrid& grid() { return *velmora::testing::part<ResultGrid>(tab, "processGrid"); }
    /// Paints the tab with its grid and filter row, as the screen would.
    void paint()
    {
        tab.resize(900, 400);
        tab.grab();
    }
    /// Sorts by every field both ways, then applies F3; the lists it builds, by field.
    std::map<QString, QStringList> sortEveryWayAndListValues()
    {
        for (const FieldDef& field : processes().fields()) {
            for (const char* order : {"", " DESC"}) {
                processes().setSort(field.name + QLatin1String(order));
                paint();
            }
        }
        tab.filterValuesKey();
        paint();
        std::map<QString, QStringList> lists;
        for (const GridColumn& column : grid().columns())
            if (column.filter.valueList)
                lists[column.fieldName] = *column.filter.valueList;
        return lists;
    }

    std::mutex mutex;
    ProcessList list = plainProcessList(3);
    HostileServer server{[this](const QString& batch) { return reply(batch); }};
    Connection connection;
    ProcessTab tab{&connection};
    QStringList messages;
    MessageHandler previous = setMessageHandler([this](const MessageRequest& request) {
        messages << request.text;
        return QMessageBox::Ok;
    });
};

} // namespace

TEST_F(HostileProcessList, ColumnsThatDoNotFitTheListNameTheFieldAndTheConnectionGoesOn)
{
    using sqlsim::SqlType;
    const struct {
        const char* field;
        sqlsim::Column replacement;   // an empty name: the column is left out
        QString message;
    } cases[] = {
        {"hostname", {}, QStringLiteral("Field 'hostname' not found")},
        {"spid", {QStringLiteral("spid"), SqlType::NVarChar, 10},
         QStringLiteral("Type mismatch for field 'spid', expecting: SmallInt actual: WideString")},
        {"physical_io", {QStringLiteral("physical_io"), SqlType::Int},
         QStringLiteral("Type mismatch for field 'physical_io', expecting: LargeInt actual: Integer")},
        {"login_time", {QStringLiteral("login_time"), SqlType::Float},
         QStringLiteral("Type mismatch for field 'login_time', expecting: DateTime actual: Float")},
        {"waittype", {QStringLiteral("waittype"), SqlType::VarBinary, 2},
         QStringLiteral("Type mismatch for field 'waittype', expecting: Bytes actual: VarBytes")},
        {"sid", {QStringLiteral("sid"), SqlType::Binary, 20},
         QStringLiteral("Size mismatch for field 'sid', expecting: 86 actual: 20")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        ProcessList spoiled = plainProcessList(3);
        const int at = spoiled.column(c.field);
        if (c.replacement.name.isEmpty()) {
            spoiled.columns.erase(spoiled.columns.begin() + at);
            for (auto& row : spoiled.rows)
                row.erase(row.begin() + at);
        } else {
            spoiled.columns[size_t(at)] = c.replacement;
            for (auto& row : spoiled.rows)
                row[size_t(at)] = plainValue(c.replacement, 0);
        }
        answerWith(spoiled);
        try {
            tab.refreshKey();
            ADD_FAILURE() << "opened";
        } catch (const DbError& e) {
            EXPECT_EQ(e.cause(), DbError::Cause::Binding);
            EXPECT_EQ(e.text(), c.message);
        }
        EXPECT_FALSE(processes().isActive());
        EXPECT_EQ(grid().model()->rowCount(), 0);
        EXPECT_EQ(tab.currentSpid(), 0);

        answerWith(plainProcessList(3));
        tab.refreshKey();
        EXPECT_EQ(processes().recordCount(), 3) << "the same connection reads the next list";
    }
}

// The driver reads a value longer than its column's description up to the described size;
// the rows after it and the next batch must still be read in step.
TEST_F(HostileProcessList, AValueLongerThanItsColumnLeavesTheStreamInStep)
{
    ProcessList lying = plainProcessList(3);
    const int hostname = lying.column("hostname");
    lying.described = lying.columns;
    lying.described[size_t(hostname)].size = 10;
    lying.columns[size_t(hostname)].size = 4000;
    lying.rows[1][size_t(hostname)] = QString(4000, u'h');
    answerWith(lying);
    tab.refreshKey();
    ASSERT_EQ(processes().recordCount(), 3);
    const int field = processes().fieldIndex(QStringLiteral("hostname"));
    EXPECT_EQ(processes().valueAt(1, field).toString(), QString(10, u'h'));
    EXPECT_EQ(processes().valueAt(2, field).toString(), QStringLiteral("v2"));
    EXPECT_EQ(processes().valueAt(2, processes().fieldIndex(QStringLiteral("loginame"))).toString(), QStringLiteral("v2"));
    answerWith(plainProcessList(5));
    tab.refreshKey();
    EXPECT_EQ(processes().recordCount(), 5);
}

TEST_F(HostileProcessList, UndeclaredColumnsInAnyOrderAreLeftAside)
{
    ProcessList wider = plainProcessList(3);
    std::reverse(wider.columns.begin(), wider.columns.end());
    for (auto& row : wider.rows)
        std::reverse(row.begin(), row.end());
    const sqlsim::Column extras[] = {{QStringLiteral("extra_text"), sqlsim::SqlType::NVarChar, 4000},
                                     {QStringLiteral("extra_number"), sqlsim::SqlType::Int},
                                     {QStringLiteral("extra_bytes"), sqlsim::SqlType::VarBinary, 8000}};
    for (const sqlsim::Column& extra : extras) {
        wider.columns.insert(wider.columns.begin() + 5, extra);
        for (auto& row : wider.rows)
            row.insert(row.begin() + 5, extra.type == sqlsim::SqlType::NVarChar ? sqlsim::Value(QString(4000, u'e'))
                                        : extra.type == sqlsim::SqlType::Int  ? sqlsim::Value(qint64(-1))
                                                                              : sqlsim::Value(QByteArray(8000, 'b')));
    }
    answerWith(wider);
    tab.refreshKey();
    ASSERT_EQ(processes().recordCount(), 3);
    processes().last();
    EXPECT_EQ(processes().value(QStringLiteral("spid")).toInt(), 3);
    EXPECT_EQ(processes().value(QStringLiteral("hostname")).toString(), QStringLiteral("v2"));
    EXPECT_EQ(processes().value(QStringLiteral("sid")).toByteArray(), QByteArray(86, '\x01'));
    EXPECT_EQ(processes().fieldIndex(QStringLiteral("extra_text")), -1);
    paint();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(HostileProcessList, NullsInEveryColumnAreShownSortedAndListed)
{
    ProcessList nulls = plainProcessList(0);
    nulls.rows.assign(4, std::vector<sqlsim::Value>(nulls.columns.size()));
    answerWith(nulls);
    tab.refreshKey();
    ASSERT_EQ(processes().recordCount(), 4);
    EXPECT_EQ(tab.currentSpid(), 0);
    const std::map<QString, QStringList> lists = sortEveryWayAndListValues();
    EXPECT_EQ(lists.size(), grid().columns().size());
    for (const auto& [field, entries] : lists)
        EXPECT_EQ(entries, QStringList{QString()}) << field.toStdString();   // one empty entry for the nulls
    tab.refreshKey();
    EXPECT_EQ(processes().recordCount(), 4);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(HostileProcessList, HugeTextsAreHeldWholeAndListedCut)
{
    ProcessList huge = plainProcessList(3);
    for (sqlsim::Column& column : huge.columns)
        if (column.type == sqlsim::SqlType::NVarChar)
            column.size = 4000;
    for (int row = 0; row < 3; ++row)
        for (size_t i = 0; i < huge.columns.size(); ++i)
            if (huge.columns[i].type == sqlsim::SqlType::NVarChar)
                huge.rows[size_t(row)][i] = QString(3999, QChar(u'а' + row)) + QString::number(row);
    answerWith(huge);
    tab.refreshKey();
    ASSERT_EQ(processes().recordCount(), 3);
    EXPECT_EQ(processes().value(QStringLiteral("hostname")).toString(), QString(3999, u'а') + u'0');
    const std::map<QString, QStringList> lists = sortEveryWayAndListValues();
    EXPECT_EQ(lists.at(QStringLiteral("hostname")),
              (QStringList{QString(valueListTextWidth, u'а'), QString(valueListTextWidth, u'б'),
                           QString(valueListTextWidth, u'в')}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(HostileProcessList, AHundredThousandRowsLoadSortFilterAndList)
{
    answerWith(plainProcessList(100000));
    tab.refreshKey();
    ASSERT_EQ(processes().recordCount(), 100000);
    processes().setSort(QStringLiteral("cpu DESC"));
    processes().first();
    EXPECT_EQ(processes().value(QStringLiteral("cpu")).toInt(), 100000);
    processes().setFilter(QStringLiteral("[cpu] <= 10 or [hostname] = 'v7'"));
    EXPECT_EQ(processes().recordCount(), 10 + 2000 - 1);
    processes().setFilter(QString());
    tab.filterValuesKey();
    paint();
    const auto& columns = grid().columns();
    const auto hostname = std::find_if(columns.begin(), columns.end(),
                                       [](const GridColumn& c) { return c.fieldName == u"hostname"; });
    ASSERT_NE(hostname, columns.end());
    EXPECT_EQ(hostname->filter.valueList->size(), 50);
    const auto spid = std::find_if(columns.begin(), columns.end(),
                                   [](const GridColumn& c) { return c.fieldName == u"spid"; });
    EXPECT_EQ(spid->filter.valueList->size(), 30000);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

// An error the server sends after the rows of the first result reaches the driver only when the
// results are read to their end: the call fails with it, the rows read are not taken for an
// answer, and the connection goes on.
TEST(HostileServer, AnErrorAfterTheFirstResultFailsTheCall)
{
    HostileServer server([](const QString& batch) {
        QByteArray reply;
        TokenWriter writer(reply);
        if (batch.contains(QStringLiteral("Late"))) {
            const std::vector<sqlsim::Column> columns{{QStringLiteral("n"), sqlsim::SqlType::Int}};
            writer.columnMetadata(columns);
            writer.row(columns, {qint64(1)});
            writer.done(DoneToken::Done, DoneMore | DoneCount, CmdSelect, 1);
            writer.message({50000, 1, 16, QStringLiteral("Late failure."), {}, 2});
            writer.done(DoneToken::Done, DoneError, CmdNone, 0);
        } else {
            writer.done(DoneToken::Done, DoneFinal, CmdNone, 0);
        }
        return reply;
    });
    ClientOf client(server, QStringLiteral("Select n from Late"), {{"n", FieldKind::Integer}});
    Connection& connection = client.connection;
    Query& query = client.query;
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"Query::open", [&] { query.open(); }},
        {"Connection::execute", [&] { connection.execute(QStringLiteral("Select n from Late")); }},
    };
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        try {
            call();
            ADD_FAILURE() << "succeeded";
        } catch (const DbError& e) {
            EXPECT_EQ(e.cause(), DbError::Cause::Server);
            EXPECT_EQ(e.text(), QStringLiteral("[FreeTDS][SQL Server]Late failure."));
        }
        EXPECT_FALSE(query.isActive());
        EXPECT_NO_THROW(connection.execute(QStringLiteral("SET NOCOUNT ON")));
    }
}
