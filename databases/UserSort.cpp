#include "UserSort.h"

namespace velmora {

QString userSortString(const GridColumns& columns, const std::vector<int>& sortMarked)
{
    QString sort;
    for (int index : sortMarked) {
        const GridColumn& column = columns[size_t(index)];
        sort += column.fieldName
                + (column.sortMarker == SortMarker::Up ? QStringLiteral(" DESC , ") : QStringLiteral(", "));
    }
    sort.chop(2);
    return sort;
}

} // namespace velmora
