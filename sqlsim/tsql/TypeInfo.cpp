#include "DecimalMath.h"
#include "SqlError.h"
#include "Value.h"

#include <algorithm>

namespace sqlsim::tsql {

namespace {

constexpr int MaxDecimalPrecision = 38;
constexpr int MaxBytes = 8000;
constexpr int MaxUnicode = 4000;

struct NamedType {
    const char* name;
    SqlType type;
};

constexpr NamedType namedTypes[] = {
    {"int", SqlType::Int},           {"integer", SqlType::Int},
    {"smallint", SqlType::SmallInt}, {"tinyint", SqlType::TinyInt},
    {"bigint", SqlType::BigInt},     {"bit", SqlType::Bit},
    {"float", SqlType::Float},       {"real", SqlType::Float},
    {"dec", SqlType::Decimal},       {"decimal", SqlType::Decimal},
    {"numeric", SqlType::Decimal},   {"char", SqlType::Char},
    {"character", SqlType::Char},    {"varchar", SqlType::VarChar},
    {"nchar", SqlType::NChar},       {"nvarchar", SqlType::NVarChar},
    {"sysname", SqlType::NVarChar},  {"datetime", SqlType::DateTime},
    {"binary", SqlType::Binary},     {"varbinary", SqlType::VarBinary},
};

const NamedType* findNamedType(const QString& name)
{
    const QString lower = name.toLower();
    const auto found = std::find_if(std::begin(namedTypes), std::end(namedTypes),
                                    [&](const NamedType& t) { return lower == QLatin1String(t.name); });
    return found == std::end(namedTypes) ? nullptr : found;
}

int param(const std::vector<int>& params, size_t index, int fallback)
{
    return index < params.size() ? params[index] : fallback;
}

void checkLength(int length, int maximum, const QString& name)
{
    if (length < 1)
        throw SqlError(1001, {QStringLiteral("1"), QString::number(length)});
    if (length > maximum)
        throw SqlError(131, {QString::number(length), QStringLiteral("type"), name,
                             QString::number(maximum)});
}

} // namespace

TypeInfo TypeInfo::fromColumn(const Column& column)
{
    TypeInfo type{column.type, column.size, column.precision, column.scale};
    if (type.type == SqlType::Float)
        type.precision = 53;
    return type;
}

Column TypeInfo::column(const QString& name, bool nullable) const
{
    Column c;
    c.name = name;
    c.type = type;
    c.nullable = nullable;
    if (isText() || isBinary())
        c.size = std::max(size, 1);
    if (type == SqlType::Decimal) {
        c.precision = precision;
        c.scale = scale;
    }
    return c;
}

bool TypeInfo::isInteger() const
{
    return type == SqlType::TinyInt || type == SqlType::SmallInt || type == SqlType::Int
        || type == SqlType::BigInt;
}

bool TypeInfo::isNumeric() const
{
    return isInteger() || type == SqlType::Bit || type == SqlType::Decimal || type == SqlType::Float;
}

bool TypeInfo::isText() const
{
    return type == SqlType::Char || type == SqlType::VarChar || isUnicode();
}

bool TypeInfo::isUnicode() const { return type == SqlType::NChar || type == SqlType::NVarChar; }

bool TypeInfo::isFixedLength() const
{
    return type == SqlType::Char || type == SqlType::NChar || type == SqlType::Binary;
}

bool TypeInfo::isBinary() const { return type == SqlType::Binary || type == SqlType::VarBinary; }

QString TypeInfo::name() const
{
    switch (type) {
    case SqlType::TinyInt: return QStringLiteral("tinyint");
    case SqlType::SmallInt: return QStringLiteral("smallint");
    case SqlType::Int: return QStringLiteral("int");
    case SqlType::BigInt: return QStringLiteral("bigint");
    case SqlType::Bit: return QStringLiteral("bit");
    case SqlType::Float: return precision == 24 ? QStringLiteral("real") : QStringLiteral("float");
    case SqlType::Decimal: return QStringLiteral("numeric");
    case SqlType::DateTime: return QStringLiteral("datetime");
    case SqlType::Char: return QStringLiteral("char");
    case SqlType::VarChar: return QStringLiteral("varchar");
    case SqlType::NChar: return QStringLiteral("nchar");
    case SqlType::NVarChar: return QStringLiteral("nvarchar");
    case SqlType::Binary: return QStringLiteral("binary");
    case SqlType::VarBinary: return QStringLiteral("varbinary");
    }
    return QString();
}

TypeInfo typeFromName(const QString& name, const std::vector<int>& params, TypeNameUse use, int position)
{
    const NamedType* named = findNamedType(name);
    if (!named)
        throw SqlError(msg::UnknownType, {QString::number(position), name});
    const QString lower = name.toLower();
    const int defaultLength = use == TypeNameUse::Declaration ? 1 : 30;
    TypeInfo type{named->type, 0, 0, 0};
    switch (named->type) {
    case SqlType::Float: {
        const int bits = lower == QLatin1String("real") ? 24 : param(params, 0, 53);
        if (bits < 1)
            throw SqlError(1001, {QStringLiteral("1"), QString::number(bits)});
        if (bits > 53)
            throw SqlError(msg::PrecisionTooLarge, {QString::number(position), QString::number(bits),
                                                    QStringLiteral("53")});
        type.precision = bits <= 24 ? 24 : 53;
        break;
    }
    case SqlType::Decimal:
        type.precision = param(params, 0, 18);
        type.scale = param(params, 1, 0);
        if (type.precision < 1)
            throw SqlError(1001, {QStringLiteral("1"), QString::number(type.precision)});
        if (type.precision > MaxDecimalPrecision)
            throw SqlError(msg::PrecisionTooLarge,
                           {QString::number(position), QString::number(type.precision),
                            QString::number(MaxDecimalPrecision)});
        if (type.scale < 0 || type.scale > type.precision)
            throw SqlError(192);
        break;
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::Binary:
    case SqlType::VarBinary:
        type.size = param(params, 0, defaultLength);
        checkLength(type.size, MaxBytes, lower);
        break;
    case SqlType::NChar:
    case SqlType::NVarChar:
        type.size = lower == QLatin1String("sysname") ? 128 : param(params, 0, defaultLength);
        checkLength(type.size, MaxUnicode, lower);
        break;
    default:
        break;
    }
    return type;
}

int typePrecedence(const TypeInfo& type)
{
    switch (type.type) {
    case SqlType::DateTime: return 100;
    case SqlType::Float: return type.precision == 24 ? 89 : 90;
    case SqlType::Decimal: return 80;
    case SqlType::BigInt: return 70;
    case SqlType::Int: return 60;
    case SqlType::SmallInt: return 50;
    case SqlType::TinyInt: return 40;
    case SqlType::Bit: return 30;
    case SqlType::NVarChar: return 25;
    case SqlType::NChar: return 24;
    case SqlType::VarChar: return 23;
    case SqlType::Char: return 22;
    case SqlType::VarBinary: return 21;
    case SqlType::Binary: return 20;
    }
    return 0;
}

TypeInfo commonType(const TypeInfo& left, const TypeInfo& right)
{
    if (left.isText() && right.isText()) {
        const TypeInfo& higher = typePrecedence(left) >= typePrecedence(right) ? left : right;
        const int limit = higher.isUnicode() ? MaxUnicode : MaxBytes;
        return TypeInfo::text(higher.type, std::min(std::max(left.size, right.size), limit));
    }
    if (left.isBinary() && right.isBinary()) {
        const TypeInfo& higher = typePrecedence(left) >= typePrecedence(right) ? left : right;
        return TypeInfo::text(higher.type, std::max(left.size, right.size));
    }
    const bool decimalMeeting = (left.type == SqlType::Decimal || right.type == SqlType::Decimal)
        && typePrecedence(left) <= typePrecedence(TypeInfo::decimal(1, 0))
        && typePrecedence(right) <= typePrecedence(TypeInfo::decimal(1, 0))
        && left.isNumeric() && right.isNumeric();
    if (decimalMeeting) {
        const TypeInfo a = decimalTypeOf(left);
        const TypeInfo b = decimalTypeOf(right);
        const int scale = std::max(a.scale, b.scale);
        return fittedDecimal(scale + std::max(a.precision - a.scale, b.precision - b.scale), scale);
    }
    return typePrecedence(left) >= typePrecedence(right) ? left : right;
}

} // namespace sqlsim::tsql
