#include "ProcessErrors.h"

namespace sqlsim {

namespace {

Message error(int number, int severity, int state, const QString& text)
{
    return Message{number, state, severity, text, {}, 1};
}

} // namespace

Message invalidColumn(const QString& name)
{
    return error(207, 16, 3, QStringLiteral("Invalid column name '%1'.").arg(name));
}

Message unknownPrefix(const QString& prefix)
{
    return error(107, 16, 3,
                 QStringLiteral("The column prefix '%1' does not match with a table name or alias "
                                "name used in the query.")
                     .arg(prefix));
}

Message ambiguousColumn(const QString& name)
{
    return error(209, 16, 1, QStringLiteral("Ambiguous column name '%1'.").arg(name));
}

Message notInGroupBy(const QString& written)
{
    return error(8120, 16, 1,
                 QStringLiteral("Column '%1' is invalid in the select list because it is not "
                                "contained in either an aggregate function or the GROUP BY clause.")
                     .arg(written));
}

Message aggregateInFilter()
{
    return error(147, 15, 1,
                 QStringLiteral("An aggregate may not appear in the WHERE clause unless it is in a "
                                "subquery contained in a HAVING clause or a select list, and the "
                                "column being aggregated is an outer reference."));
}

Message killOwnProcess()
{
    return error(6104, 16, 1, QStringLiteral("Cannot use KILL to kill your own process."));
}

Message killInactiveProcess(qint64 spid)
{
    return error(6106, 16, 2, QStringLiteral("Process ID %1 is not an active process ID.").arg(spid));
}

Message killSystemProcess()
{
    return error(6107, 14, 1, QStringLiteral("Only user processes can be killed."));
}

} // namespace sqlsim
