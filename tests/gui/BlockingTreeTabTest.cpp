// The process tab's blocking tree against the simulated server in trouble, on each query
// variant: the head blocker on top with its waiters beneath, the counts and waits, the jump to a
// blocker, sort and filter inside the tree, and a layout file the tree leaves as it was.
#include "BlockingTreeView.h"
#include "Connection.h"
#include "ProcessTab.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SimFixture.h"
#include "SortFilterAdapter.h"
#include "WindowParts.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

ResultGrid& gridOf(ProcessTab& tab)
{
    return *part<ResultGrid>(tab, "processGrid");
}

QStringList fieldNames(const GridColumns& columns)
{
    QStringList names;
    for (const GridColumn& column : columns)
        names << column.fieldName;
    return names;
}

// The first `count` rows as "tree column|spid|waiting behind|waittime".
QStringList treeRows(ProcessTab& tab, int count)
{
    ResultGrid& grid = gridOf(tab);
    Query& list = *tab.procSource();
    QStringList rows;
    for (int row = 0; row < std::min(count, list.recordCount()); ++row) {
        QString branches;
        grid.onGetCellText(grid.columns().front(), row, branches);
        rows << QStringList{branches, list.valueAt(row, list.fieldIndex("spid")).toString(),
                            list.valueAt(row, list.fieldIndex(BlockingTreeView::WaitingField)).toString(),
                            list.valueAt(row, list.fieldIndex("waittime")).toString()}
                    .join(u'|');
    }
    return rows;
}

TEST(BlockingTreeTab, HeadBlockerOnTopWithItsWaitersOnEveryVariant)
{
    struct Case { sqlsim::ServerVersion version; ServerFamily family; const char* name; };
    const Case cases[] = {
        {sqlsim::ServerVersion::Sql70, ServerFamily::Sql70, "7.0"},
        {sqlsim::ServerVersion::Sql2000, ServerFamily::Sql2000, "2000"},
        {sqlsim::ServerVersion::Sql2005, ServerFamily::Sql2005AndLater, "2005"},
    };
    const QDateTime start(QDate(2026, 12, 9), QTime(9, 30));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimFixture sim(sqlsim::ServerOptions{.version = c.version, .populate = false, .trouble = true});
        const auto setClock = [&](int seconds) { sim.freezeClock(start.addSecs(seconds)); };
        Connection connection;
        connection.setConnectionString(sim.oledbConnectionString());
        connection.open();
        ProcessTab tab(&connection);
        tab.setConnectedState(true);
        // The scenario's sessions log in at the first batch; a minute on, its chain is three deep.
        setClock(0);
        tab.openAfterConnect(c.family);
        setClock(60);
        tab.refreshKey();
        Query& list = *tab.procSource();
        const GridColumns flat = gridOf(tab).columns();

        tab.blockingTreeKey();
        ASSERT_TRUE(tab.isBlockingTreeShown());
        ASSERT_EQ(fieldNames(gridOf(tab).columns()).mid(0, 3),
                  QStringList({BlockingTreeView::TreeColumn, BlockingTreeView::WaitingField, "spid"}));
        EXPECT_EQ(gridOf(tab).currentColumn(), 2);   // spid, where typing searches, as before
        EXPECT_EQ(treeRows(tab, 5), QStringList({"|52|4|0", "├─|53|2|40000", "   └─|54|1|30000",
                                                 "      └─|56||10000", "└─|55||20000"}));
        // Every other process neither blocks nor waits: the top level, below the tree.
        for (const QString& row : treeRows(tab, list.recordCount()).mid(5))
            EXPECT_TRUE(row.startsWith(u'|')) << row.toStdString();

        // Ctrl+B climbs the chain to its head and stays there.
        ASSERT_TRUE(list.locate("spid", 56));
        for (const int blocker : {54, 53, 52, 52}) {
            tab.blockerKey();
            EXPECT_EQ(tab.currentSpid(), blocker);
        }

        // The operator's order rules among siblings and among the heads; a waiter whose blocker
        // is filtered out heads a tree of its own, the counts still those of the whole server.
        list.setSort("spid DESC");
        EXPECT_EQ(treeRows(tab, 5), QStringList({"|52|4|0", "├─|55||20000", "└─|53|2|40000",
                                                 "   └─|54|1|30000", "      └─|56||10000"}));
        EXPECT_EQ(tab.currentSpid(), 52);
        list.setFilter("[spid] <> 53");
        EXPECT_EQ(treeRows(tab, 4), QStringList({"|54|1|30000", "└─|56||10000", "|52|4|0", "└─|55||20000"}));

        // Flat again: the columns as they were, the rows in the sort's order.
        tab.blockingTreeKey();
        EXPECT_EQ(fieldNames(gridOf(tab).columns()), fieldNames(flat));
        ASSERT_GE(list.recordCount(), 2);
        EXPECT_GT(list.valueAt(0, 0).toInt(), list.valueAt(1, 0).toInt());

        // A sort by the count leaves with its column.
        tab.blockingTreeKey();
        gridOf(tab).setSortMarker(1, SortMarker::Up);
        ASSERT_TRUE(requestLocalSort(gridOf(tab)));
        ASSERT_TRUE(list.sort().contains(BlockingTreeView::WaitingField)) << list.sort().toStdString();
        tab.blockingTreeKey();
        EXPECT_EQ(list.sort(), QString());
    }
}

TEST(BlockingTreeTab, LayoutFileNeverKeepsTheTreesColumns)
{
    QTemporaryDir dir;
    Connection connection;
    ProcessTab tab(&connection);
    tab.setConnectedState(true);
    const auto saved = [&](const QString& name) {
        tab.saveColumnLayout(dir.filePath(name));
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray flat = saved("flat.dat");
    ASSERT_FALSE(flat.isEmpty());
    tab.blockingTreeKey();
    EXPECT_EQ(saved("tree.dat"), flat);
    // A layout loaded meanwhile keeps the tree's columns in front of its own.
    tab.loadColumnLayout(dir.filePath("flat.dat"));
    EXPECT_EQ(fieldNames(gridOf(tab).columns()).mid(0, 3),
              QStringList({BlockingTreeView::TreeColumn, BlockingTreeView::WaitingField, "spid"}));
    tab.blockingTreeKey();
    EXPECT_EQ(saved("again.dat"), flat);
}

} // namespace
