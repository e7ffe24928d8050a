// The filter row's key rules, without a widget: what a key does in the open filter editor,
// which filter cell a step reaches, and where the editor opens when the row is entered.
#pragma once

#include <Qt>
#include <vector>

namespace velmora {

/// What a key does in the filter editor while its drop-down list is closed.
enum class FilterEditorAction {
    PassOn,          // not the row's key: the editor handles it itself
    Nothing,         // consumed without effect
    ApplyFilter,
    NextCell,
    PreviousCell,
    FirstCell,
    LastCell,
    LeaveRow,        // the editor closes, storing its text; the column's data cell becomes current
    LeaveRowToTop,   // the same, and the first row in view becomes the current row
    CaretToEnd,      // the selection goes and the caret stands after the last character
};

/// The editor's caret and selection. With all of the text selected (as the editor opens) the
/// caret counts as standing at the start and at the end alike.
struct FilterEditorCaret {
    int position = 0;         // 0 .. length
    int length = 0;           // characters in the text
    int selectedLength = 0;   // 0: nothing selected

    bool atStart() const { return allSelected() || (selectedLength == 0 && position == 0); }
    bool atEnd() const { return allSelected() || (selectedLength == 0 && position == length); }

private:
    bool allSelected() const { return selectedLength == length; }
};

/// The action of `key` (a Qt::Key) with `modifiers` in the filter editor. `tabs`: Tab steps from
/// cell to cell in the grid; `resultSetOpen`: the grid's result set is open.
FilterEditorAction filterEditorAction(int key, Qt::KeyboardModifiers modifiers,
                                      const FilterEditorCaret& caret, bool tabs, bool resultSetOpen);

// Cells are indexed by grid column in screen order; `cells[i]` tells whether column i has a
// filter cell (the column is visible and takes part in the filter row). Each answers -1 when
// there is no such cell.

/// The nearest filter cell right of `from`, going on from the first column past the last.
int nextFilterCell(const std::vector<bool>& cells, int from);
/// The nearest filter cell left of `from`, going on from the last column before the first.
int previousFilterCell(const std::vector<bool>& cells, int from);
/// The leftmost filter cell of the row, in view or not.
int firstFilterCell(const std::vector<bool>& cells);
/// The rightmost filter cell of the row, in view or not.
int lastFilterCell(const std::vector<bool>& cells);

/// Where the filter editor opens when the row is entered from the grid: in a row-select grid
/// the column last edited when it has a cell in view, else the leftmost column in view with a
/// filter cell; in other grids the current column when it has a filter cell.
int filterEditorEntryColumn(const std::vector<bool>& cells, const std::vector<bool>& inView,
                            bool rowSelect, int lastEdited, int currentColumn);

} // namespace velmora
