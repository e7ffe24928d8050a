// The process detail window: the locks one process holds or waits for, each completed with the
// names of its object and database, and the last input the process sent. Made anew for every
// opening, shown modally, destroyed when closed; its queries run on the main connection.
#pragma once

#include "FieldDef.h"

#include <QDialog>

class QAction;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace velmora {

class Connection;
class ProcessDetail;
class ResultGrid;

class ProcessDetailWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProcessDetailWindow(QWidget* owner = nullptr);
    ~ProcessDetailWindow() override;

    /// The whole opening for process `spid` (its number as text): a new window owned by `owner`,
    /// both queries opened, shown modally, destroyed when closed. Throws DbError when the lock
    /// query fails: no window is shown then.
    static void showModalFor(QWidget* owner, Connection* connection, const QString& spid);
    /// The same for process `spid` of a recorded snapshot, with `locks`, the locks the recording
    /// kept of it: nothing asked of a server, refresh unavailable.
    static void showRecordedFor(QWidget* owner, int spid, std::vector<Row> locks);

    /// Opens the lock query (throws DbError) and then the input-buffer query, whose failure
    /// only leaves the lower boxes empty; the caption takes the process number.
    void openQueries(Connection* connection, const QString& spid);

    /// Re-runs both queries (the refresh button, F5); their failure is shown as a message.
    /// Throws the error of a failed name look-up, which is not a failed refresh.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    /// Centres the window and sorts the lock rows by database, as it first shows.
    void arrangeOnFirstShow();
    /// Puts the input buffer's current row into the lower boxes; empty when it has none.
    void showInputBuffer();
    QGroupBox* buildInputBufferBox();
    void setSpidCaption(const QString& spid);

    ProcessDetail* m_detail;
    ResultGrid* m_lockGrid = nullptr;
    QToolButton* m_refreshButton = nullptr;
    QAction* m_refreshAction = nullptr;
    QLineEdit* m_eventTypeEdit = nullptr;
    QLineEdit* m_parametersEdit = nullptr;
    QPlainTextEdit* m_eventInfoMemo = nullptr;
    bool m_shownOnce = false;
};

} // namespace velmora
