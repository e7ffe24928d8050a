// Memory of the process list: the heap bytes a held process row takes against the raw bytes of
// its values (each number at its column's width, a date-time as 8 bytes, text as the UTF-16 the
// server sends, bytes as they are), and the resident size of a client listing 100,000
// processes. The simulator runs in a child process, so that its memory is not counted.
#include "BenchSupport.h"
#include "Connection.h"
#include "ProcessTab.h"
#include "Query.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <malloc.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velmora;

namespace {

constexpr int processCount = 100'000;
quint16 serverPort = 0;

qint64 heapInUse()
{
    return qint64(mallinfo2().uordblks);
}

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpression resident(QStringLiteral(R"(VmRSS:\s+(\d+) kB)"));
    const auto match = resident.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toDouble() / 1024 : 0;
}

qint64 rawBytes(const QVariant& value, const FieldDef& field)
{
    if (!value.isValid())
        return 0;
    switch (field.kind) {
    case FieldKind::SmallInt: return 2;
    case FieldKind::Integer: return 4;
    case FieldKind::LargeInt:
    case FieldKind::Float:
    case FieldKind::DateTime: return 8;
    case FieldKind::Bytes:
    case FieldKind::VarBytes: return value.toByteArray().size();
    default: return value.toString().size() * 2;
    }
}

void BM_ProcessRowMemory(benchmark::State& state)
{
    Connection connection;
    connection.setConnectionString(bench::oleDbString(QStringLiteral("ProcessMemoryRun"), serverPort));
    connection.open();
    ProcessTab tab(&connection);
    tab.resize(1280, 800);
    tab.show();
    QApplication::processEvents();
    for (auto _ : state) {
        tab.closeAtDisconnect();
        malloc_trim(0);
        const qint64 before = heapInUse();
        tab.findChild<Query*>(QStringLiteral("ProcQuery2"))->setCommandTimeout(bench::statementTimeout);
        tab.openAfterConnect(ServerFamily::Sql2000);
        QApplication::processEvents();
        const qint64 held = heapInUse() - before;
        const Query& list = *tab.procSource();
        qint64 raw = 0;
        for (int row = 0; row < list.heldRowCount(); ++row)
            for (size_t field = 0; field < list.fields().size(); ++field)
                raw += rawBytes(list.heldRow(row)[field], list.fields()[field]);
        const double rows = std::max(list.heldRowCount(), 1);
        state.counters["rows"] = rows;
        state.counters["held_bytes_per_row"] = double(held) / rows;
        state.counters["raw_bytes_per_row"] = double(raw) / rows;
        state.counters["held_to_raw"] = double(held) / double(std::max<qint64>(raw, 1));
        state.counters["resident_MB"] = residentMegabytes();
    }
}
BENCHMARK(BM_ProcessRowMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    // The simulator is started before any thread of this process exists, then forked away.
    int ports[2];
    if (pipe(ports) != 0)
        return 1;
    const pid_t simulator = fork();
    if (simulator == 0) {
        close(ports[0]);
        bench::setUserProcesses(processCount);
        const quint16 port = bench::server().port();
        if (write(ports[1], &port, sizeof port) != sizeof port)
            _exit(1);
        pause();
        _exit(0);
    }
    close(ports[1]);
    if (read(ports[0], &serverPort, sizeof serverPort) != sizeof serverPort)
        return 1;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int status = 0;
    {
        QApplication application(argc, argv);
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    kill(simulator, SIGTERM);
    waitpid(simulator, &status, 0);
    return 0;
}
