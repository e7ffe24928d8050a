// The process tab without a server: its tool bar, the grid's columns, the row colours drawn
// through the grid's cell hook, and Enter / double click reaching the detail window.
#include "MainWindowTestSupport.h"

#include "FilterEditor.h"
#include "FilterRow.h"
#include "GridHeader.h"
#include "ProcessTab.h"
#include "Query.h"
#include "ResultGrid.h"
#include "TabToolBar.h"
#include "WindowInput.h"
#include "WindowParts.h"

#include <array>
#include <QFrame>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

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

ResultGrid& processGrid(const ProcessTab& tab)
{
    return *part<ResultGrid>(tab, "processGrid");
}

QToolButton& button(const ProcessTab& tab, const char* name)
{
    return *part<QToolButton>(tab, name);
}

// The background the row's cells get; their text is black on every row colour.
QColor backgroundOfRow(ProcessTab& tab, int visibleRow)
{
    QFont font;
    QColor background = Qt::white;
    QColor text = Qt::white;
    ResultGrid& grid = processGrid(tab);
    grid.onGetCellParams(grid.columns().front(), tab.procSource()->visibleRow(visibleRow), font, background, text);
    EXPECT_EQ(text, QColor(Qt::black));
    return background;
}

} // namespace

TEST(ProcessTab, ToolBarButtonsStandAtTheirPlacesWithHints)
{
    ProcessTab tab(nullptr);
    ResultGrid& grid = processGrid(tab);
    tab.resize(959, 434);
    tab.show();

    struct Expected { QToolButton* button; int left; const char* hint; };
    const Expected expected[] = {
        {&button(tab, "refreshButton"), 4, "Обновить (F5)"},
        {&button(tab, "killButton"), 37, "Удалить процесс (Ctrl+Del)"},
        {&button(tab, "filterValuesButton"), 70, "Обновить значения фильтров (F3)"},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.button->objectName().toStdString());
        EXPECT_EQ(e.button->geometry().left(), e.left);
        EXPECT_EQ(e.button->size(), QSize(25, 25));
        EXPECT_EQ(e.button->toolTip(), QString::fromUtf8(e.hint));
        EXPECT_TRUE(e.button->text().isEmpty() || e.button->toolButtonStyle() == Qt::ToolButtonIconOnly);
    }
    for (const auto& [name, left] : {std::pair{"separatorAfterRefresh", 29}, std::pair{"separatorAfterKill", 62}}) {
        const auto* spacer = tab.findChild<QFrame*>(name);
        ASSERT_NE(spacer, nullptr) << name;
        EXPECT_EQ(spacer->geometry().left(), left);
    }
    const auto* toolBar = tab.findChild<QFrame*>("processToolBar");
    ASSERT_NE(toolBar, nullptr);
    EXPECT_EQ(toolBar->height(), 29);
    // The grid fills everything below the tool bar.
    EXPECT_EQ(grid.geometry(), QRect(0, 29, 959, 434 - 29));
}

TEST(ProcessTab, ButtonsAreEnabledOnlyWhileConnected)
{
    ProcessTab tab(nullptr);
    const auto enabled = [&] {
        return QString("%1%2%3")
            .arg(button(tab, "refreshButton").isEnabled())
            .arg(button(tab, "killButton").isEnabled())
            .arg(button(tab, "filterValuesButton").isEnabled());
    };
    EXPECT_EQ(enabled(), "000");
    tab.setConnectedState(true);
    EXPECT_EQ(enabled(), "111");
    tab.setConnectedState(false);
    EXPECT_EQ(enabled(), "000");
}

TEST(ProcessTab, GridColumnsAreTheWholeDesignTable)
{
    ProcessTab tab(nullptr);
    ResultGrid& grid = processGrid(tab);
    // field|title|title alignment|width|shown|title button|kind and size in ProcQuery|in ProcQuery2
    const auto declared = [](const Query& query, const QString& field) {
        const int index = query.fieldIndex(field);
        if (index < 0)
            return QStringLiteral("undeclared");
        const FieldDef& def = query.fields()[size_t(index)];
        return fieldKindName(def.kind) + u' ' + QString::number(def.size) + (def.readOnly ? " ro" : "");
    };
    QStringList table;
    for (int i = 0; i < int(grid.columns().size()); ++i) {
        const GridColumn& column = grid.columns()[size_t(i)];
        table << QStringList{column.fieldName, column.title,
                             column.titleAlignment == Qt::AlignHCenter ? "centred"
                                 : column.titleAlignment == Qt::AlignLeft ? "left" : "other",
                             column.width < 0 ? "default" : QString::number(column.width),
                             column.visible && !grid.isColumnHidden(i) ? "shown" : "hidden",
                             column.titleButton ? "button" : "plain",
                             declared(*part<Query>(tab, "ProcQuery"), column.fieldName),
                             declared(*part<Query>(tab, "ProcQuery2"), column.fieldName)}.join(u'|');
    }
    const QStringList expected = {
        "spid|spid|centred|35|shown|button|SmallInt 0|SmallInt 0",
        "kpid|kpid|centred|52|shown|button|SmallInt 0|SmallInt 0",
        "block_count|block_count|left|71|shown|button|Integer 0 ro|Integer 0 ro",
        "blocked|blocked|centred|default|shown|button|SmallInt 0|SmallInt 0",
        "waittype|waittype|centred|default|hidden|button|Bytes 2|Bytes 2",
        "waittime|waittime|centred|default|shown|button|Integer 0|Integer 0",
        "lastwaittype|lastwaittype|centred|102|shown|button|FixedWideChar 32|FixedWideChar 32",
        "waitresource|waitresource|centred|163|shown|button|FixedWideChar 256|FixedWideChar 256",
        "dbid|dbid|centred|default|shown|button|SmallInt 0|SmallInt 0",
        "DBName|DB Name|centred|128|shown|button|WideString 128 ro|WideString 128 ro",
        "uid|uid|centred|default|shown|button|SmallInt 0|SmallInt 0",
        "cpu|cpu|centred|default|shown|button|Integer 0|Integer 0",
        "physical_io|physical_io|centred|default|shown|button|Integer 0|LargeInt 0",
        "memusage|memusage|centred|default|shown|button|Integer 0|Integer 0",
        "login_time|login_time|centred|108|shown|button|DateTime 0|DateTime 0",
        "last_batch|last_batch|centred|108|shown|button|DateTime 0|DateTime 0",
        "ecid|ecid|centred|default|shown|button|SmallInt 0|SmallInt 0",
        "open_tran|open_tran|centred|default|shown|button|SmallInt 0|SmallInt 0",
        "status|status|centred|default|shown|button|FixedWideChar 30|FixedWideChar 30",
        "sid|sid|centred|default|hidden|button|Bytes 85|Bytes 86",
        "hostname|hostname|centred|100|shown|button|FixedWideChar 128|FixedWideChar 128",
        "program_name|program_name|centred|200|shown|button|FixedWideChar 128|FixedWideChar 128",
        "hostprocess|hostprocess|centred|100|shown|button|FixedWideChar 8|FixedWideChar 8",
        "cmd|cmd|centred|200|shown|button|FixedWideChar 16|FixedWideChar 16",
        "nt_domain|nt_domain|centred|100|shown|button|FixedWideChar 128|FixedWideChar 128",
        "nt_username|nt_username|centred|100|shown|button|FixedWideChar 128|FixedWideChar 128",
        "net_address|net_address|centred|80|shown|button|FixedWideChar 12|FixedWideChar 12",
        "net_library|net_library|centred|80|shown|button|FixedWideChar 12|FixedWideChar 12",
        "loginame|loginame|centred|100|shown|button|FixedWideChar 128|FixedWideChar 128",
        "suid|suid|centred|default|shown|button|SmallInt 0|Integer 0 ro",
    };
    EXPECT_EQ(table.join(u'\n').toStdString(), expected.join(u'\n').toStdString());
    // A width the table sets is the width on screen.
    EXPECT_EQ(grid.displayWidth(0), 35);
    EXPECT_EQ(grid.horizontalHeader()->sectionSize(grid.columnIndex("program_name")), 200);
}

TEST(ProcessTab, RowColourFollowsTheBlockingState)
{
    ProcessTab tab(nullptr);
    ResultGrid& grid = processGrid(tab);
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
    const QImage image = grid.viewport()->grab().toImage();
    const int waittime = grid.columnIndex("waittime");
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const QRect cell = grid.visualRect(grid.model()->index(i, waittime));
        EXPECT_EQ(image.pixelColor(cell.center()), cases[i].colour) << cases[i].what;
    }
}

TEST(ProcessTab, EnterAndDoubleClickOpenTheDetailOfTheCurrentProcess)
{
    ProcessTab tab(nullptr);
    ResultGrid& grid = processGrid(tab);
    tab.resize(959, 434);
    ASSERT_TRUE(showActive(tab));
    std::vector<int> opened;
    tab.onOpenDetail = [&] { opened.push_back(tab.currentSpid()); };

    // A closed list, an empty one and one whose filter hides every row open nothing.
    QWidget& rows = *grid.viewport();
    const QPoint firstRowCentre(60, 30);
    click(rows, firstRowCentre);
    const auto tryToOpen = [&] {
        pressKey(Qt::Key_Return);
        doubleClick(rows, firstRowCentre);
    };
    tryToOpen();
    fillRows(tab, {});
    tryToOpen();
    tab.procSource()->close();
    fillRows(tab, {{51, 0, 0}, {57, 0, 2}});
    tab.procSource()->setFilter("spid = 99");
    tryToOpen();
    EXPECT_TRUE(opened.empty());
    tab.procSource()->setFilter(QString());

    tab.procSource()->moveTo(1);
    pressKey(Qt::Key_Return);
    pressKey(Qt::Key_A);
    EXPECT_EQ(opened, std::vector<int>({57}));

    // A real double click presses first, which makes the row under the pointer current.
    opened.clear();
    const QPoint firstRow = grid.visualRect(grid.model()->index(0, 0)).center();
    click(rows, firstRow);
    doubleClick(rows, firstRow);
    EXPECT_EQ(opened, std::vector<int>({51}));
}

TEST(ProcessTab, ToolBarHasAFlatBorderOnTheLeftRightAndBottomOnly)
{
    ProcessTab tab(nullptr);
    tab.resize(959, 434);
    tab.show();
    TabToolBar& toolBar = *part<TabToolBar>(tab, "processToolBar");
    EXPECT_EQ(toolBar.borders(), Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    const QImage bar = toolBar.grab().toImage();
    const QRgb border = toolBar.palette().color(QPalette::Mid).rgb();
    const int middleX = 120;   // right of the buttons
    const int middleY = bar.height() / 2;
    EXPECT_EQ(bar.pixel(0, middleY), border) << "left";
    EXPECT_EQ(bar.pixel(bar.width() - 1, middleY), border) << "right";
    EXPECT_EQ(bar.pixel(middleX, bar.height() - 1), border) << "bottom";
    EXPECT_NE(bar.pixel(middleX, 0), border) << "no border on top";
    EXPECT_NE(bar.pixel(middleX, middleY), border) << "nothing inside";
}

TEST(ProcessTab, TitleFontIsTheGridsAndBoldTahoma)
{
    ProcessTab tab(nullptr);
    ResultGrid& grid = processGrid(tab);
    const QFont title = grid.titleFont();
    EXPECT_TRUE(title.bold());
    EXPECT_EQ(title.family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(title.pointSize(), 8);
    EXPECT_EQ(grid.horizontalHeader()->font(), title);
    EXPECT_FALSE(grid.font().bold());
    // The process grid sets its options: no inline editor over the row selection.
    EXPECT_FALSE(grid.options().editing);
    EXPECT_TRUE(grid.options().rowSelect);
}

TEST(ProcessTab, TheFilterRowStartsHiddenAndADisconnectHidesItKeepingTheEditedText)
{
    ProcessTab tab(nullptr);
    ResultGrid& grid = processGrid(tab);
    tab.resize(959, 434);
    ASSERT_TRUE(showActive(tab));
    FilterRow* row = grid.filterRow();
    ASSERT_NE(row, nullptr);
    EXPECT_FALSE(row->isRowVisible());

    const int hostname = grid.columnIndex(QStringLiteral("hostname"));
    row->setRowVisible(true);
    QScrollBar& across = *grid.horizontalScrollBar();   // scrolled until the cell shows
    while (row->sectionViewportPosition(hostname) + row->sectionSize(hostname) > row->viewport()->width()
           && across.value() < across.maximum())
        across.setValue(across.value() + across.singleStep());
    const QPoint hostnameCell(row->sectionViewportPosition(hostname) + row->sectionSize(hostname) / 2,
                              row->height() - row->rowHeight() / 2);
    ASSERT_LT(hostnameCell.x(), row->viewport()->width());
    click(*row->viewport(), hostnameCell);
    typeText(QStringLiteral("ws1"));
    tab.closeAtDisconnect();
    EXPECT_FALSE(row->isRowVisible());
    EXPECT_FALSE(row->editor()->isVisible());
    EXPECT_EQ(grid.columns()[size_t(hostname)].filter.text, QStringLiteral("ws1"));
}

TEST(ProcessTab, ErrorOfAClickHandlerIsShownOnceAndTheControlsStayUsable)
{
    velmora::testing::RecordedMessages messages;
    ProcessTab tab(nullptr);   // no connection: the refresh fails
    ResultGrid& grid = processGrid(tab);
    tab.resize(959, 434);
    ASSERT_TRUE(showActive(tab));
    tab.setConnectedState(true);

    click(button(tab, "refreshButton"));
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_EQ(messages.all[0].icon, QMessageBox::Critical);
    EXPECT_FALSE(button(tab, "refreshButton").isDown());
    click(button(tab, "refreshButton"));
    EXPECT_EQ(messages.all.size(), 2u) << "the button still clicks";

    // A title click whose sort fails: the header lets go of the title and takes the next click.
    fillRows(tab, {{51, 0, 0}, {57, 0, 2}});
    int sorts = 0;
    grid.onSortMarkingChanged = [&] {
        if (++sorts == 1)
            throw std::runtime_error("sort refused");
    };
    auto& header = static_cast<GridHeader&>(*grid.horizontalHeader());
    const QPoint spidTitle(header.sectionViewportPosition(0) + header.sectionSize(0) / 2, header.height() / 2);
    messages.all.clear();
    click(*header.viewport(), spidTitle);
    EXPECT_EQ(messages.texts(), velmora::testing::ownTitle() + QStringLiteral("|sort refused."));
    EXPECT_EQ(header.pressedTitle(), -1);
    click(*header.viewport(), spidTitle);
    EXPECT_EQ(sorts, 2);
    EXPECT_EQ(grid.columns()[0].sortMarker, SortMarker::Up);
    EXPECT_EQ(messages.all.size(), 1u);

    // And the grid still moves its rows.
    click(*grid.viewport(), grid.visualRect(grid.model()->index(0, 0)).center());
    pressKey(Qt::Key_Down);
    EXPECT_EQ(tab.currentSpid(), 57);
}
