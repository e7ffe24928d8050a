// The percentage bar: its text, how much of its inside it fills, and what it paints, a value
// above 100 included.
#include "PercentBar.h"

#include <QApplication>
#include <QImage>
#include <gtest/gtest.h>

using namespace velmora;

TEST(PercentBar, FillsInProportionAndShowsTheRealNumber)
{
    PercentBar bar;
    bar.resize(200, 24);   // 198 pixels inside the border
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(bar.text(), "0%");
    EXPECT_EQ(bar.filledWidth(), 0);

    const struct {
        int value;
        int filled;
        const char* text;
    } cases[] = {{37, 73, "37%"}, {50, 99, "50%"}, {100, 198, "100%"}, {150, 198, "150%"}, {-5, 0, "-5%"}};
    for (const auto& c : cases) {
        bar.setValue(c.value);
        EXPECT_EQ(bar.filledWidth(), c.filled) << c.value;
        EXPECT_EQ(bar.text(), QString::fromLatin1(c.text)) << c.value;
    }
}

TEST(PercentBar, PaintsHighlightFromTheLeftOnButtonFace)
{
    PercentBar bar;
    bar.resize(200, 24);
    const QPalette palette = bar.palette();
    const auto pixel = [&bar](int x, int y) { return bar.grab().toImage().pixel(x, y); };

    bar.setValue(25);
    EXPECT_EQ(pixel(2, 3), palette.color(QPalette::Highlight).rgb());
    EXPECT_EQ(pixel(190, 3), palette.color(QPalette::Button).rgb());
    EXPECT_EQ(pixel(0, 3), palette.color(QPalette::Mid).rgb());   // the one-pixel border

    bar.setValue(130);   // full, border kept
    EXPECT_EQ(pixel(197, 3), palette.color(QPalette::Highlight).rgb());
    EXPECT_EQ(pixel(199, 3), palette.color(QPalette::Mid).rgb());
}
