// The process list's refresh that keeps watching, in the main window against the simulated
// server: the timer reads the list again as F5 does, it holds off while a dialog, the detail
// window, the filter editor or another server call is open, a dropped link stops it with one
// message, and the interval is kept in a section of its own of the settings file.
#include "MainWindowTestSupport.h"

#include "AutoRefresh.h"
#include "FilterRow.h"
#include "ProcessQueries.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SimFixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <mutex>

using namespace velmora;
using namespace velmora::testing;

namespace {

// A second of the interval lasts this long here: "2 с" is 10 ms.
constexpr int SecondMs = 5;
constexpr int ManyIntervalsMs = 80 * SecondMs;

class Watching : public ::testing::Test {
public:
    template <typename Change> auto onServer(Change change)
    {
        std::lock_guard lock(sim.engine().mutex());
        return change(sim.engine().state());
    }
    explicit Watching(sqlsim::ServerVersion version = sqlsim::ServerVersion::Sql2000) : sim(version, false)
    {
        for (int spid : {300, 301, 302})
            addProcess(spid);
        tab().autoRefresh()->setSecondLength(SecondMs);
        fillLogin(window, QStringLiteral("127.0.0.1,%1").arg(sim.port()), QStringLiteral("sa"),
                  QStringLiteral("velmora"));
        part<QAction>(window, "ConnectAction")->trigger();
    }
    ~Watching() override { setMessageHandler(previous); }

    void addProcess(int spid)
    {
        sqlsim::Process process;
        process.spid = qint16(spid);
        process.login_time = process.last_batch = QDateTime::currentDateTime();
        onServer([&](sqlsim::ServerState& state) { state.processes.push_back(process); });
    }
    ProcessTab& tab() { return *part<ProcessTab>(window, "processTab"); }
    AutoRefresh& watch() { return *tab().autoRefresh(); }
    Query& list() { return *tab().procSource(); }
    int reads() { return onServer([](sqlsim::ServerState& state) { return state.refreshCount; }); }
    bool readsReach(int count) { return QTest::qWaitFor([&] { return reads() >= count; }, 10000); }
    QString refreshLine() { return part<QLabel>(window, "refreshPane")->text(); }

    SettingsFile settings;
    SimFixture sim;
    MainWindow window;
    std::vector<MessageRequest> shown;
    // The kill's question is answered Yes; every other box is recorded.
    MessageHandler previous = setMessageHandler([this](const MessageRequest& request) {
        if (request.icon != QMessageBox::Question)
            shown.push_back(request);
        return request.icon == QMessageBox::Question ? QMessageBox::Yes : QMessageBox::Ok;
    });
};

class WatchingEachVersion : public Watching, public ::testing::WithParamInterface<sqlsim::ServerVersion> {
public:
    WatchingEachVersion() : Watching(GetParam()) {}
};

TEST_P(WatchingEachVersion, TheTimerReadsTheListAgainKeepingOrderAndCurrentProcess)
{
    const QLabel& pane = *part<QLabel>(window, "refreshPane");
    EXPECT_FALSE(pane.isVisibleTo(&window)) << "nothing shown while off";
    list().setSort(QStringLiteral("spid DESC"));
    ASSERT_TRUE(list().locate(QStringLiteral("spid"), 301));
    const int rows = list().recordCount();
    const int before = reads();
    QTest::qWait(ManyIntervalsMs);
    ASSERT_EQ(reads(), before) << "off until an interval is chosen";

    tab().setAutoRefreshInterval(2);
    addProcess(303);
    ASSERT_TRUE(readsReach(before + 3));
    EXPECT_EQ(list().recordCount(), rows + 1);
    EXPECT_EQ(list().sort(), QStringLiteral("spid DESC"));
    EXPECT_EQ(tab().currentSpid(), 301);
    EXPECT_TRUE(refreshLine().startsWith(QStringLiteral("Обновлено "))) << refreshLine().toStdString();
    EXPECT_TRUE(refreshLine().endsWith(QStringLiteral(" мс · каждые 2 с"))) << refreshLine().toStdString();
    EXPECT_TRUE(shown.empty());

    tab().setAutoRefreshInterval(0);
    EXPECT_FALSE(watch().counting());
    EXPECT_FALSE(pane.isVisibleTo(&window));
}

INSTANTIATE_TEST_SUITE_P(, WatchingEachVersion,
                         ::testing::Values(sqlsim::ServerVersion::Sql70, sqlsim::ServerVersion::Sql2000,
                                           sqlsim::ServerVersion::Sql2022));

/// Keys that open something over the list (a modal window when `closeKey` is 0) and close it.
struct Busy {
    const char* name;
    std::vector<std::pair<int, Qt::KeyboardModifiers>> openKeys;
    int closeKey;
    Qt::KeyboardModifiers closeModifiers = {};
    bool (*isOpen)(const ResultGrid&) = nullptr;   // what is open when it is not a window
};

void PrintTo(const Busy& busy, std::ostream* out)
{
    *out << busy.name;
}

class WatchingABusyWindow : public Watching, public ::testing::WithParamInterface<Busy> {};

TEST_P(WatchingABusyWindow, HoldsOffWhileItIsOpenAndGoesOnAfter)
{
    ASSERT_TRUE(showActive(window));
    ResultGrid& grid = *part<ResultGrid>(window, "processGrid");
    click(*grid.viewport(), grid.visualRect(grid.currentIndex()).center());
    tab().setAutoRefreshInterval(2);
    ASSERT_TRUE(readsReach(reads() + 1));
    bool held = false;
    const auto whileOpen = [&] {
        const int before = reads();
        QTest::qWait(ManyIntervalsMs);
        held = reads() == before;
    };
    QTimer poll;   // runs inside the modal window's loop
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll.stop();
            whileOpen();
            modal->close();
        }
    });
    if (!GetParam().closeKey)
        poll.start(5);
    for (const auto& [key, modifiers] : GetParam().openKeys)
        pressKey(key, modifiers);
    if (GetParam().closeKey) {
        ASSERT_TRUE(GetParam().isOpen(grid));
        whileOpen();
        pressKey(GetParam().closeKey, GetParam().closeModifiers);
    }
    EXPECT_TRUE(held);
    EXPECT_TRUE(readsReach(reads() + 2));
    EXPECT_TRUE(shown.empty());
}

INSTANTIATE_TEST_SUITE_P(, WatchingABusyWindow, ::testing::Values(
    Busy{"AboutBox", {{Qt::Key_F1, {}}}, 0},
    Busy{"FindDialog", {{Qt::Key_F, Qt::ControlModifier}, {Qt::Key_F, Qt::ControlModifier}}, 0},
    Busy{"DetailWindow", {{Qt::Key_Return, {}}}, 0},
    Busy{"FilterEditor", {{Qt::Key_F3, {}}, {Qt::Key_Up, Qt::ControlModifier}}, Qt::Key_Down,
         Qt::ControlModifier, [](const ResultGrid& grid) { return grid.filterRow()->editedColumn() >= 0; }},
    Busy{"IncrementalSearch", {{Qt::Key_5, {}}}, Qt::Key_Escape, {},
         [](const ResultGrid& grid) { return grid.isIncSearching(); }}));

TEST_F(Watching, NeverStartsInsideAnotherServerCall)
{
    tab().setAutoRefreshInterval(2);
    ASSERT_TRUE(list().locate(QStringLiteral("spid"), 300));
    // The kill lasts long past the moment the window starts repainting while it waits.
    onServer([](sqlsim::ServerState& state) {
        state.faults.slowStatement = QStringLiteral("Kill 300");
        state.faults.slowMs = 400;
    });
    part<QAction>(window, "DelAction")->trigger();
    EXPECT_TRUE(shown.empty()) << (shown.empty() ? "" : shown.front().text.toStdString());
    EXPECT_TRUE(readsReach(reads() + 2));
}

TEST_F(Watching, ADroppedLinkStopsItWithOneMessageAsF5ShowsIt)
{
    tab().setAutoRefreshInterval(2);
    ASSERT_TRUE(readsReach(reads() + 1));
    onServer([](sqlsim::ServerState& state) {
        state.faults.dropOnStatement = processBatch(ServerFamily::Sql2000).join(QStringLiteral("\r\n"));
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.empty(); }, 10000));
    QTest::qWait(ManyIntervalsMs);
    ASSERT_EQ(shown.size(), 1u);
    // What F5 shows for the same fault.
    EXPECT_EQ(shown[0].caption, ownTitle());
    EXPECT_EQ(shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(shown[0].text, QStringLiteral("[FreeTDS][SQL Server]Unexpected EOF from the server."));
    EXPECT_TRUE(watch().paused());
    EXPECT_FALSE(watch().counting());
    EXPECT_EQ(watch().interval(), 2);
    EXPECT_TRUE(part<QToolButton>(window, "pauseButton")->isChecked());
    EXPECT_TRUE(refreshLine().endsWith(QStringLiteral("пауза (F9)"))) << refreshLine().toStdString();

    // Connected again, it waits for the operator to resume.
    onServer([](sqlsim::ServerState& state) { state.faults = {}; });
    part<QAction>(window, "disconnectAction")->trigger();
    EXPECT_FALSE(part<QLabel>(window, "refreshPane")->isVisibleTo(&window)) << "nothing to watch without a server";
    part<QAction>(window, "ConnectAction")->trigger();
    EXPECT_FALSE(watch().counting());
    EXPECT_TRUE(refreshLine().endsWith(QStringLiteral("пауза (F9)"))) << refreshLine().toStdString();
    part<QAction>(window, "AutoRefreshPauseAction")->trigger();
    EXPECT_TRUE(readsReach(reads() + 2));
    EXPECT_EQ(shown.size(), 1u);
}

QByteArray settingsBytes()
{
    QFile file(SettingsFile::path());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(AutoRefreshSettings, KeptInASectionOfItsOwnLeavingTheRestOfTheFileAsItWas)
{
    SettingsFile settings;
    // An earlier run's file, in code page 1251, with CR LF.
    const QByteArray earlier("[ServerOption]\r\nServerName=\xD1\xE5\xF0\xE2\xE5\xF0\r\n"
                             "[SortOption]\r\nSort=cpu DESC\r\n");
    {
        QFile file(SettingsFile::path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(earlier);
    }
    for (int chosen : {-1, 3}) {
        MainWindow window;
        ASSERT_TRUE(showActive(window));
        if (chosen >= 0) {
            auto& box = *part<QComboBox>(window, "refreshIntervalBox");
            click(box);
            QAbstractItemView& items = *box.view();
            ASSERT_TRUE(QTest::qWaitFor([&] { return items.isVisible(); }));
            // The item's middle across the list, where the operator points.
            const int y = items.visualRect(items.model()->index(chosen, 0)).center().y();
            click(*items.viewport(), {items.viewport()->width() / 2, y});
        }
        window.close();
        if (chosen < 0) {
            EXPECT_EQ(settingsBytes().toHex(' '), earlier.toHex(' ')) << "never chosen, never written";
        }
    }
    EXPECT_TRUE(settingsBytes().startsWith(earlier)) << settingsBytes().toStdString();
    MainWindow again;
    EXPECT_EQ(again.findChild<ProcessTab*>()->autoRefresh()->interval(), 10);
    EXPECT_EQ(part<QComboBox>(again, "refreshIntervalBox")->currentText(), QStringLiteral("10 с"));
}

} // namespace
