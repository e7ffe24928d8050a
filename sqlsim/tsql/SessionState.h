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

/// A ## table: every session sees it until the session that made it logs out.
struct GlobalTable {
    Table table;
    int owner = 0;   // the spid that made it
};
using GlobalTables = std::map<QString, GlobalTable>;   // by lower-case name

struct SessionState {
    std::map<QString, Table> tempTables;   // by lower-case name
    /// The server's ## tables (a session of its own when none is shared with it).
    std::shared_ptr<GlobalTables> globalTables = std::make_shared<GlobalTables>();
    qint32 lastObjectId = 1977058000;      // ids of # tables, as tempdb numbers them
    std::map<QString, Cursor> cursors;     // by lower-case name
    int fetchStatus = -1;
    bool nocount = false;
    DateFormat dateFormat = DateFormat::Mdy;
    QString language = QStringLiteral("us_english");
    qint64 bytesHeld = 0;   // by the rows of its # tables and the results of its running batch
};

} // namespace sqlsim::tsql
