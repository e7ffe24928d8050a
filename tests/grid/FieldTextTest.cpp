// Cell texts of numbers and date-times are written without asking the locale for every value;
// they must read exactly as the locale itself writes them, in every locale and at every second.
#include "FieldText.h"
#include "LocaleValues.h"

#include <QDateTime>
#include <gtest/gtest.h>
#include <limits>

using namespace velmora;

namespace {

// Latin digits with 24-hour and 12-hour clocks, Eastern Arabic and Persian digits, a format with
// letters of its own, a locale whose separators are not colons.
const QLocale locales[] = {
    QLocale::c(),
    QLocale(QLocale::Russian, QLocale::Russia),
    QLocale(QLocale::English, QLocale::UnitedStates),
    QLocale(QLocale::German, QLocale::Germany),
    QLocale(QLocale::Arabic, QLocale::Egypt),
    QLocale(QLocale::Persian, QLocale::Iran),
    QLocale(QLocale::Chinese, QLocale::China),
    QLocale(QLocale::Finnish, QLocale::Finland),
};

QString localeDateTime(const QDateTime& value, const QLocale& locale)
{
    const QString date = locale.toString(value.date(), QLocale::ShortFormat);
    if (value.time() == QTime(0, 0))
        return date;
    return date + u' ' + locale.toString(value.time(), longTimeFormat(locale));
}

TEST(FieldTextTest, DateTimesReadAsTheLocaleWritesThemAtEverySecondOfADay)
{
    for (const QLocale& locale : locales) {
        const QDate day(2026, 12, 9);
        for (int second = 0; second < 86'400; ++second) {
            const QDateTime value(day, QTime(0, 0).addSecs(second));
            const QString expected = localeDateTime(value, locale);
            ASSERT_EQ(fieldDisplayText(value, FieldKind::DateTime, locale), expected)
                << locale.name().toStdString() << " at second " << second;
        }
    }
}

TEST(FieldTextTest, DateTimesOfChangingDaysAndLocalesKeepTheirOwnDates)
{
    // Texts alternate between days and locales, so no date written before leaks into the next.
    const QDateTime start(QDate(1999, 12, 31), QTime(23, 59, 58, 999));
    for (int step = 0; step < 2'000; ++step) {
        const QLocale& locale = locales[step % std::size(locales)];
        const QDateTime value = start.addMSecs(qint64(step) * 3'600'123 * (step % 3 == 0 ? -1 : 1));
        ASSERT_EQ(fieldDisplayText(value, FieldKind::DateTime, locale), localeDateTime(value, locale))
            << locale.name().toStdString() << " " << value.toString(Qt::ISODateWithMs).toStdString();
    }
}

TEST(FieldTextTest, IntegersReadAsTheLocaleWritesThemWithoutGroupSeparators)
{
    const qint64 numbers[] = {0, 7, -7, 10, 1'000, -32'768, 32'767, 1'234'567'890, -2'147'483'648LL,
                              std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()};
    for (const QLocale& locale : locales) {
        QLocale plain = locale;
        plain.setNumberOptions(QLocale::OmitGroupSeparator);
        for (const qint64 number : numbers) {
            // Held as the driver holds them: 16-bit, 32-bit and 64-bit values.
            QVariantList held = {number};
            if (number == qint32(number))
                held << int(number);
            if (number == qint16(number))
                held << QVariant::fromValue(qint16(number));
            for (const QVariant& value : held)
                for (const FieldKind kind : {FieldKind::SmallInt, FieldKind::Integer, FieldKind::LargeInt})
                    EXPECT_EQ(fieldDisplayText(value, kind, locale), plain.toString(number))
                        << locale.name().toStdString() << " " << number << " " << value.typeName();
        }
    }
}

} // namespace
