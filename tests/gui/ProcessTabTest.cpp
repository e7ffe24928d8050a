// The process tab without a server: its tool bar, the grid's columns, the row colours drawn
// through the grid's cell hook, and Enter / double click reaching the detail window.
#include "ProcessTab.h"
#include "Query.h"
#include "ResultGrid.h"

#include <array>
#include <QFrame>
#include <QHeaderView>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace velmora;

namespace {

const QColor greyLilac(220, 220, 226);
const QColor lightBlue(203, 221, 254);
const QColor lightPink(255, 231, 230);

// Fills the tab's unopened ProcQuery with client-only rows: {spid, blocked, block_count}.
void fillRows(ProcessTab& tab, const std::vector<std::array<QVariant, 3>>& rows)
{
    Query& query = *tab.procSource();
    query.createDataSet();
    for (const auto& values : rows) {
        Row row(query.fields().size());
        row[size_t(query.fieldIndex("spid"))] = values[0];
        row[size_t(query.fieldIndex("blocked"))] = values[1];
        row[size_t(query.fieldIndex("block_count"))] = values[2];
        query.appendRow(std::move(row));
    }
}

// The background the row's cells get; their text is black on every row colour.
QColor backgroundOfRow(ProcessTab& tab, int visibleRow)
{
    const Query& query = *tab.procSource();
    Query::ReadScope scope(query, visibleRow);
    QFont font;
    QColor background = Qt::white;
    QColor text = Qt::white;
    tab.DBGridEh1->onGetCellParams(tab.DBGridEh1->columns().front(), font, background, text);
    EXPECT_EQ(text, QColor(Qt::black));
    return background;
}

} // namespace

TEST(ProcessTab, ToolBarButtonsStandAtTheirPlacesWithHints)
{
    ProcessTab tab(nullptr);
    tab.resize(959, 434);
    tab.show();

    struct Expected { QToolButton* button; int left; const char* hint; };
    const Expected expected[] = {
        {tab.BtnMoveLeft, 4, "Обновить (F5)"},
        {tab.BtnReject, 37, "Удалить процесс (Ctrl+Del)"},
        {tab.View, 70, "Обновить значения фильтров (F3)"},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.button->objectName().toStdString());
        EXPECT_EQ(e.button->geometry().left(), e.left);
        EXPECT_EQ(e.button->size(), QSize(25, 25));
        EXPECT_EQ(e.button->toolTip(), QString::fromUtf8(e.hint));
        EXPECT_TRUE(e.button->text().isEmpty() || e.button->toolButtonStyle() == Qt::ToolButtonIconOnly);
    }
    for (const auto& [name, left] : {std::pair{"RzSpacer", 29}, std::pair{"RzSpacer7", 62}}) {
        const auto* spacer = tab.findChild<QFrame*>(name);
        ASSERT_NE(spacer, nullptr) << name;
        EXPECT_EQ(spacer->geometry().left(), left);
    }
    const auto* toolBar = tab.findChild<QFrame*>("RzToolbar1");
    ASSERT_NE(toolBar, nullptr);
    EXPECT_EQ(toolBar->height(), 29);
    // The grid fills everything below the tool bar.
    EXPECT_EQ(tab.DBGridEh1->geometry(), QRect(0, 29, 959, 434 - 29));
}

TEST(ProcessTab, ButtonsAreEnabledOnlyWhileConnected)
{
    ProcessTab tab(nullptr);
    const auto enabled = [&] {
        return QString("%1%2%3").arg(tab.BtnMoveLeft->isEnabled()).arg(tab.BtnReject->isEnabled())
            .arg(tab.View->isEnabled());
    };
    EXPECT_EQ(enabled(), "000");
    tab.setConnectedState(true);
    EXPECT_EQ(enabled(), "111");
    tab.setConnectedState(false);
    EXPECT_EQ(enabled(), "000");
}

TEST(ProcessTab, GridShowsThirtyColumnsWithWaittypeAndSidHidden)
{
    ProcessTab tab(nullptr);
    const GridColumns& columns = tab.DBGridEh1->columns();
    ASSERT_EQ(columns.size(), 30u);

    QStringList hidden, notCentred, notButtons, fieldsWithoutDeclaration;
    for (int i = 0; i < int(columns.size()); ++i) {
        const GridColumn& column = columns[size_t(i)];
        if (!column.visible || tab.DBGridEh1->isColumnHidden(i))
            hidden << column.fieldName;
        if (column.titleAlignment != Qt::AlignHCenter)
            notCentred << column.fieldName;
        if (!column.titleButton)
            notButtons << column.fieldName;
        // Every column must find its field in both variants, or it would show nothing.
        for (Query* query : {tab.ProcQuery, tab.ProcQuery2})
            if (query->fieldIndex(column.fieldName) < 0)
                fieldsWithoutDeclaration << column.fieldName;
    }
    EXPECT_EQ(hidden, QStringList({"waittype", "sid"}));
    EXPECT_EQ(notCentred, QStringList({"block_count"}));
    EXPECT_TRUE(notButtons.isEmpty()) << notButtons.join(',').toStdString();
    EXPECT_TRUE(fieldsWithoutDeclaration.isEmpty()) << fieldsWithoutDeclaration.join(',').toStdString();

    const int dbName = tab.DBGridEh1->columnIndex("DBName");
    ASSERT_EQ(dbName, 9);
    EXPECT_EQ(columns[size_t(dbName)].title, "DB Name");
    EXPECT_EQ(tab.DBGridEh1->displayWidth(0), 35);
    EXPECT_EQ(tab.DBGridEh1->displayWidth(tab.DBGridEh1->columnIndex("program_name")), 200);
}

TEST(ProcessTab, RowColourFollowsTheBlockingState)
{
    ProcessTab tab(nullptr);
    struct Case { QVariant blocked; QVariant blockCount; QColor colour; const char* what; };
    const Case cases[] = {
        {0, 0, lightBlue, "holds no lock"},
        {0, 4, lightPink, "holds locks"},
        {61, 0, greyLilac, "blocked, holds nothing"},
        {61, 2, greyLilac, "blocked and holding locks"},
        {QVariant(), QVariant(), lightBlue, "missing values read as 0"},
    };
    std::vector<std::array<QVariant, 3>> rows;
    for (int i = 0; i < int(std::size(cases)); ++i)
        rows.push_back({51 + i, cases[i].blocked, cases[i].blockCount});
    fillRows(tab, rows);

    for (int i = 0; i < int(std::size(cases)); ++i)
        EXPECT_EQ(backgroundOfRow(tab, i), cases[i].colour) << cases[i].what;

    // And on screen: an empty cell of each row shows the colour (no focus, so no highlight).
    tab.resize(959, 434);
    tab.show();
    const QImage image = tab.DBGridEh1->viewport()->grab().toImage();
    const int waittime = tab.DBGridEh1->columnIndex("waittime");
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const QRect cell = tab.DBGridEh1->visualRect(tab.DBGridEh1->model()->index(i, waittime));
        EXPECT_EQ(image.pixelColor(cell.center()), cases[i].colour) << cases[i].what;
    }
}

TEST(ProcessTab, EnterAndDoubleClickOpenTheDetailOfTheCurrentProcess)
{
    ProcessTab tab(nullptr);
    tab.resize(959, 434);
    tab.show();
    fillRows(tab, {{51, 0, 0}, {57, 0, 2}});

    // Without a detail window both do nothing.
    QTest::keyClick(tab.DBGridEh1, Qt::Key_Return);
    QTest::mouseDClick(tab.DBGridEh1->viewport(), Qt::LeftButton, {},
                       tab.DBGridEh1->visualRect(tab.DBGridEh1->model()->index(0, 0)).center());

    std::vector<int> opened;
    tab.onOpenDetail = [&] { opened.push_back(tab.currentSpid()); };
    tab.procSource()->moveTo(1);
    QTest::keyClick(tab.DBGridEh1, Qt::Key_Return);
    QTest::keyClick(tab.DBGridEh1, Qt::Key_A);
    EXPECT_EQ(opened, std::vector<int>({57}));

    // A real double click presses first, which makes the row under the pointer current.
    opened.clear();
    const QPoint firstRow = tab.DBGridEh1->visualRect(tab.DBGridEh1->model()->index(0, 0)).center();
    QTest::mouseClick(tab.DBGridEh1->viewport(), Qt::LeftButton, {}, firstRow);
    QTest::mouseDClick(tab.DBGridEh1->viewport(), Qt::LeftButton, {}, firstRow);
    EXPECT_EQ(opened, std::vector<int>({51}));
}
