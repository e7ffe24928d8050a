// The "Логи" tab: the server's error log archives, the last line of the one chosen, and on
// demand all its lines split into date, source and message, with a switch that hides the lines
// without a source.
#pragma once

#include "WindowTab.h"

class QColor;
class QFont;
class QGroupBox;
class QSplitter;
class QToolButton;

namespace velmora {

class ColouredCheckBox;
class Connection;
class FieldMemo;
class Query;
class ResultGrid;
class RowView;
class TabToolBar;
struct GridColumn;

class LogTab : public WindowTab {
    Q_OBJECT
public:
    explicit LogTab(Connection* connection, QWidget* parent = nullptr);
    ~LogTab() override;

    Query* LogNumQuery = nullptr;       // the archive list
    Query* LogNumInfoQuery = nullptr;   // the last line of the current archive
    Query* LogListQuery = nullptr;      // the entries of the archive last refreshed
    Query* LogQuery = nullptr;          // the raw log, never shown

    TabToolBar* RzToolbar3 = nullptr;
    QToolButton* RzToolbarButton6 = nullptr;
    ColouredCheckBox* RzCheckBox2 = nullptr;
    QSplitter* RzSplitter2 = nullptr;
    QGroupBox* RzGroupBox4 = nullptr;
    ResultGrid* DBGridEh9 = nullptr;
    QGroupBox* RzGroupBox6 = nullptr;
    FieldMemo* RzDBMemo1 = nullptr;
    QGroupBox* RzGroupBox5 = nullptr;
    ResultGrid* DBGridEh10 = nullptr;
    QGroupBox* RzGroupBox7 = nullptr;
    FieldMemo* RzDBMemo2 = nullptr;

    /// Loads the last line of the current archive. Throws DbError.
    void LogNumQueryAfterScroll();
    /// Loads the entries of the current archive. Throws DbError.
    void RzToolbarButton6Click();
    /// Applies the check box to the entries already held, when there are any.
    void RzCheckBox2Click();

    QString caption() const override;
    void setConnectedState(bool connected) override;
    /// Sets the last-entry and entry queries up for `family`, opens the archive list and reads
    /// the last entry of its first archive. Throws the error of either opening.
    void openAfterConnect(ServerFamily family) override;
    void closeAtDisconnect() override;                 // every query closed
    void refreshKey() override;                        // RzToolbarButton6Click

private:
    void buildLeftPane();
    void buildRightPane();
    void DBGridEh9KeyPress(QChar& key);
    void DBGridEh10GetCellParams(const GridColumn& column, const RowView& row, QFont& font,
                                 QColor& background, QColor& text);
    /// Whether the archive list is open and has rows.
    bool hasArchives() const;

    bool m_openingAtConnect = false;
};

} // namespace velmora
