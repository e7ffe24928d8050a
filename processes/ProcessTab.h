// The "Процессы" tab: its tool bar, the process grid DBGridEh1 and the two process queries.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>

class QColor;
class QFont;

class QToolButton;

namespace velmora {

class Connection;
class Query;
class ResultGrid;
struct GridColumn;

class ProcessTab : public QWidget {
    Q_OBJECT
public:
    ProcessTab(Connection* connection, QWidget* parent = nullptr);
    ~ProcessTab() override;

    Query* ProcQuery = nullptr;
    Query* ProcQuery2 = nullptr;
    ResultGrid* DBGridEh1 = nullptr;
    QToolButton* BtnMoveLeft = nullptr;
    QToolButton* BtnReject = nullptr;
    QToolButton* View = nullptr;

    /// ProcSource: the variant bound to the grid (ProcQuery until the first connect).
    Query* procSource() const;
    /// Binds ProcSource to ProcQuery2 when `server2000`, else to ProcQuery, and opens it.
    /// Throws DbError.
    void bindAndOpen(bool server2000);
    /// The current process number: spid of the current row, 0 when there is none.
    int currentSpid() const;

    /// Enables or disables the tab's buttons with the window's state.
    void setConnectedState(bool connected);
    /// Closes both variants, as a disconnect does.
    void closeQueries();
    /// Hides the grid's filter row, as a disconnect does.
    void hideFilterRow();

    void BtnMoveLeftClick();   // refresh; throws DbError
    void BtnRejectClick();     // terminate the current process; throws DbError
    void ViewClick();          // filter value lists

    /// Opens the process detail window (set by the main window when it exists).
    std::function<void()> onOpenDetail;

private:
    /// spid of the current row; none when the list is closed or has no current row.
    std::optional<int> currentRowSpid() const;
    void DBGridEh1GetCellParams(const GridColumn& column, QFont& font, QColor& background,
                                QColor& text);
    void DBGridEh1KeyPress(QChar& key);
    void DBGridEh1DblClick();

    Connection* m_connection;
    bool m_server2000 = false;
    QString m_sortOfFailedRefresh;   // the order to restore when a refresh could not reopen
};

} // namespace velmora
