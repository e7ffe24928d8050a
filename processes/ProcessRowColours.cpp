#include "ProcessRowColours.h"

#include "Query.h"

namespace velmora {

QColor processRowBackground(const Query& query)
{
    // blocked decides first: a waiting process must stand out even when it also holds locks.
    if (query.value(QStringLiteral("blocked")).toInt() != 0)
        return QColor(220, 220, 226);
    if (query.value(QStringLiteral("block_count")).toInt() == 0)
        return QColor(203, 221, 254);
    return QColor(255, 231, 230);
}

} // namespace velmora
