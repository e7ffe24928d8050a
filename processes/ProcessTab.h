// The "Процессы" tab: its tool bar, the process grid and the process list it shows.
#pragma once

#include "FieldDef.h"
#include "WindowTab.h"

#include <QList>
#include <functional>
#include <vector>

class QAction;
class QColor;
class QFont;
class QKeySequence;
class QToolButton;

namespace velmora {

class Connection;
class ProcessMonitor;
class ProcessRateColumns;
class Query;
class ResultGrid;
class RowView;
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
    /// The process list's visible rows as the tab arranges them: idle sessions left out while hidden.
    void arrangeRows(std::vector<int>& view, const std::vector<Row>& rows);
    /// A new source: the rate fields declared on it and the tab's arrangement of its rows.
    void serveSource(Query* source);
    QAction* addWindowAction(const QString& name, const QKeySequence& key, QToolButton* button);

    Connection* m_connection;
    ProcessMonitor* m_monitor;
    QToolButton* m_refreshButton;
    QToolButton* m_killButton;
    QToolButton* m_filterValuesButton;
    QToolButton* m_ratesButton;
    QToolButton* m_hideIdleButton;
    QAction* m_hideSystemAction;
    QList<QAction*> m_windowActions;
    ResultGrid* m_processGrid;
    ProcessRateColumns* m_rateColumns;
    ServerFamily m_family = ServerFamily::Sql70;
};

} // namespace velmora
