// The native procedures that describe databases: sp_helpdb, sp_helpfile run in a database, and
// DBCC SQLPERF(LOGSPACE).
#pragma once

#include "Procedures.h"

namespace sqlsim::tsql {

/// sp_helpdb: every database, or one database and its files.
void spHelpDb(ProcedureCall& call);
/// sp_helpfile: the files of the database it runs in.
void spHelpFile(ProcedureCall& call);
/// DBCC SQLPERF(LOGSPACE): one row per database whose log the server tracks.
void dbccSqlPerf(ProcedureCall& call);

} // namespace sqlsim::tsql
