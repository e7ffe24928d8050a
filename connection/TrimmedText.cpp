#include "TrimmedText.h"

namespace velmora {

namespace {

bool isTrimmed(QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; }

} // namespace

QString trimmedText(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmed(text[begin]))
        ++begin;
    while (end > begin && isTrimmed(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace velmora
