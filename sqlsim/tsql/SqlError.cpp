#include "SqlError.h"

#include <QRegularExpression>
#include <algorithm>
#include <iterator>

namespace sqlsim::tsql {

namespace {

struct CatalogEntry {
    int number;
    int severity;
    const char* format;
};

// The SQL Server 2000 wordings (sysmessages), which differ from later versions in places
// (137, 241, 245, 536 ...).
constexpr CatalogEntry catalog[] = {
    {102, 15, "Incorrect syntax near '%.*ls'."},
    {131, 15, "The size (%d) given to the %ls '%.*ls' exceeds the maximum allowed for any data "
              "type (%d)."},
    {134, 15, "The variable name '%.*ls' has already been declared. Variable names must be unique "
              "within a query batch or stored procedure."},
    {137, 15, "Must declare the variable '%.*ls'."},
    {156, 15, "Incorrect syntax near the keyword '%.*ls'."},
    {170, 15, "Line %d: Incorrect syntax near '%.*ls'."},
    {174, 15, "The %.*ls function requires %d arguments."},
    {189, 15, "The %.*ls function requires %d to %d arguments."},
    {191, 15, "Some part of your SQL statement is nested too deeply. Rewrite the query or break it "
              "up into smaller queries."},
    {192, 16, "The scale must be less than or equal to the precision."},
    {195, 15, "'%.*ls' is not a recognized function name."},
    {207, 16, "Invalid column name '%.*ls'."},
    {208, 16, "Invalid object name '%.*ls'."},
    {209, 16, "Ambiguous column name '%.*ls'."},
    {213, 16, "Insert Error: Column name or number of supplied values does not match table "
              "definition."},
    {220, 16, "Arithmetic overflow error for data type %ls, value = %ld."},
    {232, 16, "Arithmetic overflow error for type %ls, value = %f."},
    {241, 16, "Syntax error converting datetime from character string."},
    {242, 16, "The conversion of a char data type to a datetime data type resulted in an "
              "out-of-range datetime value."},
    {244, 16, "The conversion of the %ls value '%.*ls' overflowed a %hs column. Use a larger "
              "integer column."},
    {245, 16, "Syntax error converting the %ls value '%.*ls' to a column of data type %ls."},
    {248, 16, "The conversion of the %ls value '%.*ls' overflowed an %ls column. Use a larger "
              "integer column."},
    {257, 16, "Implicit conversion from data type %ls to %ls is not allowed. Use the CONVERT "
              "function to run this query."},
    {281, 16, "%d is not a valid style number when converting from datetime to a character "
              "string."},
    {403, 16, "Invalid operator for data type. Operator equals %ls, type equals %ls."},
    {409, 16, "The %ls operation cannot take a %ls data type as an argument."},
    {512, 16, "Subquery returned more than 1 value. This is not permitted when the subquery "
              "follows =, !=, <, <= , >, >= or when the subquery is used as an expression."},
    {515, 16, "Cannot insert the value NULL into column '%.*ls', table '%.*ls'; column does not "
              "allow nulls. INSERT fails."},
    {529, 16, "Explicit conversion from data type %ls to %ls is not allowed."},
    {536, 16, "Invalid length parameter passed to the substring function."},
    {911, 16, "Could not locate entry in sysdatabases for database '%.*ls'. No entry found with "
              "that name. Make sure that the name is entered correctly."},
    {1001, 15, "Line %d: Length or precision specification %d is invalid."},
    {2714, 16, "There is already an object named '%.*ls' in the database."},
    {2715, 16, "Column or parameter #%d: Cannot find data type %.*ls."},
    {2750, 16, "Column or parameter #%d: Specified column precision %d is greater than the "
               "maximum precision of %d."},
    {2812, 16, "Could not find stored procedure '%.*ls'."},
    {3701, 11, "Cannot drop the table '%.*ls', because it does not exist in the system catalog."},
    {6102, 14, "User does not have permission to use the KILL statement."},
    {8101, 16, "An explicit value for the identity column in table '%.*ls' can only be specified "
               "when a column list is used and IDENTITY_INSERT is ON."},
    {8114, 16, "Error converting data type %ls to %ls."},
    {8115, 16, "Arithmetic overflow error converting %ls to data type %ls."},
    {8116, 16, "Argument data type %ls is invalid for argument %d of %ls function."},
    {8117, 16, "Operand data type %ls is invalid for %ls operator."},
    {8118, 16, "Column '%.*ls' is invalid in the select list because it is not contained in an "
               "aggregate function and there is no GROUP BY clause."},
    {8120, 16, "Column '%.*ls' is invalid in the select list because it is not contained in "
               "either an aggregate function or the GROUP BY clause."},
    {8134, 16, "Divide by zero error encountered."},
    {8152, 16, "String or binary data would be truncated."},
    {8153, 10, "Warning: Null value is eliminated by an aggregate or other SET operation."},
    {16905, 16, "The cursor is already open."},
    {16915, 16, "A cursor with the name '%.*ls' already exists."},
    {16916, 16, "A cursor with the name '%.*ls' does not exist."},
    {16917, 16, "Cursor is not open."},
    {16924, 16, "Cursorfetch: The number of variables declared in the INTO list must match that "
                "of selected columns."},
};

const CatalogEntry* findEntry(int number)
{
    const auto found = std::find_if(std::begin(catalog), std::end(catalog),
                                    [number](const CatalogEntry& e) { return e.number == number; });
    return found == std::end(catalog) ? nullptr : found;
}

} // namespace

QString formatServerText(const QString& format, const QStringList& args)
{
    // A printf-style conversion as the server's formats write them: flags, width, precision
    // (possibly *), length modifiers, then the conversion letter.
    static const QRegularExpression conversion(
        QStringLiteral("%(%|[-+ #0]*(\\d+|\\*)?(\\.(\\d+|\\*))?(hh|h|ll|l|I64)?[diouxXeEfgGcsS])"));
    QString result;
    qsizetype from = 0;
    qsizetype next = 0;
    auto match = conversion.globalMatch(format);
    while (match.hasNext()) {
        const auto m = match.next();
        result += format.mid(from, m.capturedStart() - from);
        if (m.captured(1) == QStringLiteral("%"))
            result += u'%';
        else if (next < args.size())
            result += m.captured(4) == QStringLiteral("*") ? args[next++].left(kMaxNameInMessage) : args[next++];
        from = m.capturedEnd();
    }
    result += format.mid(from);
    return result;
}

Message serverMessage(int number, const QStringList& args)
{
    Message message;
    message.number = number;
    if (const CatalogEntry* entry = findEntry(number)) {
        message.severity = entry->severity;
        message.text = formatServerText(QString::fromLatin1(entry->format), args);
    } else {
        message.severity = 16;
        message.text = QString::number(number);
    }
    return message;
}

SqlError::SqlError(Message message) : m_message(std::move(message))
{
    m_what = QStringLiteral("Msg %1: %2").arg(m_message.number).arg(m_message.text).toUtf8();
}

SqlError::SqlError(int number, const QStringList& args) : SqlError(serverMessage(number, args)) {}

} // namespace sqlsim::tsql
