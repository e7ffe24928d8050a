// The server's messages for the process statements: what a query's names do not bind to, and Kill.
#pragma once

#include "state/Reply.h"

namespace sqlsim {

/// 207: a column that none of the query's tables has.
Message invalidColumn(const QString& name);
/// 107: a column prefix that names no table or alias of the query.
Message unknownPrefix(const QString& prefix);
/// 209: an unqualified column that more than one table of the query has.
Message ambiguousColumn(const QString& name);
/// 8120: a selected column that is neither aggregated nor grouped by.
Message notInGroupBy(const QString& written);
/// 147: an aggregate in a WHERE or ON clause.
Message aggregateInFilter();

/// Kill's refusals: 6104 (the session's own process), 6106 (no such process), 6107 (a system
/// process).
Message killOwnProcess();
Message killInactiveProcess(qint64 spid);
Message killSystemProcess();

} // namespace sqlsim
