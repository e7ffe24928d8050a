#include "RequiredField.h"

#include "DbError.h"
#include "ValueCompare.h"

namespace velmora {

size_t requiredField(const std::vector<FieldDef>& fields, const char* name)
{
    const int index = findFieldIndex(fields, QString::fromLatin1(name));
    if (index < 0)
        throw DbError(DbError::Cause::Usage, QStringLiteral("Field '%1' not found").arg(QLatin1StringView(name)));
    return size_t(index);
}

} // namespace velmora
