#include "DatabaseGridColumns.h"

#include <initializer_list>

namespace velmora {

namespace {

struct Definition {
    const char* field;
    int width;             // -1: the width the grid derives from the field
    const char* title = nullptr;   // null: the field's name
    bool visible = true;
};

GridColumns columns(std::initializer_list<Definition> definitions, bool titleButtons = false)
{
    GridColumns out;
    out.reserve(definitions.size());
    for (const Definition& definition : definitions) {
        GridColumn column;
        column.fieldName = QString::fromLatin1(definition.field);
        if (definition.title)
            column.title = QString::fromLatin1(definition.title);
        column.titleAlignment = Qt::AlignHCenter;
        column.width = definition.width;
        column.visible = definition.visible;
        column.titleButton = titleButtons;
        out.push_back(std::move(column));
    }
    return out;
}

} // namespace

GridColumns databaseListColumns()
{
    GridColumns list = columns({{"name", -1}});
    list.front().titleAlignment = Qt::AlignLeft;
    return list;
}

GridColumns propertiesColumns()
{
    return columns({{"name", 159}, {"db_size", -1}, {"owner", -1}, {"dbid", -1}, {"created", -1}, {"status", 222}});
}

GridColumns filesColumns()
{
    return columns({{"name", 123}, {"fileid", 38}, {"filename", 228}, {"filegroup", 74}, {"size", 70},
                    {"maxsize", 73}, {"growth", 70}, {"usage", 67}});
}

GridColumns spaceUsedColumns()
{
    return columns({{"reserved", 97, "Data Size (MB)"}, {"procen", 128, "Data Space Used (%)"},
                    {"data", 121, "Data Size Used (MB)"}, {"index_size", 106, "Index Size"},
                    {"unused", 85, "Unused"}});
}

GridColumns logSpaceColumns()
{
    return columns({{"Database Name", -1, nullptr, false}, {"Log Size (MB)", 100}, {"Log Space Used (%)", 126},
                    {"Status", 65}});
}

GridColumns userColumns()
{
    GridColumns users = columns({{"uid", -1}, {"status", -1}, {"name", 213}, {"createdate", -1}, {"updatedate", -1},
                                 {"altuid", -1}, {"gid", -1}, {"environ", 237}, {"hasdbaccess", -1}, {"islogin", -1},
                                 {"isntname", -1}, {"isntgroup", -1}, {"isntuser", -1}, {"issqluser", -1},
                                 {"isaliased", -1}, {"issqlrole", -1}, {"isapprole", -1}},
                                true);
    users[2].sortMarker = SortMarker::Up;
    users[2].sortIndex = 1;
    return users;
}

} // namespace velmora
