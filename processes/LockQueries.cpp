#include "LockQueries.h"

#include "GridSetup.h"

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
    constexpr int derived = -1;   // the width the grid derives from the field
    GridColumns columns = columnTable({
        {"spid", 35, "spid"},
        {"dbid", 45, "dbid"},
        {"DBName", derived, "DB Name"},
        {"ObjId", 46, "ObjId"},
        {"OName", derived, "Object"},
        {"IndId", derived, "IndId"},
        {"Type", 33, "Type"},
        {"Resource", 96, "Resource"},
        {"Mode", derived, "Mode"},
        {"Status", 155, "Status"},
    }, true);
    // The looked-up names are not the server's columns: the rows cannot be sorted by them.
    for (GridColumn& column : columns)
        column.titleButton = column.fieldName != QLatin1String("DBName") && column.fieldName != QLatin1String("OName");
    return columns;
}

} // namespace velmora
