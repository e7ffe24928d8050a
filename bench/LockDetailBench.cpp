// Opening the process detail window for a process holding 1,000 locks through its own opening
// path up to its modal loop: the lock list with an object and a database name looked up for every
// lock (2,000 look-ups), the last input and the first sort, against a bare ODBC client sending the
// same statements one by one. Both in the client's CPU time (its GUI thread and the worker its
// server calls run on).
#include "BenchSupport.h"
#include "Connection.h"
#include "LockQueries.h"
#include "ProcessDetailWindow.h"
#include "Query.h"

#include <QTimer>

using namespace velmora;

namespace {

constexpr int lockCount = 1'000;
const QString spid = QString::number(bench::firstUserSpid);

// The first made-up process holds page and key locks on a few dozen objects in the eight databases.
void holdLocks()
{
    static const bool held = [] {
        bench::setUserProcesses(100);
        sqlsim::Engine& engine = bench::server().engine();
        std::lock_guard lock(engine.mutex());
        auto& locks = engine.state().locks;
        std::erase_if(locks, [](const sqlsim::Lock& l) { return l.spid == bench::firstUserSpid; });
        for (int i = 0; i < lockCount; ++i)
            locks.push_back(sqlsim::Lock{qint16(bench::firstUserSpid), 21'575'115 + i % 40, qint16(1 + i % 8), qint16(i % 3 ? 5 : 3), 100 + i});
        return true;
    }();
    (void)held;
}

/// Closes a detail window as soon as it shows, noting how many locks it lists.
class CloseWhenShown : public QObject {
public:
    int shownLocks = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = event->type() == QEvent::Show ? qobject_cast<ProcessDetailWindow*>(watched) : nullptr;
        if (window) {
            shownLocks = window->findChild<Query*>(QStringLiteral("LockQuery"))->recordCount();
            QTimer::singleShot(0, window, &QWidget::close);
        }
        return false;
    }
};

void BM_OpenLockDetail(benchmark::State& state)
{
    holdLocks();
    Connection connection;
    connection.setConnectionString(bench::oleDbString(QStringLiteral("LockDetailBench")));
    connection.open();
    sqlsim::Engine& engine = bench::server().engine();
    const auto batches = [&engine] {
        std::lock_guard lock(engine.mutex());
        return engine.state().batchCount;
    };
    // The window's own opening path, up to its modal loop, which closes it at once. Told by the
    // window's showing, not by polling: a poll would run in the event loop of an opening slow
    // enough to wait with one, and be counted as the window's cost.
    CloseWhenShown closer;
    qApp->installEventFilter(&closer);
    for (auto _ : state) {
        const int before = batches();
        closer.shownLocks = -1;
        {
            bench::ClientCpuTimer timer(state);
            ProcessDetailWindow::showModalFor(nullptr, &connection, spid);
        }
        if (closer.shownLocks != lockCount)
            return state.SkipWithError("wrong lock count");
        if (batches() - before != 1 + 2 * lockCount + 1)
            return state.SkipWithError("not one look-up of each name a lock");
    }
}
BENCHMARK(BM_OpenLockDetail)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(16);

void BM_BareLockRoundTrips(benchmark::State& state)
{
    holdLocks();
    bench::BareOdbc odbc;
    if (!odbc.connected())
        return state.SkipWithError("connect failed");
    // The ids the window reads from the lock rows, listed once beforehand.
    std::vector<std::pair<QString, QString>> ids;
    {
        sqlsim::Engine& engine = bench::server().engine();
        std::lock_guard lock(engine.mutex());
        for (const sqlsim::Lock& l : engine.state().locks)
            if (l.spid == bench::firstUserSpid)
                ids.emplace_back(QString::number(l.id), QString::number(l.dbid));
    }
    for (auto _ : state) {
        bench::ClientCpuTimer timer(state);
        if (odbc.fetch(bench::sentBatch(lockBatch(spid))) != lockCount)
            return state.SkipWithError("wrong lock count");
        for (const auto& [objectId, databaseId] : ids) {
            odbc.fetch(objectNameLookup(objectId));
            odbc.fetch(databaseNameLookup(databaseId));
        }
        odbc.fetch(bench::sentBatch(inputBufferBatch(spid)));
    }
}
BENCHMARK(BM_BareLockRoundTrips)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(16);

} // namespace

int main(int argc, char** argv)
{
    return bench::runInApplication(argc, argv);
}
