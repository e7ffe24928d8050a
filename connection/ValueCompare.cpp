#include "ValueCompare.h"

#include <cstring>

namespace velmora {

namespace {

QStringView withoutTrailingBlanks(QStringView text)
{
    // Fixed-width columns run to a hundred blanks and more: they are skipped four at a time.
    constexpr quint64 fourBlanks = 0x0020'0020'0020'0020;
    const char16_t* characters = text.utf16();
    qsizetype length = text.size();
    for (quint64 word = 0; length >= 4; length -= 4) {
        std::memcpy(&word, characters + length - 4, sizeof word);
        if (word != fourBlanks)
            break;
    }
    while (length > 0 && characters[length - 1] == u' ')
        --length;
    return text.first(length);
}

char16_t foldCase(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
    return char16_t(QChar::toCaseFolded(char32_t(c)));
}

} // namespace

int findFieldIndex(const std::vector<FieldDef>& fields, QStringView name)
{
    // Case folding keeps a text's length, so only names as long as this one can match.
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name.size() == name.size() && name.compare(fields[i].name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

QCollator textCollator(const QLocale& locale)
{
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

QStringView comparableText(QStringView text, FieldKind kind)
{
    if (kind != FieldKind::FixedChar && kind != FieldKind::FixedWideChar)
        return text;
    return withoutTrailingBlanks(text);
}

qint64 wallClockMsecs(const QDateTime& value)
{
    if (!value.isValid())
        return 0;
    constexpr qint64 msecsPerDay = 86'400'000;
    return value.date().toJulianDay() * msecsPerDay + value.time().msecsSinceStartOfDay();
}

LikePattern::LikePattern(QStringView pattern)
{
    m_folded.reserve(pattern.size());
    for (QChar c : pattern)
        m_folded.append(c == u'*' ? QChar(u'%') : QChar(foldCase(c.unicode())));
}

bool LikePattern::matches(QStringView text) const
{
    // Greedy matching that returns to the last '%' on a mismatch: linear for the usual
    // patterns, never exponential.
    const QChar* pattern = m_folded.constData();
    const qsizetype patternLength = m_folded.size();
    qsizetype p = 0;
    qsizetype t = 0;
    qsizetype lastPercent = -1;
    qsizetype resumeAt = 0;
    while (t < text.size()) {
        if (p < patternLength && pattern[p] == u'%') {
            lastPercent = p++;
            resumeAt = t;
        } else if (p < patternLength
                   && (pattern[p] == u'_' || pattern[p].unicode() == foldCase(text[t].unicode()))) {
            ++p;
            ++t;
        } else if (lastPercent >= 0) {
            p = lastPercent + 1;
            t = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < patternLength && pattern[p] == u'%')
        ++p;
    return p == patternLength;
}

} // namespace velmora
