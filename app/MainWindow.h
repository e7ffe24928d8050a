// The main window: the top panel, the four tabs and the status bar, the window's shortcuts and
// its two states. The window is the wiring and the layout; the connect session, the settings
// file and the column layout file are classes of their own.
#pragma once

#include "ColumnLayoutStore.h"
#include "ConnectSession.h"
#include "ProgramSettings.h"

#include <QMainWindow>
#include <memory>
#include <vector>

class QAction;
class QTabWidget;

namespace velmora {

class FindDialog;
class MainStatusBar;
class ProcessTab;
class ResultGrid;
class TopPanel;
class WindowTab;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    /// Creates the window with its controls, fills the server box and restores the settings.
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    /// The window's one connection, used by every query of the program.
    Connection* connection() const { return m_session->connection(); }
    /// Whether the last connect took the server for SQL Server 2000 or later (any version but 7).
    bool server2000() const { return serverFamily() != ServerFamily::Sql70; }
    /// What the last connect's version probe made of the server.
    ServerFamily serverFamily() const { return m_session->serverFamily(); }

    /// Adds a page to the page control, named `objectName`; the window owns it and hands it
    /// its state, its part of connect and disconnect, and the tab keys.
    void addWindowTab(WindowTab* tab, const QString& objectName);

    /// The find dialog; null until the first Ctrl+F.
    FindDialog* findDialog() const { return m_findDialog.get(); }

    /// Connect: the session connects, then every tab opens, the process list in the stored
    /// sort. Errors of the tabs' opening are not caught (the general error display shows them).
    void connectClicked();
    /// Disconnect: the disconnected state, every result set and the connection closed.
    void disconnectClicked();

protected:
    void childEvent(QChildEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createTabs();
    void createActions();
    /// Recording and replay keys of the process list.
    void createRecordingActions();
    /// The title with the recording's part while one is shown.
    void showReplayCaption(const QString& caption);
    WindowTab* shownTab() const;
    /// The enabled states of the top panel, the actions and the tabs, and the version line.
    void applyState(bool connected);
    /// Ctrl+F in a grid of `owner` opens the find dialog for it.
    void offerFindDialog(QWidget& owner);
    /// Shows the run's one find dialog for `grid`, creating it at its first use.
    void openFindDialog(ResultGrid& grid);
    void restoreSettings();

    ConnectSession* m_session = nullptr;
    TopPanel* m_topPanel = nullptr;
    QTabWidget* m_tabs = nullptr;
    ProcessTab* m_processTab = nullptr;   // "Процессы", whose sort and layout are kept
    MainStatusBar* m_statusBar = nullptr;
    std::vector<QAction*> m_connectedActions;   // enabled only while connected
    QAction* m_connectAction = nullptr;

    std::vector<WindowTab*> m_windowTabs;
    /// The tabs in the order a connect opens them, which is not the order on the page control.
    /// Every tab added is in it.
    std::vector<WindowTab*> m_connectOrder;
    ProgramSettings m_settings;
    std::unique_ptr<ColumnLayoutStore> m_layoutStore;
    bool m_placed = false;
    std::unique_ptr<FindDialog> m_findDialog;
    QString m_titleOutsideReplay;   // empty while no recording is shown
};

} // namespace velmora
