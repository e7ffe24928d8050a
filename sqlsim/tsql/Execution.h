// The run of one batch (or of one EXEC string inside it): its variables, the statements it walks,
// the expressions and queries it evaluates. Internal to the interpreter; Interpreter.h is the
// public face. Statements live in Execution.cpp, queries and expressions in Query.cpp.
#pragma once

#include "Ast.h"
#include "Catalog.h"
#include "Functions.h"
#include "Interpreter.h"
#include "SessionState.h"

#include <chrono>
#include <map>
#include <unordered_map>

namespace sqlsim::tsql {

struct Variable {
    TypeInfo type;
    SqlValue value;
};

/// A table a query reads, under the name its columns are qualified with.
struct Source {
    QString exposed;
    const Table* table = nullptr;
    bool outerJoined = false;   // the inner side of a LEFT JOIN: its columns may be null
};

/// A SELECT after name resolution: its sources and its output items (stars expanded).
struct BoundQuery {
    struct Item {
        const Expr* expr = nullptr;
        QString name;
        QString variable;
    };
    std::vector<Source> sources;
    std::vector<Item> items;
    std::vector<ExprPtr> expanded;   // the column references * stands for
    std::vector<int> orderItems;     // per ORDER BY item: the select item its alias names, or -1
    bool grouped = false;
};

/// Where an expression is evaluated: the current row of each source of its query (null where a
/// LEFT JOIN found none), the rows of its group when the query groups, and the query around it.
struct Scope {
    const BoundQuery* query = nullptr;
    const Row* const* rows = nullptr;
    const Row* const* group = nullptr;   // the group's joined rows, query->sources.size() apiece
    size_t groupRows = 0;
    const Scope* outer = nullptr;
};

struct QueryOutput {
    std::vector<TableColumn> columns;
    std::vector<Row> rows;
};

/// 701: what the server answers where the simulator's memory would run out.
Message outOfMemory();

/// 8649: the query governor cancels a statement or batch whose cost passed the server's limit.
Message queryGovernor(qint64 cost, qint64 threshold);

/// Thrown to end the batch once its error is in the reply (or its attention has come). An error
/// that ends only its statement is a SqlError, caught where the statement runs.
struct BatchEnd {
};

/// Thrown to end a statement whose error is already in the reply (a procedure's, an EXEC
/// string's); the batch goes on.
struct StatementEnd {
};

class Execution : public FunctionContext {
public:
    Execution(ServerState& state, SessionState& session, int spid, Reply& reply, BatchHooks& hooks,
              int nesting);

    /// Declares and sets the variables the batch begins with; an error ends the run by BatchEnd.
    void declareParameters(const BatchVariables& variables);
    /// Runs the statements; an error adds its message and ends its statement, or the run by
    /// BatchEnd.
    void runBatch(const Batch& batch, const QString& text);

    // FunctionContext
    DateTime now() const override;
    std::optional<QString> databaseName(int databaseId) const override;
    std::optional<int> databaseId(const QString& name) const override;
    int currentDatabaseId() const override;
    std::optional<QString> objectName(int objectId) const override;
    std::optional<int> objectId(const QString& name) const override;
    DateFormat dateFormat() const override { return m_session.dateFormat; }

private:
    enum class Flow { Next, Break, Continue, Return };

    // --- statements (Execution.cpp) ---
    Flow run(const Statement& statement);
    Flow runBody(const StatementList& body);
    /// At each statement: the reply's size, then as poll().
    void checkAttention();
    /// One unit of a statement's work (a row visited, a subquery run): counts against the
    /// statement's budget, and every so often polls.
    void checkpoint();
    /// The batch's time budget, the client's attention (asked once a millisecond at most), and
    /// a moment for the other sessions when the statement holds nothing shared.
    void poll();
    /// Takes `bytes` from the session's and the server's memory (only the server's for rows of
    /// a ## table, which outlive the session's batches); 701 when either would run out.
    void charge(qint64 bytes, bool global = false);
    void release(qint64 bytes, bool global = false);
    /// Adds a row to a table or drops a table's rows, keeping its bytes counted.
    void appendRow(Table& table, Row row);
    /// Raises the server's error: the statement ends, and with some errors the batch.
    [[noreturn]] void fail(const Message& message);
    void declare(const Statement& s);
    void setOption(const Statement& s);
    void select(const Statement& s);
    void insert(const Statement& s);
    void update(const Statement& s);
    void remove(const Statement& s);
    void createTable(const Statement& s);
    void dropTable(const Statement& s);
    void cursorStatement(const Statement& s);
    void execute(const Statement& s, std::vector<Row>* capture);
    void executeString(const Statement& s, std::vector<Row>* capture);
    void use(const QString& name);
    void kill(const Statement& s);
    void raiseError(const Statement& s);
    void rowCount(qint64 count);
    Table& writableTable(const ObjectName& name);
    void storeRow(Table& table, const std::vector<int>& columns, Row values);
    /// The value as the column stores it: converted, a text too long refused (8152), NULL
    /// refused where the column takes none (515).
    SqlValue fitted(const Table& table, const TableColumn& column, const SqlValue& value) const;
    void throwErrors(std::vector<Message>& errors);
    void assign(const QString& variable, const SqlValue& value);
    Variable& variable(const QString& name);
    QString currentDatabase() const;

    // --- queries and expressions (Query.cpp) ---
    /// Resolves the names of a statement's expressions; every error found is in the reply
    /// before the run ends.
    void bindStatement(const Statement& s);
    void bind(const Expr& e, std::vector<const BoundQuery*>& chain, std::vector<Message>& errors);
    void bindQuery(const SelectQuery& query, std::vector<const BoundQuery*>& chain,
                   std::vector<Message>& errors);
    /// Waits while a database whose sysindexes are slow to read is read; a cancel meanwhile
    /// ends the batch there.
    void waitForSlowFigures(const ObjectName& name, const Table& table);
    QueryOutput runQuery(const SelectQuery& query, const Scope* outer);
    /// The joined rows that pass ON and WHERE, sources.size() pointers apiece; `count` rows.
    std::vector<const Row*> join(const BoundQuery& bound, const SelectQuery& query, const Scope* outer,
                                 size_t& count);
    SqlValue evaluate(const Expr& e, const Scope* scope);
    Truth test(const Expr& e, const Scope* scope);
    SqlValue aggregate(const Expr& e, const Scope* scope);
    SqlValue function(const Expr& e, const Scope* scope);
    SqlValue globalVariable(const Expr& e) const;
    bool nullable(const Expr& e, const BoundQuery& query) const;
    TypeInfo typeOf(const Expr& e, const Scope* scope);

    ServerState& m_state;
    SessionState& m_session;
    int m_spid;
    Reply& m_reply;
    BatchHooks& m_hooks;
    int m_nesting;
    Catalog m_catalog;
    std::map<QString, Variable> m_variables;                          // by lower-case name
    std::unordered_map<const SelectQuery*, BoundQuery> m_bound;
    std::vector<Row>* m_capture = nullptr;   // INSERT ... EXEC: results go here, not to the client
    qint64 m_rowCount = 0;
    int m_line = 1;
    int m_statementsRun = 0;
    qint64 m_work = 0;   // units of work of the running statement
    bool m_outerHoldsShared = false;   // an EXEC string whose statement around it holds a ## table
    std::chrono::steady_clock::time_point m_lastAsked;
    bool m_inFilter = false;   // binding ON or WHERE: no aggregate may stand there
};

} // namespace sqlsim::tsql
