#include "ServerWait.h"

#include "DbError.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace velmora {

namespace {

using Clock = std::chrono::steady_clock;

// A call the operator cannot notice: up to this long the caller simply blocks, so that the many
// short look-ups of a screen cost no event loop and no Cancel button flashes.
constexpr std::chrono::milliseconds kQuietWait{100};

// The thread a calling thread hands its driver calls to, one call at a time. It lives as long as
// the calling thread, so a screen's thousand look-ups do not start a thousand threads.
class CallThread {
public:
    // The part of a call that a cancel and a deadline end: the whole of a lone call, or the
    // step of a series running.
    struct Step {
        const std::function<void()>* cancel = nullptr;
        Clock::time_point due = Clock::time_point::max();
        WaitEnd end = WaitEnd::Finished;
        bool running = false;
    };

    struct Job {
        const std::function<void()>* call = nullptr;
        bool series = false;
        std::exception_ptr failure;
        bool done = false;
        std::function<void()> onDone;      // run by the worker, under the lock, once done
        Step step;
        bool cancelled = false;            // by the operator: no further step runs
        // When the waiting thread next looks at the step's deadline. A step due sooner wakes it
        // (onDueSooner); the steps of a series, due later and later, mostly do not.
        Clock::time_point watchedUntil = Clock::time_point::max();
        bool dueSooner = false;
        std::function<void()> onDueSooner; // run by the worker, under the lock
    };

    CallThread() : m_thread([this] { serve(); }) {}
    ~CallThread()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    /// The worker running a series on the calling thread, if it is one.
    static CallThread* servingSeries() { return t_servingSeries; }

    void start(Job& job)
    {
        {
            std::lock_guard lock(m_mutex);
            m_job = &job;
        }
        m_wake.notify_all();
    }

    /// Whether the job is done by `until`; steps past their deadlines are cancelled meanwhile.
    bool waitUntil(Job& job, Clock::time_point until)
    {
        std::unique_lock lock(m_mutex);
        const auto woken = [&] { return job.done || job.dueSooner; };
        for (;;) {
            const Clock::time_point wake = std::min(until, watch(job));
            if (job.done)
                return true;
            if (wake == Clock::time_point::max())
                m_finished.wait(lock, woken);
            else
                m_finished.wait_until(lock, wake, woken);
            if (job.done)
                return true;
            if (Clock::now() >= until)
                return false;
        }
    }

    /// Cancels the step past its deadline; returns when the deadline in force is next due.
    Clock::time_point watchDeadline(Job& job)
    {
        std::lock_guard lock(m_mutex);
        return watch(job);
    }

    /// The operator's cancel: ends the step running and keeps any later one from running.
    void cancel(Job& job)
    {
        std::lock_guard lock(m_mutex);
        job.cancelled = true;
        stop(job.step, WaitEnd::Cancelled);
    }

    /// Sets the job's handlers; false (and nothing set) when it is done already.
    bool setHandlers(Job& job, std::function<void()> onDone, std::function<void()> onDueSooner)
    {
        std::lock_guard lock(m_mutex);
        if (job.done)
            return false;
        job.onDone = std::move(onDone);
        job.onDueSooner = std::move(onDueSooner);
        return true;
    }

    /// On the worker, within a series: runs `call` as its next step.
    WaitOutcome runStep(const std::function<void()>& call, const std::function<void()>& cancel,
                        std::chrono::milliseconds deadline)
    {
        Job& job = *m_serving;
        {
            std::lock_guard lock(m_mutex);
            if (job.step.running)
                throw DbError(DbError::Cause::Usage, QStringLiteral("Another request is still waiting for the server."));
            if (job.cancelled)
                return {WaitEnd::Cancelled, nullptr};
            job.step = {&cancel, dueAfter(deadline), WaitEnd::Finished, true};
            if (job.step.due < job.watchedUntil) {
                job.watchedUntil = job.step.due;
                job.dueSooner = true;
                if (job.onDueSooner)
                    job.onDueSooner();
                m_finished.notify_all();
            }
        }
        WaitOutcome outcome;
        try {
            call();
        } catch (...) {
            outcome.failure = std::current_exception();
        }
        std::lock_guard lock(m_mutex);
        outcome.end = job.step.end;
        job.step = {};
        return outcome;
    }

    static Clock::time_point dueAfter(std::chrono::milliseconds deadline)
    {
        return deadline.count() > 0 ? Clock::now() + deadline : Clock::time_point::max();
    }

private:
    // Under the lock. The cancel runs under it too, so that a step cannot end, and its statement
    // go, while it is being cancelled.
    static void stop(Step& step, WaitEnd end)
    {
        if (!step.running || step.end != WaitEnd::Finished)
            return;
        step.end = end;
        if (step.cancel && *step.cancel)
            (*step.cancel)();
    }

    static Clock::time_point watch(Job& job)
    {
        Step& step = job.step;
        if (step.due <= Clock::now())
            stop(step, WaitEnd::DeadlinePassed);
        job.dueSooner = false;
        job.watchedUntil = step.running && step.end == WaitEnd::Finished ? step.due : Clock::time_point::max();
        return job.watchedUntil;
    }

    void serve()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stop || m_job; });
            if (m_stop)
                return;
            Job& job = *std::exchange(m_job, nullptr);
            m_serving = &job;
            t_servingSeries = job.series ? this : nullptr;
            lock.unlock();
            try {
                (*job.call)();
            } catch (...) {
                job.failure = std::current_exception();
            }
            lock.lock();
            t_servingSeries = nullptr;
            m_serving = nullptr;
            job.step.running = false;
            job.done = true;
            if (job.onDone)
                job.onDone();
            m_finished.notify_all();
        }
    }

    static thread_local CallThread* t_servingSeries;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_finished;
    Job* m_job = nullptr;
    Job* m_serving = nullptr;
    bool m_stop = false;
    std::thread m_thread;   // last: started once the members it uses exist
};

thread_local CallThread* CallThread::t_servingSeries = nullptr;

thread_local bool t_waiting = false;

bool onGuiThread()
{
    const QCoreApplication* application = QCoreApplication::instance();
    return application && application->thread() == QThread::currentThread();
}

} // namespace

ServerWait& ServerWait::instance()
{
    static QPointer<ServerWait> wait;
    if (!wait)
        wait = new ServerWait(QCoreApplication::instance());
    return *wait;
}

void ServerWait::cancel()
{
    if (m_onCancel)
        std::exchange(m_onCancel, nullptr)();
}

void ServerWait::begin(std::function<void()> onCancel)
{
    m_onCancel = std::move(onCancel);
    m_waiting = true;
    emit waitingChanged(true);
}

void ServerWait::end()
{
    m_onCancel = nullptr;
    m_waiting = false;
    emit waitingChanged(false);
}

// Waits on the calling thread for `call` run on its worker: a lone call whose one step is
// `cancel` (may be null) and `deadline`, or a series whose steps come as it runs.
WaitOutcome waitOnThisThread(const std::function<void()>& call, const std::function<void()>* cancel,
                             std::chrono::milliseconds deadline, bool series)
{
    if (t_waiting)
        throw DbError(DbError::Cause::Usage, QStringLiteral("Another request is still waiting for the server."));
    t_waiting = true;
    struct Reset {
        ~Reset() { t_waiting = false; }
    } reset;

    thread_local CallThread worker;
    const Clock::time_point started = Clock::now();
    CallThread::Job job;
    job.call = &call;
    job.series = series;
    if (!series)
        job.step = {cancel, CallThread::dueAfter(deadline), WaitEnd::Finished, true};
    worker.start(job);

    if (!worker.waitUntil(job, started + kQuietWait) && onGuiThread()) {
        QEventLoop loop;
        QTimer deadlineTimer;
        deadlineTimer.setSingleShot(true);
        const auto rearm = [&] {
            const Clock::time_point due = worker.watchDeadline(job);
            if (due == Clock::time_point::max())
                return deadlineTimer.stop();
            const auto left = std::max(due - Clock::now(), Clock::duration::zero());
            deadlineTimer.start(std::chrono::ceil<std::chrono::milliseconds>(left));
        };
        QObject::connect(&deadlineTimer, &QTimer::timeout, rearm);
        const auto quit = [&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); };
        const auto dueSooner = [&] { QMetaObject::invokeMethod(&deadlineTimer, rearm, Qt::QueuedConnection); };
        if (worker.setHandlers(job, quit, dueSooner)) {
            rearm();
            ServerWait& wait = ServerWait::instance();
            const bool cancellable = series || (cancel && *cancel);
            wait.begin(cancellable ? std::function<void()>([&] { worker.cancel(job); }) : nullptr);
            loop.exec();
            wait.end();
            // The loop also ends when the program is told to quit; the call must not outlive it.
            if (worker.setHandlers(job, nullptr, nullptr))
                worker.cancel(job);
        }
    }
    worker.waitUntil(job, Clock::time_point::max());
    return {series ? WaitEnd::Finished : job.step.end, job.failure};
}

WaitOutcome waitForServer(const std::function<void()>& call, const std::function<void()>& cancel,
                          std::chrono::milliseconds deadline)
{
    if (CallThread* worker = CallThread::servingSeries())
        return worker->runStep(call, cancel, deadline);
    return waitOnThisThread(call, &cancel, deadline, false);
}

WaitOutcome waitForSeries(const std::function<void()>& series)
{
    return waitOnThisThread(series, nullptr, {}, true);
}

} // namespace velmora
