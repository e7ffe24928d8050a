// Text rules the value layer shares: the server trims blanks (not tabs) around numbers and
// ignores trailing blanks in comparisons; 8-bit text holds Latin-1 only.
#pragma once

#include <QString>

namespace sqlsim::tsql {

QString trimBlanks(const QString& text);
QString trimTrailingBlanks(const QString& text);
/// The text without its trailing blanks, as a view (comparisons of many rows copy nothing).
QStringView withoutTrailingBlanks(QStringView text);
QString trimLeadingBlanks(const QString& text);
/// Text as an 8-bit column holds it: a character beyond Latin-1 becomes '?'.
QString toEightBit(const QString& text);

} // namespace sqlsim::tsql
