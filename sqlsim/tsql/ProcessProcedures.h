// The procedures that describe one process: sp_lock (its locks, as syslockinfo reports them)
// and dbcc inputbuffer (the last input it sent).
#pragma once

#include "Procedures.h"

namespace sqlsim::tsql {

/// sp_lock [spid]: every lock, or the locks of one process.
void spLock(ProcedureCall& call);

/// dbcc inputbuffer(spid): EventType, Parameters, EventInfo of the process's last input.
void dbccInputbuffer(ProcedureCall& call);

} // namespace sqlsim::tsql
