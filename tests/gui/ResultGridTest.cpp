// The result grid as a view of its query: row movement both ways, the grid keys, typed
// characters, the cell hook and focus highlight, column widths, moves and the title drawing.
#include "ResultGridTestData.h"

#include "GridCellDelegate.h"

#include <QImage>
#include <QLineEdit>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QColor lowCpu(203, 221, 254);
const QColor highCpu(255, 231, 230);

struct NavigationCase {
    const char* name;
    int startRow;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool rowSelect;
    int row;
    bool bof;
    bool eof;
};

// Whether every pixel of the area has the colour.
bool isPlain(const QImage& image, const QRect& area, const QColor& colour)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != colour.rgb())
                return false;
    return true;
}

} // namespace

TEST_F(ResultGridTest, FollowsTheQueryAndMovesItsCurrentRow)
{
    query.moveTo(2);
    EXPECT_EQ(grid.currentIndex().row(), 2);

    int scrolls = 0;
    QObject::connect(&query, &Query::afterScroll, [&] { ++scrolls; });
    clickCell(3, 1);
    EXPECT_EQ(query.recNo(), 3);
    EXPECT_EQ(scrolls, 1);

    query.setSort(QStringLiteral("spid"));   // the current row keeps its record in the new order
    EXPECT_EQ(grid.currentIndex().row(), query.recNo());
    EXPECT_EQ(grid.currentIndex().column(), 1);
}

TEST_F(ResultGridTest, NavigationKeysMoveTheQueryAndSetItsCursorStates)
{
    const NavigationCase cases[] = {
        {"Down", 1, Qt::Key_Down, Qt::NoModifier, true, 2, false, false},
        {"Up", 1, Qt::Key_Up, Qt::NoModifier, true, 0, false, false},
        {"Down on the last row", 3, Qt::Key_Down, Qt::NoModifier, true, 3, false, true},
        {"Up on the first row", 0, Qt::Key_Up, Qt::NoModifier, true, 0, true, false},
        {"End, row select", 1, Qt::Key_End, Qt::NoModifier, true, 3, false, true},
        {"Home, row select", 2, Qt::Key_Home, Qt::NoModifier, true, 0, true, false},
        {"Ctrl+End", 1, Qt::Key_End, Qt::ControlModifier, false, 3, false, true},
        {"Ctrl+Home", 2, Qt::Key_Home, Qt::ControlModifier, false, 0, true, false},
        {"End, cell grid: last column", 1, Qt::Key_End, Qt::NoModifier, false, 1, false, false},
        {"Page Down", 0, Qt::Key_PageDown, Qt::NoModifier, true, 3, false, false},
    };
    clickCell(0);
    for (const NavigationCase& c : cases) {
        GridOptions options = grid.options();
        options.rowSelect = c.rowSelect;
        grid.setOptions(options);
        query.moveTo(c.startRow);
        pressKey(c.key, c.modifiers);
        EXPECT_EQ(query.recNo(), c.row) << c.name;
        EXPECT_EQ(query.bof(), c.bof) << c.name;
        EXPECT_EQ(query.eof(), c.eof) << c.name;
        EXPECT_EQ(grid.currentIndex().row(), c.row) << c.name;
    }
    EXPECT_EQ(grid.currentIndex().column(), 2) << "End in a cell grid goes to the last column";
}

TEST_F(ResultGridTest, TypedCharactersGoToOnKeyPressFirstAndNeverSearch)
{
    QString typed;
    grid.onKeyPress = [&](QChar& key) { typed += key; };
    int doubleClicks = 0;
    grid.onDblClick = [&] { ++doubleClicks; };
    clickCell(0);

    // Qt's own keyboard search would jump to the row whose spid starts with 5.
    typeText(QStringLiteral("5a"));
    pressKey(Qt::Key_Return);
    pressKey(Qt::Key_Enter);
    EXPECT_EQ(typed, QStringLiteral("5a\r\r"));
    EXPECT_EQ(query.recNo(), 0);

    doubleClick(*grid.viewport(), grid.visualRect(grid.model()->index(1, 0)).center());
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_EQ(query.recNo(), 1);
}

TEST_F(ResultGridTest, WithIncrementalSearchTheScreensHookSeesEachCharacterBeforeTheSearch)
{
    GridBehaviourOptions behaviourOptions = grid.behaviourOptions();
    behaviourOptions.incSearch = true;
    grid.setBehaviourOptions(behaviourOptions);
    // The hook swallows "d", which dbo would match, and turns "x" into "s".
    grid.onKeyPress = [](QChar& key) {
        if (key == u'd')
            key = QChar();
        else if (key == u'x')
            key = u's';
    };
    clickCell(0, 2);
    typeText(QStringLiteral("d"));
    EXPECT_FALSE(grid.isIncSearching());
    EXPECT_EQ(query.recNo(), 0);
    typeText(QStringLiteral("x"));
    EXPECT_TRUE(grid.isIncSearching());
    EXPECT_EQ(grid.incrementalSearcher()->state().text(), QStringLiteral("s"));
    EXPECT_EQ(query.recNo(), 2);   // sa
}

TEST_F(ResultGridTest, CtrlFAsksForTheFindDialogAtOnceOrFromARunningIncrementalSearch)
{
    int requests = 0;
    QObject::connect(&grid, &ResultGrid::findRequested, [&] { ++requests; });
    clickCell(0);
    pressKey(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(requests, 1);

    GridBehaviourOptions behaviourOptions = grid.behaviourOptions();
    behaviourOptions.incSearch = true;
    grid.setBehaviourOptions(behaviourOptions);
    pressKey(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(requests, 1);
    EXPECT_TRUE(grid.isIncSearching());
    pressKey(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(requests, 2);
    EXPECT_FALSE(grid.isIncSearching());

    behaviourOptions.dialogFind = false;
    grid.setBehaviourOptions(behaviourOptions);
    pressKey(Qt::Key_F, Qt::ControlModifier);
    pressKey(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(requests, 2);
}

TEST_F(ResultGridTest, CellHookSeesThePaintedRowWhileTheQueryKeepsItsCurrentRow)
{
    query.moveTo(1);   // spid 52; the cells drawn are of every row
    QStringList seen;  // "row:spid of the drawn row:spid the query answers with"
    grid.onGetCellParams = [this, &seen](const GridColumn&, const RowView& row, QFont& font,
                                         QColor& background, QColor& text) {
        seen << QStringLiteral("%1:%2:%3").arg(row.index()).arg(row.value(QStringLiteral("spid")).toInt())
                    .arg(query.value(QStringLiteral("spid")).toInt());
        background = row.value(QStringLiteral("cpu")).toInt() >= 20 ? highCpu : lowCpu;
        font.setItalic(true);
        text = Qt::darkRed;
    };
    grid.clearFocus();   // no highlight over the hook's colours
    int scrolls = 0;
    QObject::connect(&query, &Query::afterScroll, [&] { ++scrolls; });
    const auto& delegate = static_cast<const GridCellDelegate&>(*grid.itemDelegate());
    const QColor expected[] = {lowCpu, highCpu, lowCpu, highCpu};   // cpu 10, 30, 10, 20
    for (int row = 0; row < 4; ++row) {
        const CellLook look = delegate.cellLook(grid.model()->index(row, 2));
        EXPECT_EQ(look.background, expected[row]) << "row " << row;
        EXPECT_TRUE(look.font.italic());
        EXPECT_EQ(look.text, QColor(Qt::darkRed));
    }

    seen.clear();
    const QImage shown = grid.viewport()->grab().toImage();
    for (int row = 0; row < 4; ++row) {
        const QRect cell = grid.visualRect(grid.model()->index(row, 2));
        EXPECT_EQ(QColor(shown.pixel(cell.right() - 3, cell.center().y())), expected[row]) << "row " << row;
    }
    // Painting: every cell of a row saw that row, and the query answered for spid 52 all along.
    seen.removeDuplicates();
    EXPECT_EQ(seen, QStringList({"0:53:52", "1:52:52", "2:51:52", "3:54:52"}));
    EXPECT_EQ(query.recNo(), 1);
    EXPECT_EQ(scrolls, 0);
}

TEST_F(ResultGridTest, FocusHighlightReplacesTheHookColoursOnlyWhileFocused)
{
    grid.onGetCellParams = [](const GridColumn&, const RowView&, QFont&, QColor& background, QColor&) {
        background = lowCpu;
    };
    const auto& delegate = static_cast<const GridCellDelegate&>(*grid.itemDelegate());
    const auto look = [&](int row, int column) {
        return delegate.cellLook(grid.model()->index(row, column));
    };
    const QColor shadow = grid.palette().color(QPalette::Dark);
    const QColor highlightText = grid.palette().color(QPalette::HighlightedText);
    query.moveTo(1);

    grid.clearFocus();
    EXPECT_EQ(look(1, 0).background, lowCpu) << "no highlight without the focus";

    clickCell(1);
    ASSERT_TRUE(grid.hasFocus());
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(look(1, column).background, shadow) << "column " << column;
        EXPECT_EQ(look(1, column).text, highlightText);
    }
    EXPECT_EQ(look(0, 0).background, lowCpu);

    GridOptions options = grid.options();
    options.rowSelect = false;
    grid.setOptions(options);
    const int current = grid.currentIndex().column();
    EXPECT_EQ(look(1, current).background, shadow);
    EXPECT_EQ(look(1, (current + 1) % 3).background, lowCpu) << "a cell grid highlights one cell";

    GridBehaviourOptions behaviourOptions = grid.behaviourOptions();
    behaviourOptions.highlightFocus = false;
    grid.setBehaviourOptions(behaviourOptions);
    EXPECT_EQ(look(1, current).background, lowCpu);
}

TEST_F(ResultGridTest, ColumnsNeverSizedTakeTheirWidthFromTheFieldKind)
{
    Query kinds;
    kinds.setFields({{QStringLiteral("name"), FieldKind::FixedWideChar, 30},
                     {QStringLiteral("big"), FieldKind::LargeInt},
                     {QStringLiteral("stamp"), FieldKind::DateTime},
                     {QStringLiteral("amount"), FieldKind::BCD, 18},
                     {QStringLiteral("id"), FieldKind::Integer},
                     {QStringLiteral("sid"), FieldKind::VarBytes, 85}});
    GridColumns columns;
    for (const char* field : {"name", "big", "stamp", "amount", "id", "sid", "gone", "id"})
        columns.push_back(titleButtonColumn(QString::fromLatin1(field)));
    columns[7].width = 35;
    columns[4].visible = false;
    grid.setColumns(columns);
    grid.setDataSource(&kinds);

    const int zero = grid.fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int expected[] = {zero * 30 + 4, zero * 15 + 4, zero * 18 + 4, zero * 19 + 4,
                            zero * 10 + 4, zero * 10 + 4, 64, 35};
    for (int column = 0; column < 8; ++column) {
        EXPECT_EQ(grid.displayWidth(column), expected[column]) << "column " << column;
        if (column != 4) {
            EXPECT_EQ(grid.horizontalHeader()->sectionSize(column), expected[column]) << "column " << column;
        }
    }
    EXPECT_TRUE(grid.isColumnHidden(4));
}

TEST_F(ResultGridTest, OperatorResizesAndMovesChangeTheCollection)
{
    const int spid = grid.columnIndex(QStringLiteral("spid"));
    const int border = header().sectionViewportPosition(spid) + header().sectionSize(spid) - 1;
    const int before = header().sectionSize(spid);
    const int y = header().height() / 2;
    drag(*header().viewport(), {{border, y}, {border + 10, y}, {border + 20, y}});
    EXPECT_EQ(grid.columns()[size_t(spid)].width, before + 20);
    EXPECT_EQ(marks(), "spid:none0 cpu:none0 loginame:none0") << "a border drag is no click";

    clickTitle(QStringLiteral("cpu"), Qt::ControlModifier);
    releaseCtrl();
    EXPECT_EQ(header().sectionSize(spid), before + 20) << "a sort keeps the widths";

    // A title button is moved with the right button; marks and the current column go along.
    clickCell(0, grid.columnIndex(QStringLiteral("cpu")));
    const QPoint from = titleCentre(QStringLiteral("cpu"));
    const QPoint to(header().sectionViewportPosition(2) + header().sectionSize(2) - 2, y);
    drag(*header().viewport(), {from, from + QPoint(10, 0), to}, Qt::RightButton);
    EXPECT_EQ(marks(), "spid:none0 loginame:none0 cpu:asc1");
    EXPECT_EQ(markedList(), "cpu");
    EXPECT_EQ(grid.model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("cpu"));
    for (int visual = 0; visual < header().count(); ++visual)
        EXPECT_EQ(header().logicalIndex(visual), visual) << "the titles stand in the collection's order";
    EXPECT_EQ(grid.model()->index(0, 0).data().toString(), QStringLiteral("53"));
    EXPECT_EQ(grid.model()->index(0, 2).data().toString(), QStringLiteral("10"))
        << "the cpu of spid 53 is drawn under its title";
    EXPECT_EQ(grid.currentIndex().column(), 2);
    EXPECT_EQ(header().sectionSize(0), before + 20);
}

TEST_F(ResultGridTest, TitlesDrawTheMarkerAndTheSortIndexOnlyForTwoMarks)
{
    header().resizeSection(0, 120);
    const QColor face = header().palette().color(QPalette::Button);
    const auto markerArea = [&] {
        const QRect title(header().sectionViewportPosition(0), 0, header().sectionSize(0), header().height());
        return QRect(title.right() - 2 - GridHeader::markerWidth, title.top() + 1,
                     GridHeader::markerWidth, title.height() - 2);
    };
    const auto numberArea = [&] {
        const QRect marker = markerArea();
        return QRect(marker.left() - 6, marker.top(), 5, marker.height());
    };

    QImage titles = header().viewport()->grab().toImage();
    EXPECT_TRUE(isPlain(titles, markerArea(), face));

    clickTitle(QStringLiteral("spid"));
    titles = header().viewport()->grab().toImage();
    EXPECT_FALSE(isPlain(titles, markerArea(), face));
    EXPECT_TRUE(isPlain(titles, numberArea(), face)) << "one mark: no number";

    clickTitle(QStringLiteral("cpu"), Qt::ControlModifier);
    titles = header().viewport()->grab().toImage();
    EXPECT_FALSE(isPlain(titles, numberArea(), face)) << "two marks: the SortIndex is drawn";
}

TEST_F(ResultGridTest, TitleFontStaysWithTheGridWhenItsHeaderIsReplaced)
{
    EXPECT_EQ(grid.titleFont(), grid.font()) << "unset, the titles take the grid's font";
    QFont bold = grid.font();
    bold.setBold(true);
    grid.setTitleFont(bold);
    EXPECT_TRUE(header().font().bold());

    // A filter row installs a header of its own: it gets the title font, not the default.
    grid.setTitleHeader(new GridHeader(grid));
    EXPECT_EQ(grid.titleFont(), bold);
    EXPECT_TRUE(grid.horizontalHeader()->font().bold());
    EXPECT_FALSE(grid.font().bold());

    // The title row is measured again when its font or a title changes, not at each reading.
    const int height = header().sizeHint().height();
    QFont large = bold;
    large.setPointSize(bold.pointSize() * 3);
    grid.setTitleFont(large);
    EXPECT_GT(header().sizeHint().height(), height);
    grid.setTitleFont(bold);
    EXPECT_EQ(header().sizeHint().height(), height);
    GridColumns columns = grid.columns();
    columns[1].title = QStringLiteral("cpu\ntwo lines");
    grid.setColumns(columns);
    EXPECT_GT(header().sizeHint().height(), height);
}

TEST(ResultGridDefaults, AGridWhoseFormSetsNoOptionsHasTheStandardSetIncludingEditing)
{
    ResultGrid grid;
    const GridOptions& o = grid.options();
    QStringList on;
    for (const auto& [flag, name] : {std::pair{o.editing, "editing"}, {o.titles, "titles"}, {o.indicator, "indicator"},
                                     {o.columnResize, "resize"}, {o.colLines, "colLines"}, {o.rowLines, "rowLines"},
                                     {o.tabs, "tabs"}, {o.rowSelect, "rowSelect"}})
        if (flag)
            on << QString::fromLatin1(name);
    EXPECT_EQ(on.join(u' ').toStdString(), "editing titles indicator resize colLines rowLines tabs");
    const GridBehaviourOptions& eh = grid.behaviourOptions();
    QStringList onEh;
    for (const auto& [flag, name] : {std::pair{eh.fixed3D, "fixed3D"}, {eh.highlightFocus, "highlightFocus"},
                                     {eh.autoSortMarking, "autoSortMarking"}, {eh.multiSortMarking, "multiSortMarking"},
                                     {eh.incSearch, "incSearch"}, {eh.preferIncSearch, "preferIncSearch"},
                                     {eh.dialogFind, "dialogFind"}})
        if (flag)
            onEh << QString::fromLatin1(name);
    EXPECT_EQ(onEh.join(u' ').toStdString(), "fixed3D highlightFocus dialogFind");

    // Editing as behaviour: F2 opens the read-only editor on the current cell.
    Query query;
    query.setFields({{QStringLiteral("name"), FieldKind::String, 12}});
    query.createDataSet();
    query.appendRow({QStringLiteral("users")});
    grid.setColumns({titleButtonColumn(QStringLiteral("name"))});
    grid.setDataSource(&query);
    ASSERT_TRUE(showActive(grid));
    ASSERT_TRUE(grid.hasFocus());
    grid.setCurrentIndex(grid.model()->index(0, 0));
    pressKey(Qt::Key_F2);
    const auto* editor = grid.findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isReadOnly());
    EXPECT_EQ(editor->text(), QStringLiteral("users"));
}
