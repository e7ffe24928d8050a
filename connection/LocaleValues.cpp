#include "LocaleValues.h"

#include "DbError.h"

#include <QRegularExpression>
#include <optional>
#include <utility>

namespace velmora {

namespace {

// Years of two-digit dates fall into this century-long window, so "26" reads as 2026 and "97"
// as 1997 rather than Qt's 1926.
constexpr int twoDigitYearWindowStart = 1950;

bool hasTwoDigitYear(const QString& dateFormat)
{
    return !dateFormat.contains(QLatin1String("yyyy")) && dateFormat.contains(QLatin1String("yy"));
}

// A short date format with a four-digit year: a two-digit year written out would read back
// in the wrong century.
QString dateFormat(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (hasTwoDigitYear(format))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

// The locale's time formats may carry a zone name; the server's date-times have no zone, so it
// is neither written nor expected.
QString timeFormat(const QLocale& locale, QLocale::FormatType type)
{
    static const QRegularExpression zone(QStringLiteral(R"(\s*\bt+\b)"));
    return locale.timeFormat(type).remove(zone).trimmed();
}

// Reading accepts one digit where the format writes two ("7:05" for "HH:mm"), as people type.
QString readingFormat(const QString& format)
{
    static const QRegularExpression doubled(QStringLiteral(R"((?<![dMHhms])([dMHhms])\1(?![dMHhms]))"));
    return QString(format).replace(doubled, QStringLiteral("\\1"));
}

QDateTime readWith(const QString& text, const QLocale& locale, const QString& writtenDate)
{
    const QString date = readingFormat(writtenDate);
    for (QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
        const QDateTime value
            = locale.toDateTime(text, date + u' ' + readingFormat(timeFormat(locale, type)));
        if (value.isValid())
            return value;
    }
    const QDate day = locale.toDate(text, date);
    return day.isValid() ? QDateTime(day, QTime(0, 0)) : QDateTime();
}

} // namespace

QString numberText(double value, const QLocale& locale)
{
    QLocale plain(locale);
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    return plain.toString(value, 'g', 15);
}

double readNumber(const QString& text, const QLocale& locale)
{
    bool ok = false;
    const double value = locale.toDouble(text.trimmed(), &ok);
    if (!ok)
        throw DbError(DbError::Cause::Usage,
                      QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

QString longTimeFormat(const QLocale& locale)
{
    // Asked for every date-time a grid or a value list writes out; the same locale nearly always.
    thread_local std::optional<std::pair<QLocale, QString>> last;
    if (!last || !(last->first == locale))
        last.emplace(locale, timeFormat(locale, QLocale::LongFormat));
    return last->second;
}

QString dateTimeText(const QDateTime& value, const QLocale& locale)
{
    const QString date = locale.toString(value.date(), dateFormat(locale));
    if (value.time() == QTime(0, 0))
        return date;
    return date + u' ' + locale.toString(value.time(), longTimeFormat(locale));
}

QDateTime readDateTime(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    QDateTime value = readWith(trimmed, locale, dateFormat(locale));
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    if (!value.isValid() && hasTwoDigitYear(shortDate)) {
        value = readWith(trimmed, locale, shortDate);
        if (value.isValid() && value.date().year() < twoDigitYearWindowStart)
            value = value.addYears(100);
    }
    if (!value.isValid())
        throw DbError(DbError::Cause::Usage,
                      QStringLiteral("'%1' is not a valid date and time").arg(text));
    return value;
}

} // namespace velmora
