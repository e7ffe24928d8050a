// What the engine answers to a batch: result sets, messages and done markers, in wire order.
// The TDS layer turns a Reply into tokens; the engine knows nothing of the wire.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <variant>
#include <vector>

namespace sqlsim {

/// SQL Server column types as the engine declares them (the TDS layer picks the wire type).
enum class SqlType {
    SmallInt, Int, BigInt, TinyInt, Bit,
    Float, Decimal,          // Decimal carries precision and scale
    DateTime,
    Char, VarChar,           // 8-bit text (Latin-1 collation)
    NChar, NVarChar,         // Unicode text
    Binary, VarBinary,
};

struct Column {
    QString name;
    SqlType type = SqlType::Int;
    int size = 0;            // characters for text, bytes for binary; ignored for fixed types
    int precision = 0;       // Decimal only
    int scale = 0;           // Decimal only
    bool nullable = true;
};

/// A value: null is an invalid QVariant. Integers as qint64, Float as double, Decimal as its
/// exact text ("123.4500"), DateTime as QDateTime (UTC-less local wall time), text as QString,
/// binary as QByteArray.
using Value = QVariant;

struct ResultSet {
    std::vector<Column> columns;
    std::vector<std::vector<Value>> rows;
    bool counted = true;     // its done carries the row count (not under SET NOCOUNT ON)
};

/// As SQL Server does, a name quoted in a message is cut to kMaxNameInMessage characters and a
/// message text to kMaxMessageLength, so an ERROR or INFO token always fits its 2-byte length.
constexpr int kMaxNameInMessage = 128;
constexpr int kMaxMessageLength = 2047;

/// ERROR (severity > 10) or INFO (severity <= 10).
struct Message {
    int number = 0;
    int state = 1;
    int severity = 16;
    QString text;
    QString procedure;
    int line = 1;
};

/// A row count without a result (UPDATE, INSERT, SET ROWCOUNT ...).
struct Done {
    qint64 rowCount = -1;    // -1: no count
};

/// A stored procedure starts: the items up to its ReturnStatus are its own.
struct ProcedureBegin {
};

/// RETURN status that ends a stored procedure; the TDS layer ends the results inside it with
/// DONEINPROC and the procedure with RETURNSTATUS and DONEPROC, as a server does.
struct ReturnStatus {
    int value = 0;
    /// The procedure's output parameters, sent back after its status.
    struct Output {
        int ordinal = 0;
        QString name;
        Column type;
        Value value;
    };
    std::vector<Output> outputs{};
};

/// The session's database or language changed; announced before the message that tells it.
struct EnvironmentChange {
    enum class Kind { Database, Language };
    Kind kind = Kind::Database;
    QString value;
    QString oldValue;
};

using ReplyItem = std::variant<ResultSet, Message, Done, ReturnStatus, ProcedureBegin, EnvironmentChange>;

/// The reply to one batch, in wire order.
struct Reply {
    std::vector<ReplyItem> items;
    /// The client's attention stopped the batch: only its acknowledgement is sent.
    bool cancelled = false;
    /// Fault: close the link instead of answering; with dropAfterRows >= 0, after sending that
    /// many rows of the first result set (a link lost mid-fetch).
    bool dropConnection = false;
    int dropAfterRows = -1;
};

} // namespace sqlsim
