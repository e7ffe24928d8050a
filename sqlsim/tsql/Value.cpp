#include "Value.h"

#include "DecimalMath.h"
#include "SqlError.h"

#include <limits>

namespace sqlsim::tsql {

namespace {

const QDate& baseDate()
{
    static const QDate base(1900, 1, 1);
    return base;
}

std::optional<DateTime> fromDayAndMilliseconds(qint64 days, qint64 milliseconds)
{
    qint64 ticks = (milliseconds * 300 + 500) / 1000;
    if (ticks >= DateTime::TicksPerDay) {
        ticks -= DateTime::TicksPerDay;
        ++days;
    }
    if (days < DateTime::MinDays || days > DateTime::MaxDays)
        return std::nullopt;
    return DateTime{qint32(days), qint32(ticks)};
}

} // namespace

// ---- DateTime ------------------------------------------------------------------------------

std::optional<DateTime> DateTime::fromParts(int year, int month, int day, int hour, int minute,
                                            int second, int millisecond)
{
    if (year < 1753 || year > 9999 || hour < 0 || hour > 23 || minute < 0 || minute > 59
        || second < 0 || second > 59 || millisecond < 0 || millisecond > 999)
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    const qint64 ms = ((qint64(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
    return fromDayAndMilliseconds(baseDate().daysTo(date), ms);
}

DateTime DateTime::fromQDateTime(const QDateTime& value)
{
    const auto converted = fromDayAndMilliseconds(baseDate().daysTo(value.date()),
                                                  value.time().msecsSinceStartOfDay());
    if (converted)
        return *converted;
    return value.date() < baseDate() ? DateTime{MinDays, 0} : DateTime{MaxDays, TicksPerDay - 1};
}

QDate DateTime::date() const { return baseDate().addDays(days); }

QDateTime DateTime::toQDateTime() const
{
    return QDateTime(date(), QTime::fromMSecsSinceStartOfDay((ticks * 10 + 1) / 3));
}

int DateTime::millisecondOfSecond() const { return ((ticks * 10 + 1) / 3) % 1000; }

std::optional<DateFormat> dateFormatFromName(const QString& name)
{
    static const std::pair<const char*, DateFormat> names[] = {
        {"mdy", DateFormat::Mdy}, {"dmy", DateFormat::Dmy}, {"ymd", DateFormat::Ymd},
        {"ydm", DateFormat::Ydm}, {"myd", DateFormat::Myd}, {"dym", DateFormat::Dym},
    };
    for (const auto& [text, format] : names)
        if (name.compare(QLatin1String(text), Qt::CaseInsensitive) == 0)
            return format;
    return std::nullopt;
}

// ---- SqlValue ------------------------------------------------------------------------------

SqlValue SqlValue::null(const TypeInfo& type)
{
    SqlValue value;
    value.m_type = type;
    return value;
}

SqlValue SqlValue::integer(qint64 number, SqlType type)
{
    SqlValue value = null(TypeInfo::integer(type));
    value.m_data = number;
    return value;
}

SqlValue SqlValue::bit(bool on)
{
    SqlValue value = null(TypeInfo::bit());
    value.m_data = qint64(on ? 1 : 0);
    return value;
}

SqlValue SqlValue::floating(double number)
{
    SqlValue value = null(TypeInfo::floating());
    value.m_data = number;
    return value;
}

SqlValue SqlValue::decimal(const Decimal& number, int precision)
{
    SqlValue value = null(TypeInfo::decimal(precision, number.scale));
    value.m_data = number;
    return value;
}

SqlValue SqlValue::text(const QString& text, const TypeInfo& type)
{
    SqlValue value = null(type);
    value.m_data = text;
    return value;
}

SqlValue SqlValue::varchar(const QString& text)
{
    return SqlValue::text(text, TypeInfo::text(SqlType::VarChar, int(text.size())));
}

SqlValue SqlValue::nvarchar(const QString& text)
{
    return SqlValue::text(text, TypeInfo::text(SqlType::NVarChar, int(text.size())));
}

SqlValue SqlValue::dateTime(DateTime moment)
{
    SqlValue value = null(TypeInfo::dateTime());
    value.m_data = moment;
    return value;
}

SqlValue SqlValue::binary(const QByteArray& bytes, const TypeInfo& type)
{
    SqlValue value = null(type);
    value.m_data = bytes;
    return value;
}

SqlValue SqlValue::numberLiteral(const QString& text)
{
    if (text.contains(u'e', Qt::CaseInsensitive))
        return floating(text.toDouble());
    const auto parsed = parseDecimalText(text);
    if (!parsed)
        throw SqlError(msg::ConversionError, {QStringLiteral("varchar"), QStringLiteral("numeric")});
    if (!text.contains(u'.')) {
        const auto whole = narrow(*parsed, 0, 38);
        if (whole && whole->unscaled <= std::numeric_limits<qint32>::max())
            return integer(qint64(whole->unscaled));
    }
    const auto exact = narrow(*parsed, parsed->scale, 38);
    if (!exact)
        throw SqlError(msg::ArithmeticOverflow, {QStringLiteral("expression"), QStringLiteral("numeric")});
    const int wholeDigits = exact->unscaled == 0 ? 0 : std::max(0, exact->digits() - exact->scale);
    return decimal(*exact, std::max(1, wholeDigits + exact->scale));
}

Value SqlValue::toReplyValue() const
{
    if (isNull())
        return Value();
    switch (m_type.type) {
    case SqlType::Float: return toFloat();
    case SqlType::Decimal: return toDecimal().toString();
    case SqlType::DateTime: return toDateTime().toQDateTime();
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::NVarChar: return toText();
    case SqlType::Binary:
    case SqlType::VarBinary: return toBinary();
    default: return toInteger();
    }
}

SqlValue SqlValue::fromReplyValue(const Value& value, const Column& column)
{
    const TypeInfo type = TypeInfo::fromColumn(column);
    if (!value.isValid() || value.isNull())
        return null(type);
    switch (type.type) {
    case SqlType::Bit: return bit(value.toLongLong() != 0);
    case SqlType::Float: return floating(value.toDouble());
    case SqlType::Decimal: {
        const auto parsed = parseDecimalText(value.toString());
        const auto exact = parsed ? narrow(*parsed, type.scale, type.precision) : std::nullopt;
        if (!exact)
            throw SqlError(msg::ConversionError, {QStringLiteral("varchar"), QStringLiteral("numeric")});
        return decimal(*exact, type.precision);
    }
    case SqlType::DateTime: return dateTime(DateTime::fromQDateTime(value.toDateTime()));
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::NVarChar: return text(value.toString(), type);
    case SqlType::Binary:
    case SqlType::VarBinary: return binary(value.toByteArray(), type);
    default: return integer(value.toLongLong(), type.type);
    }
}

} // namespace sqlsim::tsql
