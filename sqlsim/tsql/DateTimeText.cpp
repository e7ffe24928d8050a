#include "DateTimeText.h"

#include "SqlError.h"

#include <QRegularExpression>

namespace sqlsim::tsql {

namespace {

const char* const monthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                  "July",    "August",   "September", "October", "November", "December"};

// us_english month names: in full or their first three letters.
int monthFromName(const QString& word)
{
    for (int i = 0; i < 12; ++i) {
        const QString full = QString::fromLatin1(monthNames[i]);
        if (word.compare(full, Qt::CaseInsensitive) == 0
            || word.compare(full.left(3), Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}

QString monthAbbreviation(int month) { return QString::fromLatin1(monthNames[month - 1]).left(3); }

int yearOf(const QString& digits)
{
    const int value = digits.toInt();
    if (digits.size() > 2)
        return value;
    return value < 50 ? 2000 + value : 1900 + value;
}

struct Time {
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

struct Date {
    int year = 1900, month = 1, day = 1;
};

enum class Outcome { Ok, Syntax };

// The time of day, searched anywhere in the text: h:m[:s[.fraction | :milliseconds]] [AM|PM] or
// h AM|PM. A bare number is not a time (it belongs to the date).
const QRegularExpression& timePattern()
{
    static const QRegularExpression re(QStringLiteral(
        "(?<![\\w.:/-])(\\d{1,2})(?::(\\d{1,2})(?::(\\d{1,2})(?:([.:])(\\d{1,9}))?)?)?\\s*([ap]m)?(?![\\w:.])"),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

Outcome readTime(const QRegularExpressionMatch& m, Time& time)
{
    time.hour = m.captured(1).toInt();
    time.minute = m.captured(2).toInt();
    time.second = m.captured(3).toInt();
    const QString fraction = m.captured(5);
    if (m.captured(4) == QLatin1String(".")) {
        time.millisecond = fraction.left(3).leftJustified(3, u'0').toInt();
    } else if (!fraction.isEmpty()) {
        time.millisecond = fraction.toInt();
        if (fraction.size() > 3)
            return Outcome::Syntax;
    }
    const QString half = m.captured(6).toLower();
    if (!half.isEmpty()) {
        if (time.hour > 12)
            return Outcome::Syntax;
        if (time.hour == 12)
            time.hour = 0;
        if (half == QLatin1String("pm"))
            time.hour += 12;
    }
    if (time.hour > 23 || time.minute > 59 || time.second > 59 || time.millisecond > 999)
        return Outcome::Syntax;
    return Outcome::Ok;
}

// Three numbers of a numeric date in the order the format gives; a four-digit first number is
// always the year, followed by month and day (day and month under dmy or ydm).
Outcome readNumericDate(const QStringList& parts, DateFormat format, Date& date)
{
    QString year, month, day;
    if (parts[0].size() == 4) {
        year = parts[0];
        const bool dayFirst = format == DateFormat::Dmy || format == DateFormat::Ydm;
        month = dayFirst ? parts[2] : parts[1];
        day = dayFirst ? parts[1] : parts[2];
    } else {
        static const char* const orders[] = {"mdy", "dmy", "ymd", "ydm", "myd", "dym"};
        const char* order = orders[int(format)];
        for (int i = 0; i < 3; ++i) {
            QString& target = order[i] == 'm' ? month : order[i] == 'd' ? day : year;
            target = parts[i];
        }
    }
    if (month.size() > 2 || day.size() > 2 || year.size() == 3 || year.size() > 4)
        return Outcome::Syntax;
    date = {yearOf(year), month.toInt(), day.toInt()};
    return Outcome::Ok;
}

// A date with a month name: the name and one or two numbers around it. A four-digit number is
// the year; otherwise the first number is the day and the second the year.
Outcome readAlphabeticDate(const QString& text, Date& date)
{
    static const QRegularExpression tokens(QStringLiteral("[A-Za-z]+|\\d+|[^\\sA-Za-z\\d,./-]"));
    int month = 0;
    QStringList numbers;
    auto it = tokens.globalMatch(text);
    while (it.hasNext()) {
        const QString token = it.next().captured();
        if (token[0].isLetter()) {
            if (month != 0 || (month = monthFromName(token)) == 0)
                return Outcome::Syntax;
        } else if (token[0].isDigit()) {
            numbers << token;
        } else {
            return Outcome::Syntax;
        }
    }
    if (month == 0 || numbers.isEmpty() || numbers.size() > 2)
        return Outcome::Syntax;
    QString year, day;
    for (const QString& number : numbers) {
        if (number.size() == 4 && year.isEmpty())
            year = number;
        else if (day.isEmpty() && number.size() <= 2)
            day = number;
        else if (year.isEmpty() && number.size() <= 2)
            year = number;
        else
            return Outcome::Syntax;
    }
    if (year.isEmpty())
        return Outcome::Syntax;
    date = {yearOf(year), month, day.isEmpty() ? 1 : day.toInt()};
    return Outcome::Ok;
}

Outcome readDate(const QString& text, DateFormat format, Date& date)
{
    static const QRegularExpression unseparated(QStringLiteral("^\\d+$"));
    static const QRegularExpression numeric(QStringLiteral("^(\\d{1,4})([/.-])(\\d{1,4})\\2(\\d{1,4})$"));
    if (text.isEmpty())
        return Outcome::Ok;   // a time alone: 1900-01-01
    if (unseparated.match(text).hasMatch()) {
        switch (text.size()) {
        case 4: date = {text.toInt(), 1, 1}; return Outcome::Ok;
        case 6: date = {yearOf(text.left(2)), text.mid(2, 2).toInt(), text.mid(4, 2).toInt()}; return Outcome::Ok;
        case 8: date = {text.left(4).toInt(), text.mid(4, 2).toInt(), text.mid(6, 2).toInt()}; return Outcome::Ok;
        default: return Outcome::Syntax;
        }
    }
    const auto m = numeric.match(text);
    if (m.hasMatch())
        return readNumericDate({m.captured(1), m.captured(3), m.captured(4)}, format, date);
    return readAlphabeticDate(text, date);
}

} // namespace

DateTimeReading readDateTime(const QString& text, DateFormat dateFormat)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    static const QRegularExpression iso(QStringLiteral(
        "^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})(?:\\.(\\d{1,3}))?$"));
    if (const auto m = iso.match(trimmed); m.hasMatch()) {
        const auto value = DateTime::fromParts(m.captured(1).toInt(), m.captured(2).toInt(),
                                               m.captured(3).toInt(), m.captured(4).toInt(),
                                               m.captured(5).toInt(), m.captured(6).toInt(),
                                               m.captured(7).leftJustified(3, u'0').toInt());
        return {value, !value};
    }
    Time time;
    QString datePart = trimmed;
    auto matches = timePattern().globalMatch(trimmed);
    while (matches.hasNext()) {
        const auto m = matches.next();
        if (m.captured(2).isEmpty() && m.captured(6).isEmpty())
            continue;   // a bare number
        if (readTime(m, time) != Outcome::Ok)
            return {};
        datePart = (trimmed.left(m.capturedStart()) + u' ' + trimmed.mid(m.capturedEnd())).trimmed();
        break;
    }
    Date date;
    if (readDate(datePart, dateFormat, date) != Outcome::Ok)
        return {};
    const auto value = DateTime::fromParts(date.year, date.month, date.day, time.hour, time.minute,
                                           time.second, time.millisecond);
    return {value, !value};
}

std::optional<DateTime> parseDateTime(const QString& text, DateFormat dateFormat)
{
    return readDateTime(text, dateFormat).value;
}

DateFormat styleDateFormat(int style, DateFormat session)
{
    switch (style % 100) {
    case 1:
    case 10: return DateFormat::Mdy;
    case 3:
    case 4:
    case 5: return DateFormat::Dmy;
    case 2:
    case 11: return DateFormat::Ymd;
    default: return session;
    }
}

QString formatDateTime(DateTime value, int style)
{
    const QDateTime moment = value.toQDateTime();
    const QDate d = moment.date();
    const QTime t = moment.time();
    const bool century = style >= 100 || style == 0 || style == 9 || style == 13 || style == 20
        || style == 21;
    const QString yyyy = QString::number(d.year()).rightJustified(4, u'0');
    const QString yy = century ? yyyy : yyyy.right(2);
    const auto two = [](int n) { return QString::number(n).rightJustified(2, u'0'); };
    const QString mm = two(d.month()), dd = two(d.day());
    const QString ms = QString::number(value.millisecondOfSecond()).rightJustified(3, u'0');
    const QString hms = two(t.hour()) + u':' + two(t.minute()) + u':' + two(t.second());
    const int hour12 = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
    const QString half = t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
    const QString mon = monthAbbreviation(d.month());
    const QString monDdYyyy = mon + u' ' + QString::number(d.day()).rightJustified(2, u' ') + u' ' + yyyy + u' '
        + QString::number(hour12).rightJustified(2, u' ') + u':' + two(t.minute());
    switch (style) {
    case 0:
    case 100: return monDdYyyy + half;
    case 1:
    case 101: return mm + u'/' + dd + u'/' + yy;
    case 2:
    case 102: return yy + u'.' + mm + u'.' + dd;
    case 3:
    case 103: return dd + u'/' + mm + u'/' + yy;
    case 4:
    case 104: return dd + u'.' + mm + u'.' + yy;
    case 5:
    case 105: return dd + u'-' + mm + u'-' + yy;
    case 6:
    case 106: return dd + u' ' + mon + u' ' + yy;
    case 7:
    case 107: return mon + u' ' + dd + QStringLiteral(", ") + yy;
    case 8:
    case 108: return hms;
    case 9:
    case 109: return monDdYyyy + u':' + two(t.second()) + u':' + ms + half;
    case 10:
    case 110: return mm + u'-' + dd + u'-' + yy;
    case 11:
    case 111: return yy + u'/' + mm + u'/' + dd;
    case 12:
    case 112: return yy + mm + dd;
    case 13:
    case 113: return dd + u' ' + mon + u' ' + yyyy + u' ' + hms + u':' + ms;
    case 14:
    case 114: return hms + u':' + ms;
    case 20:
    case 120: return yyyy + u'-' + mm + u'-' + dd + u' ' + hms;
    case 21:
    case 121: return yyyy + u'-' + mm + u'-' + dd + u' ' + hms + u'.' + ms;
    case 126: return yyyy + u'-' + mm + u'-' + dd + u'T' + hms + u'.' + ms;
    default: throw SqlError(281, {QString::number(style)});
    }
}

} // namespace sqlsim::tsql
