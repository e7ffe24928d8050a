// The rate columns and idle hiding through real keys: Ctrl+R shows the columns and F5 fills them,
// Ctrl+H hides the idle sessions and brings them back.
#include "OperatorFixture.h"

#include "ResultGrid.h"

#include <QRegularExpression>
#include <algorithm>
#include <X11/keysym.h>

using namespace velmora;

namespace {

TEST_F(OperatorTest, CtrlRShowsRatesThatF5FillsAndCtrlHHidesTheSleepers)
{
    ResultGrid& grid = processGrid();
    const auto rates = [&] {
        QStringList texts;
        for (int row = 0; row < grid.model()->rowCount(); ++row)
            if (const QString text = cellText(grid, row, QStringLiteral("cpu_rate")); !text.isEmpty())
                texts << text;
        return texts;
    };
    desk.click(*grid.viewport(), cellCentre(grid, 0, QStringLiteral("spid")));
    ASSERT_LT(grid.columnIndex(QStringLiteral("cpu_rate")), 0);

    desk.key(XK_r, Qt::ControlModifier);
    ASSERT_EQ(grid.columnIndex(QStringLiteral("cpu_rate")), grid.columnIndex(QStringLiteral("physical_io")) + 1);
    EXPECT_EQ(grid.columns()[size_t(grid.columnIndex(QStringLiteral("cpu_rate")))].caption(), "cpu/с");
    EXPECT_TRUE(rates().isEmpty());
    desk.key(XK_F5);
    const QStringList filled = rates();
    EXPECT_FALSE(filled.isEmpty());
    EXPECT_EQ(filled.filter(QRegularExpression(QStringLiteral("^\\d+[.,]\\d$"))), filled);

    // A user session waiting for its next batch, idle in every way the server shows.
    const int sleeper = serverState([](const sqlsim::ServerState& state) {
        for (const sqlsim::Process& p : state.processes) {
            const bool blocks = std::any_of(state.processes.begin(), state.processes.end(),
                                            [&p](const sqlsim::Process& other) { return other.blocked == p.spid; });
            if (p.spid > 50 && p.status == u"sleeping" && p.cmd == u"AWAITING COMMAND" && p.open_tran == 0
                && p.blocked == 0 && !blocks)
                return int(p.spid);
        }
        return 0;
    });
    ASSERT_NE(sleeper, 0);
    ASSERT_GE(rowOfSpid(sleeper), 0);
    const int shown = grid.model()->rowCount();
    desk.key(XK_h, Qt::ControlModifier);
    EXPECT_EQ(rowOfSpid(sleeper), -1);
    EXPECT_GE(rowOfSpid(1), 0);   // the server's own stay unless asked
    EXPECT_LT(grid.model()->rowCount(), shown);
    desk.key(XK_h, Qt::ControlModifier);
    EXPECT_EQ(grid.model()->rowCount(), shown);
    desk.key(XK_r, Qt::ControlModifier);
    EXPECT_LT(grid.columnIndex(QStringLiteral("cpu_rate")), 0);
}

} // namespace
