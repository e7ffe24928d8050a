#include "FilterRowKeys.h"

namespace velmora {

namespace {

// Whether column `column` is in range and set.
bool flagged(const std::vector<bool>& cells, int column)
{
    return column >= 0 && size_t(column) < cells.size() && cells[size_t(column)];
}

// The first filter cell from `from` stepping by `delta` while `to` is not passed; -1 when none.
int scan(const std::vector<bool>& cells, int from, int to, int delta)
{
    for (int column = from; delta > 0 ? column <= to : column >= to; column += delta) {
        if (flagged(cells, column))
            return column;
    }
    return -1;
}

} // namespace

FilterEditorAction filterEditorAction(int key, Qt::KeyboardModifiers modifiers,
                                      const FilterEditorCaret& caret, bool tabs, bool resultSetOpen)
{
    const Qt::KeyboardModifiers held = modifiers & ~Qt::KeypadModifier;
    const bool plain = held == Qt::NoModifier;
    const bool ctrl = held == Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return FilterEditorAction::ApplyFilter;
    case Qt::Key_Tab:
        if (tabs && plain)
            return FilterEditorAction::NextCell;
        if (tabs && held == Qt::ShiftModifier)
            return FilterEditorAction::PreviousCell;
        break;
    case Qt::Key_Backtab:   // Shift+Tab as it arrives
        if (tabs && held == Qt::ShiftModifier)
            return FilterEditorAction::PreviousCell;
        break;
    case Qt::Key_Left:
        if (ctrl)
            return FilterEditorAction::FirstCell;
        if (plain && caret.atStart())
            return FilterEditorAction::PreviousCell;
        break;
    case Qt::Key_Right:
        if (ctrl)
            return FilterEditorAction::LastCell;
        if (plain && caret.atEnd())
            return FilterEditorAction::NextCell;
        break;
    case Qt::Key_Home:
        if (ctrl || (plain && caret.atStart()))
            return FilterEditorAction::FirstCell;
        break;
    case Qt::Key_End:
        if (ctrl || (plain && caret.atEnd()))
            return FilterEditorAction::LastCell;
        break;
    case Qt::Key_Down:
        if (resultSetOpen && plain)
            return FilterEditorAction::LeaveRowToTop;
        if (resultSetOpen && ctrl)
            return FilterEditorAction::LeaveRow;
        break;
    case Qt::Key_Up:
        if (plain)
            return FilterEditorAction::Nothing;
        break;
    case Qt::Key_F2:
        if (plain)
            return FilterEditorAction::CaretToEnd;
        break;
    default:
        break;
    }
    return FilterEditorAction::PassOn;
}

int nextFilterCell(const std::vector<bool>& cells, int from)
{
    const int last = int(cells.size()) - 1;
    const int right = scan(cells, from + 1, last, 1);
    return right >= 0 ? right : scan(cells, 0, last, 1);
}

int previousFilterCell(const std::vector<bool>& cells, int from)
{
    const int last = int(cells.size()) - 1;
    const int left = scan(cells, from - 1, 0, -1);
    return left >= 0 ? left : scan(cells, last, 0, -1);
}

int firstFilterCell(const std::vector<bool>& cells)
{
    return scan(cells, 0, int(cells.size()) - 1, 1);
}

int lastFilterCell(const std::vector<bool>& cells)
{
    return scan(cells, int(cells.size()) - 1, 0, -1);
}

int filterEditorEntryColumn(const std::vector<bool>& cells, const std::vector<bool>& inView,
                            bool rowSelect, int lastEdited, int currentColumn)
{
    if (!rowSelect)
        return flagged(cells, currentColumn) ? currentColumn : -1;
    if (flagged(cells, lastEdited) && flagged(inView, lastEdited))
        return lastEdited;
    for (size_t column = 0; column < cells.size(); ++column) {
        if (cells[column] && flagged(inView, int(column)))
            return int(column);
    }
    return -1;
}

} // namespace velmora
