// Who waits for whom among a list of process rows: the rows arranged as a blocking tree, heads
// on top and their waiters beneath them, without any widget or query around them.
#pragma once

#include <vector>

namespace velmora {

/// One process row as the tree sees it.
struct BlockingLink {
    int spid = 0;
    int blocked = 0;   // the spid it waits for; 0, or its own spid, when it waits for nobody
};

/// Where a row stands in the tree.
struct BlockingTreeRow {
    int depth = 0;           // 0 at the top level
    bool lastSibling = true; // no later row hangs from the same parent
    bool inCycle = false;    // waits, through others, for itself
    bool subthread = false;  // a further row of a spid shown just above it
};

struct BlockingTree {
    /// Input indices in tree order: depth first, siblings in input order; every row once.
    std::vector<int> order;
    /// By input index.
    std::vector<BlockingTreeRow> rows;
    /// By input index: how many processes (spids) wait behind the row's spid, through any number
    /// of others; every member of a cycle counts everything hanging from the cycle.
    std::vector<int> waiting;
};

/// The tree of `links`, given in the operator's order, in O(n).
///
/// The tree keys on spid: the rows of one spid (the threads of a parallel query) stay together
/// under its first row, and the spid waits for the blocker of the first of its rows that waits
/// for another spid. A spid whose blocker is not among the links stands at the top level. A
/// cycle is entered once, at its member that comes first, and marked. At the top level the trees
/// (every head blocker, every waiter without its blocker, every cycle) come first, then the rows
/// that neither block nor wait, each group in input order.
BlockingTree buildBlockingTree(const std::vector<BlockingLink>& links);

} // namespace velmora
