// The system procedures the simulated server runs natively, each answering with the server's
// own result shapes. A new procedure is one entry in nativeProcedures() and a function; a DBCC
// command is one too, named "dbcc <command>" ("dbcc inputbuffer").
#pragma once

#include "Table.h"
#include "state/Reply.h"
#include "state/ServerState.h"

#include <variant>

namespace sqlsim::tsql {

/// One result set of a procedure.
struct ProcedureResult {
    std::vector<TableColumn> columns;
    std::vector<Row> rows;
};

struct ProcedureArgumentValue {
    QString name;    // "@name" when passed by name, else empty
    SqlValue value;
};

struct ProcedureCall {
    const ServerState& state;
    int spid;
    QString database;   // the database it runs in: its qualifier's, else the session's
    std::vector<ProcedureArgumentValue> arguments;
    /// What it answers, in order; messages of severity above 10 are its errors.
    std::vector<std::variant<ProcedureResult, Message>> output;
    int returnStatus = 0;

    /// The argument at `position` (0-based) or passed as `name`; null when not given.
    const SqlValue* argument(int position, const char* name) const;
};

struct NativeProcedure {
    const char* name;
    void (*run)(ProcedureCall& call);
};

/// Every native procedure.
const std::vector<NativeProcedure>& nativeProcedures();

// Shared by the procedures' own files.
TableColumn textColumn(const char* name, SqlType type, int size);
TableColumn intColumn(const char* name, SqlType type = SqlType::Int);
/// An argument as text: empty for NULL.
QString argumentText(const SqlValue& value);

/// The procedure of that name (any case), or null.
const NativeProcedure* findProcedure(const QString& name);

} // namespace sqlsim::tsql
