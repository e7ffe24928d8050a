#include "FieldText.h"

#include "LocaleValues.h"

#include <QDateTime>

namespace velmora {

QString fieldDisplayText(const QVariant& value, FieldKind kind, const QLocale& locale)
{
    if (!value.isValid() || value.isNull())
        return {};
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    switch (kind) {
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::LargeInt:
        return plain.toString(value.toLongLong());
    case FieldKind::Float:
        return numberText(value.toDouble(), locale);
    case FieldKind::BCD:
        // Held as the server's exact text; only the decimal separator follows the locale.
        return value.toString().replace(QLatin1Char('.'), locale.decimalPoint());
    case FieldKind::DateTime: {
        const QDateTime dateTime = value.toDateTime();
        const QString date = locale.toString(dateTime.date(), QLocale::ShortFormat);
        if (dateTime.time() == QTime(0, 0))
            return date;
        return date + QLatin1Char(' ') + locale.toString(dateTime.time(), longTimeFormat(locale));
    }
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
