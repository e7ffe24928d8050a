// The main window: the top panel with server, login and password, the four tabs, the status
// bar with the clock and the server's version line, the window's shortcuts and its two states.
#pragma once

#include "ServerFamily.h"

#include <QMainWindow>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QToolButton;

namespace velmora {

class Connection;
class DatabaseTab;
class ProcessTab;
class ResultGrid;
class StatusPane;
class FindDialog;
class WindowTab;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    /// Creates the window with its controls and fills the server box, the caption's version and
    /// the stored server and login.
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    /// The window's one connection, used by every query of the program.
    Connection* connection() const { return m_connection; }

    /// Whether the last connect took the server for SQL Server 2000 or later (any version but 7).
    bool server2000() const { return m_serverFamily != ServerFamily::Sql70; }
    /// What the last connect's version probe made of the server.
    ServerFamily serverFamily() const { return m_serverFamily; }

    /// Adds a page to the page control, named `objectName`; the window owns it and hands it
    /// its state, its part of connect and disconnect, and the tab keys.
    void addWindowTab(WindowTab* tab, const QString& objectName);

    /// The find dialog; null until the first Ctrl+F.
    FindDialog* findDialog() const { return m_findDialog.get(); }

    /// Connect: checks the inputs, opens the connection, probes the server's version, enters
    /// the connected state and opens the process list. Errors of the process list's opening
    /// are not caught (the general error display shows them).
    void connectClicked();
    /// Disconnect: the disconnected state, every result set and the connection closed.
    void disconnectClicked();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createTopPanel(QWidget* panel);
    void createTabs();
    void createStatusBar();
    void createActions();
    void updateClock();
    WindowTab* shownTab() const;
    /// The enabled states of the connection controls and actions (the state matrix).
    void applyState(bool connected);
    /// Shows the run's one find dialog for `grid`, creating it at its first use.
    void openFindDialog(ResultGrid& grid);

    /// Exit: closes the window (saveAndClose runs).
    void exitClicked();
    /// About: shows a new about box modally and destroys it when it closes.
    void aboutClicked();
    /// F5: refreshes the tab shown. Throws DbError.
    void RefActionExecute();
    /// Ctrl+Del: the shown tab's delete key (terminates the current process on "Процессы").
    /// Throws DbError.
    void DelActionExecute();
    /// F3: every tab's filter-values key (the process grid's value lists), whichever tab is
    /// shown. Throws DbError.
    void FilterActionExecute();

    void restoreSettings();
    void saveAndClose();

    Connection* m_connection = nullptr;

    // Top panel.
    QComboBox* m_serverBox = nullptr;
    QLineEdit* m_loginBox = nullptr;
    QLineEdit* m_passwordBox = nullptr;
    QCheckBox* m_windowsAuthenticationBox = nullptr;
    QToolButton* m_connectButton = nullptr;
    QToolButton* m_disconnectButton = nullptr;
    QToolButton* m_exitButton = nullptr;
    QToolButton* m_aboutButton = nullptr;

    QTabWidget* m_tabs = nullptr;
    ProcessTab* m_processTab = nullptr;     // "Процессы", whose sort string the settings file keeps
    DatabaseTab* m_databaseTab = nullptr;   // "Базы"

    // Status bar.
    StatusPane* m_versionPane = nullptr;   // the server's version line
    QLabel* m_clock = nullptr;
    QToolButton* m_cancelButton = nullptr;

    QAction* m_connectAction = nullptr;      // Ctrl+C
    QAction* m_disconnectAction = nullptr;   // Ctrl+D
    QAction* m_refAction = nullptr;          // F5
    QAction* m_delAction = nullptr;          // Ctrl+Del
    QAction* m_filterAction = nullptr;       // F3
    QAction* m_exitAction = nullptr;         // Alt+X
    QAction* m_infoAction = nullptr;         // F1

    std::vector<WindowTab*> m_windowTabs;
    /// The tabs in the order a connect opens them, which is not the order on the page control.
    /// Every tab added is in it.
    std::vector<WindowTab*> m_connectOrder;
    bool m_connected = false;
    ServerFamily m_serverFamily = ServerFamily::Sql70;
    bool m_placed = false;
    QWidget* m_panel = nullptr;
    std::unique_ptr<FindDialog> m_findDialog;
};

} // namespace velmora
