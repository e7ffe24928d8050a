#include "GridColumnState.h"

#include <algorithm>

namespace velmora {

void GridColumnState::setColumns(GridColumns columns)
{
    // Assigned into the same vector: the grid's model keeps a reference to it.
    m_columns = std::move(columns);
    m_sortMarked.clear();
    for (size_t i = 0; i < m_columns.size(); ++i) {
        GridColumn& column = m_columns[i];
        if (column.sortMarker == SortMarker::None)
            column.sortIndex = 0;
        if (column.sortIndex > 0)
            m_sortMarked.push_back(int(i));
    }
    std::stable_sort(m_sortMarked.begin(), m_sortMarked.end(), [this](int a, int b) {
        return m_columns[size_t(a)].sortIndex < m_columns[size_t(b)].sortIndex;
    });
    // Gaps or repeats in a stored collection are closed up, so SortIndex is again the place.
    for (size_t place = 0; place < m_sortMarked.size(); ++place)
        m_columns[size_t(m_sortMarked[place])].sortIndex = int(place) + 1;
}

int GridColumnState::columnIndex(const QString& fieldName) const
{
    const auto found = std::find_if(m_columns.begin(), m_columns.end(), [&](const GridColumn& c) {
        return c.fieldName.compare(fieldName, Qt::CaseInsensitive) == 0;
    });
    return found == m_columns.end() ? -1 : int(found - m_columns.begin());
}

bool GridColumnState::setSortMarker(int column, SortMarker marker, bool multiSortMarking)
{
    GridColumn& changed = m_columns[size_t(column)];
    const SortMarker before = changed.sortMarker;
    if (before == marker)
        return false;
    changed.sortMarker = marker;
    if (multiSortMarking) {
        if (before == SortMarker::None) {
            m_sortMarked.push_back(column);
            changed.sortIndex = int(m_sortMarked.size());
        } else if (marker == SortMarker::None) {
            std::erase(m_sortMarked, column);
            changed.sortIndex = 0;
            for (size_t place = 0; place < m_sortMarked.size(); ++place)
                m_columns[size_t(m_sortMarked[place])].sortIndex = int(place) + 1;
        }
        // Between ascending and descending the column keeps its place.
    } else {
        for (size_t i = 0; i < m_columns.size(); ++i) {
            if (int(i) != column) {
                m_columns[i].sortMarker = SortMarker::None;
                m_columns[i].sortIndex = 0;
            }
        }
        m_sortMarked.clear();
        if (marker != SortMarker::None)
            m_sortMarked.push_back(column);
        changed.sortIndex = int(m_sortMarked.size());
    }
    return true;
}

void GridColumnState::moveColumn(int from, int to)
{
    GridColumn moved = std::move(m_columns[size_t(from)]);
    m_columns.erase(m_columns.begin() + from);
    m_columns.insert(m_columns.begin() + to, std::move(moved));
    for (int& marked : m_sortMarked)
        marked = indexAfterMove(marked, from, to);
}

SortMarker GridColumnState::nextSortMarker(SortMarker before, bool ctrl)
{
    switch (before) {
    case SortMarker::None:
        return SortMarker::Down;
    case SortMarker::Down:
        return SortMarker::Up;
    case SortMarker::Up:
        return ctrl ? SortMarker::None : SortMarker::Down;
    }
    return SortMarker::None;
}

int GridColumnState::indexAfterMove(int index, int from, int to)
{
    if (index == from)
        return to;
    if (from < to && index > from && index <= to)
        return index - 1;
    if (to < from && index >= to && index < from)
        return index + 1;
    return index;
}

} // namespace velmora
