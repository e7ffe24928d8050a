#include "RecordingThread.h"

#include <pthread.h>

namespace velmora {

RecordingThread::RecordingThread() : m_thread([this] { run(); })
{
    pthread_getcpuclockid(m_thread.native_handle(), &m_cpuClock);
}

RecordingThread::~RecordingThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void RecordingThread::post(std::function<void()> task)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_tasks.empty(); });
    m_tasks.push_back(std::move(task));
    m_changed.notify_all();
}

void RecordingThread::wait()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_tasks.empty() && !m_busy; });
}

void RecordingThread::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_tasks.empty() || m_ending; });
        if (m_tasks.empty())
            return;
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        m_busy = true;
        m_changed.notify_all();
        lock.unlock();
        task();
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

} // namespace velmora
