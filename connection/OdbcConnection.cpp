#include "OdbcConnection.h"

namespace velmora {

OdbcConnection::OdbcConnection(const QString& odbcConnectionString, int loginTimeoutSeconds)
    : m_env(SQL_HANDLE_ENV, SQL_NULL_HANDLE)
{
    SQLSetEnvAttr(m_env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    m_dbc = OdbcHandle(SQL_HANDLE_DBC, m_env.get());
    // Without a login time-out a server that accepts the socket and never answers hangs us.
    SQLSetConnectAttr(m_dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(SQLULEN(loginTimeoutSeconds)), 0);

    const QString& text = odbcConnectionString;
    SQLWCHAR out[1024];
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(
        m_dbc.get(), nullptr, const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text.utf16())),
        SQLSMALLINT(text.size()), out, SQLSMALLINT(std::size(out)), &outLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc))
        throw odbcError(SQL_HANDLE_DBC, m_dbc.get());
}

OdbcConnection::~OdbcConnection()
{
    SQLDisconnect(m_dbc.get());
}

bool OdbcConnection::driverReportsDead() const noexcept
{
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN rc = SQLGetConnectAttr(m_dbc.get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    return SQL_SUCCEEDED(rc) && dead == SQL_CD_TRUE;
}

void OdbcConnection::ensureAlive() const
{
    if (m_lost)
        throw DbError(DbError::Cause::Link,
                      QStringLiteral("The connection to the server was lost; connect again."));
}

} // namespace velmora
