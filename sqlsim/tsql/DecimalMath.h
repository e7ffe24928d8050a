// Exact decimal arithmetic for the value layer: a product of two 38-digit numbers or a dividend
// scaled up for a quotient's digits needs more than 128 bits, so intermediate results are held
// as a sign and a 256-bit magnitude before they are narrowed back to a Decimal.
#pragma once

#include "Value.h"

#include <optional>

namespace sqlsim::tsql {

using u128 = unsigned __int128;

/// A 256-bit unsigned integer.
struct U256 {
    u128 high = 0;
    u128 low = 0;

    static U256 from(u128 value) { return {0, value}; }
    bool isZero() const { return high == 0 && low == 0; }
    auto operator<=>(const U256&) const = default;
};

U256 add(const U256& a, const U256& b);
U256 subtract(const U256& a, const U256& b);   // a >= b
U256 multiply(u128 a, u128 b);
U256 multiply(const U256& a, const U256& b);   // the low 256 bits
/// Quotient and remainder; `divisor` must not be zero.
U256 divide(const U256& dividend, const U256& divisor, U256* remainder = nullptr);
/// 10^n for 0 <= n <= 77.
const U256& powerOfTen(int n);

/// A sign and magnitude at a scale: the exact intermediate of a decimal operation.
struct WideDecimal {
    bool negative = false;
    U256 magnitude;
    int scale = 0;
};

WideDecimal widen(const Decimal& value);
/// The value at `scale` (rounded half away from zero, or truncated toward zero), when its digits
/// fit `precision`.
std::optional<Decimal> narrow(const WideDecimal& value, int scale, int precision, bool truncate = false);
/// The value scaled up to `scale` (>= its own); exact.
WideDecimal rescaleUp(const WideDecimal& value, int scale);
/// The exact sum, at the larger of the two scales.
WideDecimal addWide(const WideDecimal& left, const WideDecimal& right);
/// -1, 0, 1 as left is below, equal to or above right.
int compareWide(const WideDecimal& left, const WideDecimal& right);

/// The number of decimal digits of a magnitude (1 for zero).
int digitCount(u128 magnitude);

/// The precision a decimal operand of an integer type has (bit 1, tinyint 3, smallint 5, int 10,
/// bigint 19); other types are returned as they are.
TypeInfo decimalTypeOf(const TypeInfo& type);
/// A decimal type held to 38 digits: past that the scale gives way so the whole part keeps its
/// digits.
TypeInfo fittedDecimal(int precision, int scale);

/// A decimal number written in text ("  -12.50 ", ".5", "7."), exactly, at the scale of its
/// written fraction; nothing when it is no such number (or longer than 77 digits).
std::optional<WideDecimal> parseDecimalText(const QString& text);

/// The decimal nearest a double at `scale`; nothing when it does not fit `precision`.
std::optional<Decimal> decimalFromDouble(double value, int scale, int precision);
double decimalToDouble(const Decimal& value);

} // namespace sqlsim::tsql
