#include "TypeEncoding.h"

#include "Bytes.h"

#include <QDateTime>

namespace sqlsim::tds {

namespace {

int fixedSize(SqlType type)
{
    switch (type) {
    case SqlType::TinyInt:
    case SqlType::Bit:
        return 1;
    case SqlType::SmallInt:
        return 2;
    case SqlType::Int:
        return 4;
    case SqlType::BigInt:
    case SqlType::Float:
    case SqlType::DateTime:
        return 8;
    default:
        return 0;
    }
}

bool isUnicode(SqlType type) { return type == SqlType::NChar || type == SqlType::NVarChar; }
bool isBinary(SqlType type) { return type == SqlType::Binary || type == SqlType::VarBinary; }
bool isFixedWidth(SqlType type)
{
    return type == SqlType::Char || type == SqlType::NChar || type == SqlType::Binary;
}

// Maximum byte length of a text or binary column, as TYPE_INFO states it.
int maxBytes(const Column& column)
{
    const int size = std::clamp(column.size, 1, isUnicode(column.type) ? 4000 : 8000);
    return isUnicode(column.type) ? size * 2 : size;
}

// 2.2.5.5.1.8 DATETIME: days since 1900-01-01 and 1/300 seconds since midnight.
void putDateTime(QByteArray& out, const QDateTime& value)
{
    static const qint64 base = QDate(1900, 1, 1).toJulianDay();
    qint64 days = value.date().toJulianDay() - base;
    qint64 ticks = (qint64(value.time().msecsSinceStartOfDay()) * 300 + 500) / 1000;
    if (ticks >= 300LL * 86400) {   // 23:59:59.999 rounds up to the next day, as the server does
        ticks = 0;
        ++days;
    }
    putU32(out, std::uint32_t(std::int32_t(days)));
    putU32(out, std::uint32_t(ticks));
}

void putFixed(QByteArray& out, SqlType type, const Value& value)
{
    switch (type) {
    case SqlType::TinyInt:
    case SqlType::Bit:
        putU8(out, std::uint8_t(value.toLongLong()));
        break;
    case SqlType::SmallInt:
        putU16(out, std::uint16_t(value.toLongLong()));
        break;
    case SqlType::Int:
        putU32(out, std::uint32_t(value.toLongLong()));
        break;
    case SqlType::BigInt:
        putU64(out, std::uint64_t(value.toLongLong()));
        break;
    case SqlType::Float: {
        const double number = value.toDouble();
        std::uint64_t bits;
        std::memcpy(&bits, &number, sizeof bits);
        putU64(out, bits);
        break;
    }
    case SqlType::DateTime:
        putDateTime(out, value.isNull() ? QDateTime(QDate(1900, 1, 1), QTime(0, 0)) : value.toDateTime());
        break;
    default:
        break;
    }
}

void putDecimal(QByteArray& out, const Column& column, const Value& value)
{
    unsigned __int128 magnitude = 0;
    bool negative = false;
    if (!parseDecimal(value.toString(), column.scale, magnitude, negative)) {
        putU8(out, 0);   // not a number: null rather than a made-up value
        return;
    }
    const int length = decimalLength(column.precision);
    putU8(out, std::uint8_t(length));
    putU8(out, negative ? 0 : 1);
    for (int i = 0; i < length - 1; ++i) {
        putU8(out, std::uint8_t(magnitude & 0xFF));
        magnitude >>= 8;
    }
}

QByteArray variableBytes(const Column& column, const Value& value)
{
    const int limit = maxBytes(column);
    QByteArray bytes;
    if (isBinary(column.type)) {
        bytes = value.toByteArray().left(limit);
        if (isFixedWidth(column.type))
            bytes.append(QByteArray(limit - bytes.size(), '\0'));
    } else if (isUnicode(column.type)) {
        QString text = value.toString().left(limit / 2);
        if (isFixedWidth(column.type))
            text = text.leftJustified(limit / 2, u' ');
        putUcs2(bytes, text);
    } else {
        QString text = value.toString().left(limit);
        if (isFixedWidth(column.type))
            text = text.leftJustified(limit, u' ');
        bytes = text.toLatin1();
    }
    return bytes;
}

// 10^37: one more digit would pass the 38 digits a decimal can hold.
unsigned __int128 maxBeforeDigit()
{
    unsigned __int128 value = 1;
    for (int i = 0; i < 37; ++i)
        value *= 10;
    return value;
}

} // namespace

int decimalLength(int precision)
{
    if (precision <= 9)
        return 5;
    if (precision <= 19)
        return 9;
    if (precision <= 28)
        return 13;
    return 17;
}

bool parseDecimal(const QString& text, int scale, unsigned __int128& magnitude, bool& negative)
{
    const QString s = text.trimmed();
    qsizetype i = 0;
    negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+'))
        negative = s[i++] == u'-';
    magnitude = 0;
    int fractionDigits = -1;   // -1: before the point
    bool anyDigit = false;
    bool roundUp = false;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'.' && fractionDigits < 0) {
            fractionDigits = 0;
            continue;
        }
        if (!c.isDigit())
            return false;
        anyDigit = true;
        if (fractionDigits >= scale) {
            if (fractionDigits == scale)
                roundUp = c.digitValue() >= 5;
            ++fractionDigits;
            continue;
        }
        if (magnitude >= maxBeforeDigit())
            return false;
        magnitude = magnitude * 10 + unsigned(c.digitValue());
        if (fractionDigits >= 0)
            ++fractionDigits;
    }
    if (!anyDigit)
        return false;
    for (int d = std::max(fractionDigits, 0); d < scale; ++d) {
        if (magnitude >= maxBeforeDigit())
            return false;
        magnitude *= 10;
    }
    if (roundUp)
        ++magnitude;
    if (magnitude == 0)
        negative = false;
    return true;
}

WireType wireType(const Column& column)
{
    const bool n = column.nullable;
    switch (column.type) {
    case SqlType::TinyInt: return n ? WireType::IntN : WireType::Int1;
    case SqlType::SmallInt: return n ? WireType::IntN : WireType::Int2;
    case SqlType::Int: return n ? WireType::IntN : WireType::Int4;
    case SqlType::BigInt: return n ? WireType::IntN : WireType::Int8;
    case SqlType::Bit: return n ? WireType::BitN : WireType::Bit;
    case SqlType::Float: return n ? WireType::FloatN : WireType::Float8;
    case SqlType::DateTime: return n ? WireType::DateTimeN : WireType::DateTime;
    case SqlType::Decimal: return WireType::DecimalN;
    case SqlType::Char: return WireType::BigChar;
    case SqlType::VarChar: return WireType::BigVarChar;
    case SqlType::NChar: return WireType::NChar;
    case SqlType::NVarChar: return WireType::NVarChar;
    case SqlType::Binary: return WireType::BigBinary;
    case SqlType::VarBinary: return WireType::BigVarBinary;
    }
    return WireType::IntN;
}

void putTypeInfo(QByteArray& out, const Column& column)
{
    const WireType type = wireType(column);
    putU8(out, std::uint8_t(type));
    switch (type) {
    case WireType::IntN:
    case WireType::BitN:
    case WireType::FloatN:
    case WireType::DateTimeN:
        putU8(out, std::uint8_t(fixedSize(column.type)));
        break;
    case WireType::DecimalN:
        putU8(out, std::uint8_t(decimalLength(column.precision)));
        putU8(out, std::uint8_t(column.precision));
        putU8(out, std::uint8_t(column.scale));
        break;
    case WireType::BigChar:
    case WireType::BigVarChar:
    case WireType::NChar:
    case WireType::NVarChar:
        putU16(out, std::uint16_t(maxBytes(column)));
        out.append(defaultCollation());
        break;
    case WireType::BigBinary:
    case WireType::BigVarBinary:
        putU16(out, std::uint16_t(maxBytes(column)));
        break;
    default:   // fixed-length types carry no more
        break;
    }
}

void putValue(QByteArray& out, const Column& column, const Value& value)
{
    const bool null = value.isNull();
    switch (wireType(column)) {
    case WireType::IntN:
    case WireType::BitN:
    case WireType::FloatN:
    case WireType::DateTimeN:
        if (null) {
            putU8(out, 0);
        } else {
            putU8(out, std::uint8_t(fixedSize(column.type)));
            putFixed(out, column.type, value);
        }
        break;
    case WireType::DecimalN:
        if (null)
            putU8(out, 0);
        else
            putDecimal(out, column, value);
        break;
    case WireType::BigChar:
    case WireType::BigVarChar:
    case WireType::NChar:
    case WireType::NVarChar:
    case WireType::BigBinary:
    case WireType::BigVarBinary:
        if (null) {
            putU16(out, 0xFFFF);
        } else {
            const QByteArray bytes = variableBytes(column, value);
            putU16(out, std::uint16_t(bytes.size()));
            out.append(bytes);
        }
        break;
    default:
        putFixed(out, column.type, value);
        break;
    }
}

} // namespace sqlsim::tds
