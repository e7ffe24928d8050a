// The filter row over a grid of client-held rows: its look, typed and picked conditions applied
// to the rows, a parse error keeping the cell's former text, and the keys that move the editor
// along the row and back into the grid.
#include "FilterRow.h"
#include "MessageSeam.h"
#include "Query.h"
#include "ResultGrid.h"
#include "ResultGridTestData.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmora;

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
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
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
    void clickCell(int column) { QTest::mouseClick(row->viewport(), Qt::LeftButton, {}, cellCentre(column)); }
    QLineEdit& line() { return *row->editor()->lineEdit(); }
    void type(const QString& text)
    {
        QTest::keyClicks(&line(), text);
        QTest::keyClick(&line(), Qt::Key_Return);
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
    EXPECT_EQ(line().selectedText(), QStringLiteral("1"));   // all of it selected

    QTest::keyClicks(&line(), QStringLiteral("> 15"));
    EXPECT_EQ(query.recordCount(), 4);   // typing alone filters nothing
    QTest::keyClick(&line(), Qt::Key_Return);
    EXPECT_EQ(query.recordCount(), 2);
    EXPECT_EQ(grid.columns()[1].filter.text, QStringLiteral("> 15"));
    EXPECT_EQ(row->editedColumn(), 1);
    EXPECT_EQ(line().selectedText(), QStringLiteral("> 15"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(FilterRowTest, APickFromTheListAppliesAtOnce)
{
    grid.column(2).filter.valueList = QStringList{QStringLiteral("dbo"), QStringLiteral("sa"), QStringLiteral("web")};
    row->setRowVisible(true);
    clickCell(2);
    row->editor()->showPopup();
    QAbstractItemView& list = *row->editor()->view();
    list.setCurrentIndex(list.model()->index(1, 0));
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid.columns()[2].filter.text == QStringLiteral("sa"); }));
    EXPECT_EQ(query.recordCount(), 2);
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
    QTest::keyClick(&grid, Qt::Key_Up);   // to the first row
    QTest::keyClick(&grid, Qt::Key_Up);   // before it: the beginning of data
    EXPECT_EQ(query.recNo(), 0);
    EXPECT_TRUE(query.bof());
    EXPECT_EQ(row->editedColumn(), -1);
    QTest::keyClick(&grid, Qt::Key_Up);
    ASSERT_EQ(row->editedColumn(), 0);   // nothing edited yet: the leftmost cell in view

    struct Step { const char* what; Qt::Key key; Qt::KeyboardModifiers modifiers; int column; };
    const Step steps[] = {
        {"Tab", Qt::Key_Tab, Qt::NoModifier, 1},
        {"Tab", Qt::Key_Tab, Qt::NoModifier, 2},
        {"Tab past the last cell", Qt::Key_Tab, Qt::NoModifier, 0},
        {"Shift+Tab before the first", Qt::Key_Backtab, Qt::ShiftModifier, 2},
        {"Ctrl+Left", Qt::Key_Left, Qt::ControlModifier, 0},
        {"Right with all selected", Qt::Key_Right, Qt::NoModifier, 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        QTest::keyClick(&line(), step.key, step.modifiers);
        EXPECT_EQ(row->editedColumn(), step.column);
    }
    QTest::keyClicks(&line(), QStringLiteral("3"));
    QTest::keyClick(&line(), Qt::Key_Left);   // inside the text: the editor's own key
    EXPECT_EQ(row->editedColumn(), 1);

    query.moveTo(2);
    QTest::keyClick(&line(), Qt::Key_Down);
    EXPECT_EQ(row->editedColumn(), -1);
    EXPECT_FALSE(row->editor()->isVisible());
    EXPECT_EQ(grid.columns()[1].filter.text, QStringLiteral("3"));   // stored, not applied
    EXPECT_EQ(query.recordCount(), 4);
    EXPECT_EQ(grid.currentIndex().column(), 1);
    EXPECT_EQ(query.recNo(), 0);   // plain Down: the first row in view

    // Ctrl+Up from any row; a row-select grid reopens the column last edited.
    query.moveTo(2);
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(row->editedColumn(), 1);
}
