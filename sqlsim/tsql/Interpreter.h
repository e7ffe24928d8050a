// Runs T-SQL batches the way SQL Server 2000 does: the whole batch is parsed first (a syntax
// error runs nothing), then its statements run one by one over the server state and the
// session's own tables. An error ends its statement; a failed conversion or an unknown name
// ends the batch, with what ran before it standing.
#pragma once

#include "SessionState.h"
#include "engine/Reply.h"
#include "engine/ServerState.h"

#include <functional>

namespace sqlsim::tsql {

/// How a running batch reaches the world around it.
struct BatchHooks {
    /// True when the client's attention has come; may wait up to `waitMs` for it. Asked
    /// between statements, so a long loop stops at the next statement.
    std::function<bool(int waitMs)> interrupted;
    /// A slow statement (fault) waits `ms` before it runs, with the server free for other
    /// sessions meanwhile; true when the attention came during the wait. Unset: no wait.
    std::function<bool(int ms)> pause;
    /// Sessions with a client link that a Kill ended; their links must be dropped.
    std::vector<int> killedSessions;
};

/// Runs one batch of session `spid` (whose process is in `state`). Never throws: every failure
/// is the server's message in the reply.
Reply runBatch(ServerState& state, SessionState& session, int spid, const QString& batch, BatchHooks& hooks);

/// The same without a client link: nothing interrupts it and slow statements do not wait.
Reply runBatch(ServerState& state, SessionState& session, int spid, const QString& batch);

} // namespace sqlsim::tsql
