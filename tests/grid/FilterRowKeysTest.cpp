// The filter row's key table, caret rules and cell steps.
#include "FilterRowKeys.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

using A = FilterEditorAction;

const Qt::KeyboardModifiers none = Qt::NoModifier;
const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
const Qt::KeyboardModifiers shift = Qt::ShiftModifier;

// The text "abc" with the caret and selection of each state.
const FilterEditorCaret allSelected{3, 3, 3};
const FilterEditorCaret atStart{0, 3, 0};
const FilterEditorCaret inside{1, 3, 0};
const FilterEditorCaret atEnd{3, 3, 0};
const FilterEditorCaret partlySelected{3, 3, 2};
const FilterEditorCaret empty{0, 0, 0};

} // namespace

TEST(FilterRowKeys, EachKeyActsByTheTableAndTheCaret)
{
    const struct {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        FilterEditorCaret caret;
        bool tabs;
        bool open;
        A action;
    } cases[] = {
        {"Enter", Qt::Key_Return, none, inside, true, true, A::ApplyFilter},
        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, inside, true, true, A::ApplyFilter},
        {"Tab", Qt::Key_Tab, none, inside, true, true, A::NextCell},
        {"Shift+Tab", Qt::Key_Backtab, shift, inside, true, true, A::PreviousCell},
        {"Tab where Tab does not step cells", Qt::Key_Tab, none, inside, false, true, A::PassOn},
        {"Shift+Tab where Tab does not step cells", Qt::Key_Backtab, shift, inside, false, true, A::PassOn},
        {"Left at the start", Qt::Key_Left, none, atStart, true, true, A::PreviousCell},
        {"Left with all selected", Qt::Key_Left, none, allSelected, true, true, A::PreviousCell},
        {"Left in an empty text", Qt::Key_Left, none, empty, true, true, A::PreviousCell},
        {"Left inside", Qt::Key_Left, none, inside, true, true, A::PassOn},
        {"Left at the end", Qt::Key_Left, none, atEnd, true, true, A::PassOn},
        {"Left with part selected", Qt::Key_Left, none, partlySelected, true, true, A::PassOn},
        {"Shift+Left at the start", Qt::Key_Left, shift, atStart, true, true, A::PassOn},
        {"Ctrl+Left anywhere", Qt::Key_Left, ctrl, inside, true, true, A::FirstCell},
        {"Right at the end", Qt::Key_Right, none, atEnd, true, true, A::NextCell},
        {"Right with all selected", Qt::Key_Right, none, allSelected, true, true, A::NextCell},
        {"Right at the start", Qt::Key_Right, none, atStart, true, true, A::PassOn},
        {"Ctrl+Right anywhere", Qt::Key_Right, ctrl, atStart, true, true, A::LastCell},
        {"Home at the start", Qt::Key_Home, none, atStart, true, true, A::FirstCell},
        {"Home inside", Qt::Key_Home, none, inside, true, true, A::PassOn},
        {"Ctrl+Home", Qt::Key_Home, ctrl, inside, true, true, A::FirstCell},
        {"End at the end", Qt::Key_End, none, atEnd, true, true, A::LastCell},
        {"End inside", Qt::Key_End, none, inside, true, true, A::PassOn},
        {"Ctrl+End", Qt::Key_End, ctrl, atStart, true, true, A::LastCell},
        {"Down", Qt::Key_Down, none, inside, true, true, A::LeaveRowToTop},
        {"Ctrl+Down", Qt::Key_Down, ctrl, inside, true, true, A::LeaveRow},
        {"Shift+Down", Qt::Key_Down, shift, inside, true, true, A::PassOn},
        {"Down on a closed result set", Qt::Key_Down, none, inside, true, false, A::PassOn},
        {"Up", Qt::Key_Up, none, inside, true, true, A::Nothing},
        {"Ctrl+Up", Qt::Key_Up, ctrl, inside, true, true, A::PassOn},
        {"F2", Qt::Key_F2, none, allSelected, true, true, A::CaretToEnd},
        {"a letter", Qt::Key_A, none, allSelected, true, true, A::PassOn},
    };
    for (const auto& c : cases)
        EXPECT_EQ(filterEditorAction(c.key, c.modifiers, c.caret, c.tabs, c.open), c.action) << c.name;
}

TEST(FilterRowKeys, StepsReachTheNeighbouringCellsAndWrapAround)
{
    // columns 0 and 3 have no filter cell (hidden, or not taking part)
    const std::vector<bool> cells = {false, true, true, false, true, false};
    const struct { const char* name; int result; int expected; } cases[] = {
        {"next", nextFilterCell(cells, 1), 2},
        {"next over a column without a cell", nextFilterCell(cells, 2), 4},
        {"next from the last wraps to the first", nextFilterCell(cells, 4), 1},
        {"previous", previousFilterCell(cells, 4), 2},
        {"previous from the first wraps to the last", previousFilterCell(cells, 1), 4},
        {"first", firstFilterCell(cells), 1},
        {"last", lastFilterCell(cells), 4},
        {"the only cell is next to itself", nextFilterCell({false, true}, 1), 1},
        {"no cell at all", nextFilterCell({false, false}, 0), -1},
        {"no first cell", firstFilterCell({}), -1},
        {"no last cell", lastFilterCell({false}), -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.result, c.expected) << c.name;
}

TEST(FilterRowKeys, TheRowIsEnteredAtTheLastEditedOrTheFirstCellInView)
{
    const std::vector<bool> cells = {false, true, true, true, true};
    const std::vector<bool> inView = {false, false, true, true, false};   // scrolled to columns 2-3
    const struct { const char* name; bool rowSelect; int lastEdited; int current; int expected; } cases[] = {
        {"last edited in view", true, 3, 0, 3},
        {"last edited out of view", true, 4, 0, 2},
        {"nothing edited yet", true, -1, 0, 2},
        {"other grids: the current column", false, 3, 1, 1},
        {"other grids: a current column without a cell", false, 3, 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(filterEditorEntryColumn(cells, inView, c.rowSelect, c.lastEdited, c.current), c.expected) << c.name;
}
