// A select over sysprocesses, optionally joined with syslocks, as the parser reads it: the
// select list, the two tables with their aliases, the join and where conditions, GROUP BY.
// ProcessSelectParser.cpp reads it from tokens; ProcessQuery.cpp checks and evaluates it.
#pragma once

#include "Lexer.h"
#include "Reply.h"

#include <memory>
#include <optional>
#include <vector>

namespace sqlsim {

enum class SystemTable { Processes, Locks };

struct ColumnRef {
    QString prefix;   // table name or alias as written; empty when unqualified
    QString name;     // as written, without brackets
    // Filled by name resolution:
    SystemTable table = SystemTable::Processes;
    int index = -1;

    QString written() const { return prefix.isEmpty() ? name : prefix + u'.' + name; }
};

struct Expr {
    enum class Kind {
        Column,      // column
        Literal,     // value typed as literalType
        CountRows,   // Count(*)
        Count,       // Count(argument): the rows where the argument is not null
        DbName,      // DB_Name(argument); without argument the session's database
    };
    Kind kind = Kind::Literal;
    ColumnRef column;
    Value value;
    Column literalType;
    std::unique_ptr<Expr> argument;
    bool subquery = false;   // written as (Select <expr>): the value may be null

    bool isAggregate() const { return kind == Kind::CountRows || kind == Kind::Count; }
};

struct Condition {
    enum class Kind { And, Or, Not, Compare, IsNull, IsNotNull };
    Kind kind = Kind::Compare;
    QString op;                                     // Compare: = <> != < > <= >= !< !>
    std::unique_ptr<Condition> left, right;         // And, Or; Not uses left
    std::unique_ptr<Expr> a, b;                     // Compare; IsNull and IsNotNull use a
};

struct SelectItem {
    std::unique_ptr<Expr> expr;   // null for * and <prefix>.*
    QString starPrefix;           // <prefix>.* ; empty with a bare *
    QString alias;
};

struct TableRef {
    QString name;    // last part of the name as written (sysprocesses, syslocks)
    QString alias;   // empty when none

    /// The name a column prefix must use: the alias if there is one, else the table's name.
    const QString& exposedName() const { return alias.isEmpty() ? name : alias; }
};

struct ProcessSelect {
    std::vector<SelectItem> items;
    TableRef processes;
    std::optional<TableRef> locks;
    bool leftJoin = false;
    std::unique_ptr<Condition> on;
    std::unique_ptr<Condition> where;
    std::vector<std::unique_ptr<Expr>> groupBy;
};

/// Where a statement does not parse.
struct SyntaxError {
    Token near;
};

/// Tells whether the tokens are a select whose FROM clause starts with sysprocesses.
bool isProcessSelect(const std::vector<Token>& tokens);

/// Reads the select; `sessionSpid` is the value of @@spid. Throws SyntaxError.
ProcessSelect parseProcessSelect(const std::vector<Token>& tokens, int sessionSpid);

} // namespace sqlsim
