#include "ValueCompare.h"

namespace velmora {

namespace {

char16_t foldCase(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
    return char16_t(QChar::toCaseFolded(char32_t(c)));
}

} // namespace

int findFieldIndex(const std::vector<FieldDef>& fields, QStringView name)
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (name.compare(fields[i].name, Qt::CaseInsensitive) == 0)
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
    qsizetype length = text.size();
    while (length > 0 && text[length - 1] == u' ')
        --length;
    return text.first(length);
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
