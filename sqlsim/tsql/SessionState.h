// What one connection keeps between its batches: its # tables (until it logs out, so a batch
// cut off before its DROP TABLE leaves its table behind), its global cursors, @@FETCH_STATUS and
// the SET options that change how batches run.
#pragma once

#include "Ast.h"
#include "Table.h"

#include <map>
#include <memory>

namespace sqlsim::tsql {

struct Cursor {
    std::shared_ptr<SelectQuery> query;
    bool open = false;
    size_t columns = 0;
    std::vector<Row> rows;   // read when the cursor opens
    size_t next = 0;
};

struct SessionState {
    std::map<QString, Table> tempTables;   // by lower-case name
    qint32 lastObjectId = 1977058000;      // ids of # tables, as tempdb numbers them
    std::map<QString, Cursor> cursors;     // by lower-case name
    int fetchStatus = -1;
    bool nocount = false;
    DateFormat dateFormat = DateFormat::Mdy;
    QString language = QStringLiteral("us_english");
};

} // namespace sqlsim::tsql
