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
    struct Job {
        const std::function<void()>* call = nullptr;
        std::exception_ptr failure;
        bool done = false;
        std::function<void()> onDone;   // run by the worker, under the lock, once done
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

    void start(Job& job)
    {
        {
            std::lock_guard lock(m_mutex);
            m_job = &job;
        }
        m_wake.notify_all();
    }

    /// Whether the job is done by `until`.
    bool waitUntil(const Job& job, Clock::time_point until)
    {
        std::unique_lock lock(m_mutex);
        return m_finished.wait_until(lock, until, [&] { return job.done; });
    }

    void waitDone(const Job& job)
    {
        std::unique_lock lock(m_mutex);
        m_finished.wait(lock, [&] { return job.done; });
    }

    /// Sets the job's completion handler; false (and nothing set) when it is done already.
    bool setOnDone(Job& job, std::function<void()> onDone)
    {
        std::lock_guard lock(m_mutex);
        if (job.done)
            return false;
        job.onDone = std::move(onDone);
        return true;
    }

private:
    void serve()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stop || m_job; });
            if (m_stop)
                return;
            Job& job = *std::exchange(m_job, nullptr);
            lock.unlock();
            try {
                (*job.call)();
            } catch (...) {
                job.failure = std::current_exception();
            }
            lock.lock();
            job.done = true;
            if (job.onDone)
                job.onDone();
            m_finished.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_finished;
    Job* m_job = nullptr;
    bool m_stop = false;
    std::thread m_thread;   // last: started once the members it uses exist
};

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

WaitOutcome waitForServer(const std::function<void()>& call, const std::function<void()>& cancel,
                          std::chrono::milliseconds deadline)
{
    if (t_waiting)
        throw DbError(DbError::Cause::Usage, QStringLiteral("Another request is still waiting for the server."));
    t_waiting = true;
    struct Reset {
        ~Reset() { t_waiting = false; }
    } reset;

    thread_local CallThread worker;
    const Clock::time_point started = Clock::now();
    const Clock::time_point due = deadline.count() > 0 ? started + deadline : Clock::time_point::max();
    CallThread::Job job;
    job.call = &call;
    worker.start(job);

    WaitOutcome outcome;
    auto stop = [&](WaitEnd end) {
        if (outcome.end != WaitEnd::Finished)
            return;
        outcome.end = end;
        if (cancel)
            cancel();
    };

    if (!worker.waitUntil(job, std::min(due, started + kQuietWait))) {
        if (onGuiThread()) {
            QEventLoop loop;
            const auto quit = [&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); };
            if (worker.setOnDone(job, quit)) {
                QTimer deadlineTimer;
                deadlineTimer.setSingleShot(true);
                QObject::connect(&deadlineTimer, &QTimer::timeout, [&] { stop(WaitEnd::DeadlinePassed); });
                if (due != Clock::time_point::max()) {
                    const auto left = std::max(due - Clock::now(), Clock::duration::zero());
                    deadlineTimer.start(std::chrono::ceil<std::chrono::milliseconds>(left));
                }
                ServerWait& wait = ServerWait::instance();
                wait.begin(cancel ? std::function<void()>([&] { stop(WaitEnd::Cancelled); }) : nullptr);
                loop.exec();
                wait.end();
                // The loop also ends when the program is told to quit; the call must not outlive it.
                if (worker.setOnDone(job, nullptr))
                    stop(WaitEnd::Cancelled);
            }
        } else if (due != Clock::time_point::max() && !worker.waitUntil(job, due)) {
            stop(WaitEnd::DeadlinePassed);
        }
    }
    worker.waitDone(job);
    outcome.failure = job.failure;
    return outcome;
}

} // namespace velmora
