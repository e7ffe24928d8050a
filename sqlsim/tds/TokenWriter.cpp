#include "TokenWriter.h"

#include "Bytes.h"
#include "TypeEncoding.h"

#include <algorithm>

namespace sqlsim::tds {

namespace {

enum Token : std::uint8_t {
    ReturnStatusToken = 0x79,
    ReturnValueToken = 0xAC,
    ColMetadataToken = 0x81,
    ErrorToken = 0xAA,
    InfoToken = 0xAB,
    LoginAckToken = 0xAD,
    RowToken = 0xD1,
    EnvChangeToken = 0xE3,
};

// 2.2.7.4 COLMETADATA Flags: nullable, updatable "unknown".
constexpr std::uint16_t kFlagsNullable = 0x0009;
constexpr std::uint16_t kFlagsNotNull = 0x0008;

} // namespace

qsizetype TokenWriter::beginSized(std::uint8_t token)
{
    putU8(m_out, token);
    const qsizetype at = m_out.size();
    putU16(m_out, 0);
    return at;
}

void TokenWriter::endSized(qsizetype lengthAt)
{
    const qsizetype length = m_out.size() - lengthAt - 2;
    m_out[lengthAt] = char(length & 0xFF);
    m_out[lengthAt + 1] = char(length >> 8);
}

// 2.2.7.4 COLMETADATA: Count, then per column UserType (2 bytes in 7.1), Flags, TYPE_INFO,
// ColName.
void TokenWriter::columnMetadata(const std::vector<Column>& columns)
{
    putU8(m_out, ColMetadataToken);
    putU16(m_out, std::uint16_t(columns.size()));
    for (const Column& column : columns) {
        putU16(m_out, 0);
        putU16(m_out, column.nullable ? kFlagsNullable : kFlagsNotNull);
        putTypeInfo(m_out, column);
        putBVarChar(m_out, column.name);
    }
}

// 2.2.7.17 ROW
void TokenWriter::row(const std::vector<Column>& columns, const std::vector<Value>& values)
{
    putU8(m_out, RowToken);
    for (size_t i = 0; i < columns.size(); ++i)
        putValue(m_out, columns[i], i < values.size() ? values[i] : Value());
}

// 2.2.7.6 DONE: Status, CurCmd, DoneRowCount (4 bytes in 7.1)
void TokenWriter::done(DoneToken token, std::uint16_t status, std::uint16_t command,
                       qint64 rowCount)
{
    putU8(m_out, std::uint8_t(token));
    putU16(m_out, status);
    putU16(m_out, command);
    putU32(m_out, std::uint32_t(rowCount < 0 ? 0 : rowCount));
}

// 2.2.7.10 ERROR and 2.2.7.13 INFO share one layout: Number, State, Class, MsgText, ServerName,
// ProcName, LineNumber (2 bytes in 7.1).
void TokenWriter::message(const Message& message)
{
    const qsizetype at = beginSized(message.severity > 10 ? ErrorToken : InfoToken);
    putU32(m_out, std::uint32_t(message.number));
    putU8(m_out, std::uint8_t(message.state));
    putU8(m_out, std::uint8_t(message.severity));
    // The cut never leaves half of a character outside the Basic Multilingual Plane behind.
    qsizetype length = std::min(message.text.size(), qsizetype(kMaxMessageLength));
    if (length < message.text.size() && message.text[length - 1].isHighSurrogate())
        --length;
    putUsVarChar(m_out, message.text.left(length));
    putBVarChar(m_out, QString::fromLatin1(kServerName));
    putBVarChar(m_out, message.procedure);
    putU16(m_out, std::uint16_t(message.line));
    endSized(at);
}

// 2.2.7.14 LOGINACK: Interface, TDSVersion (big-endian 7.1), ProgName, ProgVersion. The length
// must be exact: the client derives the name's length from it.
void TokenWriter::loginAck(const QString& programName, std::uint32_t programVersion)
{
    const qsizetype at = beginSized(LoginAckToken);
    putU8(m_out, 1);
    m_out.append("\x71\x00\x00\x01", 4);
    putBVarChar(m_out, programName);
    const char version[4] = {char(programVersion >> 24), char((programVersion >> 16) & 0xFF),
                             char((programVersion >> 8) & 0xFF), char(programVersion & 0xFF)};
    m_out.append(version, 4);
    endSized(at);
}

// 2.2.7.9 ENVCHANGE with B_VARCHAR values
void TokenWriter::envChange(EnvChange type, const QString& newValue, const QString& oldValue)
{
    const qsizetype at = beginSized(EnvChangeToken);
    putU8(m_out, std::uint8_t(type));
    putBVarChar(m_out, newValue);
    putBVarChar(m_out, oldValue);
    endSized(at);
}

// 2.2.7.9 ENVCHANGE type 7: the collation as B_VARBYTE, no old value
void TokenWriter::collationChange(const QByteArray& collation)
{
    const qsizetype at = beginSized(EnvChangeToken);
    putU8(m_out, std::uint8_t(EnvChange::Collation));
    putU8(m_out, std::uint8_t(collation.size()));
    m_out.append(collation);
    putU8(m_out, 0);
    endSized(at);
}

// 2.2.7.16 RETURNSTATUS
void TokenWriter::returnStatus(int value)
{
    putU8(m_out, ReturnStatusToken);
    putU32(m_out, std::uint32_t(value));
}

// 2.2.7.18 RETURNVALUE: ParamOrdinal, ParamName, Status (1: an output parameter), UserType
// (2 bytes in 7.1), Flags, TYPE_INFO, the value.
void TokenWriter::returnValue(const ReturnStatus::Output& output)
{
    putU8(m_out, ReturnValueToken);
    putU16(m_out, std::uint16_t(output.ordinal));
    putBVarChar(m_out, output.name);
    putU8(m_out, 1);
    putU16(m_out, 0);
    putU16(m_out, output.type.nullable ? kFlagsNullable : kFlagsNotNull);
    putTypeInfo(m_out, output.type);
    putValue(m_out, output.type, output.value);
}

} // namespace sqlsim::tds
