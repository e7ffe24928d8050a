// The filter row under a grid's titles: one cell per column holding the condition typed for it,
// an editor opened over a cell, the keys that move the editor along the row or back into the
// grid, and the apply step that turns every condition into the result set's filter string.
// It is the grid's title row as well, so the two rows scroll and size as one.
#pragma once

#include "FilterEditor.h"
#include "GridHeader.h"

#include <optional>
#include <vector>

namespace velmora {

class FilterRow : public GridHeader {
    Q_OBJECT
public:
    explicit FilterRow(ResultGrid& grid);

    /// Shows or hides the row; hiding first closes the editor, storing its text.
    void setRowVisible(bool visible);
    bool isRowVisible() const { return m_visible; }

    /// Opens the editor over the filter cell of `column`, with all of its text selected.
    void editCell(int column);
    /// The row entered from the grid (Up at the beginning of data, Ctrl+Up): the editor opens
    /// where the row's entry rules put it.
    void enter();
    /// The column whose cell is being edited; -1 when the editor is closed.
    int editedColumn() const { return m_edited; }
    FilterEditor* editor() const { return m_editor; }

    /// Empties the condition of `column`, its text and its parsed form, and redraws its cell; an
    /// editor open there is emptied too. Precondition: `column` is a column of the grid.
    void clearCondition(int column);

    /// Stores the open editor's text, builds the filter string of all conditions, sets it on the
    /// result set, and reopens the editor where it was with the first column in view kept.
    void ApplyFilter();

    /// Height of the filter row in pixels.
    int rowHeight() const;
    /// The fixed-cell colour lightened by one eighth, the filter cells' background.
    QColor cellColour() const;

    QSize sizeHint() const override;

protected:
    using GridHeader::closeEditor;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    /// Whether column i has a filter cell: visible, and the row is shown.
    std::vector<bool> filterCells() const;
    /// The filter cell of `column` in viewport coordinates.
    QRect cellRect(int column) const;
    /// The column whose filter cell lies under the viewport point; -1 when none.
    int filterCellAt(const QPoint& point) const;
    /// A key of the filter editor; true when the row's key table took it.
    bool editorKey(int key, Qt::KeyboardModifiers modifiers);
    /// Closes the editor, storing its text into the edited column's condition.
    void closeEditor();
    /// Leaves the row for the data cell of the edited column; `toTop`: the first row in view
    /// becomes current as well.
    void leaveRow(bool toTop);
    void placeEditor();

    ResultGrid& m_grid;
    FilterEditor* m_editor = nullptr;
    bool m_visible = false;
    int m_edited = -1;       // the column being edited
    std::optional<QString> m_picked;   // the entry just picked from the edited cell's list
    int m_lastEdited = -1;   // the column last edited
};

} // namespace velmora
