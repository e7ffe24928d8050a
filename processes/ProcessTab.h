// The "Процессы" tab: its tool bar, the process grid and the process list it shows.
#pragma once

#include "FieldDef.h"
#include "WindowTab.h"

#include <QList>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QColor;
class QComboBox;
class QFont;
class QKeySequence;
class QToolButton;

namespace velmora {

class AutoRefresh;
class BlockingTreeView;
class Connection;
class ProcessMonitor;
class ProcessRateColumns;
class Query;
class RecordingControls;
class ResultGrid;
class RowView;
class TabToolBar;
struct GridColumn;

class ProcessTab : public WindowTab {
    Q_OBJECT
public:
    ProcessTab(Connection* connection, QWidget* parent = nullptr);
    ~ProcessTab() override;

    /// ProcSource: the variant of the process query bound to the grid (ProcQuery until the first
    /// connect).
    Query* procSource() const;
    /// The current process number: spid of the current row, 0 when there is none.
    int currentSpid() const;

    /// The process grid's columns as the layout file `fileName` keeps them. Throws as
    /// LoadColumnLayout.
    void loadColumnLayout(const QString& fileName);
    /// Writes the process grid's columns to the layout file `fileName`. Throws as SaveColumnLayout.
    void saveColumnLayout(const QString& fileName) const;

    /// The tab's keys the main window offers wherever the focus is (they act while the tab is
    /// shown): Ctrl+R the rate columns, Ctrl+H hiding idle sessions.
    QList<QAction*> windowActions() const { return m_windowActions; }
    /// Recording the list and replaying recordings.
    RecordingControls* recordingControls() const { return m_recording; }

    /// Opens the detail window of the current process (ProcessDetailWindow by default); replaceable so
    /// that the list can be driven alone.
    std::function<void()> onOpenDetail;

    // The tab as the main window knows it.
    QString caption() const override;
    void setConnectedState(bool connected) override;
    void openAfterConnect(ServerFamily family) override;   // binds and opens the family's variant
    void closeAtDisconnect() override;                     // every variant closed, filter row hidden
    void refreshKey() override;                            // refreshClicked
    void deleteKey() override;                             // killClicked
    void filterValuesKey() override;                       // filterValuesClicked

    /// The refresh that keeps watching the list (off until an interval is chosen).
    AutoRefresh* autoRefresh() const { return m_autoRefresh; }
    /// Shows `seconds` in the interval box and watches at that pace; a value not offered is off.
    void setAutoRefreshInterval(int seconds);
    /// F9: pauses or resumes the watch.
    void pauseKey();
    /// Ctrl+T: shows the rows as a blocking tree, or flat again; nothing while disconnected.
    /// Throws DbError.
    void blockingTreeKey();
    bool isBlockingTreeShown() const;
    /// Ctrl+B: makes the row of the current process's blocker current; a beep when it is not
    /// among the rows shown, nothing when the process waits for nobody.
    void blockerKey();

signals:
    /// The operator chose an interval in the box.
    void autoRefreshIntervalChosen(int seconds);

private:
    /// Reopens the list keeping its order and current process. Throws DbError.
    void refreshClicked();
    /// Terminates the current process after asking; with no current row it asks nothing and
    /// sends nothing. Throws DbError.
    void killClicked();
    /// Rebuilds the filter row's value lists from the rows now held and shows the row; the
    /// conditions of the columns that had lists are cleared first. Throws DbError when a list's
    /// batch fails: the row stays shown, the columns after it without lists.
    void filterValuesClicked();
    /// A double click in the process grid, and Enter in it: opens the detail window of the
    /// current process through onOpenDetail; nothing when the list is closed or shows no rows
    /// (its filter applied). Throws DbError when the window's lock query fails.
    void openDetailOfCurrentProcess();
    void colourProcessCell(const GridColumn& column, const RowView& row, QFont& font, QColor& background,
                           QColor& text);
    void processGridKeyPressed(QChar& key);
    void addAutoRefreshControls(TabToolBar& bar);
    /// Whether this window is idle: no dialog, menu, filter editor or incremental search open in it.
    bool windowIdle() const;
    /// The tree's buttons (and keys) act while a list is there: connected, or a recording shown.
    void enableTreeButtons();
    void showBlockingTree(bool on);
    /// Puts the tree's columns in front of the others, or takes them away; the current column
    /// stays. Returns whether a column taken away carried a sort mark.
    bool placeTreeColumns(bool on);
    /// The process list's visible rows as the tab arranges them: idle sessions left out while hidden.
    void arrangeRows(std::vector<int>& view, const std::vector<Row>& rows);
    /// A new source: the rate fields declared on it and the tab's arrangement of its rows.
    void serveSource(Query* source);
    /// Gives `list` the calculated-field hooks of the tree and the rates that serve it, or none.
    void hookCalculatedFields(Query* list);
    QAction* addWindowAction(const QString& name, const QKeySequence& key, QToolButton* button);

    Connection* m_connection;
    ProcessMonitor* m_monitor;
    QToolButton* m_refreshButton;
    QToolButton* m_killButton;
    QToolButton* m_filterValuesButton;
    QToolButton* m_treeButton;
    QToolButton* m_blockerButton;
    std::unique_ptr<BlockingTreeView> m_tree;
    QToolButton* m_ratesButton;
    QToolButton* m_hideIdleButton;
    QAction* m_hideSystemAction;
    QList<QAction*> m_windowActions;
    ResultGrid* m_processGrid;
    ProcessRateColumns* m_rateColumns;
    ServerFamily m_family = ServerFamily::Sql70;
    bool m_connected = false;
    AutoRefresh* m_autoRefresh;
    QComboBox* m_intervalBox = nullptr;
    QToolButton* m_pauseButton = nullptr;
    RecordingControls* m_recording;
};

} // namespace velmora
