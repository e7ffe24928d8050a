// How engine column types travel: TYPE_INFO in COLMETADATA and the value bytes of ROW, typed
// as SQL Server types them (fixed-length types for NOT NULL columns, the N-types otherwise).
#pragma once

#include "state/Reply.h"

#include <QByteArray>

namespace sqlsim::tds {

// 2.2.5.1.2 Data type definitions (the ones the simulator sends)
enum class WireType : std::uint8_t {
    Int1 = 0x30, Bit = 0x32, Int2 = 0x34, Int4 = 0x38, DateTime = 0x3D, Float8 = 0x3E,
    Int8 = 0x7F, IntN = 0x26, BitN = 0x68, DecimalN = 0x6A, FloatN = 0x6D, DateTimeN = 0x6F,
    BigVarBinary = 0xA5, BigVarChar = 0xA7, BigBinary = 0xAD, BigChar = 0xAF,
    NVarChar = 0xE7, NChar = 0xEF,
};

/// SQL_Latin1_General_CP1_CI_AS: LCID 0x0409, case/kana/width insensitive, sort id 52.
inline const QByteArray& defaultCollation()
{
    static const QByteArray collation("\x09\x04\xD0\x00\x34", 5);
    return collation;
}

WireType wireType(const Column& column);

/// TYPE_INFO of a column (2.2.5.6).
void putTypeInfo(QByteArray& out, const Column& column);

/// One value of a ROW token. Text longer than the column is cut, fixed-length text and binary
/// are padded as the server pads them. A null in a NOT NULL column is written as the type's
/// zero (the engine never produces one).
void putValue(QByteArray& out, const Column& column, const Value& value);

/// Bytes a DECIMALN value of this precision takes, sign byte included (2.2.5.5.1.6).
int decimalLength(int precision);

/// The scaled integer magnitude and sign of a decimal text such as "-12.3400", rounded half away
/// from zero to `scale` digits. Returns false for text that is not a number.
bool parseDecimal(const QString& text, int scale, unsigned __int128& magnitude, bool& negative);

} // namespace sqlsim::tds
