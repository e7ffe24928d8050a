// A result grid's column collection and its sort state: the columns in screen order, the list
// of sort-marked columns in key order, and each marked column's place among them (SortIndex).
// No widget: the grid holds one, shows it and tells it what the operator changed.
#pragma once

#include "GridColumn.h"

#include <QString>
#include <vector>

namespace velmora {

class GridColumnState {
public:
    /// The whole column collection, as the layout file saves and loads it.
    const GridColumns& columns() const { return m_columns; }
    GridColumn& column(int index) { return m_columns[size_t(index)]; }
    /// Replaces the collection and rebuilds the sort-marked list from the columns' SortIndex;
    /// gaps and repeats are closed up, and an unmarked column loses its SortIndex.
    void setColumns(GridColumns columns);
    /// Index of the column of `fieldName` (compared without case), -1 when there is none.
    int columnIndex(const QString& fieldName) const;

    /// Column indices carrying a mark, in sort-key order.
    const std::vector<int>& sortMarkedColumns() const { return m_sortMarked; }
    /// Sets a column's mark and keeps the sort-marked list and SortIndex values. With
    /// `multiSortMarking` a newly marked column becomes the last key and an unmarked one leaves
    /// the keys; otherwise the column becomes the only marked one. Returns whether the mark
    /// changed; does not sort.
    bool setSortMarker(int column, SortMarker marker, bool multiSortMarking);
    /// Moves the column at `from` to `to`, the columns between shifting by one; the sort-marked
    /// list follows its columns.
    void moveColumn(int from, int to);

    /// The mark a click on its title gives a column marked `before`: ascending, descending, and
    /// from descending back to ascending, or with Ctrl held to none.
    static SortMarker nextSortMarker(SortMarker before, bool ctrl);
    /// Where a column at `index` ends up when the column at `from` is moved to `to`.
    static int indexAfterMove(int index, int from, int to);

private:
    GridColumns m_columns;
    std::vector<int> m_sortMarked;
};

} // namespace velmora
