#include "Execution.h"

#include "ProcessErrors.h"
#include "SqlError.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <functional>
#include <unordered_map>

namespace sqlsim::tsql {

namespace {

bool containsAggregate(const Expr& e)
{
    if (e.kind == Expr::Kind::Aggregate)
        return true;
    return std::any_of(e.args.begin(), e.args.end(), [](const ExprPtr& a) { return containsAggregate(*a); });
}

QString written(const Expr& column)
{
    return column.prefix.isEmpty() ? column.text : column.prefix + u'.' + column.text;
}

bool isGlobalVariable(const QString& name)
{
    static const char* const names[] = {"@@version", "@@spid", "@@servername", "@@fetch_status", "@@rowcount",
                                        "@@error", "@@trancount", "@@language", "@@langid", "@@max_precision"};
    return std::any_of(std::begin(names), std::end(names),
                       [&name](const char* n) { return name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0; });
}

// The part of a grouping key one value gives: equal under the server's comparison (case and
// trailing blanks aside), different otherwise.
void appendKey(QByteArray& key, const SqlValue& value)
{
    if (value.isNull()) {
        key.append('N');
        return;
    }
    const TypeInfo& type = value.type();
    if (type.isText()) {
        QStringView view(value.toText());
        qsizetype length = view.size();
        while (length > 0 && view[length - 1] == u' ')
            --length;
        const QString text = view.left(length).toString().toCaseFolded();
        key.append('T').append(QByteArray::number(text.size())).append(':');
        key.append(reinterpret_cast<const char*>(text.constData()), text.size() * 2);
        return;
    }
    if (type.isBinary()) {
        key.append('B').append(QByteArray::number(value.toBinary().size())).append(':').append(value.toBinary());
        return;
    }
    switch (type.type) {
    case SqlType::Float:
        key.append('F').append(QByteArray::number(value.toFloat(), 'g', 17)).append(';');
        break;
    case SqlType::Decimal:
        key.append('D').append(value.toDecimal().toString().toLatin1()).append(';');
        break;
    case SqlType::DateTime:
        key.append('W').append(QByteArray::number(value.toDateTime().days)).append(',')
            .append(QByteArray::number(value.toDateTime().ticks)).append(';');
        break;
    default:
        key.append('I').append(QByteArray::number(value.toInteger())).append(';');
        break;
    }
}

// Joined rows one query may hold: past this the server answers 701 rather than run out of memory.
constexpr size_t kMaxJoinedRows = 2'000'000;

// ON a = b between integer columns of the new source and one before it: the rows of the new
// source are found through an index instead of a pass over all of them.
struct EquiJoin {
    int newColumn = -1;
    int earlierSource = -1;
    int earlierColumn = -1;
};

std::optional<EquiJoin> equiJoin(const Expr* on, const BoundQuery& bound, int source)
{
    if (!on || on->kind != Expr::Kind::Compare || on->text != u"=")
        return std::nullopt;
    const Expr& a = *on->args[0];
    const Expr& b = *on->args[1];
    if (a.kind != Expr::Kind::Column || b.kind != Expr::Kind::Column || a.binding.depth != 0 || b.binding.depth != 0)
        return std::nullopt;
    const Expr& mine = a.binding.source == source ? a : b;
    const Expr& other = &mine == &a ? b : a;
    if (mine.binding.source != source || other.binding.source >= source)
        return std::nullopt;
    const auto type = [&bound](const Expr& e) {
        return bound.sources[size_t(e.binding.source)].table->columns[size_t(e.binding.column)].type;
    };
    if (!type(mine).isInteger() || !type(other).isInteger())
        return std::nullopt;
    return EquiJoin{mine.binding.column, other.binding.source, other.binding.column};
}

} // namespace

// --- binding ----------------------------------------------------------------------------------

void Execution::bindStatement(const Statement& s)
{
    std::vector<const BoundQuery*> chain;
    std::vector<Message> errors;
    if (s.query)
        bindQuery(*s.query, chain, errors);
    if (s.expr)
        bind(*s.expr, chain, errors);
    for (const auto& row : s.rows) {
        for (const ExprPtr& e : row)
            bind(*e, chain, errors);
    }
    for (const ProcedureArgument& argument : s.arguments)
        bind(*argument.value, chain, errors);
    throwErrors(errors);
}

void Execution::bind(const Expr& e, std::vector<const BoundQuery*>& chain, std::vector<Message>& errors)
{
    switch (e.kind) {
    case Expr::Kind::Column: {
        for (size_t depth = 0; depth < chain.size(); ++depth) {
            const BoundQuery& query = *chain[chain.size() - 1 - depth];
            int found = 0;
            bool prefixKnown = false;
            for (size_t s = 0; s < query.sources.size(); ++s) {
                const Source& source = query.sources[s];
                if (!e.prefix.isEmpty()) {
                    if (source.exposed.compare(e.prefix, Qt::CaseInsensitive) != 0)
                        continue;
                    prefixKnown = true;
                }
                const int column = source.table->columnIndex(e.text);
                if (column < 0)
                    continue;
                e.binding = ColumnBinding{int(depth), int(s), column};
                ++found;
            }
            if (found > 1) {
                errors.push_back(ambiguousColumn(e.text));
                return;
            }
            if (found == 1)
                return;
            if (prefixKnown) {
                errors.push_back(invalidColumn(e.text));
                return;
            }
        }
        errors.push_back(e.prefix.isEmpty() || chain.empty() ? invalidColumn(e.text) : unknownPrefix(e.prefix));
        return;
    }
    case Expr::Kind::Variable:
        if (!m_variables.count(e.text.toLower()))
            errors.push_back(SqlError(msg::MustDeclareVariable, {e.text}).message());
        return;
    case Expr::Kind::GlobalVariable:
        if (!isGlobalVariable(e.text))
            errors.push_back(SqlError(msg::MustDeclareVariable, {e.text}).message());
        return;
    case Expr::Kind::Aggregate:
        if (m_inFilter)
            errors.push_back(aggregateInFilter());
        break;
    case Expr::Kind::Function:
        if (e.text != u"convert" && e.text != u"cast" && !isScalarFunction(e.text))
            errors.push_back(SqlError(msg::UnknownFunction, {e.prefix}).message());
        break;
    default:
        break;
    }
    for (const ExprPtr& arg : e.args)
        bind(*arg, chain, errors);
    if (e.query) {
        const bool inFilter = m_inFilter;
        m_inFilter = false;
        bindQuery(*e.query, chain, errors);
        m_inFilter = inFilter;
    }
}

void Execution::waitForSlowFigures(const ObjectName& name, const Table& table)
{
    if (table.name.compare(u"sysindexes", Qt::CaseInsensitive) != 0 || !m_hooks.pause)
        return;
    const Database* database = m_catalog.database(name.database.isEmpty() ? currentDatabase() : name.database);
    if (!database || database->sysindexesReadMs <= 0)
        return;
    if (m_hooks.pause(database->sysindexesReadMs)) {
        m_reply.cancelled = true;
        throw BatchEnd{};
    }
}

void Execution::bindQuery(const SelectQuery& query, std::vector<const BoundQuery*>& chain,
                          std::vector<Message>& errors)
{
    BoundQuery& bound = m_bound[&query];
    bound = BoundQuery{};
    bool leftJoined = false;
    for (const TableSource& from : query.from) {
        const Table* table = m_catalog.find(from.name, currentDatabase());
        if (!table) {
            errors.push_back(SqlError(msg::InvalidObject, {from.name.object}).message());
            continue;
        }
        waitForSlowFigures(from.name, *table);
        leftJoined = leftJoined || from.join == TableSource::Join::Left;
        bound.sources.push_back(Source{from.exposedName(), table, from.join == TableSource::Join::Left});
    }
    if (!errors.empty())
        return;
    chain.push_back(&bound);
    for (const SelectItem& item : query.items) {
        if (item.expr) {
            bind(*item.expr, chain, errors);
            const QString name = !item.alias.isEmpty() ? item.alias
                : item.expr->kind == Expr::Kind::Column ? item.expr->text : QString();
            bound.items.push_back({item.expr.get(), name, item.variable});
            continue;
        }
        bool matched = false;
        for (size_t s = 0; s < bound.sources.size(); ++s) {
            const Source& source = bound.sources[s];
            if (!item.starPrefix.isEmpty() && source.exposed.compare(item.starPrefix, Qt::CaseInsensitive) != 0)
                continue;
            matched = true;
            for (size_t c = 0; c < source.table->columns.size(); ++c) {
                auto column = std::make_unique<Expr>();
                column->kind = Expr::Kind::Column;
                column->text = source.table->columns[c].name;
                column->binding = ColumnBinding{0, int(s), int(c)};
                bound.items.push_back({column.get(), column->text, {}});
                bound.expanded.push_back(std::move(column));
            }
        }
        if (!matched)
            errors.push_back(item.starPrefix.isEmpty() ? SqlError(263, {}).message() : unknownPrefix(item.starPrefix));
    }
    m_inFilter = true;
    for (const TableSource& from : query.from) {
        if (from.on)
            bind(*from.on, chain, errors);
    }
    if (query.where)
        bind(*query.where, chain, errors);
    m_inFilter = false;
    for (const ExprPtr& e : query.groupBy)
        bind(*e, chain, errors);
    if (query.having)
        bind(*query.having, chain, errors);
    for (const OrderItem& order : query.orderBy) {
        int item = -1;
        if (order.expr->kind == Expr::Kind::Column && order.expr->prefix.isEmpty()) {
            for (size_t i = 0; i < bound.items.size(); ++i) {
                if (query.items.size() == bound.items.size() && !query.items[i].alias.isEmpty()
                    && query.items[i].alias.compare(order.expr->text, Qt::CaseInsensitive) == 0)
                    item = int(i);
            }
        }
        bound.orderItems.push_back(item);
        if (item < 0)
            bind(*order.expr, chain, errors);
    }
    chain.pop_back();
    bound.grouped = !query.groupBy.empty() || query.having
        || std::any_of(bound.items.begin(), bound.items.end(), [](const auto& item) { return containsAggregate(*item.expr); });
    if (!bound.grouped || !errors.empty())
        return;
    // A grouped query shows only what it groups by, or aggregates.
    const auto groupedBy = [&query](const Expr& column) {
        return std::any_of(query.groupBy.begin(), query.groupBy.end(), [&column](const ExprPtr& g) {
            return g->kind == Expr::Kind::Column && g->binding.depth == 0 && g->binding.source == column.binding.source
                && g->binding.column == column.binding.column;
        });
    };
    const std::function<void(const Expr&)> check = [&](const Expr& e) {
        if (e.kind == Expr::Kind::Aggregate || e.query)
            return;
        if (e.kind == Expr::Kind::Column && e.binding.depth == 0 && !groupedBy(e))
            errors.push_back(notInGroupBy(written(e)));
        for (const ExprPtr& arg : e.args)
            check(*arg);
    };
    for (const auto& item : bound.items)
        check(*item.expr);
}

// --- queries ----------------------------------------------------------------------------------

std::vector<const Row*> Execution::join(const BoundQuery& bound, const SelectQuery& query, const Scope* outer,
                                        size_t& count)
{
    const size_t n = bound.sources.size();
    std::vector<const Row*> joined;
    if (n == 0) {
        count = 1;
        if (query.where) {
            Scope scope{&bound, nullptr, nullptr, 0, outer};
            count = test(*query.where, &scope) == Truth::True ? 1 : 0;
        }
        return joined;
    }
    for (const Row& row : bound.sources[0].table->rows)
        joined.push_back(&row);
    std::vector<const Row*> buffer(n, nullptr);
    Scope scope{&bound, buffer.data(), nullptr, 0, outer};
    for (size_t k = 1; k < n; ++k) {
        const TableSource& from = query.from[k];
        const Table& table = *bound.sources[k].table;
        const std::optional<EquiJoin> equi = equiJoin(from.on.get(), bound, int(k));
        std::unordered_multimap<qint64, const Row*> index;
        if (equi) {
            for (const Row& row : table.rows) {
                if (!row[size_t(equi->newColumn)].isNull())
                    index.emplace(row[size_t(equi->newColumn)].toInteger(), &row);
            }
        }
        std::vector<const Row*> next;
        const size_t partials = joined.size() / k;
        for (size_t p = 0; p < partials; ++p) {
            std::copy_n(joined.begin() + qsizetype(p * k), k, buffer.begin());
            bool matched = false;
            const auto consider = [&](const Row* candidate) {
                checkpoint();
                buffer[k] = candidate;
                if (next.size() > kMaxJoinedRows * (k + 1))
                    throw SqlError(outOfMemory());
                if (!from.on || test(*from.on, &scope) == Truth::True) {
                    next.insert(next.end(), buffer.begin(), buffer.begin() + qsizetype(k + 1));
                    matched = true;
                }
            };
            if (equi) {
                const Row* earlier = buffer[size_t(equi->earlierSource)];
                const SqlValue& key = (*earlier)[size_t(equi->earlierColumn)];
                if (!key.isNull()) {
                    auto [first, last] = index.equal_range(key.toInteger());
                    // The multimap gives equal keys in no set order: keep the table's order.
                    std::vector<const Row*> candidates;
                    for (auto it = first; it != last; ++it)
                        candidates.push_back(it->second);
                    std::sort(candidates.begin(), candidates.end());
                    for (const Row* candidate : candidates)
                        consider(candidate);
                }
            } else {
                for (const Row& row : table.rows)
                    consider(&row);
            }
            if (!matched && from.join == TableSource::Join::Left) {
                buffer[k] = nullptr;
                next.insert(next.end(), buffer.begin(), buffer.begin() + qsizetype(k + 1));
            }
        }
        joined = std::move(next);
    }
    if (query.where) {
        std::vector<const Row*> kept;
        for (size_t r = 0; r < joined.size(); r += n) {
            checkpoint();
            Scope row{&bound, joined.data() + r, nullptr, 0, outer};
            if (test(*query.where, &row) == Truth::True)
                kept.insert(kept.end(), joined.begin() + qsizetype(r), joined.begin() + qsizetype(r + n));
        }
        joined = std::move(kept);
    }
    count = joined.size() / n;
    return joined;
}

QueryOutput Execution::runQuery(const SelectQuery& query, const Scope* outer)
{
    checkpoint();
    const BoundQuery& bound = m_bound.at(&query);
    const size_t n = bound.sources.size();
    size_t count = 0;
    const std::vector<const Row*> joined = join(bound, query, outer, count);
    const std::vector<const Row*> noRows(n, nullptr);

    QueryOutput output;
    {
        const Scope typing{&bound, noRows.data(), noRows.data(), 0, outer};
        for (const auto& item : bound.items)
            output.columns.push_back(TableColumn{item.name, typeOf(*item.expr, &typing), nullable(*item.expr, bound)});
    }

    struct Produced {
        Row values;
        std::vector<SqlValue> keys;
    };
    std::vector<Produced> produced;
    const auto produce = [&](const Scope& scope) {
        if (query.having && test(*query.having, &scope) != Truth::True)
            return;
        Produced row;
        row.values.reserve(bound.items.size());
        for (const auto& item : bound.items)
            row.values.push_back(evaluate(*item.expr, &scope));
        for (size_t o = 0; o < query.orderBy.size(); ++o) {
            const int item = bound.orderItems[o];
            row.keys.push_back(item >= 0 ? row.values[size_t(item)] : evaluate(*query.orderBy[o].expr, &scope));
        }
        produced.push_back(std::move(row));
    };

    if (!bound.grouped) {
        for (size_t r = 0; r < count; ++r)
            produce(Scope{&bound, n ? joined.data() + r * n : noRows.data(), nullptr, 0, outer});
    } else if (query.groupBy.empty()) {
        // Aggregates without GROUP BY make one group, even of no rows.
        produce(Scope{&bound, count ? joined.data() : noRows.data(), joined.data(), count, outer});
    } else {
        QHash<QByteArray, size_t> groupOfKey;
        std::vector<std::vector<const Row*>> groups;
        for (size_t r = 0; r < count; ++r) {
            const Scope scope{&bound, joined.data() + r * n, nullptr, 0, outer};
            QByteArray key;
            for (const ExprPtr& e : query.groupBy)
                appendKey(key, evaluate(*e, &scope));
            auto it = groupOfKey.find(key);
            if (it == groupOfKey.end()) {
                it = groupOfKey.insert(key, groups.size());
                groups.emplace_back();
            }
            groups[*it].insert(groups[*it].end(), joined.begin() + qsizetype(r * n), joined.begin() + qsizetype((r + 1) * n));
        }
        for (const std::vector<const Row*>& group : groups)
            produce(Scope{&bound, group.data(), group.data(), group.size() / n, outer});
    }

    if (query.distinct) {
        QSet<QByteArray> seen;
        std::erase_if(produced, [&seen](const Produced& row) {
            QByteArray key;
            for (const SqlValue& value : row.values)
                appendKey(key, value);
            if (seen.contains(key))
                return true;
            seen.insert(key);
            return false;
        });
    }
    if (!query.orderBy.empty()) {
        const DateFormat format = m_session.dateFormat;
        std::stable_sort(produced.begin(), produced.end(), [&](const Produced& a, const Produced& b) {
            for (size_t o = 0; o < query.orderBy.size(); ++o) {
                const int order = compareForOrder(a.keys[o], b.keys[o], format);
                if (order != 0)
                    return query.orderBy[o].descending ? order > 0 : order < 0;
            }
            return false;
        });
    }
    if (query.top && produced.size() > size_t(std::max<qint64>(0, *query.top)))
        produced.resize(size_t(std::max<qint64>(0, *query.top)));
    output.rows.reserve(produced.size());
    for (Produced& row : produced)
        output.rows.push_back(std::move(row.values));
    return output;
}

// --- UPDATE and DELETE --------------------------------------------------------------------------

void Execution::update(const Statement& s)
{
    Table& table = writableTable(s.table);
    BoundQuery target;
    target.sources = {Source{s.table.object, &table, false}};
    std::vector<const BoundQuery*> chain{&target};
    std::vector<Message> errors;
    std::vector<int> columns;
    for (const auto& [name, e] : s.assignments) {
        columns.push_back(table.columnIndex(name));
        if (columns.back() < 0)
            errors.push_back(invalidColumn(name));
        bind(*e, chain, errors);
    }
    if (s.expr)
        bind(*s.expr, chain, errors);
    throwErrors(errors);
    // Every new value is computed from the rows as they were before any changes.
    std::vector<std::pair<size_t, Row>> changes;
    for (size_t r = 0; r < table.rows.size(); ++r) {
        checkpoint();
        const Row* row = &table.rows[r];
        const Scope scope{&target, &row, nullptr, 0, nullptr};
        if (s.expr && test(*s.expr, &scope) != Truth::True)
            continue;
        Row values;
        for (const auto& assignment : s.assignments)
            values.push_back(evaluate(*assignment.second, &scope));
        changes.emplace_back(r, std::move(values));
    }
    qint64 grown = 0;
    for (auto& [r, values] : changes) {
        Row changed = table.rows[r];
        for (size_t a = 0; a < columns.size(); ++a) {
            const TableColumn& column = table.columns[size_t(columns[a])];
            changed[size_t(columns[a])] = fitted(table, column, values[a]);
        }
        grown += rowBytes(changed) - rowBytes(table.rows[r]);
        values = std::move(changed);
    }
    if (grown > 0)
        charge(grown, table.global);
    else
        release(-grown, table.global);
    table.bytes += grown;
    for (auto& [r, values] : changes)
        table.rows[r] = std::move(values);
    rowCount(qint64(changes.size()));
}

void Execution::remove(const Statement& s)
{
    Table& table = writableTable(s.table);
    BoundQuery target;
    target.sources = {Source{s.table.object, &table, false}};
    std::vector<const BoundQuery*> chain{&target};
    std::vector<Message> errors;
    if (s.expr)
        bind(*s.expr, chain, errors);
    throwErrors(errors);
    std::vector<bool> gone(table.rows.size(), false);
    for (size_t r = 0; r < table.rows.size(); ++r) {
        checkpoint();
        const Row* row = &table.rows[r];
        const Scope scope{&target, &row, nullptr, 0, nullptr};
        gone[r] = !s.expr || test(*s.expr, &scope) == Truth::True;
    }
    size_t kept = 0;
    qint64 freed = 0;
    for (size_t r = 0; r < table.rows.size(); ++r) {
        if (gone[r])
            freed += rowBytes(table.rows[r]);
        else
            table.rows[kept++] = std::move(table.rows[r]);
    }
    release(freed, table.global);
    table.bytes -= freed;
    const qint64 removed = qint64(table.rows.size() - kept);
    table.rows.resize(kept);
    rowCount(removed);
}

} // namespace sqlsim::tsql
