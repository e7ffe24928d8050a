// The main window while the server holds back its answer: the window keeps painting, keys and
// clicks are held off, and Esc or the status bar's Cancel button cancel the batch on the server;
// the same connection then goes on. A login that gets no answer keeps the window painting too.
#include "MainWindowTestSupport.h"

#include "Connection.h"
#include "ProcessQueries.h"
#include "Query.h"
#include "ResultGrid.h"
#include "ServerWait.h"
#include "SimFixture.h"
#include "ErrorDisplay.h"
#include "WindowParts.h"

#include <QApplication>
#include <QScopeGuard>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <mutex>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

QPoint centreIn(const MainWindow& window, const QWidget* widget)
{
    return widget->mapTo(&window, widget->rect().center());
}

struct CancelWay {
    const char* name;
    std::function<void(MainWindow&)> cancel;
};

const CancelWay cancelWays[] = {
    {"Esc", [](MainWindow&) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }},
    {"CancelButton",
     [](MainWindow& window) {
         QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, centreIn(window, part<QToolButton>(window, "cancelButton")));
     }},
};

class SlowServer : public ::testing::TestWithParam<CancelWay> {
protected:
    void setSlowRefresh(int ms)
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().faults.slowStatement = processBatch(ServerFamily::Sql2000).join(QStringLiteral("\r\n"));
        sim.engine().state().faults.slowMs = ms;
    }
    void pressF5() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5); }

    SettingsFile settings;
    SimFixture sim{sqlsim::ServerVersion::Sql2000, false};
    MainWindow window;
    RecordedMessages messages;
};

TEST_P(SlowServer, TheWindowPaintsWhileItWaitsAndTheCancelEndsTheWait)
{
    ASSERT_TRUE(showActive(window));
    fillLogin(window, QStringLiteral("127.0.0.1,%1").arg(sim.port()), QStringLiteral("sa"), QStringLiteral("velmora"));
    part<QAction>(window, "ConnectAction")->trigger();
    ASSERT_EQ(messages.texts(), QString());
    part<ResultGrid>(window, "processGrid")->setFocus();
    // Longer than the refresh's own time-out: only the cancel ends this wait early.
    setSlowRefresh(120'000);

    PaintCounter counter;
    bool buttonShown = false;
    int paintsWhileWaiting = 0;
    QTimer step;
    int stepsTaken = 0;
    QObject::connect(&step, &QTimer::timeout, [&] {
        switch (stepsTaken++) {
        case 0:
            // The operator enlarges the window, asks for a kill and clicks Disconnect: only the resize is
            // served.
            buttonShown = part<QToolButton>(window, "cancelButton")->isVisible();
            QApplication::instance()->installEventFilter(&counter);
            window.resize(window.size() + QSize(40, 30));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete, Qt::ControlModifier);
            QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                              centreIn(window, window.findChild<QToolButton*>(QStringLiteral("disconnectButton"))));
            break;
        case 1:
            paintsWhileWaiting = counter.paints;
            GetParam().cancel(window);
            step.stop();
            break;
        }
    });
    QObject::connect(&ServerWait::instance(), &ServerWait::waitingChanged, &step, [&](bool waiting) {
        if (waiting)
            step.start(200);
    });
    pressF5();

    EXPECT_EQ(stepsTaken, 2);
    EXPECT_TRUE(buttonShown);
    EXPECT_GT(paintsWhileWaiting, 0);
    EXPECT_FALSE(part<QToolButton>(window, "cancelButton")->isVisible());
    EXPECT_EQ(messages.texts(), programTitle(QCoreApplication::applicationFilePath())
                                    + QStringLiteral("|[FreeTDS][SQL Server]Operation was cancelled."));
    EXPECT_EQ(disabledControls(window), ConnectedOff) << "neither the kill nor the click came through";

    messages.all.clear();
    setSlowRefresh(0);
    pressF5();
    EXPECT_EQ(messages.texts(), QString());
    EXPECT_GT(part<ProcessTab>(window, "processTab")->procSource()->recordCount(), 0);
}

// A server that takes the connection and never says a word: the window paints through the
// login time-out (no Cancel button: the driver cannot cancel a login), then tells the operator
// and stays disconnected.
TEST(SilentServer, TheWindowPaintsWhileTheLoginWaits)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);   // the kernel completes the handshake; nothing is read
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    auto closeListener = qScopeGuard([listener] { ::close(listener); });

    SettingsFile settings;
    MainWindow window;
    window.connection()->setLoginTimeout(2);   // the default 15 seconds prove nothing more
    RecordedMessages messages;
    ASSERT_TRUE(showActive(window));
    fillLogin(window, QStringLiteral("127.0.0.1,%1").arg(ntohs(address.sin_port)), QStringLiteral("sa"),
              QStringLiteral("velmora"));
    PaintCounter counter;
    bool buttonShown = false;
    QTimer resize;
    QObject::connect(&resize, &QTimer::timeout, [&] {
        buttonShown = buttonShown || part<QToolButton>(window, "cancelButton")->isVisible();
        QApplication::instance()->installEventFilter(&counter);
        window.resize(window.size() + QSize(10, 10));
    });
    QObject::connect(&ServerWait::instance(), &ServerWait::waitingChanged, &resize, [&](bool waiting) {
        if (waiting)
            resize.start(200);
        else
            resize.stop();
    });
    part<QAction>(window, "ConnectAction")->trigger();

    EXPECT_GT(counter.paints, 0);
    EXPECT_FALSE(buttonShown) << "the driver cannot cancel a login";
    ASSERT_EQ(messages.all.size(), 1u) << messages.texts().toStdString();
    EXPECT_EQ(messages.all[0].icon, QMessageBox::Critical);
    EXPECT_FALSE(window.connection()->isOpen());
    EXPECT_EQ(disabledControls(window), DisconnectedOff);
}

INSTANTIATE_TEST_SUITE_P(Ways, SlowServer, ::testing::ValuesIn(cancelWays),
                         [](const ::testing::TestParamInfo<CancelWay>& info) { return std::string(info.param.name); });

} // namespace
