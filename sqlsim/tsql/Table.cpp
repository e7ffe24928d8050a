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

qint64 rowBytes(const Row& row)
{
    qint64 bytes = qint64(sizeof(Row) + row.capacity() * sizeof(SqlValue));
    for (const SqlValue& value : row) {
        if (value.isNull())
            continue;
        if (value.type().isText())
            bytes += value.toText().size() * qint64(sizeof(QChar));
        else if (value.type().isBinary())
            bytes += value.toBinary().size();
    }
    return bytes;
}

} // namespace sqlsim::tsql
