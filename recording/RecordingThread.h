// The thread a recording's snapshots are stored on, so that the file's writes and the disk's
// waits stay off the thread that reads the list: what is handed over runs in order, one at a time.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <time.h>

namespace velmora {

class RecordingThread {
public:
    RecordingThread();
    /// Runs what has been handed over, then ends.
    ~RecordingThread();
    RecordingThread(const RecordingThread&) = delete;
    RecordingThread& operator=(const RecordingThread&) = delete;

    /// Hands `task` over. Waits while a task is waiting already: a disk slower than the refreshes
    /// holds the refreshes back instead of snapshots piling up in memory.
    void post(std::function<void()> task);
    /// Waits until everything handed over has run.
    void wait();
    /// The CPU time the thread has used, for the benchmarks.
    clockid_t cpuClock() const { return m_cpuClock; }

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_tasks;
    bool m_busy = false;
    bool m_ending = false;
    clockid_t m_cpuClock{};
    std::thread m_thread;   // last: started once the rest is made
};

} // namespace velmora
