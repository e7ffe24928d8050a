// The built-in column collection of the process grid, used when no saved layout replaces it.
#pragma once

#include "GridColumn.h"

namespace velmora {

/// The 30 columns of the process grid, left to right: titles, title alignments, widths,
/// visibility; every title is a sort button.
GridColumns processGridColumns();

} // namespace velmora
