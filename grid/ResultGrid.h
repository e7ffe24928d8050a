// The result grid: a read-only table bound to one Query, configured by option sets and hooks.
// Title buttons set sort marks, a changed sort goes to the screen or to the local sort, and a
// screen colours cells through a hook that reads the drawn row. The columns and their sort
// marks are a GridColumnState the grid holds; the grid shows them and handles keys, mouse and
// focus.
#pragma once

#include "GridColumnState.h"
#include "IncrementalSearcher.h"
#include "Query.h"
#include "SortFilterAdapter.h"

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QTableView>
#include <functional>
#include <memory>
#include <optional>

namespace velmora {

class ResultSetModel;
class FilterRow;
class GridHeader;

// The defaults are those of a grid made without options.
struct GridOptions {
    bool editing = true;           // a read-only inline editor may open on a cell
    bool titles = true;            // the title row is shown
    bool indicator = true;         // the row indicator column is shown left of the cells
    bool columnResize = true;      // the operator may resize and move columns by their titles
    bool colLines = true;          // lines between columns
    bool rowLines = true;          // lines between rows
    bool tabs = true;              // Tab and Shift+Tab step from cell to cell
    bool rowSelect = false;        // the whole current row is selected, not one cell
};

struct GridBehaviourOptions {
    bool fixed3D = true;           // the title row and the indicator are drawn raised
    bool highlightFocus = true;    // the current cell (or row) is highlighted while focused
    bool autoSortMarking = false;  // a click on a title button sets the column's sort mark
    bool multiSortMarking = false; // Ctrl+click marks further columns as further sort keys
    bool incSearch = false;        // typed characters search the current column
    bool preferIncSearch = false;  // typing searches even where a cell could be edited
    bool dialogFind = true;        // Ctrl+F opens the find dialog
};

class ResultGrid : public QTableView, public IncrementalSearchHost, public SortFilterGrid {
    Q_OBJECT
public:
    explicit ResultGrid(QWidget* parent = nullptr);
    ~ResultGrid() override;

    void setDataSource(Query* query);
    Query* dataSource() const override;

    /// Installs the title row (a filter row subclasses GridHeader); the grid takes ownership
    /// and gives it the title font. Precondition: `header` was made for this grid.
    void setTitleHeader(GridHeader* header);
    /// The title row when it is a filter row; null otherwise.
    FilterRow* filterRow() const;

    /// The font of the title row, kept by the grid whichever header it has; unset, the titles
    /// use the grid's font.
    void setTitleFont(const QFont& font);
    QFont titleFont() const;
    /// The cells in `font` and the titles in its bold face, as the program's grids have them.
    void setFonts(const QFont& font);

    void setOptions(const GridOptions& options);
    const GridOptions& options() const { return m_options; }
    void setBehaviourOptions(const GridBehaviourOptions& options);
    const GridBehaviourOptions& behaviourOptions() const { return m_behaviourOptions; }
    bool sortLocal = true;
    bool readOnly = true;

    /// The columns and their sort state.
    const GridColumnState& columnState() const override { return m_columnState; }
    /// The whole column collection, as the layout file saves and loads it.
    const GridColumns& columns() const override { return m_columnState.columns(); }
    void setColumns(GridColumns columns);   // rebuilds the sort-marked list from SortIndex
    GridColumn& column(int index) { return m_columnState.column(index); }
    int columnIndex(const QString& fieldName) const { return m_columnState.columnIndex(fieldName); }
    /// Width in pixels the column has on screen (its Width, or the default width).
    int displayWidth(int column) const;
    /// Width the column derives from its field's display width and the grid's font.
    int defaultWidth(int column) const;

    /// Sets a column's mark and keeps the sort-marked list and SortIndex values, one marked
    /// column or several as the behaviour options say; does not sort.
    void setSortMarker(int column, SortMarker marker);
    /// Column indices carrying a mark, in sort-key order.
    const std::vector<int>& sortMarkedColumns() const { return m_columnState.sortMarkedColumns(); }

    /// Called for every data cell drawn, with the drawn row; may change the cell's font,
    /// background and text colour. The query's current row stays where it is meanwhile.
    std::function<void(const GridColumn& column, const RowView& row, QFont& font, QColor& background,
                       QColor& text)>
        onGetCellParams;
    /// Called for every data cell drawn, with its visible row; may replace the text drawn, for a
    /// column the screen fills itself.
    std::function<void(const GridColumn& column, int row, QString& text)> onGetCellText;
    /// When set, called instead of the local sort when the sort marks change.
    std::function<void()> onSortMarkingChanged;
    /// Receives every typed character first; may set it to 0 to swallow it.
    std::function<void(QChar& key)> onKeyPress;
    std::function<void()> onDblClick;

    /// The incremental search of a grid whose typing searches; null in other grids.
    const IncrementalSearcher* incrementalSearcher() const { return m_searcher.get(); }
    /// Whether an incremental search is running, so its text is drawn over the current cell.
    bool isIncSearching() const { return m_searcher && m_searcher->state().isSearching(); }

    // The grid as its searches see it.
    int currentColumn() const override { return m_currentColumn; }
    /// Makes `column` current unless it is negative, then the visible row, and shows the cell.
    void moveToCell(int row, int column) override;
    void closeEditor() override;
    void redrawCurrentRow() override;
    void openFindDialog() override;   // emits findRequested

    /// Whether the cell is drawn highlighted: the current row (row-select grids) or the current
    /// cell, while the grid has the focus and highlights it.
    bool isHighlighted(const QModelIndex& index) const;
    /// Whether a Ctrl+click changed the marks and the sort waits for the release of Ctrl.
    bool isSortPending() const { return m_sortPending; }

    /// Puts the current row, under the visible columns' titles, on the clipboard as
    /// tab-separated text (Ctrl+C); nothing without a current row.
    void copyCurrentRow();
    /// Asks for a file and saves the visible rows there as CSV (the context menu's entry); a
    /// failed write is told and leaves no partial file.
    void saveVisibleRows();

signals:
    void columnsChanged();
    /// Ctrl+F in a grid that searches with the find dialog (in a grid with the incremental
    /// search, the Ctrl+F that comes while a search is running): whoever owns the program's
    /// find dialog opens it for this grid. Unconnected, Ctrl+F opens nothing.
    void findRequested();

protected:
    using QTableView::closeEditor;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void titleClicked(int column, bool ctrl);
    /// Hands a changed sort to the screen's hook or to the local sort. Throws DbError.
    void applySortChange();
    void applyPendingSort();
    /// Puts widths, visibility and order of the collection on the header.
    void applyColumnsToView();
    void modelWasReset();
    void columnMoved(int fromVisual, int toVisual);
    void columnResized(int column, int newSize);
    /// Makes the view's current cell the query's current row.
    void followQuery();
    /// Grid keys of their own (navigation, find); true when the key was handled.
    bool handleGridKey(QKeyEvent* event);
    /// Passes the typed characters to onKeyPress, then what it left to the incremental
    /// search; true when the key was typed text.
    bool handleTypedText(QKeyEvent* event);

    GridOptions m_options;
    GridBehaviourOptions m_behaviourOptions;
    GridColumnState m_columnState;
    ResultSetModel* m_model = nullptr;   // shows m_columnState's collection
    GridHeader* m_header = nullptr;
    std::optional<QFont> m_titleFont;
    QPointer<Query> m_query;
    bool m_sortPending = false;
    int m_currentColumn = 0;           // kept across model resets
    bool m_applyingColumns = false;   // header changes made by the grid, not by the operator
    std::unique_ptr<IncrementalSearcher> m_searcher;   // when typing searches
};

} // namespace velmora
