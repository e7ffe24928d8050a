// The trimmed-text rule: blanks and control characters go from both ends, whatever their code,
// and nothing else does.
#include "TrimmedText.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

TEST(TrimmedTextTest, EveryCharacterOfTheBasicPlaneIsTrimmedExactlyWhenBlankOrControl)
{
    for (char32_t code = 0; code <= 0xffff; ++code) {
        const QChar c{char16_t(code)};
        if (c.isSurrogate())
            continue;
        const bool trimmed = c.isSpace() || c.category() == QChar::Other_Control;
        const QString text = QString(c) + QStringLiteral("a b") + QString(c);
        ASSERT_EQ(trimmedText(text), trimmed ? QStringLiteral("a b") : text) << "U+" << std::hex << unsigned(code);
    }
}

TEST(TrimmedTextTest, RunsOfMixedBlanksGoAndInnerOnesStay)
{
    EXPECT_EQ(trimmedText(QStringLiteral("\t \x01\u00a0 x \t y\u3000\x7f\r\n")), QStringLiteral("x \t y"));
    EXPECT_EQ(trimmedText(QStringLiteral(" \x1f\u2028 ")), QString());
    EXPECT_EQ(trimmedText(QString()), QString());
}

} // namespace
