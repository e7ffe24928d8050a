#include "TrimmedText.h"

namespace velmora {

namespace {

bool isTrimmed(QChar c)
{
    // Among ASCII codes the blanks and control characters are exactly those up to the space, and DEL.
    if (c.unicode() < 0x80)
        return c.unicode() <= 0x20 || c.unicode() == 0x7f;
    return c.isSpace() || c.category() == QChar::Other_Control;
}

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
