#include "DatabaseGridColumns.h"

#include "GridSetup.h"

namespace velmora {

GridColumns databaseListColumns()
{
    return columnTable({{"name", -1, nullptr, true, Qt::AlignLeft}});
}

GridColumns propertiesColumns()
{
    return columnTable({{"name", 159}, {"db_size"}, {"owner"}, {"dbid"}, {"created"}, {"status", 222}});
}

GridColumns filesColumns()
{
    return columnTable({{"name", 123}, {"fileid", 38}, {"filename", 228}, {"filegroup", 74}, {"size", 70},
                        {"maxsize", 73}, {"growth", 70}, {"usage", 67}});
}

GridColumns spaceUsedColumns()
{
    return columnTable({{"reserved", 97, "Data Size (MB)"}, {"procen", 128, "Data Space Used (%)"},
                        {"data", 121, "Data Size Used (MB)"}, {"index_size", 106, "Index Size"},
                        {"unused", 85, "Unused"}});
}

GridColumns logSpaceColumns()
{
    return columnTable({{"Database Name", -1, nullptr, false}, {"Log Size (MB)", 100}, {"Log Space Used (%)", 126},
                        {"Status", 65}});
}

GridColumns userColumns()
{
    GridColumns users = columnTable({{"uid"}, {"status"}, {"name", 213}, {"createdate"}, {"updatedate"}, {"altuid"},
                                     {"gid"}, {"environ", 237}, {"hasdbaccess"}, {"islogin"}, {"isntname"},
                                     {"isntgroup"}, {"isntuser"}, {"issqluser"}, {"isaliased"}, {"issqlrole"},
                                     {"isapprole"}},
                                    true);
    users[2].sortMarker = SortMarker::Up;
    users[2].sortIndex = 1;
    return users;
}

} // namespace velmora
