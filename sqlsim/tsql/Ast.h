// The parsed form of a T-SQL batch: statements and expressions as the parser builds them and
// the interpreter walks them. A whole batch is parsed before any of it runs.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace sqlsim::tsql {

struct SelectQuery;

/// A type as written in DECLARE, CREATE TABLE and CONVERT: "dec(15,0)", "nvarchar (255)".
struct TypeName {
    QString name;
    std::vector<int> params;
};

/// A name of up to three parts (database.owner.object); parts left out are empty.
struct ObjectName {
    QString database;
    QString owner;
    QString object;

    bool isTemporary() const { return object.startsWith(u'#'); }
    bool isGlobalTemporary() const { return object.startsWith(u"##"); }
};

/// Where an expression's column reference was found when the interpreter bound it: `depth`
/// counts the scopes out from the innermost (0: its own query, 1: the query around it).
struct ColumnBinding {
    int depth = -1;
    int source = -1;
    int column = -1;
};

struct Expr {
    enum class Kind {
        Null,
        Number,          // text: as written ("15", "1024.", "2.5")
        String,          // text: the value; unicode for N'...'
        Variable,        // text: "@name" as written
        GlobalVariable,  // text: "@@name" as written
        Column,          // prefix.text
        Negate,          // - args[0]
        Arithmetic,      // args[0] ops[0] args[1] ops[1] ... left to right
        Compare,         // args[0] text args[1]; text is the operator
        And,             // all args
        Or,              // any arg
        Not,             // args[0]
        IsNull,          // args[0] IS [NOT] NULL
        In,              // args[0] [NOT] IN (args[1..]) or (query)
        Like,            // args[0] [NOT] LIKE args[1]
        Between,         // args[0] [NOT] BETWEEN args[1] AND args[2]
        Function,        // text(args), text in lower case and prefix as written; convert/cast carry `type`
        Aggregate,       // text(args[0]): count, sum, min, max, avg; no args: count(*)
        Subquery,        // (query), a scalar
        Exists,          // EXISTS (query)
        Case,            // CASE [args[0]] WHEN .. THEN .. [ELSE ..] END: see caseOperand
    };
    Kind kind = Kind::Null;
    int offset = 0;               // where it starts in the batch
    QString text;
    QString prefix;
    bool unicode = false;
    bool negated = false;         // NOT IN, NOT LIKE, IS NOT NULL, NOT BETWEEN
    bool caseOperand = false;     // Case: args[0] is the operand of a simple CASE
    bool caseElse = false;        // Case: the last arg is the ELSE value
    std::vector<std::unique_ptr<Expr>> args;
    std::vector<QChar> ops;       // Arithmetic: one operator between two args
    std::shared_ptr<SelectQuery> query;
    std::optional<TypeName> type; // convert / cast target
    mutable ColumnBinding binding;   // Column: filled by the interpreter before each run
};

using ExprPtr = std::unique_ptr<Expr>;

struct SelectItem {
    ExprPtr expr;             // null for * and prefix.*
    QString starPrefix;       // prefix.* ; empty for a bare *
    QString alias;            // empty: none given
    QString variable;         // SELECT @v = expr: the variable assigned
};

struct TableSource {
    enum class Join { First, Comma, Inner, Left };
    Join join = Join::First;
    ObjectName name;
    QString alias;
    ExprPtr on;

    QString exposedName() const { return alias.isEmpty() ? name.object : alias; }
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct SelectQuery {
    std::optional<qint64> top;
    bool distinct = false;
    std::vector<SelectItem> items;
    std::vector<TableSource> from;
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    std::vector<OrderItem> orderBy;
};

struct ColumnDefinition {
    QString name;
    TypeName type;
    bool nullable = true;
    bool identity = false;
    qint64 seed = 1;
    qint64 step = 1;
};

struct Statement;
using StatementPtr = std::unique_ptr<Statement>;
using StatementList = std::vector<StatementPtr>;

/// A procedure argument: `@name = value` or a value alone.
struct ProcedureArgument {
    QString name;
    ExprPtr value;
};

struct Statement {
    enum class Kind {
        Declare,          // variables: names with types
        DeclareCursor,    // name, query
        SetVariable,      // variable = expr
        SetOption,        // option words, value (ON/OFF or a value)
        Select,           // query (SELECT @v = ... when items carry variables)
        Insert,           // table, columns; values rows | query | procedure
        Update,           // table, assignments, where
        Delete,           // table, where
        CreateTable,      // table, columns
        DropTable,        // table
        If,               // condition, body[0], body[1] (else, may be absent)
        While,            // condition, body[0]
        Block,            // BEGIN ... END: body
        Break,
        Continue,
        Return,
        Open,             // cursor name
        Fetch,            // cursor name, into variables
        Close,
        Deallocate,
        Execute,          // procedure name and arguments
        ExecuteString,    // expr: the text to run
        Use,              // database
        Kill,             // number
        Print,            // expr
        Dbcc,             // table.object: the command; arguments; options: its WITH options
        RaisError,        // arguments: message, severity, state, values; options: its WITH options
    };
    Kind kind;
    int offset = 0;
    int line = 1;                             // line of the batch it starts on
    QString firstWord;                        // as written: what sysprocesses.cmd shows
    QString name;                             // variable, cursor, database, option
    QStringList options;                      // SetOption: the options named; Dbcc: WITH options
    QString value;                            // SetOption: ON, OFF or the value's text
    ObjectName table;                         // Insert, Update, Delete, Create, Drop; Execute: procedure
    std::vector<std::pair<QString, TypeName>> variables;   // Declare
    QStringList names;                        // Insert: columns; Fetch: variables
    std::vector<std::vector<ExprPtr>> rows;   // Insert ... VALUES
    std::vector<std::pair<QString, ExprPtr>> assignments;  // Update
    std::vector<ColumnDefinition> columns;    // CreateTable
    std::vector<ProcedureArgument> arguments; // Execute, Dbcc
    std::shared_ptr<SelectQuery> query;       // Select, DeclareCursor, Insert ... SELECT, Update FROM
    std::unique_ptr<Statement> source;        // Insert ... EXEC
    ExprPtr expr;                             // SetVariable, If, While, ExecuteString, Update/Delete WHERE, Kill, Print
    StatementList body;                       // Block; If (then, else); While

    explicit Statement(Kind k) : kind(k) {}
};

/// A parsed batch.
struct Batch {
    StatementList statements;
};

} // namespace sqlsim::tsql
