// The pieces that answer statements. Engine::execute lexes a batch, splits it into statements
// at the top-level words that begin one (Use, Select, Set, Exec, Kill, Insert, Create, Drop,
// If, Declare, Dbcc, ...), and hands each statement's tokens to the handlers in turn; the first
// that recognises the statement appends its answer to the reply.
#pragma once

#include "Lexer.h"
#include "Reply.h"
#include "ServerState.h"

#include <vector>

namespace sqlsim {

struct StatementContext {
    ServerState& state;
    int spid;                        // the session running the batch
    Reply& reply;
    std::vector<int>& killedSessions;   // sessions with a client link that Kill ended
};

/// Tokens of one statement, without the End token; `first` is the statement's first token.
struct StatementTokens {
    std::vector<Token> tokens;   // followed by one End token, so a TokenStream can run over it
    int offset = 0;              // where the statement starts in the batch
};

/// The process list: "Select sp.spid, ... from sysprocesses sp left join syslocks sl ... group
/// by ..." evaluated over the server's processes and locks. False when the statement is not a
/// select over sysprocesses.
bool answerProcessSelect(const StatementTokens& statement, StatementContext& context);

/// "Kill <n>" with SQL Server's own errors. False when the statement is not a Kill.
bool answerKill(const StatementTokens& statement, StatementContext& context);

/// Fills a fresh state with the default population: system processes, user processes from
/// several hosts, blocking chains, locks, databases. Deterministic from options.seed.
void populate(ServerState& state);

/// Moves the figures between two readings of the process list (cpu, io, waits; processes come
/// and go), deterministically from the state's random generator.
void evolve(ServerState& state);

} // namespace sqlsim
