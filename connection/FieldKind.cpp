#include "FieldKind.h"

namespace velmora {

QString fieldKindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::SmallInt: return QStringLiteral("SmallInt");
    case FieldKind::Integer: return QStringLiteral("Integer");
    case FieldKind::LargeInt: return QStringLiteral("LargeInt");
    case FieldKind::Float: return QStringLiteral("Float");
    case FieldKind::BCD: return QStringLiteral("BCD");
    case FieldKind::DateTime: return QStringLiteral("DateTime");
    case FieldKind::String: return QStringLiteral("String");
    case FieldKind::FixedChar: return QStringLiteral("FixedChar");
    case FieldKind::WideString: return QStringLiteral("WideString");
    case FieldKind::FixedWideChar: return QStringLiteral("FixedWideChar");
    case FieldKind::Bytes: return QStringLiteral("Bytes");
    case FieldKind::VarBytes: return QStringLiteral("VarBytes");
    }
    return {};
}

bool isIntegerKind(FieldKind kind)
{
    return kind == FieldKind::SmallInt || kind == FieldKind::Integer || kind == FieldKind::LargeInt;
}

bool isTextKind(FieldKind kind)
{
    return kind == FieldKind::String || kind == FieldKind::FixedChar || kind == FieldKind::WideString
        || kind == FieldKind::FixedWideChar;
}

bool isByteKind(FieldKind kind)
{
    return kind == FieldKind::Bytes || kind == FieldKind::VarBytes;
}

bool isNumberKind(FieldKind kind)
{
    return isIntegerKind(kind) || kind == FieldKind::Float || kind == FieldKind::BCD;
}

bool kindsCompatible(FieldKind declared, FieldKind actual)
{
    if (declared == actual)
        return true;
    auto shortInteger = [](FieldKind k) { return k == FieldKind::SmallInt || k == FieldKind::Integer; };
    if (shortInteger(declared) && shortInteger(actual))
        return true;
    return isTextKind(declared) && isTextKind(actual);
}

} // namespace velmora
