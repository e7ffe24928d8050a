#include "CoreStatements.h"
#include "ProcessErrors.h"
#include "ProcessSelect.h"
#include "ProcessTable.h"
#include "Statement.h"
#include "SystemTables.h"

#include <QDataStream>
#include <QHash>
#include <QIODevice>
#include <algorithm>

namespace sqlsim {

namespace {

const Column& schemaColumn(ServerVersion version, const ColumnRef& ref)
{
    return ref.table == SystemTable::Processes ? sysprocessesColumns(version)[ref.index].column
                                               : syslocksColumns()[ref.index].column;
}

int columnIndex(ServerVersion version, SystemTable table, const QString& name)
{
    const auto find = [&name](const auto& columns) {
        const auto it = std::find_if(columns.begin(), columns.end(), [&name](const auto& c) {
            return c.column.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        return it == columns.end() ? -1 : int(it - columns.begin());
    };
    return table == SystemTable::Processes ? find(sysprocessesColumns(version)) : find(syslocksColumns());
}

bool containsAggregate(const Expr& e)
{
    return e.isAggregate() || (e.argument && containsAggregate(*e.argument));
}

// A select with GROUP BY or an aggregate yields one row a group, not one a joined row.
bool isGrouped(const ProcessSelect& select)
{
    return !select.groupBy.empty()
        || std::any_of(select.items.begin(), select.items.end(),
                       [](const SelectItem& item) { return containsAggregate(*item.expr); });
}

// Name resolution and the checks the server makes before it runs the select: every column
// must exist (207), prefixes must name a table (107), unqualified names must be unique (209),
// no aggregate may filter rows (147), and a grouped select may show only grouped columns (8120).
class Binder {
public:
    Binder(ProcessSelect& select, ServerVersion version) : m_select(select), m_version(version) {}

    std::vector<Message> bind()
    {
        expandStars();
        for (SelectItem& item : m_select.items)
            resolve(*item.expr);
        if (m_select.on)
            resolve(*m_select.on);
        if (m_select.where)
            resolve(*m_select.where);
        for (auto& e : m_select.groupBy)
            resolve(*e);
        if (m_errors.empty())
            checkGrouping();
        return std::move(m_errors);
    }

private:
    void expandStars()
    {
        std::vector<SelectItem> items;
        for (SelectItem& item : m_select.items) {
            if (item.expr) {
                items.push_back(std::move(item));
                continue;
            }
            for (const SystemTable table : {SystemTable::Processes, SystemTable::Locks}) {
                const TableRef* ref = tableRef(table);
                if (!ref || (!item.starPrefix.isEmpty() && !names(*ref, item.starPrefix)))
                    continue;
                const int count = table == SystemTable::Processes ? int(sysprocessesColumns(m_version).size())
                                                                  : int(syslocksColumns().size());
                for (int i = 0; i < count; ++i) {
                    SelectItem column;
                    column.expr = std::make_unique<Expr>();
                    column.expr->kind = Expr::Kind::Column;
                    column.expr->column = ColumnRef{ref->exposedName(), {}, table, i};
                    column.expr->column.name = schemaColumn(m_version, column.expr->column).name;
                    items.push_back(std::move(column));
                }
            }
            const bool matched = item.starPrefix.isEmpty() || names(m_select.processes, item.starPrefix)
                || (m_select.locks && names(*m_select.locks, item.starPrefix));
            if (!matched)
                m_errors.push_back(unknownPrefix(item.starPrefix));
        }
        m_select.items = std::move(items);
    }

    const TableRef* tableRef(SystemTable table) const
    {
        if (table == SystemTable::Processes)
            return &m_select.processes;
        return m_select.locks ? &*m_select.locks : nullptr;
    }

    static bool names(const TableRef& ref, const QString& prefix)
    {
        return ref.exposedName().compare(prefix, Qt::CaseInsensitive) == 0;
    }

    void resolve(Expr& e)
    {
        if (e.kind == Expr::Kind::Column && e.column.index < 0)
            resolve(e.column);
        if (e.argument)
            resolve(*e.argument);
    }

    void resolve(Condition& c)
    {
        for (Condition* part : {c.left.get(), c.right.get()}) {
            if (part)
                resolve(*part);
        }
        for (Expr* operand : {c.a.get(), c.b.get()}) {
            if (!operand)
                continue;
            resolve(*operand);
            if (containsAggregate(*operand))
                m_errors.push_back(aggregateInFilter());
        }
    }

    void resolve(ColumnRef& ref)
    {
        std::vector<SystemTable> candidates;
        for (const SystemTable table : {SystemTable::Processes, SystemTable::Locks}) {
            const TableRef* t = tableRef(table);
            if (t && (ref.prefix.isEmpty() || names(*t, ref.prefix)))
                candidates.push_back(table);
        }
        if (candidates.empty()) {
            m_errors.push_back(unknownPrefix(ref.prefix));
            return;
        }
        int found = 0;
        for (const SystemTable table : candidates) {
            const int index = columnIndex(m_version, table, ref.name);
            if (index < 0)
                continue;
            ref.table = table;
            ref.index = index;
            ++found;
        }
        if (found == 0)
            m_errors.push_back(invalidColumn(ref.name));
        else if (found > 1)
            m_errors.push_back(ambiguousColumn(ref.name));
    }

    void checkGrouping()
    {
        if (!isGrouped(m_select))
            return;
        for (const SelectItem& item : m_select.items)
            checkGrouped(*item.expr);
    }

    void checkGrouped(const Expr& e)
    {
        if (e.isAggregate())
            return;
        if (e.kind == Expr::Kind::Column && !isGroupedBy(e.column))
            m_errors.push_back(notInGroupBy(e.column.written()));
        if (e.argument)
            checkGrouped(*e.argument);
    }

    bool isGroupedBy(const ColumnRef& ref) const
    {
        return std::any_of(m_select.groupBy.begin(), m_select.groupBy.end(), [&ref](const auto& g) {
            return g->kind == Expr::Kind::Column && g->column.table == ref.table
                && g->column.index == ref.index;
        });
    }

    ProcessSelect& m_select;
    ServerVersion m_version;
    std::vector<Message> m_errors;
};

struct JoinRow {
    const Process* process = nullptr;
    const Lock* lock = nullptr;   // null: the left join found no lock for the process
};

bool isNumber(const Value& v)
{
    return v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double;
}

// Compares as the server does under its default collation: text ignoring case and trailing
// blanks, numbers by value (text converted to a number against a number). No order with null.
std::optional<int> compareValues(const Value& a, const Value& b)
{
    if (!a.isValid() || !b.isValid())
        return std::nullopt;
    if (isNumber(a) || isNumber(b)) {
        bool okA = false;
        bool okB = false;
        const double x = a.toDouble(&okA);
        const double y = b.toDouble(&okB);
        if (!okA || !okB)
            return std::nullopt;
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString) {
        const auto trimmed = [](const Value& v) {
            QString s = v.toString();
            while (s.endsWith(u' '))
                s.chop(1);
            return s;
        };
        return trimmed(a).compare(trimmed(b), Qt::CaseInsensitive);
    }
    if (a.typeId() == QMetaType::QDateTime && b.typeId() == QMetaType::QDateTime)
        return a.toDateTime() < b.toDateTime() ? -1 : (b.toDateTime() < a.toDateTime() ? 1 : 0);
    const QByteArray x = a.toByteArray();
    const QByteArray y = b.toByteArray();
    return x < y ? -1 : (y < x ? 1 : 0);
}

bool holds(const QString& op, int order)
{
    if (op == u"=")
        return order == 0;
    if (op == u"<>" || op == u"!=")
        return order != 0;
    if (op == u"<")
        return order < 0;
    if (op == u">")
        return order > 0;
    if (op == u"<=" || op == u"!>")
        return order <= 0;
    return order >= 0;   // >= and !<
}

class Evaluator {
public:
    Evaluator(const ProcessSelect& select, const ServerState& state, int spid)
        : m_select(select), m_state(state), m_spid(spid) {}

    ResultSet run() const
    {
        ResultSet result;
        for (const SelectItem& item : m_select.items)
            result.columns.push_back(outputColumn(*item.expr, item.alias));
        for (const std::vector<JoinRow>& group : groups()) {
            std::vector<Value> row;
            row.reserve(m_select.items.size());
            for (const SelectItem& item : m_select.items)
                row.push_back(groupValue(*item.expr, group));
            result.rows.push_back(std::move(row));
        }
        return result;
    }

private:
    // The join in spid order, filtered by the where clause.
    std::vector<JoinRow> joinedRows() const
    {
        std::vector<const Process*> processes;
        for (const Process& p : m_state.processes)
            processes.push_back(&p);
        std::stable_sort(processes.begin(), processes.end(),
                         [](const Process* a, const Process* b) { return a->spid < b->spid; });
        std::vector<JoinRow> rows;
        for (const Process* p : processes) {
            const size_t before = rows.size();
            if (m_select.locks) {
                for (const Lock& lock : m_state.locks) {
                    if (test(*m_select.on, JoinRow{p, &lock}).value_or(false))
                        rows.push_back(JoinRow{p, &lock});
                }
            }
            if (!m_select.locks || (m_select.leftJoin && rows.size() == before))
                rows.push_back(JoinRow{p, nullptr});
        }
        if (m_select.where) {
            std::erase_if(rows, [this](const JoinRow& row) {
                return !test(*m_select.where, row).value_or(false);
            });
        }
        return rows;
    }

    std::vector<std::vector<JoinRow>> groups() const
    {
        std::vector<JoinRow> rows = joinedRows();
        std::vector<std::vector<JoinRow>> groups;
        if (!isGrouped(m_select)) {
            for (const JoinRow& row : rows)
                groups.push_back({row});
            return groups;
        }
        if (m_select.groupBy.empty()) {
            // An aggregate without GROUP BY makes one group, even of no rows.
            groups.push_back(std::move(rows));
            return groups;
        }
        QHash<QByteArray, size_t> groupOfKey;
        for (const JoinRow& row : rows) {
            QByteArray key;
            QDataStream out(&key, QIODevice::WriteOnly);
            for (const auto& e : m_select.groupBy)
                out << rowValue(*e, row);
            auto it = groupOfKey.find(key);
            if (it == groupOfKey.end()) {
                it = groupOfKey.insert(key, groups.size());
                groups.emplace_back();
            }
            groups[*it].push_back(row);
        }
        return groups;
    }

    Column outputColumn(const Expr& e, const QString& alias) const
    {
        Column column;
        switch (e.kind) {
        case Expr::Kind::Column:
            column = schemaColumn(m_state.options.version, e.column);
            column.name = e.column.name;
            column.nullable = e.column.table == SystemTable::Locks && m_select.leftJoin;
            break;
        case Expr::Kind::Literal:
            column = e.literalType;
            break;
        case Expr::Kind::CountRows:
        case Expr::Kind::Count:
            column = Column{{}, SqlType::Int, 0, 0, 0, true};
            break;
        case Expr::Kind::DbName:
            column = Column{{}, SqlType::NVarChar, 128, 0, 0, true};
            break;
        }
        if (!alias.isEmpty())
            column.name = alias;
        else if (e.kind != Expr::Kind::Column)
            column.name.clear();
        column.nullable = column.nullable || e.subquery;
        return column;
    }

    Value columnValue(const ColumnRef& ref, const JoinRow& row) const
    {
        const ServerVersion version = m_state.options.version;
        if (ref.table == SystemTable::Processes) {
            const auto& column = sysprocessesColumns(version)[ref.index];
            return storedValue(column.column, column.read(*row.process));
        }
        if (!row.lock)
            return {};
        const auto& column = syslocksColumns()[ref.index];
        return storedValue(column.column, column.read(*row.lock));
    }

    // A value of one joined row; aggregates are not allowed here (the binder saw to that).
    Value rowValue(const Expr& e, const JoinRow& row) const
    {
        switch (e.kind) {
        case Expr::Kind::Column:
            return columnValue(e.column, row);
        case Expr::Kind::DbName:
            return databaseName(e.argument ? rowValue(*e.argument, row) : Value());
        case Expr::Kind::Literal:
        case Expr::Kind::CountRows:
        case Expr::Kind::Count:
            break;
        }
        return e.value;
    }

    Value groupValue(const Expr& e, const std::vector<JoinRow>& group) const
    {
        switch (e.kind) {
        case Expr::Kind::CountRows:
            return qint64(group.size());
        case Expr::Kind::Count:
            return qint64(std::count_if(group.begin(), group.end(), [&](const JoinRow& row) {
                return rowValue(*e.argument, row).isValid();
            }));
        case Expr::Kind::DbName:
            return databaseName(e.argument ? groupValue(*e.argument, group) : Value());
        case Expr::Kind::Column:
            return group.empty() ? Value() : columnValue(e.column, group.front());
        case Expr::Kind::Literal:
            break;
        }
        return e.value;
    }

    // DB_Name(dbid); DB_Name() names the session's current database.
    Value databaseName(const Value& dbid) const
    {
        qint64 wanted = dbid.toLongLong();
        if (!dbid.isValid()) {
            const Process* self = findProcess(m_state, m_spid);
            if (!self)
                return {};
            if (!self->database.isEmpty())
                return self->database;
            wanted = self->dbid;
        }
        for (const Database& database : m_state.databases) {
            if (database.dbid == wanted)
                return database.name;
        }
        return {};
    }

    std::optional<bool> test(const Condition& c, const JoinRow& row) const
    {
        switch (c.kind) {
        case Condition::Kind::And: {
            const auto a = test(*c.left, row);
            const auto b = test(*c.right, row);
            if (a == false || b == false)
                return false;
            return a && b ? std::optional<bool>(true) : std::nullopt;
        }
        case Condition::Kind::Or: {
            const auto a = test(*c.left, row);
            const auto b = test(*c.right, row);
            if (a == true || b == true)
                return true;
            return a && b ? std::optional<bool>(false) : std::nullopt;
        }
        case Condition::Kind::Not: {
            const auto a = test(*c.left, row);
            return a ? std::optional<bool>(!*a) : std::nullopt;
        }
        case Condition::Kind::IsNull:
            return !rowValue(*c.a, row).isValid();
        case Condition::Kind::IsNotNull:
            return rowValue(*c.a, row).isValid();
        case Condition::Kind::Compare:
            break;
        }
        const auto order = compareValues(rowValue(*c.a, row), rowValue(*c.b, row));
        return order ? std::optional<bool>(holds(c.op, *order)) : std::nullopt;
    }

    const ProcessSelect& m_select;
    const ServerState& m_state;
    int m_spid;
};

} // namespace

bool answerProcessSelect(const StatementTokens& statement, StatementContext& context)
{
    if (!isProcessSelect(statement.tokens))
        return false;
    ProcessSelect select;
    try {
        select = parseProcessSelect(statement.tokens, context.spid);
    } catch (const SyntaxError& error) {
        context.reply.items.push_back(syntaxError(error.near));
        return true;
    }
    const std::vector<Message> errors = Binder(select, context.state.options.version).bind();
    if (!errors.empty()) {
        context.reply.items.insert(context.reply.items.end(), errors.begin(), errors.end());
        return true;
    }
    // The first reading shows the population as it was made; every later one finds it moved on.
    if (context.state.refreshCount++ > 0)
        evolve(context.state);
    context.reply.items.push_back(Evaluator(select, context.state, context.spid).run());
    return true;
}

} // namespace sqlsim
