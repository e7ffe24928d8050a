// The process detail window: the locks one process holds or waits for, each completed with the
// names of its object and database, and the last input the process sent. Made anew for every
// opening, shown modally, destroyed when closed; its queries run on the main connection.
#pragma once

#include <QDialog>

class QAction;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace velmora {

class Connection;
class Query;
class ResultGrid;
class TabToolBar;

class ProcessDetailWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProcessDetailWindow(QWidget* owner = nullptr);
    ~ProcessDetailWindow() override;

    /// The whole opening for process `spid` (its number as text): a new window owned by `owner`,
    /// both queries opened, shown modally, destroyed when closed. Throws DbError when the lock
    /// query fails: no window is shown then.
    static void showModalFor(QWidget* owner, Connection* connection, const QString& spid);

    /// Opens the lock query (throws DbError) and then the input-buffer query, whose failure
    /// only leaves the lower boxes empty; the caption takes the process number.
    void openQueries(Connection* connection, const QString& spid);

    /// Re-runs both queries; their failure is shown as a message. Throws the error of a failed
    /// name look-up, which is not a failed refresh.
    void RefreshClick();
    void ExitClick();

    Query* LockQuery = nullptr;
    Query* InfoQuery = nullptr;
    TabToolBar* RzToolbar1 = nullptr;
    QToolButton* Refresh = nullptr;
    QToolButton* Exit = nullptr;
    QGroupBox* RzGroupBox1 = nullptr;
    ResultGrid* DBGridEh1 = nullptr;
    QGroupBox* RzGroupBox2 = nullptr;
    QLineEdit* EventTypeEdit = nullptr;
    QLineEdit* ParametersEdit = nullptr;
    QPlainTextEdit* EventInfoMemo = nullptr;
    QAction* RefAction = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void LockQueryCalcFields(Query& query);
    /// Sorts the rows just fetched by the grid's marks, without looking their names up a second
    /// time, and makes the first row current.
    void sortAndGoFirst();
    /// Puts InfoQuery's current row into the lower boxes; empty when it has none.
    void showInputBuffer();
    QGroupBox* buildInfoBox();

    bool m_shownOnce = false;
};

} // namespace velmora
