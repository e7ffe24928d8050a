#include "DecimalMath.h"
#include "SqlError.h"
#include "Value.h"

namespace sqlsim::tsql {

namespace {

TypeInfo sumType(const TypeInfo& argument)
{
    switch (argument.type) {
    case SqlType::TinyInt:
    case SqlType::SmallInt:
    case SqlType::Int: return TypeInfo::integer();
    case SqlType::BigInt: return TypeInfo::integer(SqlType::BigInt);
    case SqlType::Decimal: return TypeInfo::decimal(38, argument.scale);
    case SqlType::Float: return TypeInfo::floating();
    default:
        throw SqlError(msg::AggregateType, {QStringLiteral("sum or average aggregate"), argument.name()});
    }
}

TypeInfo resultTypeOf(AggregateKind kind, const TypeInfo& argument)
{
    switch (kind) {
    case AggregateKind::Count:
    case AggregateKind::CountRows: return TypeInfo::integer();
    case AggregateKind::Sum: return sumType(argument);
    case AggregateKind::Min:
    case AggregateKind::Max: break;
    }
    return argument;
}

} // namespace

Aggregate::Aggregate(AggregateKind kind, const TypeInfo& argument)
    : m_kind(kind), m_resultType(resultTypeOf(kind, argument)), m_value(SqlValue::null(m_resultType))
{
}

void Aggregate::add(const SqlValue& value)
{
    if (m_kind == AggregateKind::CountRows) {
        ++m_count;
        return;
    }
    if (value.isNull()) {
        m_nullEliminated = true;
        return;
    }
    ++m_count;
    switch (m_kind) {
    case AggregateKind::Sum: {
        const SqlValue addend = convert(value, m_resultType);
        if (m_value.isNull()) {
            m_value = addend;
        } else if (m_resultType.type == SqlType::Decimal) {
            // The running sum keeps the argument's scale (a plain + would give way a digit of it).
            const auto sum = narrow(addWide(widen(m_value.toDecimal()), widen(addend.toDecimal())),
                                    m_resultType.scale, m_resultType.precision);
            if (!sum)
                throw SqlError(msg::ArithmeticOverflow, {QStringLiteral("expression"), m_resultType.name()});
            m_value = SqlValue::decimal(*sum, m_resultType.precision);
        } else {
            m_value = arithmetic(ArithmeticOp::Add, m_value, addend);
        }
        break;
    }
    case AggregateKind::Min:
        if (m_value.isNull() || compareForOrder(value, m_value) < 0)
            m_value = value;
        break;
    case AggregateKind::Max:
        if (m_value.isNull() || compareForOrder(value, m_value) > 0)
            m_value = value;
        break;
    default:
        break;
    }
}

SqlValue Aggregate::result() const
{
    if (m_kind == AggregateKind::Count || m_kind == AggregateKind::CountRows)
        return SqlValue::integer(m_count);
    return m_value;
}

} // namespace sqlsim::tsql
