// The filter row over a grid of client-held rows: its look, typed and picked conditions applied
// to the rows, a parse error keeping the cell's former text, the keys that move the editor along
// the row and back into the grid, and what the editor does with keys, the wheel and the focus
// that are not the row's. Every key and click comes as the window system delivers it.
#include "FilterEditor.h"
#include "FilterRow.h"
#include "MessageSeam.h"
#include "Query.h"
#include "ResultGrid.h"
#include "ResultGridTestData.h"
#include "WindowInput.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

class FilterRowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        holdSmallProcessList(query);
        query.setFiltered(true);
        query.first();

        GridOptions options;
        options.rowSelect = true;
        grid.setOptions(options);
        QPalette colours = grid.palette();
        colours.setColor(QPalette::Button, QColor(212, 240, 8));
        grid.setPalette(colours);
        row = new FilterRow(grid);
        grid.setTitleHeader(row);
        GridColumns columns(3);
        columns[0].fieldName = QStringLiteral("spid");
        columns[1].fieldName = QStringLiteral("cpu");
        columns[2].fieldName = QStringLiteral("loginame");
        grid.setColumns(columns);
        grid.setDataSource(&query);
        grid.resize(400, 200);
        ASSERT_TRUE(showActive(grid));
        setMessageHandler([this](const MessageRequest& request) {
            messages.push_back(request.text);
            return QMessageBox::Ok;
        });
    }
    void TearDown() override { setMessageHandler({}); }

    QPoint cellCentre(int column) const
    {
        return {row->sectionViewportPosition(column) + row->sectionSize(column) / 2,
                row->height() - row->rowHeight() / 2};
    }
    void clickCell(int column) { click(*row->viewport(), cellCentre(column)); }
    void clickDataRow(int dataRow)
    {
        click(*grid.viewport(), grid.visualRect(grid.model()->index(dataRow, 0)).center());
    }
    QLineEdit& line() { return *row->editor()->lineEdit(); }
    void type(const QString& text)
    {
        typeText(text);
        pressKey(Qt::Key_Return);
    }
    void giveLoginsAList()
    {
        grid.column(2).filter.valueList = QStringList{QStringLiteral("dbo"), QStringLiteral("sa"), QStringLiteral("web")};
    }
    /// Drops the edited cell's list down and chooses its entry `entry` with the keys.
    void pickFromTheList(int entry)
    {
        pressKey(Qt::Key_F4);
        ASSERT_TRUE(QTest::qWaitFor([&] { return row->editor()->view()->isVisible(); }));
        pressKey(Qt::Key_Home);
        for (int i = 0; i < entry; ++i)
            pressKey(Qt::Key_Down);
        pressKey(Qt::Key_Return);
    }

    Query query;
    ResultGrid grid;
    FilterRow* row = nullptr;
    QStringList messages;
};

} // namespace

TEST_F(FilterRowTest, ShownUnderTheTitlesInBlueOnTheLightenedFixedColour)
{
    const int titles = row->height();
    const int top = grid.viewport()->geometry().top();
    grid.column(2).filter.text = QStringLiteral("sa");
    grid.column(1).filter.valueList = QStringList{QStringLiteral("10")};
    row->setRowVisible(true);
    EXPECT_EQ(row->height(), titles + row->rowHeight());
    EXPECT_EQ(grid.viewport()->geometry().top(), top + row->rowHeight());

    // 212, 240, 8 lightened by one eighth: 238, 255 (at most), 9.
    EXPECT_EQ(row->cellColour(), QColor(238, 255, 9));
    const QImage drawn = row->viewport()->grab().toImage();
    const QRect login(row->sectionViewportPosition(2), row->height() - row->rowHeight(), row->sectionSize(2),
                      row->rowHeight());
    int blue = 0;
    for (int y = login.top(); y <= login.bottom(); ++y)
        for (int x = login.left(); x <= login.right(); ++x)
            blue += drawn.pixelColor(x, y).blue() > 200 && drawn.pixelColor(x, y).red() < 100;
    EXPECT_GT(blue, 0);
    EXPECT_EQ(drawn.pixelColor(login.right() - 5, login.center().y()), QColor(238, 255, 9));
    // The cell with a value list has its drop-down button at the right end.
    const int cpuRight = row->sectionViewportPosition(1) + row->sectionSize(1) - 1;
    EXPECT_NE(drawn.pixelColor(cpuRight - 5, login.center().y()), QColor(238, 255, 9));

    row->setRowVisible(false);
    EXPECT_EQ(row->height(), titles);
}

TEST_F(FilterRowTest, TypedConditionFiltersOnEnterAndTheEditorStaysInItsCell)
{
    grid.column(1).filter.text = QStringLiteral("1");
    row->setRowVisible(true);
    clickCell(1);
    ASSERT_EQ(row->editedColumn(), 1);
    EXPECT_TRUE(row->editor()->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), row->editor());
    EXPECT_EQ(line().selectedText(), QStringLiteral("1"));   // all of it selected

    typeText(QStringLiteral("> 15"));
    EXPECT_EQ(query.recordCount(), 4);   // typing alone filters nothing
    pressKey(Qt::Key_Return);
    EXPECT_EQ(query.recordCount(), 2);
    EXPECT_EQ(grid.columns()[1].filter.text, QStringLiteral("> 15"));
    EXPECT_EQ(row->editedColumn(), 1);
    EXPECT_EQ(line().selectedText(), QStringLiteral("> 15"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(FilterRowTest, APickFromTheOpenListAppliesAtOnceAndNothingElsePicks)
{
    giveLoginsAList();
    row->setRowVisible(true);
    clickCell(2);
    // Typed text is never completed from the list, and with the list closed neither keys nor
    // the wheel step through it.
    typeText(QStringLiteral("s"));
    for (const Qt::Key key : {Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Up})
        pressKey(key);
    pressKey(Qt::Key_Down, Qt::ShiftModifier);
    turnWheel(*row->viewport(), cellCentre(2), -1);
    EXPECT_EQ(line().text(), QStringLiteral("s"));
    EXPECT_EQ(grid.columns()[2].filter.text, QString());
    EXPECT_EQ(query.recordCount(), 4);

    pickFromTheList(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid.columns()[2].filter.text == QStringLiteral("sa"); }));
    EXPECT_EQ(query.recordCount(), 2);
    EXPECT_EQ(QApplication::focusWidget(), row->editor());

    // Picked, the entry stays in the cell while the operator works in the rows: a click on a
    // row makes it current and applies nothing again.
    clickDataRow(1);
    EXPECT_FALSE(row->editor()->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), &grid);
    EXPECT_EQ(query.recNo(), 1);
    EXPECT_EQ(query.recordCount(), 2);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(FilterRowTest, FocusLeavingTheEditorStoresItsTextWithoutApplyingIt)
{
    giveLoginsAList();
    grid.column(1).filter.valueList = QStringList{QStringLiteral("10"), QStringLiteral("30")};
    row->setRowVisible(true);
    clickCell(2);
    typeText(QStringLiteral("sa"));   // a list entry, typed
    clickDataRow(2);
    EXPECT_FALSE(row->editor()->isVisible());
    EXPECT_EQ(row->editedColumn(), -1);
    EXPECT_EQ(QApplication::focusWidget(), &grid);
    EXPECT_EQ(grid.columns()[2].filter.text, QStringLiteral("sa"));
    EXPECT_EQ(query.recordCount(), 4);
    EXPECT_EQ(query.recNo(), 2);

    // Another cell opened after a pick takes nothing from the cell before it.
    clickCell(2);
    pickFromTheList(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return query.recordCount() == 2; }));
    clickCell(1);
    pressKey(Qt::Key_Return);
    EXPECT_EQ(grid.columns()[1].filter.text, QString());
    EXPECT_EQ(query.recordCount(), 2);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(FilterRowTest, AParseErrorDropsTheConditionButTheCellKeepsItsFormerText)
{
    row->setRowVisible(true);
    clickCell(1);
    type(QStringLiteral("> 15"));
    ASSERT_EQ(query.recordCount(), 2);
    line().selectAll();
    type(QStringLiteral("NOT NULL"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].toStdString(), "Unexpected expression after operator: NOT NULL.");
    EXPECT_EQ(grid.columns()[1].filter.text, QStringLiteral("> 15"));
    EXPECT_EQ(query.recordCount(), 4);
}

TEST_F(FilterRowTest, KeysMoveAlongTheRowAndBackIntoTheGrid)
{
    row->setRowVisible(true);
    query.moveTo(1);
    grid.setFocus();
    pressKey(Qt::Key_Up);   // to the first row
    pressKey(Qt::Key_Up);   // before it: the beginning of data
    EXPECT_EQ(query.recNo(), 0);
    EXPECT_TRUE(query.bof());
    EXPECT_EQ(row->editedColumn(), -1);
    pressKey(Qt::Key_Up);
    ASSERT_EQ(row->editedColumn(), 0);   // nothing edited yet: the leftmost cell in view

    struct Step { const char* what; Qt::Key key; Qt::KeyboardModifiers modifiers; int column; };
    const Step steps[] = {
        {"Tab", Qt::Key_Tab, Qt::NoModifier, 1},
        {"Tab", Qt::Key_Tab, Qt::NoModifier, 2},
        {"Tab past the last cell", Qt::Key_Tab, Qt::NoModifier, 0},
        {"Shift+Tab before the first", Qt::Key_Backtab, Qt::ShiftModifier, 2},
        {"Ctrl+Left", Qt::Key_Left, Qt::ControlModifier, 0},
        {"Right with all selected", Qt::Key_Right, Qt::NoModifier, 1},
        {"Ctrl+End", Qt::Key_End, Qt::ControlModifier, 2},
        {"Home with all selected", Qt::Key_Home, Qt::NoModifier, 0},
        {"End with all selected", Qt::Key_End, Qt::NoModifier, 2},
        {"Left with all selected", Qt::Key_Left, Qt::NoModifier, 1},
        {"Up: nothing", Qt::Key_Up, Qt::NoModifier, 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        pressKey(step.key, step.modifiers);
        EXPECT_EQ(row->editedColumn(), step.column);
        EXPECT_EQ(QApplication::focusWidget(), row->editor());
    }
    typeText(QStringLiteral("32"));
    pressKey(Qt::Key_Left);   // inside the text: the editor's own key
    EXPECT_EQ(row->editedColumn(), 1);
    EXPECT_EQ(line().cursorPosition(), 1);
    pressKey(Qt::Key_Home);
    pressKey(Qt::Key_Right);   // from the start: the caret moves within the text
    EXPECT_EQ(row->editedColumn(), 1);
    line().setSelection(0, 1);
    pressKey(Qt::Key_F2);   // the selection goes and the caret stands at the end
    EXPECT_EQ(line().selectedText(), QString());
    EXPECT_EQ(line().cursorPosition(), 2);
    EXPECT_EQ(row->editedColumn(), 1);

    query.moveTo(2);
    pressKey(Qt::Key_Down);
    EXPECT_EQ(row->editedColumn(), -1);
    EXPECT_FALSE(row->editor()->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), &grid);
    EXPECT_EQ(grid.columns()[1].filter.text, QStringLiteral("32"));   // stored, not applied
    EXPECT_EQ(query.recordCount(), 4);
    EXPECT_EQ(grid.currentIndex().column(), 1);
    EXPECT_EQ(query.recNo(), 0);   // plain Down: the first row in view

    // Ctrl+Up from any row; a row-select grid reopens the column last edited. Ctrl+Down leaves
    // the row again and keeps the current row.
    query.moveTo(2);
    pressKey(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(row->editedColumn(), 1);
    pressKey(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(row->editedColumn(), -1);
    EXPECT_EQ(query.recNo(), 2);
    EXPECT_EQ(QApplication::focusWidget(), &grid);
}
