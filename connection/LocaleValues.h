// Numbers and date-times as the user's locale writes and reads them in filter strings and
// filter-row values.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace velmora {

/// The shortest general form with up to 15 significant digits and the locale's decimal
/// separator, without group separators: "100", "1,5" (a comma locale), "1E+20".
QString numberText(double value, const QLocale& locale = QLocale());

/// Reads a number written in the locale's format (blanks around it ignored).
/// Throws DbError (Usage) "'%s' is not a valid floating point value".
double readNumber(const QString& text, const QLocale& locale = QLocale());

/// The locale's long time format without its zone designator: the server's date-times, and the
/// wall clock the window shows, have no zone to name.
QString longTimeFormat(const QLocale& locale = QLocale());

/// The locale's short date, a blank and its long time; the date alone at midnight.
QString dateTimeText(const QDateTime& value, const QLocale& locale = QLocale());

/// Reads a date, or a date followed by a blank and a long or short time, in the locale's formats.
/// Throws DbError (Usage) "'%s' is not a valid date and time".
QDateTime readDateTime(const QString& text, const QLocale& locale = QLocale());

} // namespace velmora
