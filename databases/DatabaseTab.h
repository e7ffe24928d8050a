// The "Базы" tab: the database list, the information about the chosen database (properties,
// files, log space, space used, the two percentage bars) and its users.
#pragma once

#include "WindowTab.h"

class QFrame;
class QGroupBox;
class QLabel;
class QSplitter;
class QToolButton;

namespace velmora {

class Connection;
class PercentBar;
class Query;
class ResultGrid;
class TabToolBar;

class DatabaseTab : public WindowTab {
    Q_OBJECT
public:
    DatabaseTab(Connection* connection, QWidget* parent = nullptr);
    ~DatabaseTab() override;

    Query* BaseQuery = nullptr;
    Query* Info1Query = nullptr;
    Query* Info2Query = nullptr;
    Query* Info3Query = nullptr;
    Query* Info4Query = nullptr;
    Query* UserQuery = nullptr;

    TabToolBar* RzToolbar2 = nullptr;
    QToolButton* RzToolbarButton4 = nullptr;
    QSplitter* RzSplitter1 = nullptr;
    QGroupBox* RzGroupBox1 = nullptr;
    QGroupBox* RzGroupBox2 = nullptr;
    QGroupBox* RzGroupBox3 = nullptr;
    ResultGrid* DBGridEh2 = nullptr;
    ResultGrid* DBGridEh4 = nullptr;
    ResultGrid* DBGridEh3 = nullptr;
    ResultGrid* DBGridEh5 = nullptr;
    ResultGrid* DBGridEh6 = nullptr;
    ResultGrid* DBGridEh8 = nullptr;
    QFrame* RzSeparator1 = nullptr;
    QFrame* RzSeparator2 = nullptr;
    QLabel* RzLabel4 = nullptr;
    QLabel* RzLabel5 = nullptr;
    QLabel* DBText1 = nullptr;
    QLabel* DBText2 = nullptr;
    PercentBar* RzProgressBar1 = nullptr;
    PercentBar* RzProgressBar2 = nullptr;

    /// Loads the information about the database of the list's current row. Throws DbError
    /// from the steps before the space used; later errors end in a message box.
    void RzToolbarButton4Click();
    /// Reorders the held users by the grid's sort marks, keeping the current uid.
    void DBGridEh8SortMarkingChanged();

    // The tab as the main window knows it.
    QString caption() const override;
    void setConnectedState(bool connected) override;
    void openAfterConnect(ServerFamily family) override;   // opens the database list
    void closeAtDisconnect() override;                     // every result set closed, bars at 0
    void refreshKey() override;                            // RzToolbarButton4Click

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildInformation();
    /// Spreads the two top information grids and their separators over the group box's width.
    void placeTopRows();
    void DBGridEh2KeyPress(QChar& key);
    /// DBText1 and DBText2 follow the current rows of the space-used and log-space results.
    void showTexts();

    Connection* m_connection;
};

/// A percentage rounded to a whole number, an exact half to the even neighbour (62.5 → 62).
int roundPercent(double value);

} // namespace velmora
