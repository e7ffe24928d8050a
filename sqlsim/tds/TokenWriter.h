// Writes TDS 7.1 tokens into a byte stream: column metadata, rows, done markers, errors and
// informational messages (one writer for both), login acknowledgement, environment changes,
// return status.
#pragma once

#include "state/Reply.h"

#include <QByteArray>
#include <cstdint>

namespace sqlsim::tds {

// 2.2.7.6 DONE status bits
enum DoneStatus : std::uint16_t {
    DoneFinal = 0x0000,
    DoneMore = 0x0001,
    DoneError = 0x0002,
    DoneCount = 0x0010,
    DoneAttention = 0x0020,
};

// 2.2.7.6-8 the three done tokens
enum class DoneToken : std::uint8_t { Done = 0xFD, DoneProc = 0xFE, DoneInProc = 0xFF };

// CurCmd values of the statements the simulator answers.
enum CurrentCommand : std::uint16_t { CmdNone = 0, CmdSelect = 0xC1, CmdExecute = 0xE0 };

// 2.2.7.9 ENVCHANGE types
enum class EnvChange : std::uint8_t { Database = 1, Language = 2, PacketSize = 4, Collation = 7 };

class TokenWriter {
public:
    explicit TokenWriter(QByteArray& out) : m_out(out) {}

    void columnMetadata(const std::vector<Column>& columns);
    void row(const std::vector<Column>& columns, const std::vector<Value>& values);
    void done(DoneToken token, std::uint16_t status, std::uint16_t command, qint64 rowCount);
    /// ERROR for severity above 10, INFO otherwise.
    void message(const Message& message);
    void loginAck(const QString& programName, std::uint32_t programVersion);
    void envChange(EnvChange type, const QString& newValue, const QString& oldValue);
    void collationChange(const QByteArray& collation);
    void returnStatus(int value);
    void returnValue(const ReturnStatus::Output& output);

    static constexpr const char* kServerName = "SQLSIM";

private:
    // Starts a token with a two-byte length; returns where the length goes.
    qsizetype beginSized(std::uint8_t token);
    void endSized(qsizetype lengthAt);

    QByteArray& m_out;
};

} // namespace sqlsim::tds
