// The column tables of the databases tab's grids.
#pragma once

#include "GridColumn.h"

namespace velmora {

GridColumns databaseListColumns();   // the database list: one column, no title shown
GridColumns propertiesColumns();
GridColumns filesColumns();
GridColumns spaceUsedColumns();
GridColumns logSpaceColumns();       // the database's name hidden
/// The users: every title a sort button, name marked descending with sort index 1.
GridColumns userColumns();

} // namespace velmora
