// The refresh that keeps watching, driven by the operator on the real display: an interval
// picked from the tool bar's box by clicks, the list read again by itself, F9 pausing and
// resuming it, the status bar telling which.
#include "OperatorFixture.h"

#include "AutoRefresh.h"
#include "ProcessTab.h"
#include "QStringPrinting.h"
#include "WindowParts.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QToolButton>
#include <X11/keysym.h>

using namespace velmora;
using velmora::testing::part;

namespace {

TEST_F(OperatorTest, AnIntervalPickedFromTheBoxRefreshesTheListAndF9PausesIt)
{
    AutoRefresh& watch = *part<ProcessTab>(*window, "processTab")->autoRefresh();
    watch.setSecondLength(20);   // "2 с" lasts 40 ms here
    const auto reads = [&] { return serverState([](auto& state) { return state.refreshCount; }); };
    const auto line = [&] { return part<QLabel>(*window, "refreshPane")->text(); };

    auto& box = *part<QComboBox>(*window, "refreshIntervalBox");
    desk.click(box, box.rect().center());
    QAbstractItemView& items = *box.view();
    ASSERT_TRUE(waitUntil([&] { return items.isVisible(); }));
    // The middle of the item across the list, where the operator points.
    const int y = items.visualRect(items.model()->index(1, 0)).center().y();
    desk.click(*items.viewport(), {items.viewport()->width() / 2, y});
    ASSERT_EQ(box.currentText(), QStringLiteral("2 с"));
    ASSERT_TRUE(waitUntil([&] { return line().startsWith(QStringLiteral("Обновлено ")); })) << line().toStdString();
    const int started = reads();
    EXPECT_TRUE(waitUntil([&] { return reads() >= started + 2; }));

    desk.key(XK_F9);
    EXPECT_TRUE(part<QToolButton>(*window, "pauseButton")->isChecked());
    EXPECT_TRUE(line().endsWith(QStringLiteral("пауза (F9)"))) << line().toStdString();
    EXPECT_FALSE(watch.counting());

    desk.key(XK_F9);
    const int resumed = reads();
    EXPECT_TRUE(waitUntil([&] { return reads() >= resumed + 2; }));
    EXPECT_TRUE(line().endsWith(QStringLiteral("каждые 2 с"))) << line().toStdString();
}

} // namespace
