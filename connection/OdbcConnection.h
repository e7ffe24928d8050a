// A live ODBC connection to the server: environment and connection handles, and whether the
// link is still there.
#pragma once

#include "OdbcHandles.h"

#include <QString>

namespace velmora {

class OdbcConnection {
public:
    /// Connects with an ODBC connection string. Throws DbError with the driver's messages.
    OdbcConnection(const QString& odbcConnectionString, int loginTimeoutSeconds);
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    SQLHDBC handle() const noexcept { return m_dbc.get(); }

    /// False once a call has reported the link to the server as gone.
    bool alive() const noexcept { return !m_lost; }
    void markLost() noexcept { m_lost = true; }
    /// Whether the driver itself knows the link is gone. A link closed in the middle of an
    /// answer may fail the call with a record that does not name the loss ("Unknown error.").
    bool driverReportsDead() const noexcept;
    /// Throws DbError (Link) when the link is gone, so that later calls fail at once.
    void ensureAlive() const;

private:
    OdbcHandle m_env;
    OdbcHandle m_dbc;
    bool m_lost = false;
};

} // namespace velmora
