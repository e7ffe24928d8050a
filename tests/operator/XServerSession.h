// A private X display for the operator tests: Xvfb on a display number it finds free and a window
// manager on it. Both are stopped when the session ends, and die with the test process should it
// end first (killed by the test's time-out, or crashed).
#pragma once

#include <QByteArray>
#include <string>
#include <sys/types.h>

class XServerSession {
public:
    /// Starts both and returns once the server accepts connections and the window manager runs;
    /// DISPLAY names the display in this process's environment from then on. Throws
    /// std::runtime_error when either does not come up.
    XServerSession();
    ~XServerSession();
    XServerSession(const XServerSession&) = delete;
    XServerSession& operator=(const XServerSession&) = delete;

    /// ":N", as DISPLAY names it.
    const QByteArray& display() const { return m_display; }

private:
    void startServer();
    void startWindowManager();
    void stop();

    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    QByteArray m_display;
    std::string m_configuration;   // the window manager's configuration file
};
