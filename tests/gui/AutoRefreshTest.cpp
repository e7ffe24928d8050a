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
// Long enough for many intervals to pass.
constexpr int ManyIntervalsMs = 40 * 2 * SecondMs;

class Watching : public ::testing::Test {
public:
    template <typename Change> auto onServer(Change change)
    {
        std::lock_guard lock(sim.engine().mutex());
        return change(sim.engine().state());
    }
    explicit Watching(sqlsim::ServerVersion version = sqlsim::ServerVersion::Sql2000) : sim(version, false)
    {
        onServer([](sqlsim::ServerState& state) {
            for (int spid : {300, 301, 302})
                state.processes.push_back(steady(spid));
        });
        watch().setSecondLength(SecondMs);
    }
    ~Watching() override { setMessageHandler(previous); }

    static sqlsim::Process steady(int spid)
    {
        sqlsim::Process process;
        process.spid = qint16(spid);
        process.status = QStringLiteral("sleeping");
        process.program_name = QStringLiteral("steady");
        process.loginame = QStringLiteral("tester");
        process.login_time = process.last_batch = QDateTime::currentDateTime();
        return process;
    }
    void connectWindow()
    {
        fillLogin(window, QStringLiteral("127.0.0.1,%1").arg(sim.port()), QStringLiteral("sa"),
                  QStringLiteral("velmora"));
        part<QAction>(window, "ConnectAction")->trigger();
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
        if (request.icon == QMessageBox::Question)
            return QMessageBox::Yes;
        shown.push_back(request);
        return QMessageBox::Ok;
    });
};

class WatchingEachVersion : public Watching, public ::testing::WithParamInterface<sqlsim::ServerVersion> {
public:
    WatchingEachVersion() : Watching(GetParam()) {}
};

TEST_P(WatchingEachVersion, TheTimerReadsTheListAgainKeepingOrderAndCurrentProcess)
{
    connectWindow();
    EXPECT_FALSE(part<QLabel>(window, "refreshPane")->isVisibleTo(&window)) << "nothing shown while off";
    list().setSort(QStringLiteral("spid DESC"));
    ASSERT_TRUE(list().locate(QStringLiteral("spid"), 301));
    const int rows = list().recordCount();
    const int before = reads();
    QTest::qWait(ManyIntervalsMs);
    ASSERT_EQ(reads(), before) << "off until an interval is chosen";

    tab().setAutoRefreshInterval(2);
    onServer([](sqlsim::ServerState& state) { state.processes.push_back(steady(303)); });
    ASSERT_TRUE(readsReach(before + 3));
    EXPECT_EQ(list().recordCount(), rows + 1);
    EXPECT_EQ(list().sort(), QStringLiteral("spid DESC"));
    EXPECT_EQ(tab().currentSpid(), 301);
    EXPECT_TRUE(refreshLine().startsWith(QStringLiteral("Обновлено "))) << refreshLine().toStdString();
    EXPECT_TRUE(refreshLine().endsWith(QStringLiteral(" мс · каждые 2 с"))) << refreshLine().toStdString();
    EXPECT_TRUE(part<QLabel>(window, "refreshPane")->isVisibleTo(&window));
    EXPECT_TRUE(shown.empty());

    tab().setAutoRefreshInterval(0);
    EXPECT_FALSE(watch().counting());
    EXPECT_FALSE(part<QLabel>(window, "refreshPane")->isVisibleTo(&window));
}

INSTANTIATE_TEST_SUITE_P(, WatchingEachVersion,
                         ::testing::Values(sqlsim::ServerVersion::Sql70, sqlsim::ServerVersion::Sql2000,
                                           sqlsim::ServerVersion::Sql2022));

/// Something that keeps the window busy: `open` opens it by input, runs `whileOpen` once it is
/// up, and closes it.
struct Busy {
    const char* name;
    std::function<void(Watching&, const std::function<void()>& whileOpen)> open;
};

void PrintTo(const Busy& busy, std::ostream* out)
{
    *out << busy.name;
}

/// `key` opens a modal window; `whileOpen` runs once it is active, then it is closed.
void whileModal(int key, Qt::KeyboardModifiers modifiers, const std::function<void()>& whileOpen)
{
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll.stop();
        whileOpen();
        modal->close();
    });
    poll.start();
    pressKey(key, modifiers);
}

const Busy busyWindows[] = {
    {"AboutBox", [](Watching&, const auto& whileOpen) { whileModal(Qt::Key_F1, Qt::NoModifier, whileOpen); }},
    {"FindDialog",
     [](Watching&, const auto& whileOpen) {
         pressKey(Qt::Key_F, Qt::ControlModifier);   // the incremental search first
         whileModal(Qt::Key_F, Qt::ControlModifier, whileOpen);
     }},
    {"DetailWindow", [](Watching&, const auto& whileOpen) { whileModal(Qt::Key_Return, Qt::NoModifier, whileOpen); }},
    {"FilterEditor",
     [](Watching& w, const auto& whileOpen) {
         pressKey(Qt::Key_F3);
         pressKey(Qt::Key_Up, Qt::ControlModifier);
         ASSERT_GE(part<ResultGrid>(w.window, "processGrid")->filterRow()->editedColumn(), 0);
         whileOpen();
         pressKey(Qt::Key_Down, Qt::ControlModifier);
         ASSERT_LT(part<ResultGrid>(w.window, "processGrid")->filterRow()->editedColumn(), 0);
     }},
};

class WatchingABusyWindow : public Watching, public ::testing::WithParamInterface<Busy> {};

TEST_P(WatchingABusyWindow, HoldsOffWhileItIsOpenAndGoesOnAfter)
{
    connectWindow();
    ASSERT_TRUE(showActive(window));
    ResultGrid& grid = *part<ResultGrid>(window, "processGrid");
    click(*grid.viewport(), grid.visualRect(grid.currentIndex()).center());
    tab().setAutoRefreshInterval(2);
    ASSERT_TRUE(readsReach(reads() + 1));
    bool wasOpen = false;
    GetParam().open(*this, [&] {
        wasOpen = true;
        const int before = reads();
        QTest::qWait(ManyIntervalsMs);
        EXPECT_EQ(reads(), before);
    });
    ASSERT_TRUE(wasOpen);
    EXPECT_TRUE(readsReach(reads() + 2));
    EXPECT_FALSE(watch().paused());
    EXPECT_TRUE(shown.empty());
}

INSTANTIATE_TEST_SUITE_P(, WatchingABusyWindow, ::testing::ValuesIn(busyWindows));

TEST_F(Watching, NeverStartsInsideAnotherServerCall)
{
    connectWindow();
    tab().setAutoRefreshInterval(2);
    ASSERT_TRUE(list().locate(QStringLiteral("spid"), 300));
    // The kill outlasts the moment the window starts repainting while it waits, for many intervals.
    onServer([](sqlsim::ServerState& state) {
        state.faults.slowStatement = QStringLiteral("Kill 300");
        state.faults.slowMs = 400;
    });
    part<QAction>(window, "DelAction")->trigger();
    EXPECT_TRUE(shown.empty()) << (shown.empty() ? "" : shown.front().text.toStdString());
    EXPECT_FALSE(watch().paused());
    EXPECT_TRUE(readsReach(reads() + 2));
}

TEST_F(Watching, ADroppedLinkStopsItWithOneMessageAsF5ShowsIt)
{
    connectWindow();
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
    connectWindow();
    EXPECT_FALSE(watch().counting());
    part<QAction>(window, "AutoRefreshPauseAction")->trigger();
    EXPECT_TRUE(readsReach(reads() + 2));
    EXPECT_EQ(shown.size(), 1u);
}

/// A settings file of an earlier run, in code page 1251 ("Сервер" as the server), with CR LF.
const QByteArray earlierSettings = QByteArray("[ServerOption]\r\nServerName=\xD1\xE5\xF0\xE2\xE5\xF0\r\n"
                                              "[SortOption]\r\nSort=cpu DESC\r\n");

QByteArray settingsBytes()
{
    QFile file(SettingsFile::path());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeSettings(const QByteArray& bytes)
{
    QFile file(SettingsFile::path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

/// Where the operator clicks item `row` of an open list: its middle, across the list's width.
QPoint itemPoint(const QAbstractItemView& items, int row)
{
    return {items.viewport()->width() / 2, items.visualRect(items.model()->index(row, 0)).center().y()};
}

TEST(AutoRefreshSettings, AnIntervalNeverChosenLeavesTheFileAsItWas)
{
    SettingsFile settings;
    writeSettings(earlierSettings);
    {
        MainWindow window;
        EXPECT_EQ(window.findChild<ProcessTab*>()->autoRefresh()->interval(), 0);
        window.close();
    }
    EXPECT_EQ(settingsBytes().toHex(' '), earlierSettings.toHex(' '));
}

TEST(AutoRefreshSettings, TheChosenIntervalIsKeptInASectionOfItsOwn)
{
    SettingsFile settings;
    writeSettings(earlierSettings);
    {
        MainWindow window;
        ASSERT_TRUE(showActive(window));
        auto& box = *part<QComboBox>(window, "refreshIntervalBox");
        click(box);
        QAbstractItemView& items = *box.view();
        ASSERT_TRUE(QTest::qWaitFor([&] { return items.isVisible(); }));
        click(*items.viewport(), itemPoint(items, 3));
        EXPECT_EQ(box.currentText(), QStringLiteral("10 с"));
        window.close();
    }
    const QByteArray bytes = settingsBytes();
    EXPECT_TRUE(bytes.startsWith(earlierSettings)) << bytes.toStdString();
    EXPECT_EQ(ProgramSettings().autoRefreshInterval(), 10);

    MainWindow again;
    EXPECT_EQ(again.findChild<ProcessTab*>()->autoRefresh()->interval(), 10);
    EXPECT_EQ(part<QComboBox>(again, "refreshIntervalBox")->currentText(), QStringLiteral("10 с"));
}

TEST(AutoRefreshSettings, AStoredValueThatIsNotOfferedIsOff)
{
    for (const char* stored : {"7", "abc", "-5", ""}) {
        SCOPED_TRACE(stored);
        SettingsFile settings;
        writeSettings(QByteArray("[AutoRefresh]\r\nInterval=") + stored + "\r\n");
        MainWindow window;
        EXPECT_EQ(window.findChild<ProcessTab*>()->autoRefresh()->interval(), 0);
        EXPECT_EQ(part<QComboBox>(window, "refreshIntervalBox")->currentText(), QStringLiteral("Выкл"));
    }
}

} // namespace
