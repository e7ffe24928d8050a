#include "Execution.h"

#include "Parser.h"
#include "ProcessErrors.h"
#include "Procedures.h"
#include "SqlError.h"
#include "state/ProcessTable.h"

#include <QRegularExpression>
#include <chrono>
#include <climits>

namespace sqlsim::tsql {

namespace {

// EXEC strings inside EXEC strings: the server's limit on nesting.
constexpr int kMaxExecNesting = 32;

// A reply is held whole until the batch ends, and # tables live in memory: a loop that never
// ends must not take the simulator's memory with it.
constexpr size_t kMaxReplyItems = 1'000'000;
constexpr size_t kMaxTableRows = 5'000'000;

// Most errors end only the statement that raised them and the batch goes on; these end the
// batch: conversions that fail, names that do not resolve, nesting past the limit.
bool endsBatch(const Message& message)
{
    static const int numbers[] = {msg::DateTimeSyntax, msg::DateTimeOutOfRange, msg::ConversionFailed,
                                  msg::ConversionError, msg::ImplicitConversion, msg::ExplicitConversion,
                                  msg::InvalidObject, msg::InvalidColumn, msg::AmbiguousColumn,
                                  msg::MustDeclareVariable, msg::UnknownFunction, msg::NestedTooDeeply, 107,
                                  147, 217, 701, 4145, 8649};
    return message.severity >= 20 || std::find(std::begin(numbers), std::end(numbers), message.number) != std::end(numbers);
}

Message error(int number, int severity, const QString& text)
{
    return Message{number, 1, severity, text, {}, 1};
}

bool sameStatement(const QString& text, const QString& pattern)
{
    return !pattern.isEmpty() && text.simplified().compare(pattern.simplified(), Qt::CaseInsensitive) == 0;
}

// What sysprocesses.cmd shows while a statement runs.
QString commandName(const Statement& s)
{
    if (s.kind == Statement::Kind::Execute || s.kind == Statement::Kind::ExecuteString)
        return QStringLiteral("EXECUTE");
    return s.firstWord.toUpper().left(16);
}

ResultSet resultSet(const QueryOutput& output, bool counted)
{
    ResultSet result;
    result.counted = counted;
    for (const TableColumn& column : output.columns)
        result.columns.push_back(column.type.column(column.name, column.nullable));
    result.rows.reserve(output.rows.size());
    for (const Row& row : output.rows) {
        std::vector<Value> values;
        values.reserve(row.size());
        for (const SqlValue& value : row)
            values.push_back(value.toReplyValue());
        result.rows.push_back(std::move(values));
    }
    return result;
}

} // namespace

Message queryGovernor(qint64 cost, qint64 threshold)
{
    return Message{8649, 1, 17,
                   QStringLiteral("The query has been canceled because the estimated cost of this query (%1) exceeds the "
                                  "configured threshold of %2. Contact the system administrator.")
                       .arg(cost)
                       .arg(threshold),
                   {}, 1};
}

Message outOfMemory()
{
    return Message{701, 1, 17, QStringLiteral("There is insufficient system memory to run this query."), {}, 1};
}

Execution::Execution(ServerState& state, SessionState& session, int spid, Reply& reply, BatchHooks& hooks,
                     int nesting)
    : m_state(state), m_session(session), m_spid(spid), m_reply(reply), m_hooks(hooks), m_nesting(nesting),
      m_catalog(state, session)
{
}

void Execution::runBatch(const Batch& batch, const QString& text)
{
    bool paused = false;
    for (size_t i = 0; i < batch.statements.size(); ++i) {
        const Statement& s = *batch.statements[i];
        if (m_nesting == 0) {
            // Faults aim at a statement, or at the whole batch, by their text.
            const qsizetype end = i + 1 < batch.statements.size() ? batch.statements[i + 1]->offset : text.size();
            const QString statementText = text.mid(s.offset, end - s.offset);
            const Faults& faults = m_state.faults;
            const auto aimed = [&](const QString& pattern) {
                return sameStatement(statementText, pattern) || sameStatement(text, pattern);
            };
            if (aimed(faults.slowStatement) && !paused) {
                paused = true;
                if (m_hooks.pause && m_hooks.pause(faults.slowMs)) {
                    m_reply.cancelled = true;
                    throw BatchEnd{};
                }
            }
            if (aimed(faults.dropOnStatement)) {
                m_reply.dropConnection = true;
                m_reply.dropAfterRows = faults.dropAfterRows;
            }
            if (aimed(faults.errorOnStatement)) {
                m_reply.items.push_back(faults.errorMessage);
                throw BatchEnd{};
            }
            if (Process* process = findProcess(m_state, m_spid))
                process->cmd = commandName(s);
        }
        if (run(s) == Flow::Return)
            return;
    }
}

void Execution::declareParameters(const BatchVariables& variables)
{
    // "@p int OUTPUT": an output parameter is an ordinary variable while the batch runs.
    static const QRegularExpression output(QStringLiteral("\\s+out(put)?\\b"), QRegularExpression::CaseInsensitiveOption);
    QStringList declared;
    try {
        if (!variables.definitions.trimmed().isEmpty()) {
            auto parsed = parseBatch(QStringLiteral("DECLARE ") + QString(variables.definitions).remove(output));
            if (const Message* syntax = std::get_if<Message>(&parsed)) {
                m_reply.items.push_back(*syntax);
                throw BatchEnd{};
            }
            const Batch& batch = std::get<Batch>(parsed);
            if (batch.statements.size() != 1 || batch.statements[0]->kind != Statement::Kind::Declare)
                throw SqlError(msg::SyntaxNear, {variables.definitions.left(kMaxNameInMessage)});
            declare(*batch.statements[0]);
            for (const auto& variable : batch.statements[0]->variables)
                declared << variable.first;
        } else {
            for (const BatchParameter& parameter : variables.values) {
                const QString key = parameter.name.toLower();
                if (m_variables.count(key))
                    throw SqlError(msg::VariableRedeclared, {parameter.name});
                const TypeInfo type = TypeInfo::fromColumn(parameter.type);
                m_variables[key] = Variable{type, SqlValue::null(type)};
            }
        }
        qsizetype position = 0;
        for (const BatchParameter& parameter : variables.values) {
            const QString name = !parameter.name.isEmpty() ? parameter.name : declared.value(position);
            ++position;
            assign(name.isEmpty() ? QStringLiteral("@%1").arg(position) : name,
                   SqlValue::fromReplyValue(parameter.value, parameter.type));
        }
    } catch (const SqlError& e) {
        m_reply.items.push_back(e.message());
        throw BatchEnd{};
    }
}

void Execution::checkAttention()
{
    ++m_statementsRun;
    m_work = 0;
    if (m_reply.items.size() > kMaxReplyItems) {
        m_reply.items.push_back(outOfMemory());
        throw BatchEnd{};
    }
    poll();
}

void Execution::checkpoint()
{
    const qint64 limit = m_state.options.statementWorkLimit;
    if (++m_work > limit)
        fail(queryGovernor(m_work, limit));
    // A unit is a fraction of a microsecond: looking at the clock each time would double it.
    if (m_work % 1024 == 0)
        poll();
}

void Execution::poll()
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point now = Clock::now();
    const auto ran = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_hooks.started);
    const int limitMs = m_state.options.batchTimeLimitMs;
    if (ran.count() > limitMs) {
        Message message = queryGovernor(ran.count() / 1000, limitMs / 1000);
        message.line = m_line;
        m_reply.items.push_back(message);
        throw BatchEnd{};
    }
    // Asking costs a system call: once a millisecond is soon enough for a client's time-out.
    if (m_hooks.interrupted && (m_statementsRun <= 1 || now - m_lastAsked >= std::chrono::milliseconds(1))) {
        m_lastAsked = now;
        if (m_hooks.interrupted(0)) {
            m_reply.cancelled = true;
            throw BatchEnd{};
        }
    }
    // Rows of a ## table may change or go while another session runs: a statement reading one
    // keeps the server to itself until it ends.
    if (m_hooks.yield && !m_catalog.holdsShared() && !m_outerHoldsShared)
        m_hooks.yield();
}

void Execution::charge(qint64 bytes, bool global)
{
    if ((!global && m_session.bytesHeld + bytes > m_state.options.sessionMemoryLimit)
        || (m_hooks.memory && !m_hooks.memory->take(bytes)))
        fail(outOfMemory());
    if (!global)
        m_session.bytesHeld += bytes;
}

void Execution::release(qint64 bytes, bool global)
{
    if (m_hooks.memory)
        m_hooks.memory->give(bytes);
    if (!global)
        m_session.bytesHeld -= bytes;
}

void Execution::appendRow(Table& table, Row row)
{
    if (table.rows.size() >= kMaxTableRows)
        fail(outOfMemory());
    const qint64 bytes = rowBytes(row);
    charge(bytes, table.global);
    table.bytes += bytes;
    table.rows.push_back(std::move(row));
}

void Execution::throwErrors(std::vector<Message>& errors)
{
    if (errors.empty())
        return;
    for (Message& message : errors) {
        message.line = m_line;
        m_reply.items.push_back(message);
    }
    throw BatchEnd{};
}

void Execution::fail(const Message& message)
{
    throw SqlError(message);
}

Execution::Flow Execution::runBody(const StatementList& body)
{
    for (const StatementPtr& s : body) {
        const Flow flow = run(*s);
        if (flow != Flow::Next)
            return flow;
    }
    return Flow::Next;
}

Execution::Flow Execution::run(const Statement& s)
{
    using K = Statement::Kind;
    checkAttention();
    m_line = s.line;
    m_catalog.newStatement();
    m_bound.clear();
    try {
        switch (s.kind) {
        case K::If: {
            bindStatement(s);
            if (test(*s.expr, nullptr) == Truth::True)
                return run(*s.body[0]);
            return s.body.size() > 1 ? run(*s.body[1]) : Flow::Next;
        }
        case K::While:
            for (;;) {
                m_line = s.line;
                m_catalog.newStatement();
                m_bound.clear();
                bindStatement(s);
                if (test(*s.expr, nullptr) != Truth::True)
                    return Flow::Next;
                const Flow flow = run(*s.body[0]);
                if (flow == Flow::Break)
                    return Flow::Next;
                if (flow == Flow::Return)
                    return flow;
                checkAttention();
            }
        case K::Block:
            return runBody(s.body);
        case K::Break:
            return Flow::Break;
        case K::Continue:
            return Flow::Continue;
        case K::Return:
            return Flow::Return;
        case K::Declare:
            declare(s);
            break;
        case K::SetVariable:
            bindStatement(s);
            assign(s.name, evaluate(*s.expr, nullptr));
            break;
        case K::SetOption:
            setOption(s);
            break;
        case K::Select:
            select(s);
            break;
        case K::Insert:
            insert(s);
            break;
        case K::Update:
            update(s);
            break;
        case K::Delete:
            remove(s);
            break;
        case K::CreateTable:
            createTable(s);
            break;
        case K::DropTable:
            dropTable(s);
            break;
        case K::DeclareCursor:
        case K::Open:
        case K::Fetch:
        case K::Close:
        case K::Deallocate:
            cursorStatement(s);
            break;
        case K::Execute:
        case K::Dbcc:
            execute(s, m_capture);
            break;
        case K::ExecuteString:
            executeString(s, m_capture);
            break;
        case K::Use:
            use(s.name);
            break;
        case K::Kill:
            kill(s);
            break;
        case K::RaisError:
            raiseError(s);
            break;
        case K::Print:
            bindStatement(s);
            m_reply.items.push_back(Message{0, 1, 0,
                                            convert(evaluate(*s.expr, nullptr), TypeInfo::text(SqlType::NVarChar, 8000)).toText(),
                                            {}, m_line});
            break;
        }
    } catch (const SqlError& e) {
        Message located = e.message();
        located.line = m_line;
        m_reply.items.push_back(located);
        if (endsBatch(located))
            throw BatchEnd{};
    } catch (const StatementEnd&) {
    }
    return Flow::Next;
}

// --- variables --------------------------------------------------------------------------------

void Execution::declare(const Statement& s)
{
    int position = 0;
    for (const auto& [name, typeName] : s.variables) {
        ++position;
        const QString key = name.toLower();
        if (m_variables.count(key))
            throw SqlError(msg::VariableRedeclared, {name});
        const TypeInfo type = typeFromName(typeName.name, typeName.params, TypeNameUse::Declaration, position);
        m_variables[key] = Variable{type, SqlValue::null(type)};
    }
}

Variable& Execution::variable(const QString& name)
{
    const auto it = m_variables.find(name.toLower());
    if (it == m_variables.end())
        throw SqlError(msg::MustDeclareVariable, {name});
    return it->second;
}

void Execution::assign(const QString& name, const SqlValue& value)
{
    Variable& target = variable(name);
    target.value = value.isNull() ? SqlValue::null(target.type)
                                  : implicitConvert(value, target.type, m_session.dateFormat);
}

// --- SET --------------------------------------------------------------------------------------

void Execution::setOption(const Statement& s)
{
    const QString option = s.options.value(0).toLower();
    if (option == u"nocount") {
        m_session.nocount = s.value == u"ON";
    } else if (option == u"dateformat") {
        const std::optional<DateFormat> format = dateFormatFromName(s.value);
        if (!format)
            fail(error(2741, 16, QStringLiteral("SET DATEFORMAT date order '%1' is invalid.").arg(s.value)));
        m_session.dateFormat = *format;
    } else if (option == u"language") {
        QString language = s.value;
        const bool british = language.compare(u"british", Qt::CaseInsensitive) == 0;
        if (!british && language.compare(u"us_english", Qt::CaseInsensitive) != 0)
            fail(error(2739, 16, QStringLiteral("Language '%1' is not an official language name.").arg(language)));
        language = british ? QStringLiteral("British") : QStringLiteral("us_english");
        m_reply.items.push_back(EnvironmentChange{EnvironmentChange::Kind::Language, language, m_session.language});
        m_reply.items.push_back(Message{5703, 1, 10, QStringLiteral("Changed language setting to %1.").arg(language), {}, m_line});
        m_session.language = language;
        m_session.dateFormat = british ? DateFormat::Dmy : DateFormat::Mdy;
    }
    m_reply.items.push_back(Done{});
}

// --- SELECT and the changes of # tables ---------------------------------------------------------

void Execution::rowCount(qint64 count)
{
    m_rowCount = count;
    m_reply.items.push_back(Done{m_session.nocount ? -1 : count});
}

void Execution::select(const Statement& s)
{
    bindStatement(s);
    const QueryOutput output = runQuery(*s.query, nullptr);
    m_rowCount = qint64(output.rows.size());
    const auto& items = m_bound.at(s.query.get()).items;
    const bool assigns = std::any_of(items.begin(), items.end(), [](const auto& item) { return !item.variable.isEmpty(); });
    if (assigns) {
        for (const Row& row : output.rows) {
            for (size_t i = 0; i < items.size(); ++i)
                assign(items[i].variable, row[i]);
        }
        return;
    }
    if (m_capture) {
        m_capture->insert(m_capture->end(), output.rows.begin(), output.rows.end());
        return;
    }
    qint64 bytes = 0;
    for (const Row& row : output.rows)
        bytes += rowBytes(row);
    charge(bytes);
    m_hooks.replyBytes += bytes;
    m_reply.items.push_back(resultSet(output, !m_session.nocount));
}

Table& Execution::writableTable(const ObjectName& name)
{
    if (Table* table = m_catalog.findTemporary(name))
        return *table;
    if (m_catalog.find(name, currentDatabase()))
        fail(error(259, 16, QStringLiteral("Ad hoc updates to system catalogs are not enabled. The system "
                                           "administrator must reconfigure SQL Server to allow this.")));
    throw SqlError(msg::InvalidObject, {name.object});
}

SqlValue Execution::fitted(const Table& table, const TableColumn& column, const SqlValue& value) const
{
    if (value.isNull()) {
        if (!column.nullable)
            throw SqlError(msg::InsertNull, {column.name, table.name});
        return SqlValue::null(column.type);
    }
    return storedConvert(value, column.type, m_session.dateFormat);
}

void Execution::storeRow(Table& table, const std::vector<int>& columns, Row values)
{
    Row row;
    row.reserve(table.columns.size());
    for (size_t c = 0; c < table.columns.size(); ++c) {
        const TableColumn& column = table.columns[c];
        if (column.identity) {
            row.push_back(convert(SqlValue::integer(table.nextIdentity(column), SqlType::BigInt), column.type));
            continue;
        }
        const auto at = std::find(columns.begin(), columns.end(), int(c));
        row.push_back(fitted(table, column, at == columns.end() ? SqlValue::null(column.type)
                                                                : values[size_t(at - columns.begin())]));
    }
    appendRow(table, std::move(row));
}

void Execution::insert(const Statement& s)
{
    bindStatement(s);
    Table& table = writableTable(s.table);
    std::vector<int> columns;
    if (s.names.isEmpty()) {
        for (size_t c = 0; c < table.columns.size(); ++c) {
            if (!table.columns[c].identity)
                columns.push_back(int(c));
        }
    } else {
        for (const QString& name : s.names) {
            const int c = table.columnIndex(name);
            if (c < 0)
                throw SqlError(msg::InvalidColumn, {name});
            if (table.columns[size_t(c)].identity)
                throw SqlError(msg::IdentityInsert, {table.name});
            columns.push_back(c);
        }
    }
    std::vector<Row> rows;
    if (!s.rows.empty()) {
        for (const auto& exprs : s.rows) {
            Row row;
            for (const ExprPtr& e : exprs)
                row.push_back(evaluate(*e, nullptr));
            rows.push_back(std::move(row));
        }
    } else if (s.query) {
        rows = runQuery(*s.query, nullptr).rows;
    } else {
        if (s.source->kind == Statement::Kind::ExecuteString)
            executeString(*s.source, &rows);
        else
            execute(*s.source, &rows);
    }
    for (const Row& row : rows) {
        if (row.size() != columns.size())
            throw SqlError(msg::InsertColumnCount);
    }
    for (Row& row : rows)
        storeRow(table, columns, std::move(row));
    rowCount(qint64(rows.size()));
}

void Execution::createTable(const Statement& s)
{
    if (!s.table.isTemporary())
        fail(error(262, 14, QStringLiteral("CREATE TABLE permission denied in database '%1'.").arg(currentDatabase())));
    const QString key = s.table.object.toLower();
    const bool global = s.table.isGlobalTemporary();
    if (global ? m_session.globalTables->count(key) > 0 : m_session.tempTables.count(key) > 0)
        throw SqlError(msg::ObjectExists, {s.table.object});
    Table table;
    table.name = s.table.object;
    table.objectId = ++m_session.lastObjectId;
    table.global = global;
    int position = 0;
    for (const ColumnDefinition& definition : s.columns) {
        ++position;
        if (table.columnIndex(definition.name) >= 0)
            fail(error(2705, 16, QStringLiteral("Column names in each table must be unique. Column name '%1' "
                                                "in table '%2' is specified more than once.")
                                     .arg(definition.name, table.name)));
        const TypeInfo type = typeFromName(definition.type.name, definition.type.params,
                                           TypeNameUse::Declaration, position);
        table.columns.push_back(TableColumn{definition.name, type, definition.nullable, definition.identity,
                                            definition.seed, definition.step});
    }
    if (global)
        m_session.globalTables->emplace(key, GlobalTable{std::move(table), m_spid});
    else
        m_session.tempTables.emplace(key, std::move(table));
    m_reply.items.push_back(Done{});
}

void Execution::dropTable(const Statement& s)
{
    const Table* table = m_catalog.findTemporary(s.table);
    if (!table)
        throw SqlError(msg::CannotDropTable, {s.table.object});
    release(table->bytes, table->global);
    const QString key = s.table.object.toLower();
    if (table->global)
        m_session.globalTables->erase(key);
    else
        m_session.tempTables.erase(key);
    m_reply.items.push_back(Done{});
}

// --- cursors ----------------------------------------------------------------------------------

void Execution::cursorStatement(const Statement& s)
{
    using K = Statement::Kind;
    const QString key = s.name.toLower();
    auto it = m_session.cursors.find(key);
    if (s.kind == K::DeclareCursor) {
        if (it != m_session.cursors.end())
            throw SqlError(msg::CursorExists, {s.name});
        m_session.cursors[key].query = s.query;
        return;
    }
    if (it == m_session.cursors.end())
        throw SqlError(msg::CursorMissing, {s.name});
    Cursor& cursor = it->second;
    switch (s.kind) {
    case K::Open: {
        if (cursor.open)
            throw SqlError(msg::CursorAlreadyOpen);
        std::vector<const BoundQuery*> chain;
        std::vector<Message> errors;
        bindQuery(*cursor.query, chain, errors);
        throwErrors(errors);
        QueryOutput output = runQuery(*cursor.query, nullptr);
        cursor.columns = output.columns.size();
        cursor.rows = std::move(output.rows);
        cursor.next = 0;
        cursor.open = true;
        break;
    }
    case K::Fetch:
        if (!cursor.open)
            throw SqlError(msg::CursorNotOpen);
        if (!s.names.isEmpty() && size_t(s.names.size()) != cursor.columns)
            throw SqlError(msg::CursorFetchCount);
        if (cursor.next >= cursor.rows.size()) {
            m_session.fetchStatus = -1;
            m_rowCount = 0;
            break;
        }
        for (qsizetype i = 0; i < s.names.size(); ++i)
            assign(s.names[i], cursor.rows[cursor.next][size_t(i)]);
        ++cursor.next;
        m_session.fetchStatus = 0;
        m_rowCount = 1;
        break;
    case K::Close:
        if (!cursor.open)
            throw SqlError(msg::CursorNotOpen);
        cursor.open = false;
        cursor.rows.clear();
        break;
    case K::Deallocate:
        m_session.cursors.erase(it);
        break;
    default:
        break;
    }
}

// --- EXEC -------------------------------------------------------------------------------------

void Execution::execute(const Statement& s, std::vector<Row>* capture)
{
    // A DBCC command runs as a native handler too, but answers as a statement, not a procedure.
    const bool dbcc = s.kind == Statement::Kind::Dbcc;
    const NativeProcedure* procedure = findProcedure(dbcc ? QStringLiteral("dbcc ") + s.table.object : s.table.object);
    if (!procedure && dbcc)
        fail(error(2526, 16, QStringLiteral("Incorrect DBCC statement. Check the documentation for the correct "
                                            "DBCC syntax and options.")));
    if (!procedure)
        throw SqlError(msg::UnknownProcedure, {s.table.object});
    if (!s.table.database.isEmpty() && !m_catalog.database(s.table.database))
        throw SqlError(msg::UnknownDatabase, {s.table.database});
    bindStatement(s);
    ProcedureCall call{m_state, m_spid, s.table.database.isEmpty() ? currentDatabase() : s.table.database, {}, {}, 0};
    for (const ProcedureArgument& argument : s.arguments)
        call.arguments.push_back({argument.name, evaluate(*argument.value, nullptr)});
    procedure->run(call);
    const bool boundaries = !capture && !dbcc;
    if (boundaries)
        m_reply.items.push_back(ProcedureBegin{});
    bool failed = false;
    for (const auto& output : call.output) {
        if (const auto* message = std::get_if<Message>(&output)) {
            m_reply.items.push_back(*message);
            failed = failed || message->severity > 10;
            continue;
        }
        const auto& result = std::get<ProcedureResult>(output);
        if (capture)
            capture->insert(capture->end(), result.rows.begin(), result.rows.end());
        else
            m_reply.items.push_back(resultSet(QueryOutput{result.columns, result.rows}, !m_session.nocount));
    }
    if (boundaries)
        m_reply.items.push_back(ReturnStatus{call.returnStatus});
    if (failed)
        throw StatementEnd{};
    if (dbcc && !s.options.contains(QStringLiteral("no_infomsgs"), Qt::CaseInsensitive)) {
        m_reply.items.push_back(Message{2528, 1, 10,
                                        QStringLiteral("DBCC execution completed. If DBCC printed error messages, "
                                                       "contact your system administrator."),
                                        {}, m_line});
    }
}

void Execution::executeString(const Statement& s, std::vector<Row>* capture)
{
    bindStatement(s);
    const SqlValue value = evaluate(*s.expr, nullptr);
    const QString text = value.isNull() ? QString() : convert(value, TypeInfo::text(SqlType::NVarChar, 4000)).toText();
    if (m_nesting + 1 >= kMaxExecNesting)
        fail(error(217, 16, QStringLiteral("Maximum stored procedure, function, trigger, or view nesting level "
                                           "exceeded (limit 32).")));
    auto parsed = parseBatch(text);
    if (const Message* syntax = std::get_if<Message>(&parsed)) {
        m_reply.items.push_back(*syntax);
        throw StatementEnd{};
    }
    // A USE inside the string holds only while the string runs.
    const QString database = currentDatabase();
    Execution inner(m_state, m_session, m_spid, m_reply, m_hooks, m_nesting + 1);
    inner.m_capture = capture;
    inner.m_outerHoldsShared = m_outerHoldsShared || m_catalog.holdsShared();
    const auto restore = [&] {
        const QString now = currentDatabase();
        if (now == database)
            return;
        if (Process* process = findProcess(m_state, m_spid)) {
            process->database = database;
            if (const Database* d = m_catalog.database(database))
                process->dbid = d->dbid;
        }
        m_reply.items.push_back(EnvironmentChange{EnvironmentChange::Kind::Database, database, now});
    };
    try {
        inner.runBatch(std::get<Batch>(parsed), text);
    } catch (const BatchEnd&) {
        // What ends the string's batch ends the EXEC statement, unless the client stopped it all.
        restore();
        if (m_reply.cancelled)
            throw;
        throw StatementEnd{};
    }
    restore();
    m_rowCount = inner.m_rowCount;
}

// --- USE and KILL -----------------------------------------------------------------------------

QString Execution::currentDatabase() const
{
    const Process* process = findProcess(m_state, m_spid);
    if (!process)
        return QStringLiteral("master");
    if (!process->database.isEmpty())
        return process->database;
    return databaseName(process->dbid).value_or(QStringLiteral("master"));
}

void Execution::use(const QString& name)
{
    const Database* database = m_catalog.database(name);
    if (!database)
        throw SqlError(msg::UnknownDatabase, {name});
    if (database->offline)
        fail(Message{942, 4, 14, QStringLiteral("Database '%1' cannot be opened because it is offline.").arg(database->name),
                     {}, m_line});
    const QString old = currentDatabase();
    if (Process* process = findProcess(m_state, m_spid)) {
        process->database = database->name;
        process->dbid = database->dbid;
    }
    m_reply.items.push_back(EnvironmentChange{EnvironmentChange::Kind::Database, database->name, old});
    m_reply.items.push_back(Message{5701, 1, 10, QStringLiteral("Changed database context to '%1'.").arg(database->name),
                                    {}, m_line});
    m_reply.items.push_back(Done{});
}

void Execution::kill(const Statement& s)
{
    const Process* self = findProcess(m_state, m_spid);
    const auto login = std::find_if(m_state.logins.begin(), m_state.logins.end(), [&](const SqlLogin& l) {
        return self && l.name.compare(self->loginame, Qt::CaseInsensitive) == 0;
    });
    if (login == m_state.logins.end() || !login->mayKill)
        throw SqlError(msg::KillPermission);
    const qint64 spid = s.expr->text.toLongLong();
    // A spid is a smallint: a larger number names no process.
    Process* const victim = spid <= SHRT_MAX ? findProcess(m_state, int(spid)) : nullptr;
    if (spid == m_spid)
        fail(killOwnProcess());
    if (!victim)
        fail(killInactiveProcess(spid));
    if (victim->system)
        fail(killSystemProcess());
    if (victim->hasClient)
        m_hooks.killedSessions.push_back(victim->spid);
    endProcess(m_state, victim->spid);
    m_reply.items.push_back(Done{});
}

// --- RAISERROR ---------------------------------------------------------------------------------

namespace {

// RAISERROR's message with its arguments put in, as printf would: %[flags][width][.precision]
// [h|l] d i o s u x X, and %% for itself.
QString formatMessage(const QString& pattern, const std::vector<SqlValue>& arguments)
{
    static const QRegularExpression placeholder(QStringLiteral("%([-+ 0#]*)(\\d*|\\*)(?:\\.(\\d*|\\*))?(?:h|l|I64)?([diosuxX%])"));
    QString out;
    size_t next = 0;
    qsizetype at = 0;
    const auto takeNumber = [&](const QString& text) {
        if (text != u"*")
            return text.toInt();
        return next < arguments.size() && !arguments[next].isNull() ? int(arguments[next++].toInteger()) : 0;
    };
    for (auto it = placeholder.globalMatch(pattern); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(pattern).mid(at, match.capturedStart() - at);
        at = match.capturedEnd();
        const QChar conversion = match.captured(4).front();
        if (conversion == u'%') {
            out += u'%';
            continue;
        }
        const QString flags = match.captured(1);
        const int width = takeNumber(match.captured(2));
        const bool precise = match.capturedLength(3) > 0;
        const int precision = precise ? takeNumber(match.captured(3)) : 0;
        const SqlValue value = next < arguments.size() ? arguments[next++] : SqlValue();
        QString text;
        if (value.isNull()) {
            text = QStringLiteral("(null)");
        } else if (conversion == u's') {
            text = value.type().isText() ? value.toText() : convert(value, TypeInfo::text(SqlType::NVarChar, 4000)).toText();
            if (precise)
                text = text.left(precision);
        } else {
            const qint64 number = value.type().isInteger() || value.type().type == SqlType::Bit ? value.toInteger() : 0;
            const int base = conversion == u'o' ? 8 : conversion == u'x' || conversion == u'X' ? 16 : 10;
            text = conversion == u'd' || conversion == u'i' ? QString::number(number)
                                                            : QString::number(quint32(number), base);
            if (conversion == u'X')
                text = text.toUpper();
            if (flags.contains(u'+') && number >= 0 && base == 10)
                text.prepend(u'+');
        }
        if (text.size() < width)
            text = flags.contains(u'-') ? text.leftJustified(width) : text.rightJustified(width, flags.contains(u'0') && conversion != u's' ? u'0' : u' ');
        out += text;
    }
    out += QStringView(pattern).mid(at);
    return out;
}

} // namespace

void Execution::raiseError(const Statement& s)
{
    bindStatement(s);
    std::vector<SqlValue> values;
    for (const ProcedureArgument& argument : s.arguments)
        values.push_back(evaluate(*argument.value, nullptr));
    const auto integer = [](const SqlValue& value) {
        return value.isNull() ? 0 : convert(value, TypeInfo::integer(SqlType::BigInt)).toInteger();
    };
    const int severity = int(std::clamp<qint64>(integer(values[1]), 0, 25));
    const int state = int(std::clamp<qint64>(integer(values[2]), 0, 255));
    const bool logged = s.options.contains(QStringLiteral("log"), Qt::CaseInsensitive);
    if (severity > 18 && !logged)
        fail(error(2754, 16, QStringLiteral("Error severity levels greater than 18 can only be specified by members of "
                                            "the sysadmin role, using the WITH LOG option.")));
    Message message{50000, state, severity, {}, {}, m_line};
    if (values[0].type().isText()) {
        message.text = values[0].isNull() ? QString() : formatMessage(values[0].toText(), {values.begin() + 3, values.end()});
    } else {
        message.number = int(integer(values[0]));
        message.text = QStringLiteral("Error %1, severity %2, state %3 was raised, but no message with that error "
                                      "number was found in sysmessages.").arg(message.number).arg(severity).arg(state);
    }
    m_reply.items.push_back(message);
    // From severity 20 on the error is fatal to the batch.
    if (severity >= 20)
        throw BatchEnd{};
}

// --- what the functions ask ----------------------------------------------------------------------

DateTime Execution::now() const
{
    return DateTime::fromQDateTime(serverNow(m_state));
}

std::optional<QString> Execution::databaseName(int databaseId) const
{
    for (const Database& database : m_state.databases) {
        if (database.dbid == databaseId)
            return database.name;
    }
    return std::nullopt;
}

std::optional<int> Execution::databaseId(const QString& name) const
{
    const Database* database = m_catalog.database(name);
    return database ? std::optional<int>(database->dbid) : std::nullopt;
}

int Execution::currentDatabaseId() const
{
    const Process* process = findProcess(m_state, m_spid);
    return process ? process->dbid : 1;
}

std::optional<QString> Execution::objectName(int objectId) const
{
    const Database* database = m_catalog.database(currentDatabase());
    if (!database)
        return std::nullopt;
    for (const DatabaseObject& object : database->objects) {
        if (object.id == objectId)
            return object.name;
    }
    return std::nullopt;
}

std::optional<int> Execution::objectId(const QString& name) const
{
    // "[dbo].[#t]", "tempdb..#t", "Orders": the last part names the object.
    QStringList parts = name.split(u'.');
    for (QString& part : parts) {
        part = part.trimmed();
        if ((part.startsWith(u'[') && part.endsWith(u']')) || (part.startsWith(u'"') && part.endsWith(u'"')))
            part = part.mid(1, part.size() - 2);
    }
    const QString object = parts.last();
    if (object.startsWith(u"##")) {
        const auto it = m_session.globalTables->find(object.toLower());
        return it == m_session.globalTables->end() ? std::nullopt : std::optional<int>(it->second.table.objectId);
    }
    if (object.startsWith(u'#')) {
        const auto it = m_session.tempTables.find(object.toLower());
        return it == m_session.tempTables.end() ? std::nullopt : std::optional<int>(it->second.objectId);
    }
    const Database* database = m_catalog.database(parts.size() >= 3 && !parts[0].isEmpty() ? parts[0] : currentDatabase());
    if (!database)
        return std::nullopt;
    for (const DatabaseObject& o : database->objects) {
        if (o.name.compare(object, Qt::CaseInsensitive) == 0)
            return o.id;
    }
    return std::nullopt;
}

// --- the public face ----------------------------------------------------------------------------

Reply runBatch(ServerState& state, SessionState& session, int spid, const QString& batch, BatchHooks& hooks,
               const BatchVariables& variables)
{
    Reply reply;
    auto parsed = parseBatch(batch);
    if (const Message* syntax = std::get_if<Message>(&parsed)) {
        reply.items.push_back(*syntax);
        return reply;
    }
    Execution execution(state, session, spid, reply, hooks, 0);
    try {
        execution.declareParameters(variables);
        execution.runBatch(std::get<Batch>(parsed), batch);
    } catch (const BatchEnd&) {
        // The reply holds the message that ended it.
    } catch (const std::bad_alloc&) {
        // What the batch built is gone with the stack; the session and its link stay.
        reply.items.push_back(outOfMemory());
    }
    return reply;
}

Reply runBatch(ServerState& state, SessionState& session, int spid, const QString& batch)
{
    BatchHooks hooks;
    return runBatch(state, session, spid, batch, hooks);
}

} // namespace sqlsim::tsql
