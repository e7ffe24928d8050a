#include "DbError.h"

namespace velmora {

DbError::DbError(Cause cause, const QString& text, std::vector<Diagnostic> records, QString statement)
    : std::runtime_error(text.toStdString())
    , m_cause(cause)
    , m_text(text)
    , m_records(std::move(records))
    , m_statement(std::move(statement))
{
}

bool DbError::hasNative(int number) const
{
    for (const Diagnostic& record : m_records)
        if (record.nativeError == number)
            return true;
    return false;
}

} // namespace velmora
