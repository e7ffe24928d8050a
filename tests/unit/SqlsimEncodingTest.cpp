// The simulator's wire encoding: packet framing, column types and values, and the token
// stream of a reply (done flags, procedures, errors, database changes).
#include "tds/Packet.h"
#include "tds/ReplyEncoder.h"
#include "tds/TypeEncoding.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace sqlsim;
using namespace sqlsim::tds;

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

std::uint16_t u16(const QByteArray& bytes, qsizetype at)
{
    return std::uint16_t(std::uint8_t(bytes[at]) | (std::uint8_t(bytes[at + 1]) << 8));
}
std::uint32_t u32(const QByteArray& bytes, qsizetype at)
{
    return u16(bytes, at) | (std::uint32_t(u16(bytes, at + 2)) << 16);
}

// A readable summary of a token stream whose results have one NOT NULL int column named "n".
QString summarize(const QByteArray& tokens)
{
    QStringList out;
    qsizetype at = 0;
    while (at < tokens.size()) {
        const auto token = std::uint8_t(tokens[at]);
        switch (token) {
        case 0x81:   // COLMETADATA: count, then usertype, flags, INT4, name "n"
            out << QStringLiteral("COLMETADATA");
            at += 3 + u16(tokens, at + 1) * (2 + 2 + 1 + 1 + 2);
            break;
        case 0xD1:
            out << QStringLiteral("ROW(%1)").arg(qint32(u32(tokens, at + 1)));
            at += 5;
            break;
        case 0xFD:
        case 0xFE:
        case 0xFF: {
            const char* names[] = {"DONE", "DONEPROC", "DONEINPROC"};
            out << QStringLiteral("%1(%2,%3)").arg(QLatin1String(names[token - 0xFD]))
                       .arg(u16(tokens, at + 1), 0, 16).arg(u32(tokens, at + 5));
            at += 9;
            break;
        }
        case 0x79:
            out << QStringLiteral("RETURNSTATUS(%1)").arg(qint32(u32(tokens, at + 1)));
            at += 5;
            break;
        case 0xAA:
        case 0xAB:
            out << QStringLiteral("%1(%2)").arg(token == 0xAA ? "ERROR" : "INFO").arg(u32(tokens, at + 3));
            at += 3 + u16(tokens, at + 1);
            break;
        case 0xE3: {   // ENVCHANGE database: type, new, old
            const int newLength = std::uint8_t(tokens[at + 4]);
            QString value;
            for (int i = 0; i < newLength; ++i)
                value += QChar(u16(tokens, at + 5 + 2 * i));
            out << QStringLiteral("ENVCHANGE(%1)").arg(value);
            at += 3 + u16(tokens, at + 1);
            break;
        }
        default:
            out << QStringLiteral("?%1").arg(token, 2, 16);
            at = tokens.size();
        }
    }
    return out.join(u' ');
}

ResultSet numbers(std::initializer_list<int> values)
{
    ResultSet result;
    result.columns = {{QStringLiteral("n"), SqlType::Int, 0, 0, 0, false}};
    for (int value : values)
        result.rows.push_back({Value(qint64(value))});
    return result;
}

Message failure(int number) { return Message{number, 1, 16, QStringLiteral("failed"), {}, 1}; }

} // namespace

TEST(SqlsimPackets, LongReplySplitsIntoNumberedPacketsWithEndOfMessageOnLast)
{
    const QByteArray payload(10000, 'x');
    const QByteArray framed = framePackets(PacketType::Reply, payload, 53);
    ASSERT_EQ(framed.size(), 10000 + 3 * kHeaderSize);
    const int lengths[] = {4096, 4096, 10000 - 2 * 4088 + 8};
    qsizetype at = 0;
    for (int i = 0; i < 3; ++i) {
        const auto header = parseHeader(framed.constData() + at);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->type, 0x04);
        EXPECT_EQ(header->length, lengths[i]);
        EXPECT_EQ(header->spid, 53);
        EXPECT_EQ(header->packetId, i + 1);
        EXPECT_EQ(header->status & kStatusEndOfMessage, i == 2 ? 1 : 0);
        at += header->length;
    }
    const QByteArray cut = framePackets(PacketType::Reply, QByteArray(10, 'x'), 53, false);
    EXPECT_EQ(cut[1] & kStatusEndOfMessage, 0);
    const QByteArray empty = framePackets(PacketType::Reply, {}, 1);
    EXPECT_EQ(empty, hex("04 01 0008 0001 01 00"));
}

TEST(SqlsimPackets, HeaderLengthOutsideTheProtocolIsRejected)
{
    EXPECT_FALSE(parseHeader(hex("01 01 0007 0000 01 00").constData()));
    EXPECT_FALSE(parseHeader(hex("01 01 8000 0000 01 00").constData()));
    EXPECT_TRUE(parseHeader(hex("01 01 0008 0000 01 00").constData()));
}

TEST(SqlsimPackets, AssemblerJoinsPacketsOfOneTypeOnly)
{
    MessageAssembler assembler;
    PacketHeader first{0x01, 0, 12, 0, 1};
    PacketHeader last{0x01, kStatusEndOfMessage, 10, 0, 2};
    EXPECT_EQ(assembler.add(first, "ab"), MessageAssembler::Result::NeedMore);
    EXPECT_EQ(assembler.add(last, "cd"), MessageAssembler::Result::Complete);
    EXPECT_EQ(assembler.type(), 0x01);
    EXPECT_EQ(assembler.take(), QByteArray("abcd"));

    EXPECT_EQ(assembler.add(first, "ab"), MessageAssembler::Result::NeedMore);
    PacketHeader other{0x0E, kStatusEndOfMessage, 10, 0, 2};
    EXPECT_EQ(assembler.add(other, "cd"), MessageAssembler::Result::Malformed);
}

TEST(SqlsimTypes, EveryTypeEncodesAsTheServerSendsIt)
{
    const QDateTime day2(QDate(1900, 1, 2), QTime(0, 0, 1));
    const QDateTime lastTick(QDate(1900, 1, 1), QTime(23, 59, 59, 999));
    struct Case {
        const char* what;
        Column column;
        Value value;
        const char* typeInfo;
        const char* bytes;
    } cases[] = {
        {"smallint", {"c", SqlType::SmallInt}, qint64(-2), "26 02", "02 feff"},
        {"int not null", {"c", SqlType::Int, 0, 0, 0, false}, qint64(1), "38", "01000000"},
        {"bigint null", {"c", SqlType::BigInt}, Value(), "26 08", "00"},
        {"bigint", {"c", SqlType::BigInt}, qint64(5000000000LL), "26 08", "08 00f2052a01000000"},
        {"tinyint not null", {"c", SqlType::TinyInt, 0, 0, 0, false}, qint64(255), "30", "ff"},
        {"bit", {"c", SqlType::Bit}, qint64(1), "68 01", "01 01"},
        {"float not null", {"c", SqlType::Float, 0, 0, 0, false}, 1.0, "3e", "000000000000f03f"},
        {"datetime", {"c", SqlType::DateTime}, day2, "6f 08", "08 01000000 2c010000"},
        {"datetime last tick rounds to next day", {"c", SqlType::DateTime}, lastTick, "6f 08",
         "08 01000000 00000000"},
        {"decimal negative", {"c", SqlType::Decimal, 0, 5, 2}, QString("-1.5"), "6a 05 05 02",
         "05 00 96000000"},
        {"decimal rounds half away", {"c", SqlType::Decimal, 0, 5, 2}, QString("1.005"),
         "6a 05 05 02", "05 01 65000000"},
        {"decimal(32,4)", {"c", SqlType::Decimal, 0, 32, 4}, QString("1"), "6a 11 20 04",
         "11 01 10270000000000000000000000000000"},
        {"decimal not a number", {"c", SqlType::Decimal, 0, 5, 2}, QString("abc"), "6a 05 05 02", "00"},
        {"char pads", {"c", SqlType::Char, 5}, QString("ab"), "af 0500 0904d00034", "0500 6162202020"},
        {"varchar null", {"c", SqlType::VarChar, 20}, Value(), "a7 1400 0904d00034", "ffff"},
        {"nchar pads", {"c", SqlType::NChar, 3}, QString::fromUtf8("я"), "ef 0600 0904d00034",
         "0600 4f04 2000 2000"},
        {"nvarchar empty", {"c", SqlType::NVarChar, 50}, QString(""), "e7 6400 0904d00034", "0000"},
        {"binary pads", {"c", SqlType::Binary, 4}, QByteArray("\x01", 1), "ad 0400", "0400 01000000"},
        {"varbinary cut", {"c", SqlType::VarBinary, 3}, QByteArray("\x01\x02\x03\x04", 4), "a5 0300",
         "0300 010203"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray typeInfo;
        putTypeInfo(typeInfo, c.column);
        EXPECT_EQ(typeInfo.toHex(' '), hex(c.typeInfo).toHex(' '));
        QByteArray bytes;
        putValue(bytes, c.column, c.value);
        EXPECT_EQ(bytes.toHex(' '), hex(c.bytes).toHex(' '));
    }
}

TEST(SqlsimTypes, DecimalBeyondThirtyEightDigitsIsRefused)
{
    unsigned __int128 magnitude = 0;
    bool negative = false;
    EXPECT_TRUE(parseDecimal(QString(38, u'9'), 0, magnitude, negative));
    EXPECT_FALSE(parseDecimal(QString(39, u'9'), 0, magnitude, negative));
    EXPECT_FALSE(parseDecimal(QString(36, u'9'), 4, magnitude, negative));
    EXPECT_TRUE(parseDecimal(QStringLiteral("-0.00"), 2, magnitude, negative));
    EXPECT_FALSE(negative);
    EXPECT_FALSE(parseDecimal(QStringLiteral("1.2.3"), 2, magnitude, negative));
    EXPECT_FALSE(parseDecimal(QStringLiteral("-"), 2, magnitude, negative));
}

TEST(SqlsimReply, DoneMarkersFollowTheServersRules)
{
    struct Case {
        const char* what;
        std::vector<ReplyItem> items;
        const char* expected;
    } cases[] = {
        {"nothing to answer", {}, "DONE(0,0)"},
        {"one result", {numbers({7, 8})}, "COLMETADATA ROW(7) ROW(8) DONE(10,2)"},
        {"two results", {numbers({1}), numbers({})},
         "COLMETADATA ROW(1) DONE(11,1) COLMETADATA DONE(10,0)"},
        {"statement without rows", {Done{}}, "DONE(0,0)"},
        {"row count", {Done{3}, Done{}}, "DONE(11,3) DONE(0,0)"},
        {"error alone", {failure(208)}, "ERROR(208) DONE(2,0)"},
        {"error after a result", {numbers({1}), failure(208)},
         "COLMETADATA ROW(1) DONE(11,1) ERROR(208) DONE(2,0)"},
        {"error with its own done", {failure(911), Done{}}, "ERROR(911) DONE(2,0)"},
        {"procedure", {ProcedureBegin{}, numbers({1}), ReturnStatus{0}},
         "COLMETADATA ROW(1) DONEINPROC(11,1) RETURNSTATUS(0) DONEPROC(0,0)"},
        {"statement then procedure", {Done{}, ProcedureBegin{}, numbers({}), ReturnStatus{1}},
         "DONE(1,0) COLMETADATA DONEINPROC(11,0) RETURNSTATUS(1) DONEPROC(0,0)"},
        {"result then procedure", {numbers({2}), ProcedureBegin{}, numbers({}), ReturnStatus{0}},
         "COLMETADATA ROW(2) DONE(11,1) COLMETADATA DONEINPROC(11,0) RETURNSTATUS(0) DONEPROC(0,0)"},
        {"failing procedure", {ProcedureBegin{}, failure(50000), ReturnStatus{-6}},
         "ERROR(50000) DONEINPROC(3,0) RETURNSTATUS(-6) DONEPROC(0,0)"},
        {"uncounted result", {[] { ResultSet r = numbers({5}); r.counted = false; return r; }()},
         "COLMETADATA ROW(5) DONE(0,1)"},
        {"info only", {Message{0, 1, 10, "note", {}, 1}}, "INFO(0) DONE(0,0)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reply reply;
        reply.items = c.items;
        EXPECT_EQ(summarize(encodeReply(reply)), QLatin1String(c.expected));
    }
}

TEST(SqlsimReply, EnvironmentChangesAreTheirOwnTokens)
{
    const Message changed{5701, 1, 10, QStringLiteral("Changed database context to 'tempdb'."), {}, 1};
    Reply reply;
    reply.items = {EnvironmentChange{EnvironmentChange::Kind::Database, "tempdb", "master"}, changed, Done{},
                   EnvironmentChange{EnvironmentChange::Kind::Database, "pubs", "tempdb"}, Done{}};
    EXPECT_EQ(summarize(encodeReply(reply)),
              QStringLiteral("ENVCHANGE(tempdb) INFO(5701) DONE(1,0) ENVCHANGE(pubs) DONE(0,0)"));
}

TEST(SqlsimReply, DropAfterRowsCutsTheFirstResult)
{
    Reply reply;
    reply.items = {numbers({1, 2, 3}), numbers({4})};
    reply.dropConnection = true;
    reply.dropAfterRows = 2;
    EXPECT_EQ(summarize(encodeReply(reply)), QStringLiteral("COLMETADATA ROW(1) ROW(2)"));

    EXPECT_EQ(summarize(attentionAcknowledgement()), QStringLiteral("DONE(20,0)"));
}
