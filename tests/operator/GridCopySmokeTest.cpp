// The operator copies a process from the grid with Ctrl+C on a real X display: the clipboard
// holds the visible titles and that process's row, tab-separated, and the window stays connected.
#include "OperatorFixture.h"

#include "ResultGrid.h"
#include "WindowParts.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QToolButton>
#include <X11/keysym.h>

using namespace velmora;

namespace {

TEST_F(OperatorTest, CtrlCCopiesTheProcessUnderTheCursorWithTheTitles)
{
    ResultGrid& grid = processGrid();
    ASSERT_GE(grid.model()->rowCount(), 2);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    desk.click(*grid.viewport(), cellCentre(grid, 1, QStringLiteral("spid")));
    desk.key(XK_c, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([] { return QGuiApplication::clipboard()->text() != QStringLiteral("before"); }));

    const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
    ASSERT_EQ(lines.size(), 3);   // titles, the row, and the empty rest after the last LF
    QStringList titles;
    for (int visual = 0; visual < grid.horizontalHeader()->count(); ++visual) {
        const int column = grid.horizontalHeader()->logicalIndex(visual);
        if (!grid.isColumnHidden(column))
            titles << grid.model()->headerData(column, Qt::Horizontal).toString();
    }
    EXPECT_EQ(lines[0], titles.join(u'\t'));
    const QStringList cells = lines[1].split(u'\t');
    ASSERT_EQ(cells.size(), titles.size());
    EXPECT_EQ(cells[titles.indexOf(QStringLiteral("spid"))].trimmed(), cellText(grid, 1, QStringLiteral("spid")));
    EXPECT_TRUE(lines[2].isEmpty());
    EXPECT_FALSE(velmora::testing::part<QToolButton>(*window, "connectButton")->isEnabled()) << "still connected";
}

} // namespace
