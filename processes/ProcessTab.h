// The "Процессы" tab: its tool bar, the process grid and the process list it shows.
#pragma once

#include "WindowTab.h"

#include <functional>

class QColor;
class QFont;
class QToolButton;

namespace velmora {

class Connection;
class ProcessMonitor;
class Query;
class RecordingControls;
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

    Connection* m_connection;
    ProcessMonitor* m_monitor;
    QToolButton* m_refreshButton;
    QToolButton* m_killButton;
    QToolButton* m_filterValuesButton;
    ResultGrid* m_processGrid;
    RecordingControls* m_recording;
};

} // namespace velmora
