// The main window's status bar: the server's version line, the process list's auto-refresh line
// (only while it watches), the clock, and the Cancel button that shows only while the server is
// slow to answer a call that can be cancelled.
#pragma once

#include <QStatusBar>

class QLabel;

namespace velmora {

class StatusPane;

class MainStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit MainStatusBar(QWidget* parent = nullptr);

    /// The version line of the server connected to; empty clears it.
    void setVersionLine(const QString& line);
    /// The auto-refresh line; empty hides its pane.
    void setRefreshLine(const QString& line);

private:
    void updateClock();

    StatusPane* m_versionPane = nullptr;
    QLabel* m_refreshPane = nullptr;
    QLabel* m_clock = nullptr;
};

} // namespace velmora
