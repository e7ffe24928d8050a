// Which processes the process tab leaves out while the operator hides idle sessions: those that
// wait for their client's next batch, hold no transaction open and take no part in blocking.
#pragma once

#include "FieldDef.h"
#include "ServerFamily.h"

namespace velmora {

struct IdleSessionRule {
    ServerFamily family = ServerFamily::Sql2000;
    /// The server's own processes are left out too (unless they block or wait); otherwise they stay.
    bool hideSystem = false;
};

/// Drops from `view` (indices into `rows`, laid out as `fields`) every idle process: status
/// sleeping or background, cmd AWAITING COMMAND, no open transaction, not blocked and blocking
/// no process of `rows` (shown or not: a head blocker must never be hidden by a filter on its
/// victims). The server's own processes (below spid 51 on 7.0 and 2000; on 2005 and later, where
/// its tasks may take any spid, those without a client network library) are dropped when not
/// blocked nor blocking and the rule says so, and kept otherwise. The order of the rest is kept. Throws DbError when `fields` lacks
/// spid, blocked, status, cmd, open_tran or net_library.
void hideIdleSessions(std::vector<int>& view, const std::vector<Row>& rows, const std::vector<FieldDef>& fields,
                      const IdleSessionRule& rule);

} // namespace velmora
