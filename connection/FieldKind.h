// The kinds of a result set's fields and the binding rule between declared and actual kinds.
#pragma once

#include <QString>

namespace velmora {

enum class FieldKind {
    SmallInt,      // 16-bit integer
    Integer,       // 32-bit integer
    LargeInt,      // 64-bit integer
    Float,         // double
    BCD,           // decimal / numeric, held as its exact text
    DateTime,
    String,        // variable-width 8-bit text
    FixedChar,     // fixed-width 8-bit text, padded by the server
    WideString,    // variable-width Unicode text
    FixedWideChar, // fixed-width Unicode text, padded by the server
    Bytes,         // fixed-width byte string
    VarBytes,      // variable-width byte string
};

/// The kind's name as the binding messages print it ("SmallInt", "WideString", ...).
QString fieldKindName(FieldKind kind);

bool isIntegerKind(FieldKind kind);   // SmallInt, Integer, LargeInt
bool isTextKind(FieldKind kind);      // String, FixedChar, WideString, FixedWideChar
bool isByteKind(FieldKind kind);      // Bytes, VarBytes
bool isNumberKind(FieldKind kind);    // integers, Float, BCD

/// Whether a server column of kind `actual` may be bound to a declared field of kind
/// `declared`: 16- and 32-bit integers are interchangeable but not with 64-bit, text kinds are
/// interchangeable, every other kind binds to itself only. Widths are checked separately.
bool kindsCompatible(FieldKind declared, FieldKind actual);

} // namespace velmora
