// A server in trouble, for the demo and the tests: a blocking chain that builds up and clears
// again in every two-minute cycle, sessions burning cpu and io at rates of their own, and idle
// ones beside them. It follows the server's clock, however far it moved between two batches.
#pragma once

#include "ServerState.h"

#include <vector>

namespace sqlsim {

class TroubleScenario {
public:
    static constexpr qint64 kCycleMs = 120'000;

    /// Brings the sessions to the server's clock: who waits for whom and how long, what they
    /// hold, what they have used. The first call seats them at the user spids free then and
    /// starts the first cycle; a session that was killed logs in again when the next cycle begins.
    void advance(ServerState& state);

private:
    struct Member {
        qint16 spid = 0;
        QDateTime loginTime;     // with the spid, tells the member from a newcomer on its spid
        qint64 workedMs = 0;     // its working time so far, which its cpu and io follow
    };

    Process* present(ServerState& state, size_t part) const;
    void seat(ServerState& state, size_t part, const QDateTime& now);
    /// When the part's transaction ends in the current cycle, and when its wait for its
    /// blocker ends; a blocker that is not there holds nothing.
    qint64 endMs(ServerState& state, size_t part) const;
    qint64 waitEndMs(ServerState& state, size_t part) const;
    void show(ServerState& state, size_t part, qint64 cycleMs, qint64 stepMs, const QDateTime& now);

    std::vector<Member> m_members;   // one for each part, in the order of the parts; none before the first call
    qint64 m_elapsedMs = 0;
    QDateTime m_lastSeen;            // the clock at the previous call
};

} // namespace sqlsim
