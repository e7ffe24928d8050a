// The blocking tree built from spid and blocked alone: chains, fan-out, the operator's order
// among siblings, cycles, self-blocking, blockers that are not listed and parallel threads.
#include "BlockingTree.h"
#include "BlockingTreeView.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace velmora;

namespace {

// A row as the tree column and the count show it: branches, spid, "/count" when someone waits.
QStringList shown(const std::vector<BlockingLink>& links)
{
    const BlockingTree tree = buildBlockingTree(links);
    QStringList rows;
    for (const int index : tree.order) {
        QString row = BlockingTreeView::glyphs(tree.rows[size_t(index)]) + QString::number(links[size_t(index)].spid);
        if (tree.waiting[size_t(index)] > 0)
            row += u'/' + QString::number(tree.waiting[size_t(index)]);
        rows << row;
    }
    return rows;
}

TEST(BlockingTree, ArrangesTheRowsAsTheirWaitsSay)
{
    struct Case {
        const char* name;
        std::vector<BlockingLink> links;
        QStringList rows;
    };
    const Case cases[] = {
        {"nothing", {}, {}},
        {"a chain three deep and a fan-out, the idle after the trees",
         {{51, 0}, {52, 0}, {53, 52}, {54, 53}, {55, 52}, {56, 54}, {57, 0}},
         {"52/4", "├─53/2", "   └─54/1", "      └─56", "└─55", "51", "57"}},
        {"siblings and heads in the operator's order",
         {{60, 0}, {55, 52}, {61, 0}, {53, 52}, {62, 61}, {52, 0}},
         {"61/1", "└─62", "52/2", "├─55", "└─53", "60"}},
        {"a cycle of two, entered at its first member, with a waiter hanging from it",
         {{72, 71}, {70, 71}, {71, 70}},
         {"↻ цикл70/2", "└─↻ цикл71/2", "   └─72"}},
        {"a cycle of three with a waiter from outside and an idle row",
         {{80, 82}, {81, 80}, {82, 81}, {83, 0}, {84, 81}},
         {"↻ цикл80/3", "└─↻ цикл81/3", "   ├─↻ цикл82/3", "   └─84", "83"}},
        {"a process waiting for itself waits for nobody", {{90, 90}, {91, 0}}, {"90", "91"}},
        {"a blocker not listed: its waiter heads a tree of its own",
         {{102, 0}, {100, 99}, {101, 100}},
         {"100/1", "└─101", "102"}},
        {"the threads of a parallel query stay under their spid, which waits for the first other spid named",
         {{91, 0}, {91, 91}, {92, 0}, {91, 92}, {93, 91}, {91, 93}},
         {"92/2", "└─91/1", "   ├┄91/1", "   ├┄91/1", "   ├┄91/1", "   └─93"}},
        {"threads blocking nobody keep the last branch", {{95, 0}, {96, 95}, {96, 96}},
         {"95/1", "└─96", "   └┄96"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shown(c.links), c.rows) << c.name;
}

TEST(BlockingTree, LongChainsAndCyclesAreWalkedWithoutRecursionAndCountedInFull)
{
    constexpr int length = 200'000;
    for (const bool closed : {false, true}) {
        // Listed from the tail up: spid n + 1 waits for n; closed, the first waits for the last.
        std::vector<BlockingLink> links;
        for (int spid = length; spid >= 1; --spid)
            links.push_back({spid, spid > 1 ? spid - 1 : (closed ? length : 0)});
        const BlockingTree tree = buildBlockingTree(links);
        ASSERT_EQ(tree.order.size(), size_t(length)) << closed;
        // The head (or, closed, the member listed first) on top, the rest beneath it in a line.
        const int top = closed ? 0 : length - 1;
        EXPECT_EQ(tree.order.front(), top) << closed;
        EXPECT_EQ(tree.rows[size_t(tree.order.back())].depth, length - 1) << closed;
        EXPECT_EQ(tree.waiting[size_t(top)], length - 1) << closed;
        // Closed, every member holds up all the others; open, the tail holds up nobody.
        EXPECT_EQ(tree.waiting[0], closed ? length - 1 : 0);
        EXPECT_EQ(tree.rows[size_t(length / 2)].inCycle, closed);
    }
}

} // namespace
