// Short spellings of T-SQL values for the value and function tests: values from literals and
// type names, and values and types shown as comparable text.
#pragma once

#include "tsql/SqlError.h"
#include "tsql/Value.h"

#include <functional>

namespace tsqltest {

using namespace sqlsim::tsql;

inline TypeInfo type(const QString& name, std::vector<int> params = {})
{
    return typeFromName(name, params, TypeNameUse::Conversion);
}

inline SqlValue number(const QString& literal) { return SqlValue::numberLiteral(literal); }
inline SqlValue text(const QString& value) { return SqlValue::varchar(value); }
inline SqlValue ntext(const QString& value) { return SqlValue::nvarchar(value); }
inline SqlValue integer(qint64 value) { return SqlValue::integer(value); }
inline SqlValue nullOf(const TypeInfo& t) { return SqlValue::null(t); }

/// "int", "numeric(38,12)", "varchar(5)".
inline QString typeText(const TypeInfo& t)
{
    if (t.type == sqlsim::SqlType::Decimal)
        return QStringLiteral("numeric(%1,%2)").arg(t.precision).arg(t.scale);
    if (t.isText() || t.isBinary())
        return QStringLiteral("%1(%2)").arg(t.name()).arg(t.size);
    return t.name();
}

/// "NULL", or the value as CONVERT(nvarchar, value, 121) writes it (datetime with milliseconds).
inline QString show(const SqlValue& value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    return convert(value, TypeInfo::text(sqlsim::SqlType::NVarChar, 4000), 121).toText();
}

/// What running `work` gives: its value shown, or "error N: text".
inline QString outcome(const std::function<SqlValue()>& work)
{
    try {
        return show(work());
    } catch (const SqlError& error) {
        return QStringLiteral("error %1: %2").arg(error.number()).arg(error.message().text);
    }
}

} // namespace tsqltest
