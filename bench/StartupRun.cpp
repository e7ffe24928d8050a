// Start-up to the first shown window: this program starts itself again as a child that does
// what Velmora's main does (the application, the main window, show) and reports the moment the
// window first paints; the figure is the time from starting the child to that moment, with the
// child's CPU time beside it.
#include "MainWindow.h"
#include "VelmoraApplication.h"

#include <QEvent>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const char* const childFlag = "--first-window";
std::string selfPath;

// Reports the first paint of the window it watches on the pipe, then ends the process at once.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(int pipe) : m_pipe(pipe) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            const char shown = 1;
            if (write(m_pipe, &shown, 1) != 1)
                _exit(2);
            _exit(0);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    int m_pipe;
};

int runChild(int argc, char** argv, int pipe)
{
    velmora::VelmoraApplication application(argc, argv);
    velmora::MainWindow window;
    FirstPaint watcher(pipe);
    window.installEventFilter(&watcher);
    window.show();
    return application.exec();
}

void BM_StartToFirstWindow(benchmark::State& state)
{
    double cpuMs = 0;
    for (auto _ : state) {
        int shown[2];
        if (pipe(shown) != 0)
            return state.SkipWithError("no pipe");
        const std::string fd = std::to_string(shown[1]);
        char* const args[] = {selfPath.data(), const_cast<char*>(childFlag), const_cast<char*>(fd.c_str()), nullptr};
        const auto start = std::chrono::steady_clock::now();
        pid_t child = 0;
        if (posix_spawn(&child, selfPath.c_str(), nullptr, nullptr, args, environ) != 0)
            return state.SkipWithError("cannot start");
        close(shown[1]);
        char byte = 0;
        const bool painted = read(shown[0], &byte, 1) == 1;
        const auto end = std::chrono::steady_clock::now();
        close(shown[0]);
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        if (!painted)
            return state.SkipWithError("no window shown");
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        cpuMs += (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
            + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    }
    state.counters["child_cpu_ms"] = cpuMs / double(state.iterations());
}
BENCHMARK(BM_StartToFirstWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], childFlag) == 0) {
        const int pipe = std::atoi(argv[2]);
        int childArgc = 1;
        return runChild(childArgc, argv, pipe);
    }
    selfPath = argv[0];
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
