#include "FieldText.h"

#include "LocaleValues.h"
#include "ValueCompare.h"

#include <QDateTime>
#include <algorithm>
#include <iterator>
#include <limits>
#include <optional>
#include <vector>

namespace velmora {

namespace {

// One piece of a time format: an hour, minute or second field of one or two digits, or text
// written as it stands.
struct TimePiece {
    char field = 0;   // 'h', 'm', 's'; 0 for literal text
    int width = 0;
    QString literal;
};

// Splits a time format made of hours (24-hour), minutes, seconds and separators into its pieces;
// none for any other format (an AM/PM marker, milliseconds, quoted text...), which is left to
// QLocale.
std::optional<std::vector<TimePiece>> timePieces(const QString& format)
{
    std::vector<TimePiece> pieces;
    const bool twelveHour = format.contains(u'a', Qt::CaseInsensitive);
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (!c.isLetter()) {
            if (c == u'\'')
                return std::nullopt;
            if (pieces.empty() || pieces.back().field != 0)
                pieces.push_back({});
            pieces.back().literal += c;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        i += run;
        const char field = c == u'H' || (c == u'h' && !twelveHour) ? 'h' : c == u'm' ? 'm' : c == u's' ? 's' : 0;
        if (field == 0 || run > 2)
            return std::nullopt;
        pieces.push_back({field, int(run), {}});
    }
    return pieces;
}

// Writes field values as one locale does. A grid or a value list writes thousands of values in
// the same locale, so what the locale decides is read once: integers, and times whose format is
// plain hours, minutes and seconds, are then written without asking the locale for every value,
// as long as the locale writes ASCII digits; everything else is left to QLocale.
class TextWriter {
public:
    explicit TextWriter(const QLocale& locale)
        : m_locale(locale)
        , m_plain(locale)
        , m_timeFormat(longTimeFormat(locale))
    {
        m_plain.setNumberOptions(QLocale::OmitGroupSeparator);
        m_asciiDigits = m_plain.toString(Q_INT64_C(-1234567890)) == QLatin1String("-1234567890");
        if (m_asciiDigits)
            m_timePieces = timePieces(m_timeFormat);
        if (m_timePieces)
            for (const TimePiece& piece : *m_timePieces)
                m_timeLength += piece.field == 0 ? int(piece.literal.size()) : 2;
    }

    const QLocale& locale() const { return m_locale; }

    QString integer(qint64 value) const
    {
        if (!m_asciiDigits)
            return m_plain.toString(value);
        // QString::number asks the C locale's data for every value; a value list writes
        // thousands, so the digits are written here.
        char16_t digits[20];   // a 64-bit integer: 19 digits and a sign
        char16_t* const end = std::end(digits);
        char16_t* first = end;
        quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
        do {
            *--first = char16_t(u'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0)
            *--first = u'-';
        return QString(reinterpret_cast<const QChar*>(first), end - first);
    }

    QString dateTime(const QDateTime& value)
    {
        const QDate date = value.date();
        if (date.toJulianDay() != m_lastDay) {
            m_lastDay = date.toJulianDay();
            m_lastDate = m_locale.toString(date, QLocale::ShortFormat);
        }
        const QTime time = value.time();
        if (time == QTime(0, 0))
            return m_lastDate;
        if (!m_timePieces)
            return m_lastDate + u' ' + m_locale.toString(time, m_timeFormat);
        QString text(m_lastDate.size() + 1 + m_timeLength, Qt::Uninitialized);
        QChar* out = std::copy(m_lastDate.cbegin(), m_lastDate.cend(), text.data());
        *out++ = u' ';
        for (const TimePiece& piece : *m_timePieces) {
            if (piece.field == 0) {
                out = std::copy(piece.literal.cbegin(), piece.literal.cend(), out);
                continue;
            }
            const int number = piece.field == 'h' ? time.hour() : piece.field == 'm' ? time.minute() : time.second();
            if (number >= 10 || piece.width == 2)
                *out++ = QChar(u'0' + number / 10);
            *out++ = QChar(u'0' + number % 10);
        }
        text.truncate(out - text.constData());
        return text;
    }

private:
    QLocale m_locale;
    QLocale m_plain;   // the locale without group separators
    QString m_timeFormat;
    bool m_asciiDigits = false;
    std::optional<std::vector<TimePiece>> m_timePieces;
    int m_timeLength = 0;   // the most characters the pieces write
    // Rows list many times of one day: the last day's text is kept.
    qint64 m_lastDay = std::numeric_limits<qint64>::min();
    QString m_lastDate;
};

TextWriter& writerFor(const QLocale& locale)
{
    thread_local std::optional<TextWriter> last;
    if (!last || !(last->locale() == locale))
        last.emplace(locale);
    return *last;
}

} // namespace

QString fieldDisplayText(const QVariant& value, FieldKind kind, const QLocale& locale)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (kind) {
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::LargeInt:
        return writerFor(locale).integer(heldInteger(value));
    case FieldKind::Float:
        return numberText(value.toDouble(), locale);
    case FieldKind::BCD:
        // Held as the server's exact text; only the decimal separator follows the locale.
        return value.toString().replace(QLatin1Char('.'), locale.decimalPoint());
    case FieldKind::DateTime:
        return writerFor(locale).dateTime(value.toDateTime());
    case FieldKind::Bytes:
    case FieldKind::VarBytes:
        return QStringLiteral("0x") + QString::fromLatin1(value.toByteArray().toHex().toUpper());
    case FieldKind::String:
    case FieldKind::FixedChar:
    case FieldKind::WideString:
    case FieldKind::FixedWideChar:
        break;
    }
    return value.toString();
}

Qt::Alignment fieldAlignment(FieldKind kind)
{
    return (isNumberKind(kind) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

QString fieldListText(const QVariant& value, FieldKind kind, const QLocale& locale)
{
    if (!value.isValid() || value.isNull())
        return {};
    // A list entry stands for what the value is, not for how a cell spells it: the bytes
    // themselves, and text without the blanks the server pads fixed-width values with.
    if (isByteKind(kind))
        return QString::fromLatin1(value.toByteArray());
    if (kind == FieldKind::FixedChar || kind == FieldKind::FixedWideChar) {
        QString text = value.toString();
        qsizetype end = text.size();
        while (end > 0 && text[end - 1] == u' ')
            --end;
        text.truncate(end);
        return text;
    }
    return fieldDisplayText(value, kind, locale);
}

} // namespace velmora
