// The "Процессы" tab: its tool bar, the process grid DBGridEh1 and the two process queries.
#pragma once

#include "WindowTab.h"

#include <functional>
#include <memory>
#include <optional>

class QColor;
class QFont;
class QToolButton;

namespace velmora {

class Connection;
class FilterValueLists;
class Query;
class ResultGrid;
class RowView;
class TabToolBar;
struct GridColumn;

class ProcessTab : public WindowTab {
    Q_OBJECT
public:
    ProcessTab(Connection* connection, QWidget* parent = nullptr);
    ~ProcessTab() override;

    Query* ProcQuery = nullptr;       // SQL Server 7.0
    Query* ProcQuery2 = nullptr;      // SQL Server 2000
    Query* ProcQuery2005 = nullptr;   // SQL Server 2005 and later
    TabToolBar* RzToolbar1 = nullptr;
    ResultGrid* DBGridEh1 = nullptr;
    QToolButton* BtnMoveLeft = nullptr;
    QToolButton* BtnReject = nullptr;
    QToolButton* View = nullptr;

    /// ProcSource: the variant bound to the grid (ProcQuery until the first connect).
    Query* procSource() const;
    /// Binds ProcSource to the variant of `family` and opens it. Throws DbError.
    void bindAndOpen(ServerFamily family);
    /// The current process number: spid of the current row, 0 when there is none.
    int currentSpid() const;

    /// Closes every variant, as a disconnect does.
    void closeQueries();
    /// Hides the grid's filter row, as a disconnect does.
    void hideFilterRow();

    void BtnMoveLeftClick();   // refresh; throws DbError
    /// Terminates the current process after asking; with no current row it asks nothing and
    /// sends nothing. Throws DbError.
    void BtnRejectClick();
    /// Rebuilds the filter row's value lists from the rows now held and shows the row; the
    /// conditions of the columns that had lists are cleared first. Throws DbError when a list's
    /// batch fails: the row stays shown, the columns after it without lists.
    void ViewClick();

    /// A double click in the process grid, and Enter in it: opens the detail window of the
    /// current process through onOpenDetail; nothing when the list is closed or shows no rows
    /// (its filter applied). Throws DbError when the window's lock query fails.
    void DBGridEh1DblClick();
    /// Opens the detail window of the current process (ProcessDetailWindow by default); replaceable so
    /// that the list can be driven alone.
    std::function<void()> onOpenDetail;

    // The tab as the main window knows it.
    QString caption() const override;
    void setConnectedState(bool connected) override;
    void openAfterConnect(ServerFamily family) override;   // bindAndOpen
    void closeAtDisconnect() override;                     // every variant closed, filter row hidden
    void refreshKey() override;                        // BtnMoveLeftClick
    void deleteKey() override;                         // BtnRejectClick
    void filterValuesKey() override;                   // ViewClick

private:
    /// spid of the current row; none when the list is closed or has no current row.
    std::optional<int> currentRowSpid() const;
    void DBGridEh1GetCellParams(const GridColumn& column, const RowView& row, QFont& font,
                                QColor& background, QColor& text);
    void DBGridEh1KeyPress(QChar& key);

    Connection* m_connection;
    ServerFamily m_family = ServerFamily::Sql70;
    QString m_sortOfFailedRefresh;   // the order to restore when a refresh could not reopen
    std::unique_ptr<FilterValueLists> m_valueLists;
};

} // namespace velmora
