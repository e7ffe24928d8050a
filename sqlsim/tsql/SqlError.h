// Errors a batch raises while it runs, carrying the message SQL Server 2000 sends: its number,
// severity, state and text. The texts live in one catalog so every part words them alike.
#pragma once

#include "state/Reply.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <exception>

namespace sqlsim::tsql {

/// Message numbers the interpreter and the value layer raise.
namespace msg {
constexpr int SyntaxNear = 102;              // Incorrect syntax near '%.*ls'.
constexpr int VariableRedeclared = 134;
constexpr int MustDeclareVariable = 137;
constexpr int SyntaxNearKeyword = 156;
constexpr int LineSyntaxNear = 170;
constexpr int FunctionArgumentCount = 174;
constexpr int FunctionArgumentRange = 189;
constexpr int NestedTooDeeply = 191;
constexpr int UnknownFunction = 195;
constexpr int InvalidColumn = 207;
constexpr int InvalidObject = 208;
constexpr int AmbiguousColumn = 209;
constexpr int IntegerOverflow = 220;         // overflow of tinyint/smallint/int by value
constexpr int ConversionFailed = 245;        // text to an integer type
constexpr int DateTimeSyntax = 241;
constexpr int DateTimeOutOfRange = 242;
constexpr int ImplicitConversion = 257;
constexpr int InvalidOperatorForType = 403;
constexpr int AggregateType = 409;
constexpr int SubqueryValues = 512;
constexpr int InsertNull = 515;
constexpr int ExplicitConversion = 529;
constexpr int InvalidLength = 536;
constexpr int UnknownDatabase = 911;
constexpr int InsertColumnCount = 213;
constexpr int ObjectExists = 2714;
constexpr int UnknownType = 2715;
constexpr int PrecisionTooLarge = 2750;
constexpr int UnknownProcedure = 2812;
constexpr int CannotDropTable = 3701;
constexpr int KillPermission = 6102;
constexpr int IdentityInsert = 8101;
constexpr int ConversionError = 8114;        // text to decimal/float, and other failures
constexpr int ArithmeticOverflow = 8115;
constexpr int ArgumentType = 8116;
constexpr int OperandType = 8117;
constexpr int NotInAggregate = 8118;
constexpr int NotInGroupBy = 8120;
constexpr int DivideByZero = 8134;
constexpr int Truncated = 8152;
constexpr int NullEliminated = 8153;         // severity 10: a warning
constexpr int CursorNotOpen = 16917;
constexpr int CursorAlreadyOpen = 16905;
constexpr int CursorExists = 16915;
constexpr int CursorMissing = 16916;
constexpr int CursorFetchCount = 16924;
} // namespace msg

/// The Message with that number from the catalog, its text filled from `args` in order (each
/// %d, %ld, %ls, %.*ls, %f ... of the server's format takes the next argument as written).
/// A number missing from the catalog gives its number as text, severity 16.
Message serverMessage(int number, const QStringList& args = {});

/// Fills a server format: each conversion (%d, %ls, %.*ls, %I64d, %f ...) takes the next
/// argument, a %.*ls one cut to kMaxNameInMessage characters; %% is a percent sign.
QString formatServerText(const QString& format, const QStringList& args);

class SqlError : public std::exception {
public:
    explicit SqlError(Message message);
    /// The catalog message `number` with its arguments (see serverMessage).
    explicit SqlError(int number, const QStringList& args = {});

    const Message& message() const { return m_message; }
    int number() const { return m_message.number; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    Message m_message;
    QByteArray m_what;
};

} // namespace sqlsim::tsql
