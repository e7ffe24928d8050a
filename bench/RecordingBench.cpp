// What recording costs a refresh of the process list: the same F5 at 1,000 and 10,000 processes
// with recording off and on (the snapshot: copying the rows, comparing them with the snapshot
// before, the blockers' locks in one round trip, one transaction), on a busy server where every
// tenth process has used cpu and io and sent a batch since the refresh before. Also the bytes a
// snapshot adds to the file at 1,000 processes. CPU time is the client's, as for the refresh,
// with that of the recording's own thread, which stores the snapshot; the window's thread's wall
// time of a refresh is a counter beside it (the disk's waits are the recording thread's).
#include "BenchSupport.h"
#include "Connection.h"
#include "ProcessRecorder.h"
#include "ProcessTab.h"
#include "Query.h"
#include "RecordingControls.h"
#include "RecordingThread.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace velmora;

namespace {

/// Every tenth made-up process moves on, as between two refreshes of a busy server.
void advanceBusyProcesses()
{
    sqlsim::Engine& engine = bench::server().engine();
    std::lock_guard lock(engine.mutex());
    int i = 0;
    for (sqlsim::Process& p : engine.state().processes) {
        if (p.hasClient || i++ % 10 != 0)
            continue;
        p.cpu += 16;
        p.physical_io += 3;
        p.last_batch = p.last_batch.addMSecs(1'500);
    }
}

struct RecordingSession {
    explicit RecordingSession(int processes, bool recording)
    {
        bench::setUserProcesses(processes);
        connection.setConnectionString(bench::oleDbString(QStringLiteral("RecordingBench")));
        connection.open();
        tab.findChild<Query*>(QStringLiteral("ProcQuery2"))->setCommandTimeout(bench::statementTimeout);
        tab.openAfterConnect(ServerFamily::Sql2000);
        tab.procSource()->setSort(QStringLiteral("cpu DESC, loginame"));
        RecordingControls& controls = *tab.recordingControls();
        controls.onChooseRecordingFile = [this] { return path; };
        if (recording)
            controls.toggleRecording();
    }
    /// The thread the snapshots are stored on; null while not recording.
    RecordingThread* recordingThread() const
    {
        return tab.recordingControls()->findChild<ProcessRecorder*>()->recordingThread();
    }
    qint64 fileSize() const
    {
        recordingThread()->wait();
        return QFileInfo(path).size();
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("bench.vrec"));
    Connection connection;
    ProcessTab tab{&connection};
};

void refreshes(benchmark::State& state, bool recording)
{
    const int count = int(state.range(0));
    RecordingSession session(count, recording);
    if (recording != session.tab.recordingControls()->isRecording())
        return state.SkipWithError("recording did not start");
    // The first snapshot stores every row: not the steady cost, and stored before the first
    // iteration, whose CPU time would take it in.
    session.tab.refreshKey();
    if (recording)
        session.recordingThread()->wait();
    double wallMs = 0;
    for (auto _ : state) {
        advanceBusyProcesses();
        bench::ClientCpuTimer timer(state, session.recordingThread());
        QElapsedTimer wall;
        wall.start();
        session.tab.refreshKey();
        wallMs += double(wall.nsecsElapsed()) / 1e6;
    }
    if (session.tab.procSource()->recordCount() < count)
        state.SkipWithError("short list");
    if (recording != session.tab.recordingControls()->isRecording())
        state.SkipWithError("recording stopped");
    state.counters["wall_ms"] = wallMs / double(state.iterations());
}

void BM_RefreshNotRecording(benchmark::State& state)
{
    refreshes(state, false);
}

void BM_RefreshRecording(benchmark::State& state)
{
    refreshes(state, true);
}

void BM_RecordingBytesPerSnapshot(benchmark::State& state)
{
    const int count = int(state.range(0));
    constexpr int later = 20;
    RecordingSession session(count, true);
    for (auto _ : state) {
        session.tab.refreshKey();
        const qint64 first = session.fileSize();
        for (int i = 0; i < later; ++i) {
            advanceBusyProcesses();
            session.tab.refreshKey();
        }
        state.counters["first_snapshot_bytes"] = double(first);
        state.counters["bytes_per_snapshot"] = double(session.fileSize() - first) / later;
    }
}

BENCHMARK(BM_RefreshNotRecording)->UseManualTime()->Unit(benchmark::kMillisecond)->Arg(1'000)->Iterations(10);
BENCHMARK(BM_RefreshRecording)->UseManualTime()->Unit(benchmark::kMillisecond)->Arg(1'000)->Iterations(10);
BENCHMARK(BM_RefreshNotRecording)->UseManualTime()->Unit(benchmark::kMillisecond)->Arg(10'000)->Iterations(8);
BENCHMARK(BM_RefreshRecording)->UseManualTime()->Unit(benchmark::kMillisecond)->Arg(10'000)->Iterations(8);
BENCHMARK(BM_RecordingBytesPerSnapshot)->Unit(benchmark::kMillisecond)->Arg(1'000)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return bench::runInApplication(argc, argv);
}
