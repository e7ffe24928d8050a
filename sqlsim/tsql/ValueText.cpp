#include "ValueText.h"

namespace sqlsim::tsql {

QString trimLeadingBlanks(const QString& text)
{
    qsizetype start = 0;
    while (start < text.size() && text[start] == u' ')
        ++start;
    return text.mid(start);
}

QStringView withoutTrailingBlanks(QStringView text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.left(end);
}

QString trimTrailingBlanks(const QString& text) { return withoutTrailingBlanks(text).toString(); }

QString trimBlanks(const QString& text) { return trimLeadingBlanks(trimTrailingBlanks(text)); }

QString toEightBit(const QString& text)
{
    QString result = text;
    for (QChar& c : result)
        if (c.unicode() > 0xFF)
            c = u'?';
    return result;
}

} // namespace sqlsim::tsql
