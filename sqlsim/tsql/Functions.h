// The scalar functions batches call (charindex, left, substring, str, isdate, db_name ...), with
// SQL Server 2000's results. What a function needs from the server (the clock, database and
// object names, the session's date order) it asks the interpreter through FunctionContext.
#pragma once

#include "Value.h"

#include <QString>
#include <optional>
#include <vector>

namespace sqlsim::tsql {

/// What the functions ask of the server and the session running the batch.
class FunctionContext {
public:
    virtual ~FunctionContext() = default;

    /// GETDATE(): the server's clock.
    virtual DateTime now() const = 0;
    /// DB_NAME(id) / DB_ID(name): nothing for an unknown database.
    virtual std::optional<QString> databaseName(int databaseId) const = 0;
    virtual std::optional<int> databaseId(const QString& name) const = 0;
    /// The session's current database (DB_NAME() and DB_ID() without an argument).
    virtual int currentDatabaseId() const = 0;
    /// OBJECT_NAME(id) in the current database.
    virtual std::optional<QString> objectName(int objectId) const = 0;
    /// OBJECT_ID(name): `name` as written, possibly qualified and bracketed
    /// ("[dbo].[#spt_space]", "tempdb..#t"); # names are the session's own tables.
    virtual std::optional<int> objectId(const QString& name) const = 0;
    /// The session's date order (SET DATEFORMAT, or its language's; us_english: mdy).
    virtual DateFormat dateFormat() const { return DateFormat::Mdy; }
};

/// Whether `name` (any case) is a scalar function callFunction knows.
bool isScalarFunction(const QString& name);

/// Calls the scalar function `name` (any case) with its evaluated arguments: charindex, left,
/// right, substring, len, ltrim, rtrim, upper, lower, isnull, str, isdate, getdate, db_name,
/// db_id, object_name, object_id. Throws SqlError 195 for an unknown name, 174/189 for a wrong
/// number of arguments, 536 for a negative length, 8116 for an argument of the wrong type, and
/// the conversion errors of its arguments. NULL arguments give a NULL of the result type where
/// SQL Server answers NULL.
SqlValue callFunction(const QString& name, const std::vector<SqlValue>& args,
                      const FunctionContext& context);

/// CONVERT(target, value [, style]) and CAST(value AS target) in the session's date order.
SqlValue convertFunction(const SqlValue& value, const TypeInfo& target, int style,
                         const FunctionContext& context);

/// STR(number, length, decimals): the number as float, rounded to `decimals` places (fewer when
/// the length leaves no room for them), right-aligned in `length` characters; `length` stars
/// when the whole part does not fit. char(length); NULL for a NULL argument or a length or
/// decimals below 0.
SqlValue str(const SqlValue& number, const SqlValue& length = SqlValue::integer(10),
             const SqlValue& decimals = SqlValue::integer(0));

} // namespace sqlsim::tsql
