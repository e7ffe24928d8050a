// Operations on the server's process table that several statements share: finding a process,
// ending one, and the clock the process figures are stamped with.
#pragma once

#include "ServerState.h"

#include <QDateTime>

namespace sqlsim {

/// The process with that spid, or null.
Process* findProcess(ServerState& state, int spid);
const Process* findProcess(const ServerState& state, int spid);

/// Takes the process and its locks off the server; the processes it blocked stop waiting.
/// False when there is no such process.
bool endProcess(ServerState& state, int spid);

/// "Now" for the process figures: the state's frozen clock when set, else the wall clock.
QDateTime serverNow(const ServerState& state);

} // namespace sqlsim
