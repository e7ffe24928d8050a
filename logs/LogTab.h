// The "Логи" tab: the server's error log archives, the last line of the one chosen, and on
// demand all its lines split into date, source and message, with a switch that hides the lines
// without a source. The browser holds the queries and their sequences; the tab lays out their
// views and wires the input.
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
class LogBrowser;
class ResultGrid;
class RowView;
struct GridColumn;

class LogTab : public WindowTab {
    Q_OBJECT
public:
    explicit LogTab(Connection* connection, QWidget* parent = nullptr);
    ~LogTab() override;

    QString caption() const override;
    void setConnectedState(bool connected) override;
    /// Sets the last-entry and entry queries up for `family`, opens the archive list and reads
    /// the last entry of its first archive. Throws the error of either opening.
    void openAfterConnect(ServerFamily family) override;
    void closeAtDisconnect() override;                 // every query closed
    /// Loads the entries of the current archive. Throws DbError.
    void refreshKey() override;

private:
    void buildLeftPane(QSplitter* splitter);
    void buildRightPane(QSplitter* splitter);
    void refresh();
    void archiveGridKeyPress(QChar& key);
    void entryCellParams(const GridColumn& column, const RowView& row, QFont& font, QColor& background,
                         QColor& text);

    LogBrowser* m_browser;
    QToolButton* m_refreshButton = nullptr;
    ColouredCheckBox* m_withoutSourceCheckBox = nullptr;
    ResultGrid* m_archiveGrid = nullptr;
    QGroupBox* m_entriesBox = nullptr;
    ResultGrid* m_entryGrid = nullptr;
};

} // namespace velmora
