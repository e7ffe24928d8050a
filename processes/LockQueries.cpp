#include "LockQueries.h"

#include <iterator>

namespace velmora {

QStringList lockBatch(const QString& spid)
{
    return {QStringLiteral("Exec sp_lock ") + spid};
}

QStringList inputBufferBatch(const QString& spid)
{
    return {QStringLiteral("dbcc inputbuffer(") + spid + QLatin1Char(')')};
}

std::vector<FieldDef> lockFields()
{
    const auto field = [](const char* name, FieldKind kind, int size, bool readOnly) {
        return FieldDef{QString::fromLatin1(name), kind, size, readOnly};
    };
    const auto calculated = [](const char* name) {
        return FieldDef{QString::fromLatin1(name), FieldKind::WideString, lockNameLength, false, true};
    };
    return {
        field("spid", FieldKind::SmallInt, 0, true),
        field("dbid", FieldKind::SmallInt, 0, false),
        field("ObjId", FieldKind::Integer, 0, false),
        field("IndId", FieldKind::SmallInt, 0, false),
        field("Type", FieldKind::WideString, 4, true),
        field("Resource", FieldKind::FixedWideChar, 16, true),
        field("Mode", FieldKind::WideString, 8, true),
        field("Status", FieldKind::WideString, 5, true),
        calculated("OName"),
        calculated("DBName"),
    };
}

std::vector<FieldDef> inputBufferFields()
{
    return {
        FieldDef{QStringLiteral("EventType"), FieldKind::WideString, 0, true},
        FieldDef{QStringLiteral("Parameters"), FieldKind::SmallInt, 0, true},
        FieldDef{QStringLiteral("EventInfo"), FieldKind::WideString, 0, true},
    };
}

QString objectNameLookup(const QString& objectId)
{
    return QStringLiteral("Select object_name (") + objectId + QLatin1Char(')');
}

QString databaseNameLookup(const QString& databaseId)
{
    return QStringLiteral("Select DB_name (") + databaseId + QLatin1Char(')');
}

GridColumns lockGridColumns()
{
    struct Definition {
        const char* field;
        const char* title;
        int width;          // -1: the width the grid derives from the field
        bool titleButton;
    };
    static const Definition definitions[] = {
        {"spid", "spid", 35, true},       {"dbid", "dbid", 45, true},     {"DBName", "DB Name", -1, false},
        {"ObjId", "ObjId", 46, true},     {"OName", "Object", -1, false}, {"IndId", "IndId", -1, true},
        {"Type", "Type", 33, true},       {"Resource", "Resource", 96, true}, {"Mode", "Mode", -1, true},
        {"Status", "Status", 155, true},
    };
    GridColumns columns;
    columns.reserve(std::size(definitions));
    for (const Definition& definition : definitions) {
        GridColumn column;
        column.fieldName = QString::fromLatin1(definition.field);
        column.title = QString::fromLatin1(definition.title);
        column.titleAlignment = Qt::AlignHCenter;
        column.width = definition.width;
        column.titleButton = definition.titleButton;
        columns.push_back(std::move(column));
    }
    return columns;
}

} // namespace velmora
