// Runs T-SQL batches the way SQL Server 2000 does: the whole batch is parsed first (a syntax
// error runs nothing), then its statements run one by one over the server state and the
// session's own tables. An error ends its statement; a failed conversion or an unknown name
// ends the batch, with what ran before it standing.
#pragma once

#include "SessionState.h"
#include "state/MemoryBudget.h"
#include "state/Reply.h"
#include "state/ServerState.h"

#include <chrono>
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
    /// Lets the other sessions at the server for a moment; called only where the batch holds
    /// nothing of the shared state. Unset: the batch has the server to itself.
    std::function<void()> yield;
    /// The server's memory, which every session's rows and results take from; null: only the
    /// session's own limit counts.
    MemoryBudget* memory = nullptr;
    /// Bytes the batch's results hold, given back once the reply has gone.
    qint64 replyBytes = 0;
    /// When the batch began: the server's time budget runs from here.
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    /// Sessions with a client link that a Kill ended; their links must be dropped.
    std::vector<int> killedSessions;
};

/// A value a client binds to a variable of the batch (a parameter of an RPC).
struct BatchParameter {
    QString name;   // "@p1"; empty: the next variable of the definitions, by position
    Column type;
    Value value;    // invalid: NULL
};

/// The variables a batch begins with: declared by `definitions` ("@p1 int, @p2 nvarchar(10)",
/// as sp_executesql takes them) or, when there are none, by the parameters' own names and types;
/// then set to the parameters' values.
struct BatchVariables {
    QString definitions;
    std::vector<BatchParameter> values;
};

/// Runs one batch of session `spid` (whose process is in `state`). Never throws: every failure
/// is the server's message in the reply.
Reply runBatch(ServerState& state, SessionState& session, int spid, const QString& batch, BatchHooks& hooks,
               const BatchVariables& variables = {});

/// The same without a client link: nothing interrupts it and slow statements do not wait.
Reply runBatch(ServerState& state, SessionState& session, int spid, const QString& batch);

} // namespace sqlsim::tsql
