// T-SQL values as SQL Server 2000 holds them: a type (with length, precision and scale) and a
// value or NULL. Decimals are exact, datetime counts days and 1/300 s ticks, text keeps Unicode
// and fixed length apart. Beside the value: conversions with the server's data type precedence,
// the operators with three-valued logic, and the aggregates' running values.
//
// Every operation given NULL answers a NULL of its result type, so the type of an expression can
// be found by evaluating it over typed NULLs.
#pragma once

#include "state/Reply.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <compare>
#include <optional>
#include <variant>
#include <vector>

namespace sqlsim::tsql {

/// A declared type: engine type plus its length (characters for text, bytes for binary) or
/// decimal precision and scale. Float keeps precision 53 (float) or 24 (real).
struct TypeInfo {
    SqlType type = SqlType::Int;
    int size = 0;
    int precision = 0;
    int scale = 0;

    static TypeInfo integer(SqlType type = SqlType::Int) { return {type, 0, 0, 0}; }
    static TypeInfo bit() { return {SqlType::Bit, 0, 0, 0}; }
    static TypeInfo floating() { return {SqlType::Float, 0, 53, 0}; }
    static TypeInfo decimal(int precision, int scale) { return {SqlType::Decimal, 0, precision, scale}; }
    static TypeInfo text(SqlType type, int size) { return {type, size, 0, 0}; }
    static TypeInfo dateTime() { return {SqlType::DateTime, 0, 0, 0}; }
    static TypeInfo fromColumn(const Column& column);

    /// The engine column of this type (what a result set declares).
    Column column(const QString& name, bool nullable = true) const;

    bool isInteger() const;      // tinyint, smallint, int, bigint
    bool isNumeric() const;      // integers, bit, decimal, float
    bool isText() const;         // char, varchar, nchar, nvarchar
    bool isUnicode() const;      // nchar, nvarchar
    bool isFixedLength() const;  // char, nchar, binary
    bool isBinary() const;       // binary, varbinary
    /// The name the server uses in its messages: "int", "varchar", "numeric", "datetime" ...
    QString name() const;

    bool operator==(const TypeInfo&) const = default;
};

/// Where a type name is read: text without a length is 1 long in a declaration, 30 in
/// CAST/CONVERT.
enum class TypeNameUse { Declaration, Conversion };

/// The type a declaration or CONVERT names (any case): int, integer, smallint, tinyint, bigint,
/// bit, float[(n)], real, dec/decimal/numeric[(p[,s])] (p defaults to 18, s to 0), char/
/// character[(n)], varchar[(n)], nchar[(n)], nvarchar[(n)], sysname (nvarchar(128)), datetime,
/// binary[(n)], varbinary[(n)]. Throws SqlError 2715 for an unknown name (`position` is the
/// column or parameter number the message names) and 2750 / 8114-style errors for bad lengths.
TypeInfo typeFromName(const QString& name, const std::vector<int>& params = {},
                      TypeNameUse use = TypeNameUse::Declaration, int position = 1);

/// An exact number: the value times 10^scale, within 38 digits.
struct Decimal {
    __int128 unscaled = 0;
    int scale = 0;

    /// "-12.3400": every digit of the scale, a leading 0 before the point, no exponent.
    QString toString() const;
    /// The number of digits of |unscaled| (1 for zero).
    int digits() const;
};

/// SQL Server's datetime: days since 1900-01-01 (negative back to 1753-01-01) and 1/300 second
/// ticks since midnight.
struct DateTime {
    static constexpr qint32 TicksPerDay = 300 * 86400;
    static constexpr qint32 MinDays = -53690;       // 1753-01-01
    static constexpr qint32 MaxDays = 2958463;      // 9999-12-31

    qint32 days = 0;
    qint32 ticks = 0;

    /// Milliseconds are rounded to the nearest tick (.xx0, .xx3, .xx7), 23:59:59.999 to the next
    /// day. Nothing when a part is out of range or the date is before 1753 or after 9999.
    static std::optional<DateTime> fromParts(int year, int month, int day, int hour = 0,
                                             int minute = 0, int second = 0, int millisecond = 0);
    static DateTime fromQDateTime(const QDateTime& value);
    QDateTime toQDateTime() const;
    QDate date() const;
    /// The milliseconds of the time of day the ticks stand for (3.33 ms steps, rounded).
    int millisecondOfSecond() const;

    auto operator<=>(const DateTime&) const = default;
};

/// The order of day, month and year in numeric date texts (SET DATEFORMAT; us_english: mdy).
enum class DateFormat { Mdy, Dmy, Ymd, Ydm, Myd, Dym };
std::optional<DateFormat> dateFormatFromName(const QString& name);

class SqlValue {
public:
    /// NULL of type int (what a bare NULL literal is).
    SqlValue() = default;

    static SqlValue null(const TypeInfo& type);
    /// An integer of the given integer type; the value must be within the type's range.
    static SqlValue integer(qint64 value, SqlType type = SqlType::Int);
    static SqlValue bit(bool value);
    static SqlValue floating(double value);
    /// A decimal of precision `precision` and the value's scale.
    static SqlValue decimal(const Decimal& value, int precision);
    /// Text of a text type; the text is taken as given (no padding or cutting).
    static SqlValue text(const QString& value, const TypeInfo& type);
    /// A 'literal' (varchar of its length) and an N'literal' (nvarchar of its length).
    static SqlValue varchar(const QString& value);
    static SqlValue nvarchar(const QString& value);
    static SqlValue dateTime(DateTime value);
    static SqlValue binary(const QByteArray& value, const TypeInfo& type);
    /// A number as written in a batch: digits are an int (decimal(n,0) beyond int's range),
    /// digits with a point a decimal of their precision and scale, with an exponent a float.
    /// Throws SqlError 8115 past 38 digits.
    static SqlValue numberLiteral(const QString& text);

    const TypeInfo& type() const { return m_type; }
    bool isNull() const { return std::holds_alternative<std::monostate>(m_data); }

    /// The payload of a non-null value of the matching kind: integers and bit; float; decimal;
    /// text; datetime; binary.
    qint64 toInteger() const { return std::get<qint64>(m_data); }
    double toFloat() const { return std::get<double>(m_data); }
    const Decimal& toDecimal() const { return std::get<Decimal>(m_data); }
    const QString& toText() const { return std::get<QString>(m_data); }
    DateTime toDateTime() const { return std::get<DateTime>(m_data); }
    const QByteArray& toBinary() const { return std::get<QByteArray>(m_data); }

    /// The engine reply value (see Reply.h: decimal as exact text, datetime as QDateTime).
    Value toReplyValue() const;
    /// A reply value read as a value of the column's type (system tables, plain tables).
    static SqlValue fromReplyValue(const Value& value, const Column& column);

private:
    TypeInfo m_type;
    std::variant<std::monostate, qint64, double, Decimal, QString, DateTime, QByteArray> m_data;
};

// ---- conversion ----------------------------------------------------------------------------

/// Rank in SQL Server's data type precedence: the operand of lower rank converts to the other's
/// type (datetime > float > real > decimal > bigint > int > smallint > tinyint > bit >
/// nvarchar > nchar > varchar > char > varbinary > binary).
int typePrecedence(const TypeInfo& type);

/// The type two operands meet in (comparison, CASE, UNION, ISNULL's second argument aside):
/// the higher-precedence type, decimals widened to hold both, text as long as the longer.
TypeInfo commonType(const TypeInfo& left, const TypeInfo& right);

/// CAST / CONVERT(target, value, style). Text to datetime follows `dateFormat` (style 0) or the
/// style's own order; datetime and float to text follow the style. Text is cut or (for fixed
/// length) padded to the target length. Errors: 245 (text to integer), 8114 (text to decimal or
/// float), 241/242 (text to datetime), 8115 / 220 (overflow), 529 (not convertible).
SqlValue convert(const SqlValue& value, const TypeInfo& target, int style = 0,
                 DateFormat dateFormat = DateFormat::Mdy);

/// The conversion the server does by itself (assignment, operands, arguments): as convert()
/// with style 0, but 257 where SQL Server asks for an explicit CONVERT.
SqlValue implicitConvert(const SqlValue& value, const TypeInfo& target,
                         DateFormat dateFormat = DateFormat::Mdy);

/// A value stored into a table column (INSERT, UPDATE): the implicit conversion, but text or
/// binary longer than the column (trailing blanks aside) raises 8152 instead of being cut, as
/// the server does for columns (variables are cut silently: implicitConvert).
SqlValue storedConvert(const SqlValue& value, const TypeInfo& column,
                       DateFormat dateFormat = DateFormat::Mdy);

/// A text read as a datetime by the server's rules for the given order: numeric forms
/// (4/15/2004, 2004-01-15, 15.04.04 ...), unseparated (20040115), ISO 8601 (2004-01-15T10:00:00),
/// month names (Apr 15 2004, 15 April 2004, April 15, 2004), times (10:00, 10:00:00.12 = .120,
/// 10:00:00:12 = .012, 10AM), two-digit years 50..99 as 19xx and 00..49 as 20xx. Nothing when
/// the text is not a valid date (what ISDATE answers 0 for).
std::optional<DateTime> parseDateTime(const QString& text, DateFormat dateFormat);

/// A datetime as CONVERT(varchar, value, style) writes it (0/100, 101, 102, 103, 104, 105, 106,
/// 107, 108, 109, 110, 111, 112, 113, 114, 120, 121, 126; others as 0).
QString formatDateTime(DateTime value, int style);

// ---- operators -----------------------------------------------------------------------------

enum class ArithmeticOp { Add, Subtract, Multiply, Divide, Modulo };

/// left op right in the operands' common type: integer division truncating toward zero, decimal
/// results with SQL Server's precision and scale (at most 38 digits), + joining texts, a number
/// added to a datetime as days. Errors: 8134 divide by zero, 8115 overflow, 245/8114 text that
/// is no number, 8117/403 for operands the operator does not take.
SqlValue arithmetic(ArithmeticOp op, const SqlValue& left, const SqlValue& right,
                    DateFormat dateFormat = DateFormat::Mdy);

/// Unary minus; 8117 for an operand that is no number (bit included).
SqlValue negate(const SqlValue& value);

/// Three-valued logic.
enum class Truth { False, True, Unknown };
Truth truthNot(Truth value);
Truth truthAnd(Truth left, Truth right);
Truth truthOr(Truth left, Truth right);
inline Truth truthOf(bool value) { return value ? Truth::True : Truth::False; }

enum class CompareOp { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };

/// Comparison in the operands' common type; Unknown when either is NULL. Text compares without
/// regard to case or trailing blanks (SQL_Latin1_General_CP1_CI_AS).
Truth compare(CompareOp op, const SqlValue& left, const SqlValue& right,
              DateFormat dateFormat = DateFormat::Mdy);

/// Ordering for ORDER BY, GROUP BY and MIN/MAX: NULL before every value, equal NULLs; -1, 0, 1.
int compareForOrder(const SqlValue& left, const SqlValue& right,
                    DateFormat dateFormat = DateFormat::Mdy);

/// value LIKE pattern [ESCAPE escape]: % any run, _ one character, [abc] [a-c] [^a] sets;
/// case-insensitive; trailing blanks of the value do not matter. Non-text operands are
/// converted to text first.
Truth like(const SqlValue& value, const SqlValue& pattern,
           std::optional<QChar> escape = std::nullopt);

// ---- aggregates ----------------------------------------------------------------------------

enum class AggregateKind { Count, CountRows, Sum, Min, Max };

/// The running value of one aggregate over a group. COUNT(x) counts non-null values and
/// COUNT(*) (CountRows) every row, both int; SUM of tinyint/smallint/int is int, of bigint
/// bigint, of decimal(p,s) decimal(38,s), of float float; MIN/MAX keep the argument's type.
/// An empty group or only NULLs gives NULL (0 for the counts).
class Aggregate {
public:
    /// Throws SqlError 409 for SUM over a type that is no number.
    Aggregate(AggregateKind kind, const TypeInfo& argument);

    void add(const SqlValue& value);
    SqlValue result() const;
    const TypeInfo& resultType() const { return m_resultType; }
    /// A NULL was passed over (the server then warns with message 8153).
    bool nullEliminated() const { return m_nullEliminated; }

private:
    AggregateKind m_kind;
    TypeInfo m_resultType;
    SqlValue m_value;
    qint64 m_count = 0;
    bool m_nullEliminated = false;
};

} // namespace sqlsim::tsql
