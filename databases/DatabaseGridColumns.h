// The column collections of the databases tab's grids.
#pragma once

#include "GridColumn.h"

namespace velmora {

GridColumns databaseListColumns();   // DBGridEh2
GridColumns propertiesColumns();     // DBGridEh4
GridColumns filesColumns();          // DBGridEh3
GridColumns spaceUsedColumns();      // DBGridEh5
GridColumns logSpaceColumns();       // DBGridEh6
/// DBGridEh8: every title a sort button, name marked descending with sort index 1.
GridColumns userColumns();

} // namespace velmora
