#include "RowView.h"

#include "DbError.h"
#include "ValueCompare.h"

namespace velmora {

QVariant RowView::value(const QString& field) const
{
    const int index = findFieldIndex(m_fields, field);
    if (index < 0)
        throw DbError(DbError::Cause::Usage, QStringLiteral("Field '%1' not found").arg(field));
    return value(index);
}

QVariant RowView::value(int fieldIndex) const
{
    if (fieldIndex < 0 || size_t(fieldIndex) >= m_fields.size())
        throw DbError(DbError::Cause::Usage, QStringLiteral("No field number %1.").arg(fieldIndex));
    return m_row[size_t(fieldIndex)];
}

} // namespace velmora
