#include "OdbcHandles.h"

#include <QStringList>

#include <algorithm>
#include <utility>

namespace velmora {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 wide characters");

OdbcHandle::OdbcHandle(SQLSMALLINT type, SQLHANDLE parent)
    : m_type(type)
{
    const SQLRETURN rc = SQLAllocHandle(type, parent, &m_handle);
    if (!SQL_SUCCEEDED(rc)) {
        // A refused statement or connection handle leaves its reasons on the parent.
        const SQLSMALLINT parentType = type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
        m_handle = SQL_NULL_HANDLE;
        if (parent != SQL_NULL_HANDLE)
            throw odbcError(parentType, parent);
        throw DbError(DbError::Cause::Link, QStringLiteral("The ODBC driver manager could not be initialised."));
    }
}

OdbcHandle::~OdbcHandle()
{
    reset();
}

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : m_type(other.m_type)
    , m_handle(std::exchange(other.m_handle, nullptr))
{
}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept
{
    if (this != &other) {
        reset();
        m_type = other.m_type;
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

void OdbcHandle::reset() noexcept
{
    if (m_handle != SQL_NULL_HANDLE)
        SQLFreeHandle(m_type, m_handle);
    m_handle = SQL_NULL_HANDLE;
}

std::vector<Diagnostic> readDiagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    std::vector<Diagnostic> records;
    if (handle == SQL_NULL_HANDLE)
        return records;
    for (SQLSMALLINT number = 1;; ++number) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLWCHAR probe[1];
        SQLRETURN rc = SQLGetDiagRecW(type, handle, number, state, &native, probe, 0, &length);
        if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc))
            break;
        // Server messages can be long; ask for the exact size rather than guessing a buffer.
        std::vector<SQLWCHAR> text(size_t(length) + 1);
        rc = SQLGetDiagRecW(type, handle, number, state, &native, text.data(), SQLSMALLINT(text.size()), &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        records.push_back({QString::fromUtf16(reinterpret_cast<const char16_t*>(state), 5), int(native),
                           QString::fromUtf16(reinterpret_cast<const char16_t*>(text.data()), length)});
    }
    return records;
}

// FreeTDS reports a socket that failed mid-conversation with its own numbers (read or write
// failed, unexpected EOF) under SQLSTATE 01000, and with 08S01 once it knows the link is dead.
bool isLinkLoss(const std::vector<Diagnostic>& records)
{
    return std::any_of(records.begin(), records.end(), [](const Diagnostic& d) {
        return d.sqlState == u"08S01" || d.nativeError == 20004 || d.nativeError == 20006 || d.nativeError == 20017;
    });
}

namespace {

// Server informational messages (PRINT, "Changed database context ...") arrive as class-01
// warnings beside a real error and would only bury it. The driver's own warnings (numbers from
// 20000) explain failed connects ("Unknown host machine name."), so they stay.
bool belongsToErrorText(const Diagnostic& d)
{
    return !d.sqlState.startsWith(u"01") || (d.nativeError >= 20000 && d.nativeError < 30000);
}

// A numbered error under a statement SQLSTATE (42000, 42S02, 23000, ...) comes from the server
// and means it said no, even when the driver adds its "Unable to connect" after a refused login.
// The driver's own numbered messages come under 01, 08 or HY states.
DbError::Cause causeOf(const std::vector<Diagnostic>& records)
{
    auto fromServer = [](const Diagnostic& d) {
        return d.nativeError > 0 && !d.sqlState.startsWith(u"01") && !d.sqlState.startsWith(u"08")
            && !d.sqlState.startsWith(u"HY");
    };
    if (std::any_of(records.begin(), records.end(), fromServer))
        return DbError::Cause::Server;
    auto linkOrTime = [](const Diagnostic& d) {
        return d.sqlState.startsWith(u"08") || d.sqlState.startsWith(u"HYT") || d.sqlState == u"HY008"
            || d.nativeError >= 20000;
    };
    return std::any_of(records.begin(), records.end(), linkOrTime) ? DbError::Cause::Link : DbError::Cause::Server;
}

} // namespace

DbError odbcError(SQLSMALLINT type, SQLHANDLE handle, const QString& statement)
{
    return errorFromRecords(readDiagnostics(type, handle), statement);
}

DbError errorFromRecords(std::vector<Diagnostic> records, const QString& statement)
{
    QStringList lines;
    for (const Diagnostic& d : records)
        if (belongsToErrorText(d) && !lines.contains(d.message))
            lines << d.message;
    if (lines.isEmpty())
        for (const Diagnostic& d : records)
            lines << d.message;
    if (lines.isEmpty())
        lines << QStringLiteral("The ODBC driver reported a failure without a message.");
    const DbError::Cause cause = causeOf(records);
    return DbError(cause, lines.join(u'\n'), std::move(records), statement);
}

} // namespace velmora
