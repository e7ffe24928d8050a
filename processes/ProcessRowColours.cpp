#include "ProcessRowColours.h"

#include "RowView.h"

namespace velmora {

QColor processRowBackground(const RowView& row)
{
    // blocked decides first: a waiting process must stand out even when it also holds locks.
    if (row.value(QStringLiteral("blocked")).toInt() != 0)
        return QColor(220, 220, 226);
    if (row.value(QStringLiteral("block_count")).toInt() == 0)
        return QColor(203, 221, 254);
    return QColor(255, 231, 230);
}

} // namespace velmora
