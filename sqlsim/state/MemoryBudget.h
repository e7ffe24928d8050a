// The bytes all sessions hold in rows and results, against the server's limit. Used under the
// engine's lock only.
#pragma once

#include <QtGlobal>

namespace sqlsim {

class MemoryBudget {
public:
    explicit MemoryBudget(qint64 limit) : m_limit(limit) {}

    /// Takes `bytes`; false (taking nothing) when that would pass the limit.
    bool take(qint64 bytes)
    {
        if (m_used + bytes > m_limit)
            return false;
        m_used += bytes;
        return true;
    }
    void give(qint64 bytes) { m_used -= bytes; }
    qint64 used() const { return m_used; }

private:
    qint64 m_limit;
    qint64 m_used = 0;
};

} // namespace sqlsim
