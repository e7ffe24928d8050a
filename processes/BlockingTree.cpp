#include "BlockingTree.h"

#include <algorithm>
#include <unordered_map>

namespace velmora {

namespace {

constexpr int None = -1;

// A spid with its rows: the unit the tree links.
struct Node {
    int firstRow = None;
    int lastRow = None;
    int parent = None;       // the node it waits for, when that is among the links
    bool waits = false;      // waits for another spid, present or not
    int cycle = None;        // in a cycle: the member where the cycle is entered
    int firstChild = None;
    int lastChild = None;
    int nextSibling = None;
    int size = 1;            // spids in its subtree, itself included
};

struct Pending {
    int node;
    int depth;
    bool lastSibling;
};

// Marks every cycle among the nodes' waits; its first member in input order is cut off from its
// blocker, which leaves a forest.
void cutCycles(std::vector<Node>& nodes)
{
    std::vector<int> walk(nodes.size(), None);   // the start of the walk that reached the node
    for (int start = 0; start < int(nodes.size()); ++start) {
        int at = start;
        while (at != None && walk[size_t(at)] == None) {
            walk[size_t(at)] = start;
            at = nodes[size_t(at)].parent;
        }
        if (at == None || walk[size_t(at)] != start)
            continue;   // ended at a top-level node or on a path walked before
        int entry = at;
        for (int member = nodes[size_t(at)].parent; member != at; member = nodes[size_t(member)].parent)
            entry = std::min(entry, member);
        int member = at;
        do {
            nodes[size_t(member)].cycle = entry;
            member = nodes[size_t(member)].parent;
        } while (member != at);
        nodes[size_t(entry)].parent = None;
    }
}

} // namespace

BlockingTree buildBlockingTree(const std::vector<BlockingLink>& links)
{
    const int count = int(links.size());
    BlockingTree tree;
    tree.rows.resize(size_t(count));
    tree.waiting.assign(size_t(count), 0);
    tree.order.reserve(size_t(count));

    // Nodes in the order of their spids' first rows; a node's further rows chained after it.
    std::vector<Node> nodes;
    std::vector<int> nodeOfRow(links.size());
    std::vector<int> nextRow(size_t(count), None);
    std::unordered_map<int, int> nodeOfSpid;
    nodeOfSpid.reserve(size_t(count));
    for (int row = 0; row < count; ++row) {
        const auto [found, added] = nodeOfSpid.try_emplace(links[size_t(row)].spid, int(nodes.size()));
        if (added)
            nodes.push_back(Node{.firstRow = row});
        else
            nextRow[size_t(nodes[size_t(found->second)].lastRow)] = row;
        nodes[size_t(found->second)].lastRow = row;
        nodeOfRow[size_t(row)] = found->second;
    }

    for (int row = 0; row < count; ++row) {
        const BlockingLink& link = links[size_t(row)];
        Node& node = nodes[size_t(nodeOfRow[size_t(row)])];
        if (node.waits || link.blocked == 0 || link.blocked == link.spid)
            continue;
        node.waits = true;
        const auto blocker = nodeOfSpid.find(link.blocked);
        if (blocker != nodeOfSpid.end())
            node.parent = blocker->second;
    }
    cutCycles(nodes);

    for (int index = 0; index < int(nodes.size()); ++index) {
        const int parent = nodes[size_t(index)].parent;
        if (parent == None)
            continue;
        Node& blocker = nodes[size_t(parent)];
        (blocker.lastChild == None ? blocker.firstChild : nodes[size_t(blocker.lastChild)].nextSibling) = index;
        blocker.lastChild = index;
    }

    // Trees first, then the rows that neither block nor wait.
    std::vector<int> tops;
    for (const bool trees : {true, false})
        for (int index = 0; index < int(nodes.size()); ++index) {
            const Node& node = nodes[size_t(index)];
            if (node.parent == None && (node.waits || node.firstChild != None) == trees)
                tops.push_back(index);
        }

    std::vector<int> preorder;
    preorder.reserve(nodes.size());
    std::vector<Pending> stack;
    std::vector<int> children;
    for (const int top : tops) {
        stack.push_back({top, 0, true});
        while (!stack.empty()) {
            const Pending at = stack.back();
            stack.pop_back();
            const Node& node = nodes[size_t(at.node)];
            preorder.push_back(at.node);
            tree.order.push_back(node.firstRow);
            tree.rows[size_t(node.firstRow)]
                = {.depth = at.depth, .lastSibling = at.lastSibling, .inCycle = node.cycle != None};
            for (int row = nextRow[size_t(node.firstRow)]; row != None; row = nextRow[size_t(row)]) {
                tree.order.push_back(row);
                tree.rows[size_t(row)] = {.depth = at.depth + 1,
                                          .lastSibling = nextRow[size_t(row)] == None && node.firstChild == None,
                                          .inCycle = node.cycle != None,
                                          .subthread = true};
            }
            children.clear();
            for (int child = node.firstChild; child != None; child = nodes[size_t(child)].nextSibling)
                children.push_back(child);
            for (auto child = children.rbegin(); child != children.rend(); ++child)
                stack.push_back({*child, at.depth + 1, child == children.rbegin()});
        }
    }

    // Children come after their parents in preorder, so one backward pass sums the subtrees.
    for (auto index = preorder.rbegin(); index != preorder.rend(); ++index) {
        const Node& node = nodes[size_t(*index)];
        if (node.parent != None)
            nodes[size_t(node.parent)].size += node.size;
    }
    for (int index = 0; index < int(nodes.size()); ++index) {
        const Node& node = nodes[size_t(index)];
        // Every member of a cycle waits for every other, so each holds up all that hangs from it.
        const int waiting = (node.cycle == None ? node.size : nodes[size_t(node.cycle)].size) - 1;
        for (int row = node.firstRow; row != None; row = nextRow[size_t(row)])
            tree.waiting[size_t(row)] = waiting;
    }
    return tree;
}

} // namespace velmora
