// An in-process sqlsim for tests: started on a free port when constructed, stopped when
// destroyed, with the connection strings that reach it.
#pragma once

#include "SimServer.h"

#include <QDateTime>
#include <QString>

class SimFixture {
public:
    /// Starts the server at once. Throws std::runtime_error when it cannot listen.
    explicit SimFixture(sqlsim::ServerVersion version = sqlsim::ServerVersion::Sql2000,
                        bool populate = true, const sqlsim::SecurityOptions& security = {});
    explicit SimFixture(const sqlsim::ServerOptions& options);

    sqlsim::SimServer& server() { return m_server; }
    sqlsim::Engine& engine() { return m_server.engine(); }
    quint16 port() const { return m_server.port(); }

    /// "DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=<port>;UID=sa;PWD=velmora;DATABASE=master;TDS_Version=7.1"
    QString odbcConnectionString() const;
    /// The OLE DB form the main window builds, for the sa login and this server's port.
    QString oledbConnectionString() const;

    /// The current database of the first session with a client: the test's own connection.
    QString clientDatabase();
    /// Stops the server's clock at `now` (the trouble scenario and the sessions' times follow it).
    void freezeClock(const QDateTime& now);

private:
    sqlsim::SimServer m_server;
};
