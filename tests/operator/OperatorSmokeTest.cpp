// An operator's session through real input on a real X display: connect, refresh, sort, the
// filter row typed into and picked from, find, incremental search, the detail window, Kill
// answered No, the tabs, the users grid as painted, the logs, the about box and Alt+X. What the
// program does is read from its widgets, from the painted screen and from the server's state.
#include "OperatorFixture.h"

#include "AboutBox.h"
#include "ColouredCheckBox.h"
#include "DatabaseTab.h"
#include "FilterRow.h"
#include "LogTab.h"
#include "ProcessTab.h"
#include "Query.h"
#include "ResultGrid.h"
#include "StatusPane.h"
#include "WindowParts.h"
#include "FindDialog.h"
#include "ProcessDetailWindow.h"
#include "WindowParts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <X11/keysym.h>
#include <algorithm>

using namespace velmora;
using velmora::testing::part;

namespace {

QPoint centre(const QWidget& widget)
{
    return widget.rect().center();
}

/// The number a grid cell shows, its digit group separators left out.
qint64 shownNumber(const ResultGrid& grid, int row, const QString& field)
{
    QString digits = OperatorTest::cellText(grid, row, field);
    digits.removeIf([](QChar c) { return !c.isDigit() && c != u'-'; });
    return digits.toLongLong();
}

QStringList columnTexts(const ResultGrid& grid, const QString& field)
{
    QStringList texts;
    for (int row = 0; row < grid.model()->rowCount(); ++row)
        texts << OperatorTest::cellText(grid, row, field);
    return texts;
}

QList<int> sortedSpids(QList<int> spids)
{
    std::sort(spids.begin(), spids.end());
    return spids;
}

int processesWhere(const sqlsim::ServerState& state, const std::function<bool(const sqlsim::Process&)>& holds)
{
    return int(std::count_if(state.processes.begin(), state.processes.end(), holds));
}

TEST_F(OperatorTest, ConnectsWithWhatWasTypedAndListsEveryProcess)
{
    EXPECT_EQ(part<QComboBox>(*window, "serverBox")->currentText(), QStringLiteral("127.0.0.1,%1").arg(sim.port()));
    EXPECT_EQ(part<QLineEdit>(*window, "loginBox")->text(), QStringLiteral("sa"));
    EXPECT_EQ(part<QLineEdit>(*window, "passwordBox")->text(), QStringLiteral("velmora"));
    EXPECT_FALSE(part<QToolButton>(*window, "connectButton")->isEnabled());
    EXPECT_FALSE(part<StatusPane>(*window, "versionPane")->text().isEmpty());
    EXPECT_EQ(processGrid().model()->rowCount(), serverState([](auto& state) { return int(state.processes.size()); }));
}

TEST_F(OperatorTest, F5ReadsTheProcessListAgain)
{
    ResultGrid& grid = processGrid();
    const int reads = serverState([](auto& state) { return state.refreshCount; });
    desk.click(*grid.viewport(), cellCentre(grid, 0, QStringLiteral("spid")));
    desk.key(XK_F5);
    EXPECT_EQ(serverState([](auto& state) { return state.refreshCount; }), reads + 1);
    QList<int> shown;
    for (const QString& spid : columnTexts(grid, QStringLiteral("spid")))
        shown << spid.toInt();
    const QList<int> held = serverState([](auto& state) {
        QList<int> spids;
        for (const sqlsim::Process& process : state.processes)
            spids << process.spid;
        return spids;
    });
    EXPECT_EQ(sortedSpids(shown), sortedSpids(held));
}

TEST_F(OperatorTest, TitleClicksSortByTheColumnOneWayThenTheOther)
{
    ResultGrid& grid = processGrid();
    const auto cpu = [&] {
        QList<qint64> values;
        for (int row = 0; row < grid.model()->rowCount(); ++row)
            values << shownNumber(grid, row, QStringLiteral("cpu"));
        return values;
    };
    const QList<qint64> unsorted = cpu();
    ASSERT_FALSE(std::is_sorted(unsorted.begin(), unsorted.end()));
    desk.click(*grid.horizontalHeader()->viewport(), titleCentre(grid, QStringLiteral("cpu")));
    const QList<qint64> first = cpu();
    desk.click(*grid.horizontalHeader()->viewport(), titleCentre(grid, QStringLiteral("cpu")));
    QList<qint64> second = cpu();
    std::reverse(second.begin(), second.end());
    EXPECT_TRUE(std::is_sorted(first.begin(), first.end()) || std::is_sorted(second.begin(), second.end()));
    EXPECT_EQ(first, second) << "the second click reverses the order";
}

/// A condition typed into the cpu filter cell: its text, made from the column's value list, and
/// whether a cpu figure meets it.
struct TypedCondition {
    const char* name;
    std::function<QString(const QStringList& listed)> text;
    std::function<bool(qint64 cpu, const QString& text)> holds;
};

void PrintTo(const TypedCondition& condition, std::ostream* out)
{
    *out << condition.name;
}

class TypedConditionTest : public OperatorTest, public ::testing::WithParamInterface<TypedCondition> {};

TEST_P(TypedConditionTest, AppliesOnEnterAsTyped)
{
    ResultGrid& grid = processGrid();
    FilterRow& filters = *grid.filterRow();
    desk.click(*grid.viewport(), cellCentre(grid, 0, QStringLiteral("spid")));
    desk.key(XK_F3);
    ASSERT_TRUE(filters.isRowVisible());
    const GridColumn& cpu = grid.columns()[size_t(grid.columnIndex(QStringLiteral("cpu")))];
    ASSERT_TRUE(cpu.filter.valueList && !cpu.filter.valueList->isEmpty());
    const QString typed = GetParam().text(*cpu.filter.valueList);
    ASSERT_FALSE(typed.isEmpty());
    const auto holds = [&](qint64 value) { return GetParam().holds(value, typed); };

    desk.click(*filters.viewport(), filterCellCentre(QStringLiteral("cpu")));
    ASSERT_EQ(filters.editedColumn(), grid.columnIndex(QStringLiteral("cpu")));
    desk.type(typed);
    EXPECT_EQ(filters.editor()->currentText(), typed);
    desk.key(XK_Return);
    EXPECT_EQ(cpu.filter.text, typed);
    EXPECT_EQ(grid.model()->rowCount(), serverState([&](auto& state) {
                  return processesWhere(state, [&](const sqlsim::Process& p) { return holds(p.cpu); });
              }));
    int breaking = 0;
    for (int row = 0; row < grid.model()->rowCount(); ++row)
        breaking += holds(shownNumber(grid, row, QStringLiteral("cpu"))) ? 0 : 1;
    EXPECT_EQ(breaking, 0) << "rows shown that do not meet " << typed.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Operator, TypedConditionTest,
    ::testing::Values(
        TypedCondition{"Comparison", [](const QStringList&) { return QStringLiteral(">10000"); },
                       [](qint64 cpu, const QString&) { return cpu > 10000; }},
        // The first digits of a listed value stay those digits: the list completes nothing.
        TypedCondition{"BeginningOfAListedValue",
                       [](const QStringList& listed) {
                           const auto longer = std::find_if(listed.begin(), listed.end(),
                                                            [](const QString& entry) { return entry.size() >= 3; });
                           return longer == listed.end() ? QString() : longer->left(2);
                       },
                       [](qint64 cpu, const QString& typed) { return cpu == typed.toLongLong(); }}),
    [](const ::testing::TestParamInfo<TypedCondition>& info) { return std::string(info.param.name); });

TEST_F(OperatorTest, ValuePickedFromTheListWithTheMouseFiltersAndRowsStayClickable)
{
    ResultGrid& grid = processGrid();
    FilterRow& filters = *grid.filterRow();
    desk.click(*grid.viewport(), cellCentre(grid, 0, QStringLiteral("spid")));
    desk.key(XK_F3);
    desk.click(*filters.viewport(), filterCellCentre(QStringLiteral("DBName")));
    QComboBox& editor = *filters.editor();
    ASSERT_TRUE(editor.isVisible());
    // A database more than one process is in, so that a row other than the first can be chosen.
    const auto processesIn = [this](const QString& name) {
        return serverState([&](auto& state) {
            const auto database = std::find_if(state.databases.begin(), state.databases.end(),
                                               [&](const sqlsim::Database& d) { return d.name == name; });
            return database == state.databases.end()
                       ? 0
                       : processesWhere(state, [&](const sqlsim::Process& p) { return p.dbid == database->dbid; });
        });
    };
    int entry = 0;
    while (entry < editor.count() && processesIn(editor.itemText(entry)) < 2)
        ++entry;
    ASSERT_LT(entry, editor.maxVisibleItems());
    const QString picked = editor.itemText(entry);

    desk.click(editor, QPoint(editor.width() - 4, editor.height() / 2));
    QAbstractItemView& list = *editor.view();
    ASSERT_TRUE(waitUntil([&] { return list.isVisible(); })) << "the drop-down list did not open";
    desk.click(*list.viewport(), list.visualRect(list.model()->index(entry, 0)).center());
    const GridColumn& database = grid.columns()[size_t(grid.columnIndex(QStringLiteral("DBName")))];
    EXPECT_TRUE(waitUntil([&] { return database.filter.text == picked; }));
    EXPECT_EQ(grid.model()->rowCount(), processesIn(picked));
    EXPECT_EQ(columnTexts(grid, QStringLiteral("DBName")).count(picked), grid.model()->rowCount());

    const int chosen = grid.model()->rowCount() - 1;
    desk.click(*grid.viewport(), cellCentre(grid, chosen, QStringLiteral("spid")));
    EXPECT_EQ(grid.currentIndex().row(), chosen);
    EXPECT_EQ(QApplication::focusWidget(), &grid);
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(grid.model()->rowCount(), processesIn(picked));

    // An empty cell entered and left takes no value from anywhere.
    desk.click(*filters.viewport(), filterCellCentre(QStringLiteral("kpid")));
    desk.click(*grid.viewport(), cellCentre(grid, 0, QStringLiteral("spid")));
    EXPECT_EQ(grid.columns()[size_t(grid.columnIndex(QStringLiteral("kpid")))].filter.text, QString());
    EXPECT_EQ(grid.model()->rowCount(), processesIn(picked));
}

TEST_F(OperatorTest, WheelOverAClosedValueListChangesNoFilter)
{
    ResultGrid& grid = processGrid();
    FilterRow& filters = *grid.filterRow();
    desk.click(*grid.viewport(), cellCentre(grid, 0, QStringLiteral("spid")));
    desk.key(XK_F3);
    const int all = grid.model()->rowCount();
    desk.click(*filters.viewport(), filterCellCentre(QStringLiteral("uid")));
    ASSERT_TRUE(filters.editor()->isVisible());
    desk.wheel(*filters.editor(), centre(*filters.editor()), -1);
    EXPECT_EQ(filters.editor()->currentText(), QString());
    EXPECT_EQ(grid.model()->rowCount(), all);
}

TEST_F(OperatorTest, CtrlFFindsTheNextRowWithThePattern)
{
    ResultGrid& grid = processGrid();
    const QStringList names = columnTexts(grid, QStringLiteral("DBName"));
    // The first row whose database name is part of no name in a row before it.
    int target = 1;
    while (target < names.size()
           && std::any_of(names.begin(), names.begin() + target,
                          [&](const QString& name) { return name.contains(names[target], Qt::CaseInsensitive); }))
        ++target;
    ASSERT_LT(target, names.size());
    desk.click(*grid.viewport(), cellCentre(grid, 0, QStringLiteral("DBName")));

    int found = -1;
    expectWindow<FindDialog>([&](FindDialog&) {
        desk.type(names[target]);
        desk.key(XK_Return);
        found = grid.currentIndex().row();
        desk.key(XK_Escape);
    });
    // The first Ctrl+F starts an empty incremental search; the second opens the dialog.
    desk.key(XK_f, Qt::ControlModifier);
    desk.key(XK_f, Qt::ControlModifier);
    ASSERT_TRUE(expectedWindowHandled());
    EXPECT_EQ(found, target);
    EXPECT_EQ(grid.currentIndex().row(), target);
}

TEST_F(OperatorTest, LettersTypedIntoTheGridFindTheRowIncrementally)
{
    ResultGrid& grid = processGrid();
    const QStringList names = columnTexts(grid, QStringLiteral("DBName"));
    const auto other = std::find_if(names.begin() + 1, names.end(), [&](const QString& name) {
        return name.size() >= 2 && !names.front().startsWith(name.left(2), Qt::CaseInsensitive);
    });
    ASSERT_NE(other, names.end());
    const QString typed = other->left(2);
    const auto first = std::find_if(names.begin(), names.end(),
                                    [&](const QString& name) { return name.startsWith(typed, Qt::CaseInsensitive); });
    desk.click(*grid.viewport(), cellCentre(grid, 0, QStringLiteral("DBName")));
    desk.type(typed);
    EXPECT_EQ(grid.currentIndex().row(), int(first - names.begin()));
    EXPECT_EQ(grid.incrementalSearcher()->state().text(), typed);
}

TEST_F(OperatorTest, EnterOnARowOpensItsDetailWindowAndItsButtonClosesIt)
{
    ResultGrid& grid = processGrid();
    const int spid = 57;
    ASSERT_GE(rowOfSpid(spid), 0);
    desk.click(*grid.viewport(), cellCentre(grid, rowOfSpid(spid), QStringLiteral("spid")));
    QString caption;
    int locks = -1;
    expectWindow<ProcessDetailWindow>([&](ProcessDetailWindow& detail) {
        caption = detail.windowTitle();
        locks = velmora::testing::part<ResultGrid>(detail, "lockGrid")->model()->rowCount();
        QToolButton& exit = *velmora::testing::part<QToolButton>(detail, "exitButton");
        desk.click(exit, centre(exit));
    });
    desk.key(XK_Return);
    ASSERT_TRUE(expectedWindowHandled());
    EXPECT_EQ(caption, QStringLiteral("Информация по процессу %1").arg(spid));
    EXPECT_EQ(locks, serverState([&](auto& state) {
                  return int(std::count_if(state.locks.begin(), state.locks.end(),
                                           [&](const sqlsim::Lock& lock) { return lock.spid == spid; }));
              }));
    EXPECT_TRUE(waitUntil([&] { return window->isActiveWindow(); }));
}

TEST_F(OperatorTest, KillAnsweredNoLeavesTheProcess)
{
    ResultGrid& grid = processGrid();
    const int spid = 57;
    ASSERT_GE(rowOfSpid(spid), 0);
    desk.click(*grid.viewport(), cellCentre(grid, rowOfSpid(spid), QStringLiteral("spid")));
    QString question;
    expectWindow<QMessageBox>([&](QMessageBox& box) {
        question = box.text();
        desk.click(*box.button(QMessageBox::No), centre(*box.button(QMessageBox::No)));
    });
    desk.key(XK_Delete, Qt::ControlModifier);
    ASSERT_TRUE(expectedWindowHandled());
    EXPECT_EQ(question, QStringLiteral("Вы действительно хотите удалить процесс %1?").arg(spid));
    EXPECT_EQ(serverState([&](auto& state) {
                  return processesWhere(state, [&](const sqlsim::Process& p) { return p.spid == spid; });
              }),
              1);
    EXPECT_GE(rowOfSpid(spid), 0);
}

TEST_F(OperatorTest, CtrlDDisconnectsAndCtrlCInEveryEditBoxConnectsAgain)
{
    // An edit box takes Ctrl+C for copying; the window's own key comes first.
    for (const char* name : {"serverBox", "loginBox", "passwordBox"}) {
        desk.key(XK_d, Qt::ControlModifier);
        ASSERT_TRUE(waitUntil([&] { return !processList().isActive(); })) << "Ctrl+D before " << name;
        QWidget& box = *part<QWidget>(*window, name);
        desk.click(box, centre(box));
        ASSERT_TRUE(waitUntil([&] { return box.hasFocus() || box.isAncestorOf(QApplication::focusWidget()); }));
        desk.key(XK_c, Qt::ControlModifier);
        EXPECT_TRUE(waitUntil([&] { return processList().isActive(); })) << "Ctrl+C in " << name;
    }
}

TEST_F(OperatorTest, EveryTabOpensByMouseAndByKey)
{
    QTabWidget& tabs = *part<QTabWidget>(*window, "tabs");
    QTabBar& bar = *tabs.tabBar();
    for (int tab = tabs.count() - 1; tab >= 0; --tab) {
        desk.click(bar, bar.tabRect(tab).center());
        EXPECT_EQ(tabs.currentIndex(), tab);
        EXPECT_TRUE(tabs.widget(tab)->isVisible()) << tab;
    }

    desk.click(*processGrid().viewport(), cellCentre(processGrid(), 0, QStringLiteral("spid")));
    const struct {
        unsigned long keysym;
        Qt::KeyboardModifiers modifiers;
        const char* name;
        int step;
    } keys[] = {{XK_Tab, Qt::ControlModifier, "Ctrl+Tab", 1},
                {XK_Next, Qt::ControlModifier, "Ctrl+PgDn", 1},
                {XK_Tab, Qt::ControlModifier | Qt::ShiftModifier, "Ctrl+Shift+Tab", -1},
                {XK_Prior, Qt::ControlModifier, "Ctrl+PgUp", -1}};
    int expected = 0;
    for (const auto& key : keys) {
        expected += key.step;
        desk.key(key.keysym, key.modifiers);
        EXPECT_EQ(tabs.currentIndex(), expected) << key.name << " with the focus in a page";
        // The next key starts from the tab it should have reached, with the focus in its page.
        if (tabs.currentIndex() != expected)
            desk.click(bar, bar.tabRect(expected).center());
    }

    // A click on a tab gives the tab bar the focus, so the arrow keys go on from there. (Another
    // row than before: a second click on the same spot would be a double click.)
    desk.click(*processGrid().viewport(), cellCentre(processGrid(), 1, QStringLiteral("spid")));
    desk.click(bar, bar.tabRect(0).center());
    desk.key(XK_Right);
    EXPECT_EQ(tabs.currentIndex(), 1) << "Right after a click on the tab shown";
}

TEST_F(OperatorTest, UsersGridIsRepaintedInTheNewOrderAfterATitleClick)
{
    QTabBar& bar = *part<QTabWidget>(*window, "tabs")->tabBar();
    desk.click(bar, bar.tabRect(part<QTabWidget>(*window, "tabs")->indexOf(part<DatabaseTab>(*window, "databaseTab"))).center());
    const DatabaseTab& databases = *part<DatabaseTab>(*window, "databaseTab");
    ResultGrid& list = *part<ResultGrid>(databases, "databaseListGrid");
    ASSERT_GT(list.model()->rowCount(), 0);
    desk.click(*list.viewport(), cellCentre(list, 0, list.columns().front().fieldName));
    desk.key(XK_F5);
    ResultGrid& users = *part<ResultGrid>(databases, "userGrid");
    ASSERT_GE(users.model()->rowCount(), 3);

    // What the screen shows of the grid's data area against what the grid draws from its rows now.
    QWidget& area = *users.viewport();
    const auto onScreen = [&] {
        const QPoint origin = area.mapToGlobal(QPoint(0, 0));
        return area.screen()->grabWindow(0, origin.x(), origin.y(), area.width(), area.height()).toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    const auto drawn = [&] { return area.grab().toImage().convertToFormat(QImage::Format_RGB32); };
    ASSERT_TRUE(waitUntil([&] { return onScreen() == drawn(); })) << "the screen shows the grid as it draws itself";

    // A click and a Ctrl+click (applied when Ctrl is let go) on the name title, each changing the
    // order, with the focus in the grid as the operator leaves it after choosing a user.
    desk.click(area, cellCentre(users, 0, QStringLiteral("name")));
    for (const Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ControlModifier)}) {
        SCOPED_TRACE(modifiers ? "Ctrl+click" : "click");
        const QStringList before = columnTexts(users, QStringLiteral("name"));
        const QImage paintedBefore = onScreen();
        desk.click(*users.horizontalHeader()->viewport(), titleCentre(users, QStringLiteral("name")), Qt::LeftButton,
                   modifiers);
        EXPECT_NE(columnTexts(users, QStringLiteral("name")), before);
        EXPECT_TRUE(waitUntil([&] { return onScreen() == drawn(); })) << "the screen still shows the old order";
        EXPECT_NE(onScreen(), paintedBefore);
    }
}

TEST_F(OperatorTest, LogsShowTheArchiveChosenAndHideLinesWithoutASource)
{
    auto& logs = *window->findChild<LogTab*>();
    QTabBar& bar = *part<QTabWidget>(*window, "tabs")->tabBar();
    desk.click(bar, bar.tabRect(part<QTabWidget>(*window, "tabs")->indexOf(&logs)).center());
    ResultGrid& archives = *part<ResultGrid>(logs, "archiveGrid");
    ResultGrid& lines = *part<ResultGrid>(logs, "entryGrid");
    const QGroupBox& entriesBox = *part<QGroupBox>(logs, "entriesBox");
    ColouredCheckBox& withoutSource = *part<ColouredCheckBox>(logs, "withoutSourceCheckBox");
    ASSERT_GE(archives.model()->rowCount(), 2);
    // The archive chosen with the mouse is the one F5 reads; the current log has lines without
    // a source, the second archive two short lines with one.
    for (const int row : {1, 0}) {
        desk.click(*archives.viewport(), cellCentre(archives, row, QStringLiteral("Archive #")));
        EXPECT_EQ(part<Query>(logs, "LogNumQuery")->recNo(), row);
        const int archive = cellText(archives, row, QStringLiteral("Archive #")).toInt();
        desk.key(XK_F5);
        EXPECT_TRUE(entriesBox.title().endsWith(QStringLiteral(" №%1").arg(archive)))
            << entriesBox.title().toStdString();
        if (archive != 0) {
            EXPECT_EQ(lines.model()->rowCount(),
                      serverState([&](auto& state) { return int(state.errorLogs[size_t(archive)].lines.size()); }));
        }
    }

    const QStringList sources = columnTexts(lines, QStringLiteral("spid"));
    const int withSource = int(sources.size() - sources.count(QString()));
    ASSERT_LT(withSource, sources.size()) << "the archive has lines without a source";
    ASSERT_TRUE(withoutSource.isChecked());
    desk.click(withoutSource, QPoint(6, withoutSource.height() / 2));
    EXPECT_EQ(lines.model()->rowCount(), withSource);
    desk.click(withoutSource, QPoint(6, withoutSource.height() / 2));
    EXPECT_EQ(lines.model()->rowCount(), sources.size());
}

TEST_F(OperatorTest, F1ShowsTheAboutBoxAndItsButtonClosesIt)
{
    QString version;
    expectWindow<AboutBox>([&](AboutBox& box) {
        version = part<QLabel>(box, "version")->text();
        QPushButton& ok = *part<QPushButton>(box, "okButton");
        desk.click(ok, centre(ok));
    });
    desk.key(XK_F1);
    ASSERT_TRUE(expectedWindowHandled());
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral(". Версия: ") + version)) << version.toStdString();
    EXPECT_TRUE(waitUntil([&] { return window->isActiveWindow(); }));
}

TEST_F(OperatorTest, AltXClosesTheWindowAndSavesTheSettings)
{
    ResultGrid& grid = processGrid();
    desk.click(*grid.horizontalHeader()->viewport(), titleCentre(grid, QStringLiteral("DBName")));
    const QString sort = processList().sort();
    ASSERT_FALSE(sort.isEmpty());
    desk.key(XK_x, Qt::AltModifier);
    ASSERT_TRUE(waitUntil([&] { return !window->isVisible(); }));
    const QString saved = velmora::testing::SettingsFile::text();
    EXPECT_TRUE(saved.contains(QStringLiteral("ServerName=127.0.0.1,%1").arg(sim.port()))) << saved.toStdString();
    EXPECT_TRUE(saved.contains(QStringLiteral("LoginName=sa"))) << saved.toStdString();
    EXPECT_TRUE(saved.contains(QStringLiteral("Sort=") + sort)) << saved.toStdString();
}

} // namespace
