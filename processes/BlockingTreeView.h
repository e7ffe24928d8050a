// The process list shown as a blocking tree: the visible rows put in tree order, the count of
// processes waiting behind each, and the text of the tree column that draws the branches.
#pragma once

#include "BlockingTree.h"
#include "FieldDef.h"
#include "GridColumn.h"

#include <QHash>
#include <QString>
#include <functional>

namespace velmora {

class Query;

class BlockingTreeView {
public:
    /// The tree column: drawn by cellText(), bound to no field.
    static const QString TreeColumn;
    /// The calculated field of the count, with the tree on: how many processes wait behind the
    /// row's process among every process read, whatever the filter shows.
    static const QString WaitingField;

    /// Appends the count's field to the process query `query` when it has none yet (this closes
    /// the query).
    static void addWaitingField(Query& query);
    /// The tree column and the count's column, left to right.
    static GridColumns columns();
    /// Whether `column` is one of them.
    static bool isTreeColumn(const GridColumn& column);
    /// The tree column's text for a row shaped as `row`: the branch lines, a mark for a cycle.
    static QString glyphs(const BlockingTreeRow& row);

    bool isOn() const { return m_query != nullptr; }
    /// The list shown as the tree; null while off.
    Query* list() const { return m_query; }
    /// Shows `query`'s rows as the tree, or flat again with null; the current row stays current.
    /// Throws DbError as Query::setSort.
    void show(Query* query);

    /// The tree column's text of visible row `row`.
    QString cellText(int row) const;

    /// Called when the tree comes to a list or leaves it (the list given): whoever owns the list's
    /// hooks installs or removes the tree's part of them before the list is arranged again.
    std::function<void(Query* list)> hooksChanged;

    // The tree's part of the list's hooks while it is on.
    /// Puts the visible rows in tree order (arrangeView).
    void arrange(std::vector<int>& view, const std::vector<Row>& rows);
    /// Counts every held row's waiters (beforeCalcFields).
    void countWaiting(const Query& query);
    /// Writes the current row's count (onCalcFields).
    void setWaiting(Query& query) const;

private:

    Query* m_query = nullptr;
    std::vector<BlockingTreeRow> m_shown;   // by visible row
    QHash<int, int> m_waitingBySpid;        // spids with someone waiting behind them
    int m_spidField = -1;
    int m_waitingField = -1;
};

} // namespace velmora
