// The filter row's value lists in the main window against the simulated server: F3 shapes a list
// per column on the server and fills it from the held process rows; picks, a second F3, a
// reconnect, F3 on another tab and a batch the server rejects.
#include "FilterEditor.h"
#include "FilterRow.h"
#include "LocaleValues.h"
#include "MainWindowTestSupport.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SimFixture.h"
#include "WindowParts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QTabBar>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QDateTime loginSecond(QDate(2004, 1, 15), QTime(10, 0, 0));

sqlsim::Process process(int spid, int cpu, const QString& hostname, const QDateTime& loginTime)
{
    sqlsim::Process p;
    p.spid = qint16(spid);
    p.cpu = cpu;
    p.hostname = hostname;
    p.login_time = p.last_batch = loginTime;
    p.status = QStringLiteral("sleeping");
    p.loginame = QStringLiteral("tester");
    return p;
}

class FilterValueListsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        changeServer([](sqlsim::ServerState& state) {
            // Two hosts: WS01 three times, and one with no name. Login times 1 and 2 differ only
            // by fractions of a second; cpu figures sort differently as numbers and as text.
            state.processes.push_back(process(1, 9, QStringLiteral("WS01"), loginSecond.addMSecs(100)));
            state.processes.push_back(process(2, 100, QStringLiteral("WS01"), loginSecond.addMSecs(900)));
            state.processes.push_back(process(10, 10, QStringLiteral("WS01"), loginSecond.addSecs(1)));
            sqlsim::Process waiting = process(11, 2, QString(), loginSecond.addSecs(2));
            waiting.waittype = QByteArrayLiteral("AB");
            waiting.waitresource = QStringLiteral("K").repeated(300);
            state.processes.push_back(waiting);
        });
        fillLogin(window, QStringLiteral("127.0.0.1,%1").arg(sim.port()), QStringLiteral("sa"),
                  QStringLiteral("velmora"));
        ASSERT_TRUE(showActive(window));
        window.connectClicked();
        ASSERT_TRUE(list().isActive());
    }

    template <typename Change> void changeServer(Change change)
    {
        std::lock_guard lock(sim.engine().mutex());
        change(sim.engine().state());
    }
    int batches()
    {
        std::lock_guard lock(sim.engine().mutex());
        return sim.engine().state().batchCount;
    }
    ResultGrid& grid() { return *part<ResultGrid>(window, "processGrid"); }
    FilterRow& row() { return *grid().filterRow(); }
    Query& list() { return *part<ProcessTab>(window, "processTab")->procSource(); }
    const GridColumn& column(const char* field) { return grid().columns()[size_t(grid().columnIndex(field))]; }
    QStringList entries(const char* field) { return column(field).filter.valueList.value_or(QStringList{"<none>"}); }
    /// A click on the column's filter cell, scrolled into sight.
    void clickFilterCell(const char* field)
    {
        const int index = grid().columnIndex(field);
        grid().scrollTo(grid().model()->index(0, index));
        click(*row().viewport(), {row().sectionViewportPosition(index) + row().sectionSize(index) / 2,
                                  row().height() - row().rowHeight() / 2});
    }
    /// Picks `entry` from the drop-down of the column's filter cell with the list's keys.
    void pick(const char* field, const QString& entry)
    {
        clickFilterCell(field);
        pressKey(Qt::Key_F4);
        ASSERT_TRUE(QTest::qWaitFor([&] { return row().editor()->view()->isVisible(); }));
        pressKey(Qt::Key_Home);
        for (int i = 0; i < entries(field).indexOf(entry); ++i)
            pressKey(Qt::Key_Down);
        pressKey(Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return column(field).filter.text == entry; }));
    }

    SettingsFile settings;
    RecordedMessages messages;
    SimFixture sim{sqlsim::ServerVersion::Sql2000, false};
    MainWindow window;
};

} // namespace

TEST_F(FilterValueListsTest, F3ShowsTheRowAndListsTheDistinctValuesOfEveryColumn)
{
    EXPECT_FALSE(row().isRowVisible());
    const int before = batches();
    part<QAction>(window, "FilterAction")->trigger();
    EXPECT_EQ(messages.texts(), "");
    EXPECT_TRUE(row().isRowVisible());
    EXPECT_EQ(batches() - before, 30);   // one shaping batch per column
    for (const GridColumn& c : grid().columns())
        EXPECT_TRUE(c.filter.valueList.has_value()) << c.fieldName.toStdString();
    EXPECT_TRUE(grid().hasFocus());

    // spid is a 16-bit column: its list holds text and sorts as text. cpu sorts as numbers.
    const QStringList spids = entries("spid");
    EXPECT_LT(spids.indexOf("10"), spids.indexOf("2"));
    EXPECT_EQ(spids.mid(0, 4), (QStringList{"1", "10", "11", "2"}));
    const QStringList cpus = entries("cpu");
    std::vector<int> numbers;
    for (const QString& cpu : cpus)
        numbers.push_back(cpu.toInt());
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end())) << cpus.join(u',').toStdString();
    EXPECT_LT(cpus.indexOf("9"), cpus.indexOf("10"));
    EXPECT_LT(cpus.indexOf("10"), cpus.indexOf("100"));

    // The padded host name once, without its blanks; the nameless host as an empty entry first.
    const QStringList hosts = entries("hostname");
    EXPECT_EQ(hosts.count("WS01"), 1);
    EXPECT_EQ(hosts.value(0), "");
    for (const QString& host : hosts)
        EXPECT_FALSE(host.endsWith(u' ')) << host.toStdString();

    // Two login times within one second give one entry, at the second.
    const QStringList logins = entries("login_time");
    EXPECT_EQ(logins.mid(0, 3), (QStringList{dateTimeText(loginSecond), dateTimeText(loginSecond.addSecs(1)),
                                             dateTimeText(loginSecond.addSecs(2))}));

    EXPECT_TRUE(entries("waitresource").contains(QStringLiteral("K").repeated(250)));
    for (const QString& resource : entries("waitresource"))
        EXPECT_LE(resource.size(), 250);

    // Hidden columns get lists too: the bytes of a wait type taken as characters.
    EXPECT_TRUE(grid().isColumnHidden(grid().columnIndex("waittype")));
    EXPECT_TRUE(entries("waittype").contains("AB"));
    EXPECT_TRUE(column("sid").filter.valueList.has_value());
}

TEST_F(FilterValueListsTest, APickAppliesAtOnceAndF3AgainClearsItAndListsAllRows)
{
    part<QAction>(window, "FilterAction")->trigger();
    const int all = list().recordCount();

    // Typed text waits for Enter: leaving the cell stores it, and the pick from a list that
    // follows applies at once, both conditions together.
    clickFilterCell("cpu");
    typeText(QStringLiteral("100"));
    EXPECT_EQ(list().recordCount(), all);
    pick("hostname", QStringLiteral("WS01"));
    EXPECT_EQ(list().recordCount(), 1);
    EXPECT_EQ(list().value("spid").toInt(), 2);

    // A process the lists have not seen yet, and a refresh that keeps the filter.
    changeServer([](sqlsim::ServerState& state) {
        state.processes.push_back(process(12, 5, QStringLiteral("WS02"), loginSecond));
    });
    part<ProcessTab>(window, "processTab")->refreshKey();
    EXPECT_EQ(list().recordCount(), 1);
    EXPECT_FALSE(entries("hostname").contains("WS02"));

    part<QAction>(window, "FilterAction")->trigger();
    EXPECT_EQ(messages.texts(), "");
    EXPECT_EQ(column("hostname").filter.text, "");
    EXPECT_EQ(column("cpu").filter.text, "");
    EXPECT_EQ(list().recordCount(), all + 1);
    EXPECT_TRUE(entries("hostname").contains("WS02"));
    EXPECT_EQ(entries("hostname").count("WS01"), 1);
}

TEST_F(FilterValueListsTest, AfterAReconnectTheRowIsHiddenUntilF3AndTheListKeepsItsLastFilter)
{
    part<QAction>(window, "FilterAction")->trigger();
    pick("hostname", QStringLiteral("WS01"));
    window.disconnectClicked();
    EXPECT_FALSE(row().isRowVisible());

    window.connectClicked();
    ASSERT_TRUE(list().isActive());
    EXPECT_FALSE(row().isRowVisible());
    EXPECT_EQ(list().recordCount(), 3);   // the same variant reopens with the filter it had

    part<QAction>(window, "FilterAction")->trigger();
    EXPECT_TRUE(row().isRowVisible());
    EXPECT_EQ(column("hostname").filter.text, "");
    EXPECT_GT(list().recordCount(), 3);
    EXPECT_EQ(messages.texts(), "");
}

TEST_F(FilterValueListsTest, F3OnAnotherTabBuildsTheListsAndLeavesTheFocusWhereItIs)
{
    QTabBar& tabs = *part<QTabWidget>(window, "tabs")->tabBar();
    click(tabs, tabs.tabRect(2).center());
    ASSERT_EQ(part<QTabWidget>(window, "tabs")->currentIndex(), 2);
    QWidget* focused = QApplication::focusWidget();
    part<QAction>(window, "FilterAction")->trigger();
    EXPECT_EQ(messages.texts(), "");
    EXPECT_TRUE(row().isRowVisible());
    EXPECT_EQ(entries("spid").mid(0, 4), (QStringList{"1", "10", "11", "2"}));
    EXPECT_EQ(QApplication::focusWidget(), focused);
}

TEST_F(FilterValueListsTest, ARejectedBatchLeavesTheRowShownAndTheLaterColumnsWithoutLists)
{
    changeServer([](sqlsim::ServerState& state) {
        state.faults.errorOnStatement = QStringLiteral("create Table #temp(cpu int); select cpu from #temp; drop table #temp;");
    });
    part<QAction>(window, "FilterAction")->trigger();
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_TRUE(messages.all.front().text.contains("Simulated failure.")) << messages.texts().toStdString();
    EXPECT_TRUE(row().isRowVisible());
    const int cpu = grid().columnIndex("cpu");
    for (int i = 0; i < int(grid().columns().size()); ++i) {
        const GridColumn& c = grid().columns()[size_t(i)];
        SCOPED_TRACE(c.fieldName.toStdString());
        if (i < cpu)
            EXPECT_EQ(c.filter.valueList, QStringList());   // made, but nothing filled
        else
            EXPECT_FALSE(c.filter.valueList.has_value());
    }

    // The next F3 on a willing server makes every list.
    changeServer([](sqlsim::ServerState& state) { state.faults.errorOnStatement.clear(); });
    part<QAction>(window, "FilterAction")->trigger();
    EXPECT_TRUE(column("memusage").filter.valueList.has_value());
    EXPECT_TRUE(entries("cpu").contains("100"));
}

TEST_F(FilterValueListsTest, AColumnWhoseFieldTheListLacksSendsNoBatch)
{
    // As a layout file may name it: no such field, and text that must not reach the server.
    GridColumns columns = grid().columns();
    columns[0].fieldName = QStringLiteral("spid int); drop table x; --");
    grid().setColumns(columns);
    const int before = batches();
    part<QAction>(window, "FilterAction")->trigger();
    EXPECT_EQ(messages.texts(), "");
    EXPECT_EQ(batches() - before, 29);
    EXPECT_FALSE(grid().columns()[0].filter.valueList.has_value());
    EXPECT_TRUE(column("kpid").filter.valueList.has_value());
}
