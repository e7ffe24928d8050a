// A soak run: every screen refreshed many times over in one process against the in-process
// simulator (the process list, the process detail window, the databases, the server, the error
// logs), with the resident size and the open descriptors reported once every screen has settled,
// around each screen's run and at the end. A leak of a row, a handle or a socket per refresh
// shows as growth.
//
//     SoakRun [refreshes per screen, 10000 by default]
#include "BenchSupport.h"
#include "Connection.h"
#include "DatabaseTab.h"
#include "LogTab.h"
#include "MainWindow.h"
#include "MessageSeam.h"
#include "ProcessTab.h"
#include "ServerFamily.h"
#include "ServerTab.h"
#include "ProcessDetailWindow.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>
#include <malloc.h>

using namespace velmora;

namespace {

struct Usage {
    double residentMb = 0;
    int descriptors = 0;
};

Usage usageNow()
{
    // The allocator keeps freed blocks for reuse; trimmed, what is left is what is held.
    malloc_trim(0);
    Usage usage;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                usage.residentMb = line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    usage.descriptors = int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
    return usage;
}

struct Screen {
    const char* name;
    std::function<void()> refresh;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int refreshes = argc > 1 ? std::max(1, atoi(argv[1])) : 10'000;
    const int warmUp = std::min(50, refreshes);

    // The window keeps its settings and layout files in a directory of the run's own.
    QTemporaryDir workingDirectory;
    QDir::setCurrent(workingDirectory.path());
    int errors = 0;
    setMessageHandler([&errors](const MessageRequest& request) {
        if (request.icon != QMessageBox::Question && ++errors <= 5)
            std::fprintf(stderr, "message: %s\n", qPrintable(request.text));
        return QMessageBox::Ok;
    });

    bench::setUserProcesses(200);
    {
        sqlsim::Engine& engine = bench::server().engine();
        std::lock_guard lock(engine.mutex());
        for (int i = 0; i < 20; ++i)
            engine.state().locks.push_back(sqlsim::Lock{qint16(bench::firstUserSpid), 21'575'115 + i, qint16(1 + i % 8),
                                                        qint16(i % 3 ? 5 : 3), 100 + i});
    }

    MainWindow window;
    window.resize(1280, 800);
    window.show();
    window.findChild<QComboBox*>(QStringLiteral("serverBox"))->setEditText(QStringLiteral("127.0.0.1,%1").arg(bench::server().port()));
    window.findChild<QLineEdit*>(QStringLiteral("loginBox"))->setText(QStringLiteral("sa"));
    window.findChild<QLineEdit*>(QStringLiteral("passwordBox"))->setText(QStringLiteral("velmora"));
    window.findChild<QAction*>(QStringLiteral("ConnectAction"))->trigger();
    if (!window.connection()->isOpen()) {
        std::fprintf(stderr, "could not connect\n");
        return 1;
    }
    ProcessDetailWindow detail;
    detail.openQueries(window.connection(), QString::number(bench::firstUserSpid));
    detail.show();

    const Screen screens[] = {
        {"process list", [&] { window.findChild<ProcessTab*>(QStringLiteral("processTab"))->refreshKey(); }},
        {"detail window", [&] { detail.refresh(); }},
        {"databases", [&] { window.findChild<DatabaseTab*>(QStringLiteral("databaseTab"))->refreshKey(); }},
        {"server", [&] { window.findChild<ServerTab*>()->openAfterConnect(ServerFamily::Sql2000); }},
        {"logs", [&] { window.findChild<LogTab*>()->refreshKey(); }},
    };
    const auto refresh = [&](const Screen& screen) {
        try {
            screen.refresh();
        } catch (const std::exception& e) {
            if (++errors <= 5)
                std::fprintf(stderr, "%s: %s\n", screen.name, e.what());
        }
    };
    // Caches, pools and the allocator's arenas settle in the first refreshes of every screen.
    for (const Screen& screen : screens)
        for (int i = 0; i < warmUp; ++i)
            refresh(screen);
    QApplication::processEvents();

    const Usage start = usageNow();
    std::printf("%-14s %10s %12s %12s %10s %10s\n", "screen", "refreshes", "RSS before", "RSS after", "fds before",
                "fds after");
    for (const Screen& screen : screens) {
        const Usage before = usageNow();
        for (int i = 0; i < refreshes; ++i) {
            refresh(screen);
            if (i % 100 == 0)
                QApplication::processEvents();
        }
        QApplication::processEvents();
        const Usage after = usageNow();
        std::printf("%-14s %10d %9.1f MB %9.1f MB %10d %10d\n", screen.name, refreshes, before.residentMb,
                    after.residentMb, before.descriptors, after.descriptors);
        std::fflush(stdout);
    }
    const Usage end = usageNow();
    std::printf("whole run: resident %.1f MB at the start, %.1f MB at the end (growth %.1f MB); "
                "descriptors %d at the start, %d at the end; %d error(s)\n",
                start.residentMb, end.residentMb, end.residentMb - start.residentMb, start.descriptors,
                end.descriptors, errors);
    return errors == 0 ? 0 : 1;
}
