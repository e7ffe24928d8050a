#include "DecimalMath.h"

#include "ValueText.h"

#include <array>

namespace sqlsim::tsql {

namespace {

constexpr int MaxDigits = 38;
constexpr int MaxWideDigits = 77;   // 10^77 < 2^256

U256 shiftLeftOne(const U256& a)
{
    return {(a.high << 1) | (a.low >> 127), a.low << 1};
}

bool bit(const U256& a, int index)
{
    return index >= 128 ? ((a.high >> (index - 128)) & 1) != 0 : ((a.low >> index) & 1) != 0;
}

int bitLength(const U256& a)
{
    for (int i = 255; i >= 0; --i)
        if (bit(a, i))
            return i + 1;
    return 0;
}

} // namespace

U256 add(const U256& a, const U256& b)
{
    const u128 low = a.low + b.low;
    return {a.high + b.high + (low < a.low ? 1 : 0), low};
}

U256 subtract(const U256& a, const U256& b)
{
    const u128 low = a.low - b.low;
    return {a.high - b.high - (a.low < b.low ? 1 : 0), low};
}

U256 multiply(u128 a, u128 b)
{
    const u128 mask = ~std::uint64_t(0);
    const u128 a0 = a & mask, a1 = a >> 64, b0 = b & mask, b1 = b >> 64;
    const u128 p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    // The middle column: carries of the three 64-bit pieces that land at bit 64.
    const u128 middle = (p00 >> 64) + (p01 & mask) + (p10 & mask);
    const u128 low = (middle << 64) | (p00 & mask);
    const u128 high = p11 + (p01 >> 64) + (p10 >> 64) + (middle >> 64);
    return {high, low};
}

U256 multiply(const U256& a, const U256& b)
{
    U256 result = multiply(a.low, b.low);
    result.high += a.low * b.high + a.high * b.low;
    return result;
}

U256 divide(const U256& dividend, const U256& divisor, U256* remainder)
{
    if (dividend.high == 0 && divisor.high == 0) {
        if (remainder)
            *remainder = U256::from(dividend.low % divisor.low);
        return U256::from(dividend.low / divisor.low);
    }
    U256 quotient;
    U256 rest;
    for (int i = bitLength(dividend) - 1; i >= 0; --i) {
        rest = shiftLeftOne(rest);
        if (bit(dividend, i))
            rest.low |= 1;
        quotient = shiftLeftOne(quotient);
        if (rest >= divisor) {
            rest = subtract(rest, divisor);
            quotient.low |= 1;
        }
    }
    if (remainder)
        *remainder = rest;
    return quotient;
}

const U256& powerOfTen(int n)
{
    static const std::array<U256, MaxWideDigits + 1> powers = [] {
        std::array<U256, MaxWideDigits + 1> p;
        p[0] = U256::from(1);
        for (int i = 1; i <= MaxWideDigits; ++i)
            p[i] = multiply(p[i - 1], U256::from(10));
        return p;
    }();
    return powers[std::clamp(n, 0, MaxWideDigits)];
}

int digitCount(u128 magnitude)
{
    int digits = 1;
    while (magnitude >= 10) {
        magnitude /= 10;
        ++digits;
    }
    return digits;
}

WideDecimal widen(const Decimal& value)
{
    const bool negative = value.unscaled < 0;
    const u128 magnitude = negative ? u128(-(value.unscaled + 1)) + 1 : u128(value.unscaled);
    return {negative, U256::from(magnitude), value.scale};
}

WideDecimal rescaleUp(const WideDecimal& value, int scale)
{
    if (scale <= value.scale)
        return value;
    return {value.negative, multiply(value.magnitude, powerOfTen(scale - value.scale)), scale};
}

WideDecimal addWide(const WideDecimal& left, const WideDecimal& right)
{
    const int scale = std::max(left.scale, right.scale);
    const WideDecimal a = rescaleUp(left, scale);
    const WideDecimal b = rescaleUp(right, scale);
    if (a.negative == b.negative)
        return {a.negative, add(a.magnitude, b.magnitude), scale};
    if (a.magnitude >= b.magnitude)
        return {a.negative && a.magnitude != b.magnitude, subtract(a.magnitude, b.magnitude), scale};
    return {b.negative, subtract(b.magnitude, a.magnitude), scale};
}

int compareWide(const WideDecimal& left, const WideDecimal& right)
{
    const WideDecimal difference = addWide(left, {!right.negative, right.magnitude, right.scale});
    if (difference.magnitude.isZero())
        return 0;
    return difference.negative ? -1 : 1;
}

std::optional<Decimal> narrow(const WideDecimal& value, int scale, int precision, bool truncate)
{
    U256 magnitude = value.magnitude;
    if (scale >= value.scale) {
        if (scale - value.scale > MaxWideDigits || bitLength(magnitude) + 4 * (scale - value.scale) > 256)
            return std::nullopt;
        magnitude = multiply(magnitude, powerOfTen(scale - value.scale));
    } else {
        const int drop = value.scale - scale;
        if (drop > MaxWideDigits) {
            magnitude = U256();
        } else {
            U256 rest;
            const U256& divisor = powerOfTen(drop);
            magnitude = divide(magnitude, divisor, &rest);
            if (!truncate && add(rest, rest) >= divisor)
                magnitude = add(magnitude, U256::from(1));
        }
    }
    const int limit = std::min(precision, MaxDigits);
    if (magnitude >= powerOfTen(limit))
        return std::nullopt;
    const __int128 unscaled = __int128(magnitude.low);
    return Decimal{value.negative ? -unscaled : unscaled, scale};
}

TypeInfo decimalTypeOf(const TypeInfo& type)
{
    switch (type.type) {
    case SqlType::Bit: return TypeInfo::decimal(1, 0);
    case SqlType::TinyInt: return TypeInfo::decimal(3, 0);
    case SqlType::SmallInt: return TypeInfo::decimal(5, 0);
    case SqlType::Int: return TypeInfo::decimal(10, 0);
    case SqlType::BigInt: return TypeInfo::decimal(19, 0);
    default: return type;
    }
}

TypeInfo fittedDecimal(int precision, int scale)
{
    if (precision > MaxDigits) {
        scale = std::max(0, scale - (precision - MaxDigits));
        precision = MaxDigits;
    }
    return TypeInfo::decimal(precision, scale);
}

std::optional<WideDecimal> parseDecimalText(const QString& text)
{
    const QString s = trimBlanks(text);
    qsizetype i = 0;
    WideDecimal value;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+'))
        value.negative = s[i++] == u'-';
    bool fraction = false;
    bool anyDigit = false;
    int significant = 0;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'.' && !fraction) {
            fraction = true;
            continue;
        }
        if (c < u'0' || c > u'9')
            return std::nullopt;
        anyDigit = true;
        if (significant > 0 || c != u'0')
            ++significant;
        if (significant > MaxWideDigits)
            return std::nullopt;
        value.magnitude = add(multiply(value.magnitude, U256::from(10)), U256::from(unsigned(c.unicode() - u'0')));
        if (fraction)
            ++value.scale;
    }
    if (!anyDigit)
        return std::nullopt;
    if (value.magnitude.isZero())
        value.negative = false;
    return value;
}

std::optional<Decimal> decimalFromDouble(double value, int scale, int precision)
{
    const auto parsed = parseDecimalText(QString::number(value, 'f', scale));
    if (!parsed)
        return std::nullopt;
    return narrow(*parsed, scale, precision);
}

double decimalToDouble(const Decimal& value)
{
    return value.toString().toDouble();
}

QString Decimal::toString() const
{
    const WideDecimal wide = widen(*this);
    QString digits;
    u128 magnitude = wide.magnitude.low;
    do {
        digits.prepend(QChar(u'0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (scale > 0) {
        if (digits.size() <= scale)
            digits.prepend(QString(scale - digits.size() + 1, u'0'));
        digits.insert(digits.size() - scale, u'.');
    }
    if (wide.negative)
        digits.prepend(u'-');
    return digits;
}

int Decimal::digits() const
{
    return digitCount(widen(*this).magnitude.low);
}

} // namespace sqlsim::tsql
