#include "Table.h"

namespace sqlsim::tsql {

int Table::columnIndex(const QString& wanted) const
{
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(wanted, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

qint64 Table::nextIdentity(const TableColumn& column)
{
    lastIdentity = identityUsed ? lastIdentity + column.step : column.seed;
    identityUsed = true;
    return lastIdentity;
}

} // namespace sqlsim::tsql
