// The main window's session with its server: the checks of a connect's inputs, opening the
// connection, probing the server's version and reading its version line, and the disconnect,
// with the state the window is in. No widgets: the window shows what the session reports.
#pragma once

#include "ConnectText.h"
#include "ServerFamily.h"

#include <QObject>

namespace velmora {

class Connection;

class ConnectSession : public QObject {
    Q_OBJECT
public:
    explicit ConnectSession(QObject* parent = nullptr);

    /// The one connection, used by every query of the program.
    Connection* connection() const { return m_connection; }
    bool isConnected() const { return m_connected; }
    /// What the last connect's version probe made of the server.
    ServerFamily serverFamily() const { return m_serverFamily; }
    /// The status bar's line for the server connected to; empty while disconnected.
    QString versionLine() const { return m_versionLine; }

    /// Connect: a message when the server, or the login without Windows authentication, is
    /// blank; else opens the connection and probes the server's version. True once connected
    /// (stateChanged(true) has run). Should the attempt fail, its error is shown and the session
    /// disconnects.
    bool open(const LoginInput& input);
    /// Disconnect: stateChanged(false) first, so that every screen lets go of its result sets,
    /// then the connection closes.
    void close();

signals:
    void stateChanged(bool connected);

private:
    /// The version probe and the version line; throws what the server says.
    void probeServer();

    Connection* m_connection = nullptr;
    bool m_connected = false;
    ServerFamily m_serverFamily = ServerFamily::Sql70;
    QString m_versionLine;
};

} // namespace velmora
