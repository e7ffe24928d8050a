#include "Execution.h"

#include "SqlError.h"
#include "state/ProcessTable.h"

namespace sqlsim::tsql {

namespace {

ArithmeticOp arithmeticOp(QChar op)
{
    switch (op.unicode()) {
    case '+':
        return ArithmeticOp::Add;
    case '-':
        return ArithmeticOp::Subtract;
    case '*':
        return ArithmeticOp::Multiply;
    case '/':
        return ArithmeticOp::Divide;
    default:
        return ArithmeticOp::Modulo;
    }
}

// & | ^ over integers, in the wider operand's type.
SqlValue bitwise(QChar op, const SqlValue& left, const SqlValue& right)
{
    const TypeInfo type = commonType(left.type(), right.type());
    if (!(left.type().isInteger() || left.type().type == SqlType::Bit)
        || !(right.type().isInteger() || right.type().type == SqlType::Bit))
        throw SqlError(msg::OperandType, {left.type().name(), QString(op)});
    if (left.isNull() || right.isNull())
        return SqlValue::null(type);
    const qint64 a = left.toInteger();
    const qint64 b = right.toInteger();
    const qint64 result = op == u'&' ? (a & b) : op == u'|' ? (a | b) : (a ^ b);
    return type.type == SqlType::Bit ? SqlValue::bit(result != 0) : SqlValue::integer(result, type.type);
}

CompareOp compareOf(const QString& op)
{
    if (op == u"=")
        return CompareOp::Equal;
    if (op == u"<>" || op == u"!=")
        return CompareOp::NotEqual;
    if (op == u"<")
        return CompareOp::Less;
    if (op == u">")
        return CompareOp::Greater;
    if (op == u"<=" || op == u"!>")
        return CompareOp::LessOrEqual;
    return CompareOp::GreaterOrEqual;   // >= and !<
}

AggregateKind aggregateKind(const Expr& e)
{
    if (e.text == u"count")
        return e.args.empty() ? AggregateKind::CountRows : AggregateKind::Count;
    if (e.text == u"min")
        return AggregateKind::Min;
    if (e.text == u"max")
        return AggregateKind::Max;
    return AggregateKind::Sum;   // sum, and the sum that avg divides
}

} // namespace

SqlValue Execution::evaluate(const Expr& e, const Scope* scope)
{
    using K = Expr::Kind;
    switch (e.kind) {
    case K::Null:
        return SqlValue();
    case K::Number:
        return SqlValue::numberLiteral(e.text);
    case K::String:
        return e.unicode ? SqlValue::nvarchar(e.text) : SqlValue::varchar(e.text);
    case K::Variable:
        return variable(e.text).value;
    case K::GlobalVariable:
        return globalVariable(e);
    case K::Column: {
        const Scope* at = scope;
        for (int depth = 0; depth < e.binding.depth && at; ++depth)
            at = at->outer;
        const Row* row = at && at->rows ? at->rows[e.binding.source] : nullptr;
        if (!row)
            return SqlValue::null(at->query->sources[size_t(e.binding.source)].table->columns[size_t(e.binding.column)].type);
        return (*row)[size_t(e.binding.column)];
    }
    case K::Negate:
        return negate(evaluate(*e.args[0], scope));
    case K::Arithmetic: {
        // A bare NULL takes the type of what it meets ('a' + NULL is a NULL text).
        SqlValue value = evaluate(*e.args[0], scope);
        for (size_t i = 0; i < e.ops.size(); ++i) {
            SqlValue right = evaluate(*e.args[i + 1], scope);
            if (e.args[i + 1]->kind == K::Null)
                right = SqlValue::null(value.type());
            else if (i == 0 && e.args[0]->kind == K::Null)
                value = SqlValue::null(right.type());
            const QChar op = e.ops[i];
            value = op == u'&' || op == u'|' || op == u'^'
                ? bitwise(op, value, right)
                : arithmetic(arithmeticOp(op), value, right, m_session.dateFormat);
        }
        return value;
    }
    case K::Function:
        return function(e, scope);
    case K::Aggregate:
        return aggregate(e, scope);
    case K::Subquery: {
        const QueryOutput output = runQuery(*e.query, scope);
        if (output.rows.size() > 1)
            throw SqlError(msg::SubqueryValues);
        if (output.rows.empty())
            return SqlValue::null(output.columns.at(0).type);
        return output.rows[0][0];
    }
    case K::Case: {
        size_t i = 0;
        SqlValue operand;
        if (e.caseOperand)
            operand = evaluate(*e.args[i++], scope);
        const size_t end = e.args.size() - (e.caseElse ? 1 : 0);
        for (; i + 1 < end; i += 2) {
            const Truth hit = e.caseOperand
                ? compare(CompareOp::Equal, operand, evaluate(*e.args[i], scope), m_session.dateFormat)
                : test(*e.args[i], scope);
            if (hit == Truth::True)
                return evaluate(*e.args[i + 1], scope);
        }
        return e.caseElse ? evaluate(*e.args.back(), scope) : SqlValue();
    }
    case K::Compare:
    case K::And:
    case K::Or:
    case K::Not:
    case K::IsNull:
    case K::In:
    case K::Like:
    case K::Between:
    case K::Exists:
        break;
    }
    throw SqlError(Message{170, 1, 15, QStringLiteral("Incorrect syntax near '='."), {}, m_line});
}

Truth Execution::test(const Expr& e, const Scope* scope)
{
    using K = Expr::Kind;
    switch (e.kind) {
    case K::And: {
        Truth result = Truth::True;
        for (const ExprPtr& arg : e.args) {
            const Truth t = test(*arg, scope);
            if (t == Truth::False)
                return Truth::False;
            if (t == Truth::Unknown)
                result = Truth::Unknown;
        }
        return result;
    }
    case K::Or: {
        Truth result = Truth::False;
        for (const ExprPtr& arg : e.args) {
            const Truth t = test(*arg, scope);
            if (t == Truth::True)
                return Truth::True;
            if (t == Truth::Unknown)
                result = Truth::Unknown;
        }
        return result;
    }
    case K::Not:
        return truthNot(test(*e.args[0], scope));
    case K::Compare:
        return compare(compareOf(e.text), evaluate(*e.args[0], scope), evaluate(*e.args[1], scope),
                       m_session.dateFormat);
    case K::IsNull:
        return truthOf(evaluate(*e.args[0], scope).isNull() != e.negated);
    case K::Like: {
        const Truth t = like(evaluate(*e.args[0], scope), evaluate(*e.args[1], scope));
        return e.negated ? truthNot(t) : t;
    }
    case K::Between: {
        const SqlValue value = evaluate(*e.args[0], scope);
        const Truth t = truthAnd(compare(CompareOp::GreaterOrEqual, value, evaluate(*e.args[1], scope), m_session.dateFormat),
                                 compare(CompareOp::LessOrEqual, value, evaluate(*e.args[2], scope), m_session.dateFormat));
        return e.negated ? truthNot(t) : t;
    }
    case K::In: {
        const SqlValue value = evaluate(*e.args[0], scope);
        std::vector<SqlValue> candidates;
        if (e.query) {
            for (Row& row : runQuery(*e.query, scope).rows)
                candidates.push_back(std::move(row[0]));
        } else {
            for (size_t i = 1; i < e.args.size(); ++i)
                candidates.push_back(evaluate(*e.args[i], scope));
        }
        Truth t = Truth::False;
        for (const SqlValue& candidate : candidates)
            t = truthOr(t, compare(CompareOp::Equal, value, candidate, m_session.dateFormat));
        return e.negated ? truthNot(t) : t;
    }
    case K::Exists:
        return truthOf(!runQuery(*e.query, scope).rows.empty());
    default:
        break;
    }
    throw SqlError(Message{4145, 1, 15,
                           QStringLiteral("An expression of non-boolean type specified in a context where a "
                                          "condition is expected, near '%1'.").arg(e.text),
                           {}, m_line});
}

SqlValue Execution::aggregate(const Expr& e, const Scope* scope)
{
    const size_t n = scope->query->sources.size();
    const std::vector<const Row*> noRows(n, nullptr);
    const Scope typing{scope->query, noRows.data(), nullptr, 0, scope->outer};
    const TypeInfo argumentType = e.args.empty() ? TypeInfo::integer() : typeOf(*e.args[0], &typing);
    Aggregate sum(aggregateKind(e), argumentType);
    Aggregate count(AggregateKind::Count, argumentType);
    const bool average = e.text == u"avg";
    for (size_t r = 0; r < scope->groupRows; ++r) {
        const Scope row{scope->query, scope->group + r * n, nullptr, 0, scope->outer};
        const SqlValue value = e.args.empty() ? SqlValue::integer(1) : evaluate(*e.args[0], &row);
        sum.add(value);
        if (average)
            count.add(value);
    }
    if (!average)
        return sum.result();
    const SqlValue total = sum.result();
    return total.isNull() ? total : arithmetic(ArithmeticOp::Divide, total, count.result());
}

SqlValue Execution::function(const Expr& e, const Scope* scope)
{
    if (e.text == u"convert" || e.text == u"cast") {
        const TypeInfo target = typeFromName(e.type->name, e.type->params, TypeNameUse::Conversion);
        const SqlValue value = evaluate(*e.args[0], scope);
        int style = 0;
        if (e.args.size() > 1) {
            const SqlValue given = evaluate(*e.args[1], scope);
            style = given.isNull() ? 0 : int(implicitConvert(given, TypeInfo::integer()).toInteger());
        }
        return convertFunction(value, target, style, *this);
    }
    std::vector<SqlValue> args;
    args.reserve(e.args.size());
    for (const ExprPtr& arg : e.args)
        args.push_back(evaluate(*arg, scope));
    // A bare NULL checked by ISNULL takes the replacement's type, so ISNULL(NULL, 'x') is 'x'.
    if (e.text == u"isnull" && args.size() == 2 && e.args[0]->kind == Expr::Kind::Null)
        args[0] = SqlValue::null(args[1].type());
    return callFunction(e.text, args, *this);
}

SqlValue Execution::globalVariable(const Expr& e) const
{
    const QString name = e.text.toLower();
    if (name == u"@@version")
        return SqlValue::text(m_state.versionText(), TypeInfo::text(SqlType::NVarChar, 256));
    if (name == u"@@spid")
        return SqlValue::integer(m_spid, SqlType::SmallInt);
    if (name == u"@@servername")
        return SqlValue::nvarchar(QStringLiteral("SQLSIM"));
    if (name == u"@@fetch_status")
        return SqlValue::integer(m_session.fetchStatus);
    if (name == u"@@rowcount")
        return SqlValue::integer(m_rowCount);
    if (name == u"@@language")
        return SqlValue::nvarchar(m_session.language);
    if (name == u"@@langid")
        return SqlValue::integer(m_session.language == u"us_english" ? 0 : 23, SqlType::SmallInt);
    if (name == u"@@max_precision")
        return SqlValue::integer(38, SqlType::TinyInt);
    return SqlValue::integer(0);   // @@error and @@trancount: a running batch has neither
}

TypeInfo Execution::typeOf(const Expr& e, const Scope* scope)
{
    return evaluate(e, scope).type();
}

bool Execution::nullable(const Expr& e, const BoundQuery& query) const
{
    using K = Expr::Kind;
    switch (e.kind) {
    case K::Number:
    case K::String:
        return false;
    case K::Column: {
        if (e.binding.depth != 0)
            return true;
        const Source& source = query.sources[size_t(e.binding.source)];
        return source.outerJoined || source.table->columns[size_t(e.binding.column)].nullable;
    }
    case K::Negate:
    case K::Arithmetic:
        return std::any_of(e.args.begin(), e.args.end(), [&](const ExprPtr& a) { return nullable(*a, query); });
    case K::Function:
        if (e.text == u"isnull" && e.args.size() == 2)
            return nullable(*e.args[1], query);
        return true;
    default:
        return true;
    }
}

} // namespace sqlsim::tsql
