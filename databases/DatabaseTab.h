// The "Базы" tab: the database list, the information about the chosen database (properties,
// files, log space, space used, the two percentage bars) and its users. The inspector holds
// the result sets and the refresh; the tab lays out their views and wires the input.
#pragma once

#include "WindowTab.h"

class QFrame;
class QGroupBox;
class QLabel;
class QToolButton;

namespace velmora {

class Connection;
class DatabaseInspector;
class PercentBar;
class ResultGrid;

class DatabaseTab : public WindowTab {
    Q_OBJECT
public:
    DatabaseTab(Connection* connection, QWidget* parent = nullptr);
    ~DatabaseTab() override;

    QString caption() const override;
    void setConnectedState(bool connected) override;
    void openAfterConnect(ServerFamily family) override;   // opens the database list
    void closeAtDisconnect() override;                     // every result set closed, bars at 0
    /// Loads the information about the database of the list's current row. Throws DbError
    /// from the steps before the space used; later errors end in a message box.
    void refreshKey() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildInformation();
    /// Spreads the two top information grids and their separators over the group box's width.
    void placeTopRows();
    void refresh();
    void databaseListKeyPress(QChar& key);
    void userSortMarkingChanged();
    /// The data and log size texts follow the current rows of the space-used and log-space results.
    void showSizes();

    DatabaseInspector* m_inspector;
    QToolButton* m_refreshButton = nullptr;
    ResultGrid* m_databaseListGrid = nullptr;
    QGroupBox* m_informationBox = nullptr;
    ResultGrid* m_propertiesGrid = nullptr;
    QFrame* m_propertiesSeparator = nullptr;
    ResultGrid* m_filesGrid = nullptr;
    QFrame* m_filesSeparator = nullptr;
    QLabel* m_dataSizeText = nullptr;
    PercentBar* m_dataSpaceBar = nullptr;
    QLabel* m_logSizeText = nullptr;
    PercentBar* m_logSpaceBar = nullptr;
    ResultGrid* m_userGrid = nullptr;
};

} // namespace velmora
