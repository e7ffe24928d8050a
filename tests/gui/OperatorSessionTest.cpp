// An operator's whole session through the main window against the seeded simulated server:
// connect, refresh, sort, filter, the value lists, the detail window, the databases, server and
// log tabs, disconnect and close, with no message shown on the way. scripts/memcheck.sh runs it
// under valgrind.
#include "DatabaseTab.h"
#include "FilterEditor.h"
#include "FilterRow.h"
#include "GridHeader.h"
#include "LogTab.h"
#include "MainWindowTestSupport.h"
#include "Query.h"
#include "ResultGrid.h"
#include "ServerTab.h"
#include "SimFixture.h"
#include "WindowParts.h"
#include "ProcessDetailWindow.h"
#include "WindowParts.h"

#include <QApplication>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

/// Runs `inside` on the detail window once it is the modal window, then closes it.
void whileDetailOpen(std::function<void(ProcessDetailWindow&)> inside)
{
    QTimer::singleShot(0, [inside] {
        auto* window = qobject_cast<ProcessDetailWindow*>(QApplication::activeModalWidget());
        if (!window) {
            whileDetailOpen(inside);
            return;
        }
        inside(*window);
        window->close();
    });
}

TEST(OperatorSession, EveryScreenFillsAndNothingIsShownOnTheWay)
{
    SettingsFile settings;
    RecordedMessages messages;
    SimFixture sim;
    auto window = std::make_unique<MainWindow>();
    fillLogin(*window, QStringLiteral("127.0.0.1,%1").arg(sim.port()), QStringLiteral("sa"),
              QStringLiteral("velmora"));
    ASSERT_TRUE(showActive(*window));

    part<QAction>(*window, "ConnectAction")->trigger();
    Query& list = *part<ProcessTab>(*window, "processTab")->procSource();
    ResultGrid& grid = *part<ResultGrid>(*window, "processGrid");
    ASSERT_TRUE(list.isActive()) << messages.texts().toStdString();
    const int processes = list.recordCount();
    EXPECT_GT(processes, 10);

    part<QAction>(*window, "RefAction")->trigger();
    EXPECT_GT(list.recordCount(), 10);

    // Sort by two keys with Ctrl+clicks on the titles, as an operator does.
    auto& header = static_cast<GridHeader&>(*grid.horizontalHeader());
    const auto titleCentre = [&](const QString& field) {
        const int column = grid.columnIndex(field);
        grid.scrollTo(grid.model()->index(0, column));
        return QPoint(header.sectionViewportPosition(column) + header.sectionSize(column) / 2, header.height() / 2);
    };
    click(*header.viewport(), titleCentre(QStringLiteral("DBName")), Qt::LeftButton, Qt::ControlModifier);
    click(*header.viewport(), titleCentre(QStringLiteral("spid")), Qt::LeftButton, Qt::ControlModifier);
    releaseKey(Qt::Key_Control);
    EXPECT_EQ(list.sort(), QStringLiteral("DBName, spid"));

    // F3 lists the values; a pick of the first login filters the rows to it.
    part<QAction>(*window, "FilterAction")->trigger();
    ASSERT_TRUE(grid.filterRow()->isVisible());
    const GridColumn& login = grid.columns()[size_t(grid.columnIndex(QStringLiteral("loginame")))];
    ASSERT_TRUE(login.filter.valueList.has_value());
    ASSERT_FALSE(login.filter.valueList->isEmpty());
    const QString picked = login.filter.valueList->first();
    FilterRow& filters = *grid.filterRow();
    const int loginColumn = grid.columnIndex(QStringLiteral("loginame"));
    grid.scrollTo(grid.model()->index(0, loginColumn));
    click(*filters.viewport(), {filters.sectionViewportPosition(loginColumn) + filters.sectionSize(loginColumn) / 2,
                                filters.height() - filters.rowHeight() / 2});
    pressKey(Qt::Key_F4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return filters.editor()->view()->isVisible(); }));
    pressKey(Qt::Key_Home);
    pressKey(Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return login.filter.text == picked; }));
    EXPECT_LT(list.recordCount(), processes);
    for (int row = 0; row < list.recordCount(); ++row)
        EXPECT_EQ(list.valueAt(row, list.fieldIndex(QStringLiteral("loginame"))).toString().trimmed(), picked);

    // The detail window of the current process shows its locks and closes again.
    QString caption;
    whileDetailOpen([&](ProcessDetailWindow& detail) {
        caption = detail.windowTitle();
        if (showActive(detail))
            pressKey(Qt::Key_F5);
    });
    doubleClick(*grid.viewport(), {grid.viewport()->width() / 2, grid.rowViewportPosition(0) + grid.rowHeight(0) / 2});
    EXPECT_TRUE(caption.startsWith(QStringLiteral("Информация по процессу ")));

    QTabWidget& tabs = *part<QTabWidget>(*window, "tabs");
    tabs.setCurrentWidget(part<DatabaseTab>(*window, "databaseTab"));
    part<QAction>(*window, "RefAction")->trigger();
    EXPECT_GT(part<Query>(*window, "DatabaseListQuery")->recordCount(), 1);

    auto* server = window->findChild<ServerTab*>();
    ASSERT_NE(server, nullptr);
    tabs.setCurrentWidget(server);
    EXPECT_GT(part<Query>(*server, "SrvQuery")->recordCount(), 10);

    auto* logs = window->findChild<LogTab*>();
    ASSERT_NE(logs, nullptr);
    tabs.setCurrentWidget(logs);
    part<QAction>(*window, "RefAction")->trigger();
    EXPECT_GT(part<Query>(*logs, "LogListQuery")->recordCount(), 0);

    part<QAction>(*window, "disconnectAction")->trigger();
    EXPECT_FALSE(list.isActive());
    window->close();
    window.reset();
    EXPECT_EQ(messages.texts(), QString());
}

} // namespace
