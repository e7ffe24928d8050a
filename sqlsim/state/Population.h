// The lively default population of the simulated server and how it moves on between readings
// of the process list; and the databases and error logs every simulated server starts with.
#pragma once

#include "ServerState.h"

namespace sqlsim {

/// A client program as it logs in: where from, as whom, into which database.
struct Client {
    const char* host;
    const char* program;
    const char* login;
    const char* netLibrary;
    qint16 dbid;
};

/// A sleeping process of that client logged in at `now`, with the login's sid, suid and uid.
Process userProcess(ServerState& state, int spid, const Client& client, const QDateTime& now);

/// The lowest user spid (51 on) that no process has.
int freeUserSpid(const ServerState& state);

/// Fills a fresh state with the default population: system processes, user processes from
/// several hosts, blocking chains, locks. Deterministic from options.seed.
void populate(ServerState& state);

/// Moves the figures between two readings of the process list (cpu, io, waits; processes come
/// and go), deterministically from the state's random generator.
void evolve(ServerState& state);

/// The server's databases with their sysindexes figures.
void seedDatabases(ServerState& state);

/// The error log archives: the current log (0) since the last start-up and six older ones.
void seedErrorLogs(ServerState& state);

} // namespace sqlsim
