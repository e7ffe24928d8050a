#include "Snapshot.h"

namespace velmora {

const std::vector<FieldDef>& recordedLockFields()
{
    static const std::vector<FieldDef> fields = {
        {QStringLiteral("spid"), FieldKind::SmallInt},
        {QStringLiteral("dbid"), FieldKind::SmallInt},
        {QStringLiteral("ObjId"), FieldKind::Integer},
        {QStringLiteral("IndId"), FieldKind::SmallInt},
        {QStringLiteral("Type"), FieldKind::WideString, 4},
        {QStringLiteral("Resource"), FieldKind::FixedWideChar, 16},
        {QStringLiteral("Mode"), FieldKind::WideString, 8},
        {QStringLiteral("Status"), FieldKind::WideString, 5},
    };
    return fields;
}

} // namespace velmora
