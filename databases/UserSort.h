// The users list's order from the grid's sort marks.
#pragma once

#include "GridColumn.h"

#include <vector>

namespace velmora {

/// The client-side sort string of the marked columns in sort-index order: each name followed
/// by " DESC , " when marked descending and ", " otherwise, the last two characters dropped
/// ("altuid, name DESC "). Empty when nothing is marked.
QString userSortString(const GridColumns& columns, const std::vector<int>& sortMarked);

} // namespace velmora
