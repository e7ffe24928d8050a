#include "DateTimeText.h"
#include "DecimalMath.h"
#include "SqlError.h"
#include "Value.h"
#include "ValueText.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace sqlsim::tsql {

namespace {

struct Range {
    qint64 low, high;
};

Range integerRange(SqlType type)
{
    switch (type) {
    case SqlType::TinyInt: return {0, 255};
    case SqlType::SmallInt: return {-32768, 32767};
    case SqlType::Int: return {std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()};
    default: return {std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()};
    }
}

bool isSmallInteger(SqlType type) { return type == SqlType::TinyInt || type == SqlType::SmallInt; }

[[noreturn]] void overflow(const QString& from, const TypeInfo& target)
{
    throw SqlError(msg::ArithmeticOverflow, {from, target.name()});
}

SqlValue integerValue(qint64 number, const QString& from, const TypeInfo& target)
{
    const Range range = integerRange(target.type);
    if (number < range.low || number > range.high) {
        if (isSmallInteger(target.type))
            throw SqlError(msg::IntegerOverflow, {target.name(), QString::number(number)});
        overflow(from, target);
    }
    return SqlValue::integer(number, target.type);
}

// Digits with an optional sign between blanks; '' is 0.
SqlValue integerFromText(const SqlValue& value, const TypeInfo& target)
{
    static const QRegularExpression integer(QStringLiteral("^[+-]?\\d*$"));
    const QString text = trimBlanks(value.toText());
    const QString source = value.type().name();
    if (!integer.match(text).hasMatch() || text == QLatin1String("+") || text == QLatin1String("-"))
        throw SqlError(msg::ConversionFailed, {source, value.toText(), target.name()});
    const auto wide = parseDecimalText(text.isEmpty() ? QStringLiteral("0") : text);
    const auto exact = wide ? narrow(*wide, 0, 19) : std::nullopt;
    const Range range = integerRange(target.type);
    if (!exact || exact->unscaled < range.low || exact->unscaled > range.high)
        throw SqlError(isSmallInteger(target.type) ? 244 : 248, {source, value.toText(), target.name()});
    return SqlValue::integer(qint64(exact->unscaled), target.type);
}

SqlValue toInteger(const SqlValue& value, const TypeInfo& target)
{
    const TypeInfo& from = value.type();
    if (from.isInteger() || from.type == SqlType::Bit)
        return integerValue(value.toInteger(), QStringLiteral("expression"), target);
    if (from.type == SqlType::Decimal) {
        const auto whole = narrow(widen(value.toDecimal()), 0, 19, true);
        const Range range = integerRange(target.type);
        if (!whole || whole->unscaled < range.low || whole->unscaled > range.high)
            overflow(from.name(), target);
        return SqlValue::integer(qint64(whole->unscaled), target.type);
    }
    if (from.type == SqlType::Float) {
        const double whole = std::trunc(value.toFloat());
        const Range range = integerRange(target.type);
        if (!(whole >= double(range.low) && whole <= double(range.high)))
            throw SqlError(232, {target.name(), QString::number(value.toFloat(), 'f', 6)});
        return SqlValue::integer(qint64(whole), target.type);
    }
    if (from.isText())
        return integerFromText(value, target);
    if (from.type == SqlType::DateTime) {
        const DateTime moment = value.toDateTime();
        return integerValue(moment.days + (moment.ticks >= DateTime::TicksPerDay / 2 ? 1 : 0),
                            from.name(), target);
    }
    // Binary: the trailing bytes, most significant first.
    qint64 number = 0;
    const int width = target.type == SqlType::TinyInt ? 1 : target.type == SqlType::SmallInt ? 2
                    : target.type == SqlType::Int     ? 4 : 8;
    for (const char byte : value.toBinary().right(width))
        number = (number << 8) | quint8(byte);
    if (width < 8 && target.type != SqlType::TinyInt && (number >> (width * 8 - 1)) != 0)
        number -= qint64(1) << (width * 8);
    return SqlValue::integer(number, target.type);
}

double floatFromText(const SqlValue& value)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    const QString text = trimBlanks(value.toText());
    if (text.isEmpty())
        return 0;
    if (!number.match(text).hasMatch())
        throw SqlError(msg::ConversionError, {value.type().name(), QStringLiteral("float")});
    return text.toDouble();
}

double toDouble(const SqlValue& value)
{
    const TypeInfo& from = value.type();
    if (from.isInteger() || from.type == SqlType::Bit)
        return double(value.toInteger());
    if (from.type == SqlType::Decimal)
        return decimalToDouble(value.toDecimal());
    if (from.type == SqlType::Float)
        return value.toFloat();
    if (from.isText())
        return floatFromText(value);
    if (from.type == SqlType::DateTime)
        return value.toDateTime().days + double(value.toDateTime().ticks) / DateTime::TicksPerDay;
    throw SqlError(msg::ExplicitConversion, {from.name(), QStringLiteral("float")});
}

SqlValue toDecimal(const SqlValue& value, const TypeInfo& target)
{
    const TypeInfo& from = value.type();
    std::optional<Decimal> result;
    if (from.isInteger() || from.type == SqlType::Bit) {
        result = narrow(widen(Decimal{value.toInteger(), 0}), target.scale, target.precision);
    } else if (from.type == SqlType::Decimal) {
        result = narrow(widen(value.toDecimal()), target.scale, target.precision);
    } else if (from.type == SqlType::Float) {
        result = decimalFromDouble(value.toFloat(), target.scale, target.precision);
    } else if (from.isText()) {
        const auto parsed = parseDecimalText(value.toText());
        if (!parsed)
            throw SqlError(msg::ConversionError, {from.name(), target.name()});
        result = narrow(*parsed, target.scale, target.precision);
    } else {
        throw SqlError(msg::ExplicitConversion, {from.name(), target.name()});
    }
    if (!result)
        overflow(from.name(), target);
    return SqlValue::decimal(*result, target.precision);
}

SqlValue toDateTime(const SqlValue& value, const TypeInfo& target, int style, DateFormat dateFormat)
{
    const TypeInfo& from = value.type();
    if (from.type == SqlType::DateTime)
        return value;
    if (from.isText()) {
        if (trimBlanks(value.toText()).isEmpty())
            return SqlValue::dateTime(DateTime{});
        const DateTimeReading reading = readDateTime(value.toText(), styleDateFormat(style, dateFormat));
        if (!reading.value)
            throw SqlError(reading.outOfRange ? msg::DateTimeOutOfRange : msg::DateTimeSyntax);
        return SqlValue::dateTime(*reading.value);
    }
    if (from.isNumeric()) {
        const double days = toDouble(value);
        const double whole = std::floor(days);
        const qint64 ticks = std::llround((days - whole) * DateTime::TicksPerDay);
        if (!(whole >= DateTime::MinDays && whole <= DateTime::MaxDays))
            overflow(QStringLiteral("expression"), target);
        return SqlValue::dateTime(ticks >= DateTime::TicksPerDay ? DateTime{qint32(whole) + 1, 0}
                                                                  : DateTime{qint32(whole), qint32(ticks)});
    }
    throw SqlError(msg::ExplicitConversion, {from.name(), target.name()});
}

// Float as the server writes it: %g with the style's significant digits (0: 6; 1: 8 and 2: 16,
// always with an exponent) and a three-digit exponent.
QString floatText(double number, int style)
{
    QString text = style == 1 ? QString::asprintf("%.7e", number)
                 : style == 2 ? QString::asprintf("%.15e", number)
                              : QString::asprintf("%.6g", number);
    static const QRegularExpression exponent(QStringLiteral("e([+-])(\\d+)$"));
    const auto m = exponent.match(text);
    if (m.hasMatch())
        text = text.left(m.capturedStart()) + u'e' + m.captured(1) + m.captured(2).rightJustified(3, u'0');
    return text;
}

QString binaryAsText(const QByteArray& bytes) { return QString::fromLatin1(bytes); }

SqlValue toText(const SqlValue& value, const TypeInfo& target, int style)
{
    const TypeInfo& from = value.type();
    QString text;
    bool numberText = false;
    if (from.isText()) {
        text = value.toText();
    } else if (from.isInteger() || from.type == SqlType::Bit) {
        text = QString::number(value.toInteger());
        numberText = true;
    } else if (from.type == SqlType::Decimal) {
        text = value.toDecimal().toString();
        numberText = true;
    } else if (from.type == SqlType::Float) {
        text = floatText(value.toFloat(), style);
        numberText = true;
    } else if (from.type == SqlType::DateTime) {
        text = formatDateTime(value.toDateTime(), style);
    } else {
        text = binaryAsText(value.toBinary());
    }
    if (numberText && text.size() > target.size) {
        // An integer too long for 8-bit text reads as a star; anything else overflows.
        const bool integer = from.isInteger() || from.type == SqlType::Bit;
        if (integer && !target.isUnicode())
            text = QStringLiteral("*");
        else
            overflow(integer ? QStringLiteral("expression") : from.name(), target);
    }
    text = text.left(target.size);
    if (!target.isUnicode())
        text = toEightBit(text);
    if (target.isFixedLength())
        text = text.leftJustified(target.size, u' ');
    return SqlValue::text(text, target);
}

SqlValue toBinary(const SqlValue& value, const TypeInfo& target)
{
    const TypeInfo& from = value.type();
    QByteArray bytes;
    if (from.isBinary()) {
        bytes = value.toBinary();
    } else if (from.isText()) {
        bytes = from.isUnicode()
            ? QByteArray(reinterpret_cast<const char*>(value.toText().utf16()), value.toText().size() * 2)
            : value.toText().toLatin1();
    } else if (from.isInteger() || from.type == SqlType::Bit) {
        const int width = from.type == SqlType::BigInt ? 8 : from.type == SqlType::Int ? 4
                        : from.type == SqlType::SmallInt ? 2 : 1;
        for (int i = width - 1; i >= 0; --i)
            bytes.append(char((value.toInteger() >> (8 * i)) & 0xFF));
        if (bytes.size() > target.size)
            bytes = bytes.right(target.size);
    } else {
        throw SqlError(msg::ExplicitConversion, {from.name(), target.name()});
    }
    bytes = bytes.left(target.size);
    if (target.isFixedLength())
        bytes.append(QByteArray(target.size - bytes.size(), '\0'));
    return SqlValue::binary(bytes, target);
}

} // namespace

SqlValue convert(const SqlValue& value, const TypeInfo& target, int style, DateFormat dateFormat)
{
    if (value.isNull())
        return SqlValue::null(target);
    switch (target.type) {
    case SqlType::TinyInt:
    case SqlType::SmallInt:
    case SqlType::Int:
    case SqlType::BigInt:
        return toInteger(value, target);
    case SqlType::Bit:
        if (value.type().type == SqlType::Float)
            return SqlValue::bit(value.toFloat() != 0);
        if (value.type().type == SqlType::Decimal)
            return SqlValue::bit(value.toDecimal().unscaled != 0);
        return SqlValue::bit(toInteger(value, target).toInteger() != 0);
    case SqlType::Float: {
        const double number = toDouble(value);
        return SqlValue::floating(target.precision == 24 ? double(float(number)) : number);
    }
    case SqlType::Decimal:
        return toDecimal(value, target);
    case SqlType::DateTime:
        return toDateTime(value, target, style, dateFormat);
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::NVarChar:
        return toText(value, target, style);
    case SqlType::Binary:
    case SqlType::VarBinary:
        return toBinary(value, target);
    }
    return value;
}

SqlValue implicitConvert(const SqlValue& value, const TypeInfo& target, DateFormat dateFormat)
{
    const TypeInfo& from = value.type();
    const bool dateToNumber = from.type == SqlType::DateTime && target.isNumeric();
    const bool textToBinary = from.isText() && target.isBinary();
    const bool binaryToNumber = from.isBinary() && (target.type == SqlType::Float || target.type == SqlType::Decimal);
    if (dateToNumber || textToBinary || binaryToNumber)
        throw SqlError(msg::ImplicitConversion, {from.name(), target.name()});
    return convert(value, target, 0, dateFormat);
}

SqlValue storedConvert(const SqlValue& value, const TypeInfo& column, DateFormat dateFormat)
{
    if (!value.isNull() && column.size > 0) {
        const TypeInfo& from = value.type();
        const bool textCut = from.isText() && column.isText()
            && trimTrailingBlanks(value.toText()).size() > column.size;
        const bool bytesCut = from.isBinary() && column.isBinary() && value.toBinary().size() > column.size;
        if (textCut || bytesCut)
            throw SqlError(msg::Truncated);
    }
    return implicitConvert(value, column, dateFormat);
}

} // namespace sqlsim::tsql
