// A table as the interpreter holds it: typed columns (with an identity column's seed and step)
// and rows of values. # tables, plain tables and the views of the server state all take this form.
#pragma once

#include "Value.h"

#include <QString>
#include <vector>

namespace sqlsim::tsql {

struct TableColumn {
    QString name;
    TypeInfo type;
    bool nullable = true;
    bool identity = false;
    qint64 seed = 1;
    qint64 step = 1;
};

using Row = std::vector<SqlValue>;

/// The bytes a row takes in memory, near enough for the memory budgets.
qint64 rowBytes(const Row& row);

struct Table {
    QString name;
    qint32 objectId = 0;      // # tables: their id in tempdb
    std::vector<TableColumn> columns;
    std::vector<Row> rows;
    qint64 lastIdentity = 0;
    bool identityUsed = false;
    qint64 bytes = 0;         // what its rows take, as the memory budgets count it
    bool global = false;      // a ## table, shared by every session

    /// The column's position (names compare case-insensitively), -1 when it has none.
    int columnIndex(const QString& name) const;
    /// The next value of the identity column.
    qint64 nextIdentity(const TableColumn& column);
};

} // namespace sqlsim::tsql
