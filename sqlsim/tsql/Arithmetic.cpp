#include "DecimalMath.h"
#include "SqlError.h"
#include "Value.h"

#include <cmath>
#include <limits>

namespace sqlsim::tsql {

namespace {

constexpr int MaxBytes = 8000;
constexpr int MaxUnicode = 4000;

QString operatorName(ArithmeticOp op)
{
    switch (op) {
    case ArithmeticOp::Add: return QStringLiteral("add");
    case ArithmeticOp::Subtract: return QStringLiteral("subtract");
    case ArithmeticOp::Multiply: return QStringLiteral("multiply");
    case ArithmeticOp::Divide: return QStringLiteral("divide");
    case ArithmeticOp::Modulo: return QStringLiteral("modulo");
    }
    return QString();
}

[[noreturn]] void invalidOperand(const TypeInfo& type, ArithmeticOp op)
{
    throw SqlError(msg::OperandType, {type.name(), operatorName(op)});
}

[[noreturn]] void overflow(const TypeInfo& type)
{
    throw SqlError(msg::ArithmeticOverflow, {QStringLiteral("expression"), type.name()});
}

// Text joined to text: Unicode when either side is, fixed length only when both are.
TypeInfo concatenationType(const TypeInfo& left, const TypeInfo& right)
{
    const bool unicode = left.isUnicode() || right.isUnicode();
    const bool fixed = left.isFixedLength() && right.isFixedLength();
    const SqlType type = unicode ? (fixed ? SqlType::NChar : SqlType::NVarChar)
                                 : (fixed ? SqlType::Char : SqlType::VarChar);
    return TypeInfo::text(type, std::min(left.size + right.size, unicode ? MaxUnicode : MaxBytes));
}

// Result precision and scale of a decimal operation, as SQL Server works them out.
TypeInfo decimalResultType(ArithmeticOp op, const TypeInfo& left, const TypeInfo& right)
{
    const TypeInfo a = decimalTypeOf(left);
    const TypeInfo b = decimalTypeOf(right);
    const int p1 = a.precision, s1 = a.scale, p2 = b.precision, s2 = b.scale;
    switch (op) {
    case ArithmeticOp::Add:
    case ArithmeticOp::Subtract: {
        const int scale = std::max(s1, s2);
        return fittedDecimal(scale + std::max(p1 - s1, p2 - s2) + 1, scale);
    }
    case ArithmeticOp::Multiply:
        return fittedDecimal(p1 + p2 + 1, s1 + s2);
    case ArithmeticOp::Divide: {
        const int scale = std::max(6, s1 + p2 + 1);
        return fittedDecimal(p1 - s1 + s2 + scale, scale);
    }
    case ArithmeticOp::Modulo:
        break;
    }
    return fittedDecimal(std::min(p1 - s1, p2 - s2) + std::max(s1, s2), std::max(s1, s2));
}

struct Operation {
    TypeInfo result;     // the type the result has
    TypeInfo operands;   // the type both operands are brought to first
};

// What an operator makes of its operand types, or the server's error when it takes neither.
Operation operationType(ArithmeticOp op, const TypeInfo& left, const TypeInfo& right)
{
    if (left.isText() && right.isText()) {
        if (op != ArithmeticOp::Add)
            throw SqlError(msg::InvalidOperatorForType, {operatorName(op), left.name()});
        const TypeInfo joined = concatenationType(left, right);
        return {joined, joined};
    }
    if (left.isBinary() || right.isBinary())
        throw SqlError(msg::InvalidOperatorForType,
                       {operatorName(op), (left.isBinary() ? left : right).name()});
    if (left.type == SqlType::Bit && right.type == SqlType::Bit)
        throw SqlError(msg::InvalidOperatorForType, {operatorName(op), left.name()});
    const TypeInfo& higher = typePrecedence(left) >= typePrecedence(right) ? left : right;
    if (higher.type == SqlType::DateTime) {
        if (op != ArithmeticOp::Add && op != ArithmeticOp::Subtract)
            invalidOperand(higher, op);
        return {higher, TypeInfo::floating()};
    }
    if (higher.type == SqlType::Float)
        return {TypeInfo::floating(), TypeInfo::floating()};
    if (higher.type == SqlType::Decimal) {
        if (op == ArithmeticOp::Modulo)
            invalidOperand(higher, op);
        // A text operand is read as a decimal of the other's type, then worked like it.
        const TypeInfo a = left.isText() ? higher : left;
        const TypeInfo b = right.isText() ? higher : right;
        return {decimalResultType(op, a, b), higher};
    }
    if (higher.type == SqlType::Bit)   // a text and a bit: the text becomes an int
        return {TypeInfo::integer(), TypeInfo::integer()};
    return {higher, higher};
}

SqlValue integerResult(__int128 value, const TypeInfo& type)
{
    const qint64 low = type.type == SqlType::TinyInt ? 0
                     : type.type == SqlType::SmallInt ? -32768
                     : type.type == SqlType::Int ? std::numeric_limits<qint32>::min()
                     : std::numeric_limits<qint64>::min();
    const qint64 high = type.type == SqlType::TinyInt ? 255
                      : type.type == SqlType::SmallInt ? 32767
                      : type.type == SqlType::Int ? std::numeric_limits<qint32>::max()
                      : std::numeric_limits<qint64>::max();
    if (value < low || value > high) {
        if (type.type == SqlType::TinyInt || type.type == SqlType::SmallInt)
            throw SqlError(msg::IntegerOverflow, {type.name(), QString::number(qint64(value))});
        overflow(type);
    }
    return SqlValue::integer(qint64(value), type.type);
}

SqlValue integerArithmetic(ArithmeticOp op, qint64 a, qint64 b, const TypeInfo& type)
{
    const __int128 x = a, y = b;
    switch (op) {
    case ArithmeticOp::Add: return integerResult(x + y, type);
    case ArithmeticOp::Subtract: return integerResult(x - y, type);
    case ArithmeticOp::Multiply: return integerResult(x * y, type);
    case ArithmeticOp::Divide:
        if (b == 0)
            throw SqlError(msg::DivideByZero);
        return integerResult(x / y, type);
    case ArithmeticOp::Modulo:
        if (b == 0)
            throw SqlError(msg::DivideByZero);
        return integerResult(x % y, type);
    }
    return {};
}

Decimal asDecimal(const SqlValue& value)
{
    return value.type().type == SqlType::Decimal ? value.toDecimal() : Decimal{value.toInteger(), 0};
}

SqlValue decimalArithmetic(ArithmeticOp op, const SqlValue& left, const SqlValue& right, const TypeInfo& type)
{
    const WideDecimal a = widen(asDecimal(left));
    const WideDecimal b = widen(asDecimal(right));
    std::optional<Decimal> result;
    switch (op) {
    case ArithmeticOp::Add:
        result = narrow(addWide(a, b), type.scale, type.precision);
        break;
    case ArithmeticOp::Subtract:
        result = narrow(addWide(a, {!b.negative, b.magnitude, b.scale}), type.scale, type.precision);
        break;
    case ArithmeticOp::Multiply:
        result = narrow({a.negative != b.negative, multiply(a.magnitude.low, b.magnitude.low), a.scale + b.scale},
                        type.scale, type.precision);
        break;
    case ArithmeticOp::Divide: {
        if (b.magnitude.isZero())
            throw SqlError(msg::DivideByZero);
        // The quotient is cut (not rounded) at the result's scale, as the server does.
        const int shift = type.scale + b.scale - a.scale;
        const U256 dividend = shift >= 0 ? multiply(a.magnitude, powerOfTen(shift)) : a.magnitude;
        const U256 divisor = shift >= 0 ? b.magnitude : multiply(b.magnitude, powerOfTen(-shift));
        result = narrow({a.negative != b.negative, divide(dividend, divisor), type.scale}, type.scale,
                        type.precision, true);
        break;
    }
    case ArithmeticOp::Modulo:
        break;
    }
    if (!result)
        overflow(type);
    return SqlValue::decimal(*result, type.precision);
}

SqlValue floatArithmetic(ArithmeticOp op, double a, double b)
{
    double result = 0;
    switch (op) {
    case ArithmeticOp::Add: result = a + b; break;
    case ArithmeticOp::Subtract: result = a - b; break;
    case ArithmeticOp::Multiply: result = a * b; break;
    case ArithmeticOp::Divide:
        if (b == 0)
            throw SqlError(msg::DivideByZero);
        result = a / b;
        break;
    case ArithmeticOp::Modulo: invalidOperand(TypeInfo::floating(), op);
    }
    if (!std::isfinite(result))
        overflow(TypeInfo::floating());
    return SqlValue::floating(result);
}

// A datetime plus or minus a number of days (fractions are times of day); a datetime minus a
// datetime is the distance from 1900-01-01.
SqlValue dateTimeArithmetic(ArithmeticOp op, const SqlValue& left, const SqlValue& right)
{
    const auto days = [](const SqlValue& v) {
        const DateTime d = v.toDateTime();
        return qint64(d.days) * DateTime::TicksPerDay + d.ticks;
    };
    const auto ticksOf = [&](const SqlValue& v) {
        if (v.type().type == SqlType::DateTime)
            return days(v);
        return qint64(std::llround(convert(v, TypeInfo::floating()).toFloat() * DateTime::TicksPerDay));
    };
    const qint64 a = ticksOf(left), b = ticksOf(right);
    const qint64 total = op == ArithmeticOp::Add ? a + b : a - b;
    const qint64 day = total >= 0 ? total / DateTime::TicksPerDay : -((-total + DateTime::TicksPerDay - 1) / DateTime::TicksPerDay);
    if (day < DateTime::MinDays || day > DateTime::MaxDays)
        overflow(TypeInfo::dateTime());
    return SqlValue::dateTime(DateTime{qint32(day), qint32(total - day * DateTime::TicksPerDay)});
}

} // namespace

SqlValue arithmetic(ArithmeticOp op, const SqlValue& left, const SqlValue& right, DateFormat dateFormat)
{
    const Operation operation = operationType(op, left.type(), right.type());
    if (left.isNull() || right.isNull())
        return SqlValue::null(operation.result);
    const TypeInfo& result = operation.result;
    if (result.isText())
        return SqlValue::text(left.toText() + right.toText(), result);
    if (result.type == SqlType::DateTime) {
        const auto operand = [&](const SqlValue& v) {
            return v.type().isText() ? implicitConvert(v, TypeInfo::dateTime(), dateFormat) : v;
        };
        return dateTimeArithmetic(op, operand(left), operand(right));
    }
    // A text operand is read as the other operand's type (245 / 8114 when it is no number).
    const auto operand = [&](const SqlValue& v) {
        return v.type().isText() ? implicitConvert(v, operation.operands, dateFormat) : v;
    };
    const SqlValue a = operand(left);
    const SqlValue b = operand(right);
    if (result.type == SqlType::Float)
        return floatArithmetic(op, convert(a, result).toFloat(), convert(b, result).toFloat());
    if (result.type == SqlType::Decimal)
        return decimalArithmetic(op, a, b, result);
    return integerArithmetic(op, a.toInteger(), b.toInteger(), result);
}

SqlValue negate(const SqlValue& value)
{
    const TypeInfo& type = value.type();
    if (!type.isNumeric() || type.type == SqlType::Bit)
        throw SqlError(msg::OperandType, {type.name(), QStringLiteral("minus")});
    if (value.isNull())
        return value;
    switch (type.type) {
    case SqlType::Float: return SqlValue::floating(-value.toFloat());
    case SqlType::Decimal: {
        Decimal negated = value.toDecimal();
        negated.unscaled = -negated.unscaled;
        return SqlValue::decimal(negated, type.precision);
    }
    default: return integerResult(-__int128(value.toInteger()), type);
    }
}

} // namespace sqlsim::tsql
