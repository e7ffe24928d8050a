#include "Functions.h"

#include "SqlError.h"
#include "ValueText.h"

#include <algorithm>
#include <iterator>

namespace sqlsim::tsql {

namespace {

using Args = std::vector<SqlValue>;

const TypeInfo& nameType()
{
    static const TypeInfo sysname = TypeInfo::text(SqlType::NVarChar, 128);
    return sysname;
}

// A text argument as the function reads it: text as it is, anything else as varchar.
SqlValue textArgument(const SqlValue& value, const QString& function, int position)
{
    if (value.type().isText())
        return value;
    if (value.type().isBinary())
        throw SqlError(msg::ArgumentType, {value.type().name(), QString::number(position), function});
    return convert(value, TypeInfo::text(SqlType::VarChar, 30));
}

// The varying type of a text function's result: char becomes varchar, the length stays.
TypeInfo varyingType(const TypeInfo& text)
{
    return TypeInfo::text(text.isUnicode() ? SqlType::NVarChar : SqlType::VarChar, text.size);
}

// Positions and lengths are int, as the server takes them: spans computed from them stay well
// inside 64 bits.
std::optional<qint64> integerArgument(const SqlValue& value)
{
    if (value.isNull())
        return std::nullopt;
    return implicitConvert(value, TypeInfo::integer()).toInteger();
}

qint64 lengthArgument(const SqlValue& value)
{
    const qint64 length = *integerArgument(value);
    if (length < 0)
        throw SqlError(msg::InvalidLength);
    return length;
}

SqlValue charindex(const Args& args, const FunctionContext&)
{
    const SqlValue needle = textArgument(args[0], QStringLiteral("charindex"), 1);
    const SqlValue haystack = textArgument(args[1], QStringLiteral("charindex"), 2);
    const std::optional<qint64> start = args.size() > 2 ? integerArgument(args[2]) : qint64(1);
    if (needle.isNull() || haystack.isNull() || !start)
        return SqlValue::null(TypeInfo::integer());
    const QString& text = haystack.toText();
    const qint64 from = std::max<qint64>(*start, 1) - 1;
    if (needle.toText().isEmpty() || from >= text.size())
        return SqlValue::integer(0);
    return SqlValue::integer(text.indexOf(needle.toText(), from, Qt::CaseInsensitive) + 1);
}

// The characters of `text` from 1-based position `start` for `length` characters, the part of
// that span outside the text left out.
SqlValue textSpan(const SqlValue& text, qint64 start, qint64 length)
{
    const qint64 size = text.toText().size();
    const qint64 first = std::max<qint64>(start, 1);
    const qint64 end = std::min(start + length, size + 1);   // one past the last position
    const QString part = end > first ? text.toText().mid(first - 1, end - first) : QString();
    return SqlValue::text(part, varyingType(text.type()));
}

SqlValue left(const Args& args, const FunctionContext&)
{
    const SqlValue text = textArgument(args[0], QStringLiteral("left"), 1);
    if (text.isNull() || args[1].isNull())
        return SqlValue::null(varyingType(text.type()));
    return textSpan(text, 1, lengthArgument(args[1]));
}

SqlValue right(const Args& args, const FunctionContext&)
{
    const SqlValue text = textArgument(args[0], QStringLiteral("right"), 1);
    if (text.isNull() || args[1].isNull())
        return SqlValue::null(varyingType(text.type()));
    const qint64 length = lengthArgument(args[1]);
    return textSpan(text, text.toText().size() - length + 1, length);
}

SqlValue substring(const Args& args, const FunctionContext&)
{
    const SqlValue text = textArgument(args[0], QStringLiteral("substring"), 1);
    const std::optional<qint64> start = integerArgument(args[1]);
    if (text.isNull() || !start || args[2].isNull())
        return SqlValue::null(varyingType(text.type()));
    return textSpan(text, *start, lengthArgument(args[2]));
}

SqlValue len(const Args& args, const FunctionContext&)
{
    const SqlValue text = textArgument(args[0], QStringLiteral("len"), 1);
    if (text.isNull())
        return SqlValue::null(TypeInfo::integer());
    return SqlValue::integer(trimTrailingBlanks(text.toText()).size());
}

template <QString (*Transform)(const QString&)>
SqlValue textFunction(const Args& args, const QString& name)
{
    const SqlValue text = textArgument(args[0], name, 1);
    if (text.isNull())
        return SqlValue::null(varyingType(text.type()));
    return SqlValue::text(Transform(text.toText()), varyingType(text.type()));
}

QString toUpper(const QString& text) { return text.toUpper(); }
QString toLower(const QString& text) { return text.toLower(); }

SqlValue ltrim(const Args& args, const FunctionContext&)
{
    return textFunction<trimLeadingBlanks>(args, QStringLiteral("ltrim"));
}

SqlValue rtrim(const Args& args, const FunctionContext&)
{
    return textFunction<trimTrailingBlanks>(args, QStringLiteral("rtrim"));
}

SqlValue upper(const Args& args, const FunctionContext&)
{
    return textFunction<toUpper>(args, QStringLiteral("upper"));
}

SqlValue lower(const Args& args, const FunctionContext&)
{
    return textFunction<toLower>(args, QStringLiteral("lower"));
}

SqlValue isnull(const Args& args, const FunctionContext& context)
{
    if (!args[0].isNull())
        return args[0];
    return implicitConvert(args[1], args[0].type(), context.dateFormat());
}

SqlValue strFunction(const Args& args, const FunctionContext&)
{
    return str(args[0], args.size() > 1 ? args[1] : SqlValue::integer(10),
               args.size() > 2 ? args[2] : SqlValue::integer(0));
}

SqlValue isdate(const Args& args, const FunctionContext& context)
{
    if (args[0].isNull())
        return SqlValue::integer(0);
    if (args[0].type().type == SqlType::DateTime)
        return SqlValue::integer(1);
    const SqlValue text = textArgument(args[0], QStringLiteral("isdate"), 1);
    return SqlValue::integer(parseDateTime(text.toText(), context.dateFormat()) ? 1 : 0);
}

SqlValue getdate(const Args&, const FunctionContext& context)
{
    return SqlValue::dateTime(context.now());
}

SqlValue dbName(const Args& args, const FunctionContext& context)
{
    const std::optional<qint64> id = args.empty() ? qint64(context.currentDatabaseId()) : integerArgument(args[0]);
    const auto name = id ? context.databaseName(int(*id)) : std::nullopt;
    return name ? SqlValue::text(*name, nameType()) : SqlValue::null(nameType());
}

SqlValue dbId(const Args& args, const FunctionContext& context)
{
    if (args.empty())
        return SqlValue::integer(context.currentDatabaseId(), SqlType::SmallInt);
    const SqlValue name = textArgument(args[0], QStringLiteral("db_id"), 1);
    if (!name.isNull()) {
        if (const auto id = context.databaseId(trimTrailingBlanks(name.toText())))
            return SqlValue::integer(*id, SqlType::SmallInt);
    }
    return SqlValue::null(TypeInfo::integer(SqlType::SmallInt));
}

SqlValue objectName(const Args& args, const FunctionContext& context)
{
    const std::optional<qint64> id = integerArgument(args[0]);
    const auto name = id ? context.objectName(int(*id)) : std::nullopt;
    return name ? SqlValue::text(*name, nameType()) : SqlValue::null(nameType());
}

SqlValue objectId(const Args& args, const FunctionContext& context)
{
    const SqlValue name = textArgument(args[0], QStringLiteral("object_id"), 1);
    const auto id = name.isNull() ? std::nullopt : context.objectId(trimTrailingBlanks(name.toText()));
    return id ? SqlValue::integer(*id) : SqlValue::null(TypeInfo::integer());
}

struct FunctionEntry {
    const char* name;
    int minArgs;
    int maxArgs;
    SqlValue (*call)(const Args&, const FunctionContext&);
};

constexpr FunctionEntry functions[] = {
    {"charindex", 2, 3, charindex}, {"left", 2, 2, left},       {"right", 2, 2, right},
    {"substring", 3, 3, substring}, {"len", 1, 1, len},         {"ltrim", 1, 1, ltrim},
    {"rtrim", 1, 1, rtrim},         {"upper", 1, 1, upper},     {"lower", 1, 1, lower},
    {"isnull", 2, 2, isnull},       {"str", 1, 3, strFunction}, {"isdate", 1, 1, isdate},
    {"getdate", 0, 0, getdate},     {"db_name", 0, 1, dbName},  {"db_id", 0, 1, dbId},
    {"object_name", 1, 1, objectName}, {"object_id", 1, 1, objectId},
};

const FunctionEntry* findFunction(const QString& name)
{
    const QString lower = name.toLower();
    const auto found = std::find_if(std::begin(functions), std::end(functions),
                                    [&](const FunctionEntry& f) { return lower == QLatin1String(f.name); });
    return found == std::end(functions) ? nullptr : found;
}

} // namespace

bool isScalarFunction(const QString& name) { return findFunction(name) != nullptr; }

SqlValue callFunction(const QString& name, const std::vector<SqlValue>& args, const FunctionContext& context)
{
    const FunctionEntry* function = findFunction(name);
    if (!function)
        throw SqlError(msg::UnknownFunction, {name});
    const int count = int(args.size());
    if (count < function->minArgs || count > function->maxArgs) {
        const QString lower = name.toLower();
        if (function->minArgs == function->maxArgs)
            throw SqlError(msg::FunctionArgumentCount, {lower, QString::number(function->minArgs)});
        throw SqlError(msg::FunctionArgumentRange,
                       {lower, QString::number(function->minArgs), QString::number(function->maxArgs)});
    }
    return function->call(args, context);
}

SqlValue convertFunction(const SqlValue& value, const TypeInfo& target, int style, const FunctionContext& context)
{
    return convert(value, target, style, context.dateFormat());
}

SqlValue str(const SqlValue& number, const SqlValue& length, const SqlValue& decimals)
{
    const std::optional<qint64> width = integerArgument(length);
    const std::optional<qint64> places = integerArgument(decimals);
    const TypeInfo type = TypeInfo::text(SqlType::Char, int(std::clamp<qint64>(width.value_or(10), 1, 8000)));
    if (number.isNull() || !width || !places || *width < 1 || *width > 8000 || *places < 0)
        return SqlValue::null(type);
    const double value = convert(number, TypeInfo::floating()).toFloat();
    // Decimals give way, down to none, before the whole part is starred out.
    for (int d = int(std::min<qint64>(*places, 16)); d >= 0; --d) {
        const QString text = QString::number(value, 'f', d);
        if (text.size() <= *width)
            return SqlValue::text(text.rightJustified(int(*width), u' '), type);
    }
    return SqlValue::text(QString(int(*width), u'*'), type);
}

} // namespace sqlsim::tsql
