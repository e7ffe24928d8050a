// The engine's lock, handed out in the order it was asked for: a session that lets it go and
// asks again queues behind every session already waiting, so one busy batch cannot starve the
// others (std::mutex lets the thread that just released it take it straight back).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace sqlsim {

class FairMutex {
public:
    void lock()
    {
        std::unique_lock guard(m_guard);
        const std::uint64_t ticket = m_next.fetch_add(1);
        m_turn.wait(guard, [&] { return m_serving.load() == ticket; });
    }

    void unlock()
    {
        {
            std::lock_guard guard(m_guard);
            m_serving.fetch_add(1);
        }
        m_turn.notify_all();
    }

    /// Whether another thread is waiting for the lock now (asked by its holder).
    bool contended() const { return m_next.load(std::memory_order_relaxed) - m_serving.load(std::memory_order_relaxed) > 1; }

private:
    std::mutex m_guard;
    std::condition_variable m_turn;
    std::atomic<std::uint64_t> m_next{0};
    std::atomic<std::uint64_t> m_serving{0};
};

} // namespace sqlsim
