// The process grid's two searches against the simulated server: the incremental search driven
// by the grid's keys and drawn over the current cell, the find dialog moving the real grid, and
// the main window's one dialog behind Ctrl+F.
#include "MainWindowTestSupport.h"

#include "Connection.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SimFixture.h"
#include "FindDialog.h"
#include "ProcessDetailWindow.h"
#include "WindowInput.h"
#include "WindowParts.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QColor searchYellow(255, 255, 0);

// Five processes the population never moves, shown in this order once the list is filtered to
// them. The database names the server knows are all lower case, so the host names carry the
// cases of "master"; they come padded to their column's length, so the dialog's tests match
// their beginning.
void addSearchedProcesses(sqlsim::Engine& engine)
{
    std::lock_guard lock(engine.mutex());
    int spid = 300;
    for (auto [program, host] : {std::pair{"Microsoft Office", "WS0"}, {"Sample app", "Master"},
                                 {"sqlagent", "ws2"}, {"SQL Query Analyzer", "master"},
                                 {"isql", "MASTER"}}) {
        sqlsim::Process process;
        process.spid = qint16(spid++);
        process.dbid = 2;
        process.status = QStringLiteral("sleeping");
        process.program_name = QString::fromUtf8(program);
        process.hostname = QString::fromUtf8(host);
        process.loginame = QStringLiteral("tester");
        process.login_time = process.last_batch = QDateTime::currentDateTime();
        engine.state().processes.push_back(process);
    }
}

// The x of every pixel of the colour inside the part of the area the image holds.
std::vector<int> columnsOfColour(const QImage& image, const QRect& area, const QColor& colour)
{
    std::vector<int> found;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (image.pixel(x, y) == colour.rgb())
                found.push_back(x);
    return found;
}

class ProcessGridSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        addSearchedProcesses(sim.engine());
        connection.setConnectionString(sim.oledbConnectionString());
        connection.open();
        tab.setConnectedState(true);
        tab.openAfterConnect(ServerFamily::Sql2000);
        list().setFilter("[spid] >= 300");
        tab.resize(959, 434);
        ASSERT_TRUE(showActive(tab));
        setMessageHandler([this](const MessageRequest& request) {
            messages.push_back(request);
            return QMessageBox::Ok;
        });
        ASSERT_EQ(list().recordCount(), 5);
        ASSERT_EQ(list().valueAt(4, 0).toInt(), 304);
    }
    void TearDown() override { setMessageHandler({}); }

    Query& list() { return *tab.procSource(); }
    ResultGrid& grid() { return *part<ResultGrid>(tab, "processGrid"); }
    QModelIndex cell(int row, const char* field)
    {
        return grid().model()->index(row, grid().columnIndex(QString::fromUtf8(field)));
    }
    void click(int row, const char* field)
    {
        grid().scrollTo(cell(row, field));
        velmora::testing::click(*grid().viewport(), grid().visualRect(cell(row, field)).center());
    }
    QString currentField() { return grid().columns()[size_t(grid().currentIndex().column())].fieldName; }
    bool searching() { return grid().isIncSearching(); }
    std::string searchText() { return grid().incrementalSearcher()->state().text().toStdString(); }
    const QTimer& timer() { return grid().incrementalSearcher()->timer(); }

    SimFixture sim{sqlsim::ServerVersion::Sql2000};
    Connection connection;
    ProcessTab tab{&connection};
    std::vector<MessageRequest> messages;
};

} // namespace

TEST_F(ProcessGridSearch, TypingSAndQFindsTheRowDrawsTheTextDropsWhatMatchesNothingAndTimesOut)
{
    click(0, "program_name");
    struct Step { const char* typed; int row; const char* text; };
    const Step steps[] = {
        {"s", 1, "s"},     // Sample app
        {"q", 2, "sq"},    // sqlagent
        {"z", 2, "sq"},    // nothing begins with "sqz": dropped, the row stays
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.typed);
        typeText(QString::fromUtf8(s.typed));
        EXPECT_EQ(list().recNo(), s.row);
        EXPECT_EQ(grid().currentIndex().row(), s.row);
        EXPECT_EQ(searchText(), s.text);
        EXPECT_TRUE(timer().isActive());
        EXPECT_EQ(timer().interval(), 1500);
    }
    EXPECT_EQ(currentField(), "program_name");

    // Black on yellow over the start of the text and nowhere else in the row, and
    // the arrow on yellow.
    const QRect current = grid().visualRect(cell(2, "program_name"));
    const QImage drawn = grid().viewport()->grab().toImage();
    const QRect row(0, current.top(), drawn.width(), current.height());
    const std::vector<int> yellow = columnsOfColour(drawn, row, searchYellow);
    ASSERT_FALSE(yellow.empty());
    const auto [leftmost, rightmost] = std::minmax_element(yellow.begin(), yellow.end());
    EXPECT_GE(*leftmost, current.left());
    EXPECT_LT(*rightmost, current.center().x());
    const QRect covered(*leftmost, current.top(), *rightmost - *leftmost + 1, current.height());
    EXPECT_FALSE(columnsOfColour(drawn, covered, Qt::black).empty());
    QHeaderView& indicator = *grid().verticalHeader();
    const QRect arrowCell(0, indicator.sectionViewportPosition(2), indicator.width(), indicator.sectionSize(2));
    EXPECT_FALSE(columnsOfColour(indicator.viewport()->grab().toImage(), arrowCell, searchYellow).empty());

    // The search ends by itself after the time-out, and the yellow goes with it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !searching(); }, 10000));
    EXPECT_EQ(searchText(), "");
    EXPECT_EQ(list().recNo(), 2);
    EXPECT_TRUE(columnsOfColour(grid().viewport()->grab().toImage(), current, searchYellow).empty());
    EXPECT_TRUE(columnsOfColour(indicator.viewport()->grab().toImage(), arrowCell, searchYellow).empty());

    // A current row that begins with the text already stays, though an earlier row does too.
    typeText(QStringLiteral("S"));
    EXPECT_EQ(list().recNo(), 2);
    EXPECT_EQ(searchText(), "S");
}

TEST_F(ProcessGridSearch, InARightAlignedCellTheTextCoversTheCharactersItMatched)
{
    click(0, "spid");
    typeText(QStringLiteral("30"));
    ASSERT_EQ(list().recNo(), 0);   // 300
    const QRect current = grid().visualRect(cell(0, "spid"));
    const std::vector<int> yellow
        = columnsOfColour(grid().viewport()->grab().toImage(), current, searchYellow);
    ASSERT_FALSE(yellow.empty());
    // "300" ends two pixels before the cell's right edge; "30" covers all but its last "0".
    const QFontMetrics metrics(grid().font());
    const int textEnd = current.right() - 2;
    EXPECT_NEAR(*std::min_element(yellow.begin(), yellow.end()),
                textEnd - metrics.horizontalAdvance(QStringLiteral("300")) + 1, 1);
    EXPECT_NEAR(*std::max_element(yellow.begin(), yellow.end()),
                textEnd - metrics.horizontalAdvance(QStringLiteral("0")), 1);
}

TEST_F(ProcessGridSearch, CtrlFSearchesWithoutTimeOutAndASecondCtrlFOpensTheDialog)
{
    click(0, "program_name");
    int dialogs = 0;
    QObject::connect(&grid(), &ResultGrid::findRequested, [&] {
        EXPECT_FALSE(searching()) << "the search ends before the dialog opens";
        ++dialogs;
    });
    pressKey(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(searching());
    EXPECT_EQ(dialogs, 0);
    typeText(QStringLiteral("i"));
    EXPECT_EQ(list().recNo(), 4);   // isql
    EXPECT_FALSE(timer().isActive());

    pressKey(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(searching());
    pressKey(Qt::Key_F, Qt::ControlModifier);   // idle again: a new empty search
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(searching());
    EXPECT_EQ(searchText(), "");
}

TEST_F(ProcessGridSearch, EnterWhileSearchingEndsTheSearchAndOpensTheDetailWindow)
{
    std::vector<int> opened;
    tab.onOpenDetail = [&] { opened.push_back(tab.currentSpid()); };
    click(0, "program_name");
    typeText(QStringLiteral("sa"));
    ASSERT_TRUE(searching());
    pressKey(Qt::Key_Return);
    EXPECT_FALSE(searching());
    EXPECT_EQ(opened, std::vector<int>({301}));
}

TEST_F(ProcessGridSearch, CtrlEnterAndCtrlShiftEnterMoveBetweenMatches)
{
    click(0, "program_name");
    typeText(QStringLiteral("s"));
    const std::pair<Qt::KeyboardModifiers, int> steps[] = {
        {Qt::ControlModifier, 2}, {Qt::ControlModifier, 3},
        {Qt::ControlModifier, 3},   // isql follows: no further match, the row stays
        {Qt::ControlModifier | Qt::ShiftModifier, 2}, {Qt::ControlModifier | Qt::ShiftModifier, 1},
    };
    for (const auto& [modifiers, row] : steps) {
        pressKey(Qt::Key_Return, modifiers);
        EXPECT_EQ(list().recNo(), row);
        EXPECT_TRUE(searching());
    }
    EXPECT_EQ(searchText(), "s");
}

TEST_F(ProcessGridSearch, AMoveByAKeyOrAClickEndsTheSearch)
{
    const std::pair<const char*, std::function<void()>> moves[] = {
        {"Down", [&] { pressKey(Qt::Key_Down); }},
        {"click on another row", [&] { click(4, "program_name"); }},
        {"click on another column", [&] { click(list().recNo(), "hostname"); }},
        {"refresh", [&] { tab.refreshKey(); }},
    };
    for (const auto& [what, move] : moves) {
        SCOPED_TRACE(what);
        click(0, "program_name");
        typeText(QStringLiteral("s"));
        ASSERT_TRUE(searching());
        move();
        EXPECT_FALSE(searching());
        EXPECT_EQ(searchText(), "");
    }
}

TEST_F(ProcessGridSearch, FindDialogMovesTheGridAndItsColumnOnlyWhenCaseIsIgnored)
{
    click(0, "spid");
    FindDialog dialog(QStringLiteral("Velmora"));
    dialog.openFor(grid(), {});
    dialog.cbFindIn->setCurrentIndex(dialog.cbFindIn->count() - 1);   // <All>
    dialog.cbMatchinType->setCurrentIndex(int(FindMatchType::Beginning));
    dialog.cbText->setEditText(QStringLiteral("master"));
    for (int row : {1, 3, 4}) {
        dialog.bFindClick();
        EXPECT_EQ(list().recNo(), row);
        EXPECT_EQ(grid().currentIndex().row(), row);
        EXPECT_EQ(currentField(), "hostname");
    }
    const int scrolled = grid().horizontalScrollBar()->value();
    EXPECT_TRUE(messages.empty());
    dialog.bFindClick();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text.toStdString(), "Строка \"master\" не найдена.");
    EXPECT_EQ(list().recNo(), 4);
    EXPECT_EQ(grid().currentIndex().row(), 4);
    EXPECT_EQ(grid().horizontalScrollBar()->value(), scrolled);

    // With case: only the lower-case host, and the grid's column stays where it was.
    click(0, "spid");
    dialog.cbCharCase->setChecked(true);
    dialog.cbText->setEditText(QStringLiteral("master "));
    dialog.cbText->setEditText(QStringLiteral("master"));   // a new pattern: a first try
    dialog.bFindClick();
    EXPECT_EQ(list().recNo(), 3);
    EXPECT_EQ(currentField(), "spid");
}

TEST_F(ProcessGridSearch, FindDialogStartsAtTheCurrentRowOrTheFirstAndCtrlTurnsItRound)
{
    struct Case { const char* what; FindDirection direction; bool ctrl; int row; };
    const Case cases[] = {
        {"Вниз examines the current row first", FindDirection::Down, false, 3},
        {"Все starts at the first row", FindDirection::All, false, 1},
        {"Ctrl turns Вниз upward", FindDirection::Down, true, 1},
    };
    FindDialog dialog(QStringLiteral("Velmora"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        click(c.ctrl ? 2 : 3, "hostname");
        dialog.openFor(grid(), QStringLiteral("master"));
        dialog.cbMatchinType->setCurrentIndex(int(FindMatchType::Beginning));
        dialog.cbFindDirection->setCurrentIndex(int(c.direction));
        ASSERT_TRUE(showActive(dialog));
        pressKey(Qt::Key_Return, c.ctrl ? Qt::ControlModifier : Qt::NoModifier);
        EXPECT_EQ(list().recNo(), c.row);
    }
    EXPECT_TRUE(messages.empty());
}

TEST(MainWindowFind, CtrlFInAGridOpensTheWindowsOneDialogAndInTheTopPanelOnlyEdits)
{
    velmora::testing::SettingsFile settings;
    velmora::testing::RecordedMessages recorded;
    MainWindow window;
    ASSERT_TRUE(showActive(window));
    ResultGrid& grid = *part<ResultGrid>(window, "processGrid");

    click(*part<QLineEdit>(window, "loginBox"));
    typeText(QStringLiteral("sa"));
    pressKey(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(window.findDialog(), nullptr);
    EXPECT_EQ(part<QLineEdit>(window, "loginBox")->text(), "sa");

    // Each opening searches once and closes with Esc; the choices of the first stay.
    std::vector<FindDialog*> opened;
    const auto openAndSearch = [&](const QString& pattern) {
        ASSERT_TRUE(showActive(window));
        click(*grid.viewport());
        // Keys run the event loop, so the dialog is looked for until it shows.
        QTimer whenShown;
        QObject::connect(&whenShown, &QTimer::timeout, [&, pattern] {
            FindDialog* dialog = window.findDialog();
            if (!dialog || !dialog->isVisible())
                return;
            whenShown.stop();
            opened.push_back(dialog);
            if (!showActive(*dialog))
                return;
            if (opened.size() == 1)
                dialog->cbMatchinType->setCurrentIndex(int(FindMatchType::Beginning));
            typeText(pattern);
            pressKey(Qt::Key_Return);
            pressKey(Qt::Key_Escape);
        });
        whenShown.start(10);
        pressKey(Qt::Key_F, Qt::ControlModifier);   // the incremental search first
        pressKey(Qt::Key_F, Qt::ControlModifier);
    };
    openAndSearch(QStringLiteral("one"));
    openAndSearch(QStringLiteral("two"));
    ASSERT_EQ(opened.size(), 2u);
    ASSERT_NE(opened[0], nullptr);
    EXPECT_EQ(opened[0], opened[1]);
    FindDialog& dialog = *window.findDialog();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.cbText->count(), 2);
    EXPECT_EQ(dialog.cbText->itemText(0), "one");
    EXPECT_EQ(dialog.cbText->itemText(1), "two");
    EXPECT_EQ(dialog.cbMatchinType->currentIndex(), int(FindMatchType::Beginning));
    EXPECT_EQ(dialog.cbFindIn->currentText(), grid.columns()[size_t(grid.currentColumn())].caption());

    // A grid of a window opened from a tab, which the main window owns (the lock grid has no
    // incremental search), opens the same dialog at its first Ctrl+F, filled from its own columns.
    ProcessDetailWindow locks(&window);
    ASSERT_TRUE(showActive(locks));
    QStringList lockColumns;
    click(*part<ResultGrid>(locks, "lockGrid")->viewport());
    QTimer whenShown;
    QObject::connect(&whenShown, &QTimer::timeout, [&] {
        FindDialog* shown = window.findDialog();
        if (!shown || !shown->isVisible())
            return;
        whenShown.stop();
        for (int i = 0; i < shown->cbFindIn->count(); ++i)
            lockColumns << shown->cbFindIn->itemText(i);
        if (showActive(*shown))
            pressKey(Qt::Key_Escape);
    });
    whenShown.start(10);
    pressKey(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(window.findDialog(), &dialog);
    ASSERT_FALSE(lockColumns.isEmpty());
    EXPECT_EQ(lockColumns.first(), part<ResultGrid>(locks, "lockGrid")->columns().front().caption());
}
