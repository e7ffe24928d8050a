// Copying and saving what a grid shows: Ctrl+C in the main window's grids once the window is
// connected (while disconnected the key still connects), and the cells' context menu saving
// the visible rows as a CSV file, or telling why it could not.
#include "MainWindowTestSupport.h"
#include "ResultGridTestData.h"

#include "ResultGrid.h"
#include "SimFixture.h"

#include <QClipboard>
#include <QMenu>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

#include <mutex>

using namespace velmora;
using namespace velmora::testing;

namespace {

/// Tab-separated lines with every cell's trailing blanks, which no one sees, left out.
QString withoutTrailingBlanks(const QString& text)
{
    static const QRegularExpression blanks(QStringLiteral(" +(?=[\t\n])"));
    return QString(text).remove(blanks);
}

/// What the grid shows of its visible row `row` under its titles, read from the view in its
/// on-screen column order; cells without their trailing blanks.
QString shownRow(const ResultGrid& grid, int row)
{
    const QHeaderView& header = *grid.horizontalHeader();
    QStringList titles;
    QStringList cells;
    for (int visual = 0; visual < header.count(); ++visual) {
        const int column = header.logicalIndex(visual);
        if (grid.isColumnHidden(column))
            continue;
        titles << grid.model()->headerData(column, Qt::Horizontal).toString();
        cells << grid.model()->index(row, column).data().toString();
    }
    return withoutTrailingBlanks(titles.join(u'\t') + u'\n' + cells.join(u'\t') + u'\n');
}

class GridCopyInMainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        fillLogin(window, QStringLiteral("127.0.0.1,%1").arg(sim.port()), QStringLiteral("sa"),
                  QStringLiteral("velmora"));
        window.resize(1000, 600);
        ASSERT_TRUE(showActive(window));
        pressKey(Qt::Key_C, Qt::ControlModifier);
        ASSERT_FALSE(part<QAction>(window, "ConnectAction")->isEnabled());
    }

    SettingsFile settings;
    WorkingDirectory directory;
    RecordedMessages messages;
    SimFixture sim;
    MainWindow window;
};

} // namespace

TEST_F(GridCopyInMainWindow, CtrlCCopiesTheCurrentRowWhileConnectedAndConnectsWhileNot)
{
    ResultGrid& grid = *part<ResultGrid>(window, "processGrid");
    ASSERT_GE(grid.model()->rowCount(), 3);
    QClipboard& clipboard = *QGuiApplication::clipboard();
    GridColumns columns = grid.columns();
    columns[1].visible = false;
    grid.setColumns(columns);
    grid.horizontalHeader()->moveSection(3, 0);   // as a drag of the title does
    clipboard.setText(QStringLiteral("before"));
    velmora::testing::click(*grid.viewport(), grid.visualRect(grid.model()->index(0, 2)).center());
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Right})
        pressKey(key);
    ASSERT_EQ(grid.currentIndex().row(), 2);
    pressKey(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(withoutTrailingBlanks(clipboard.text()), shownRow(grid, 2));
    EXPECT_TRUE(clipboard.text().contains(u'\t'));
    EXPECT_FALSE(part<QAction>(window, "ConnectAction")->isEnabled()) << "still connected";

    pressKey(Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(part<QAction>(window, "ConnectAction")->isEnabled());
    clipboard.setText(QStringLiteral("before"));
    velmora::testing::click(*grid.viewport(), QPoint(5, 5));
    pressKey(Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(part<QAction>(window, "ConnectAction")->isEnabled()) << "connected again";
    EXPECT_EQ(clipboard.text(), QStringLiteral("before"));
    EXPECT_EQ(messages.texts(), QString());
}

namespace {

class GridMenuTest : public ResultGridTest {
protected:
    /// Right-clicks at `point` of `where` (a part of the grid) and returns the entries of the
    /// menu that opens; with a `path`, chooses the entry and types the path into the file
    /// dialog, else closes the menu. No entries when no menu opens.
    QStringList menuAt(QWidget& where, QPoint point, const QString& path = {})
    {
        QStringList entries;
        // Two timers: one does not fire again while its own handler waits in the dialog.
        QTimer menuPoll;
        QTimer dialogPoll;
        QObject::connect(&menuPoll, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            menuPoll.stop();
            for (const QAction* action : menu->actions())
                entries << action->text();
            if (path.isEmpty()) {
                menu->close();
                return;
            }
            dialogPoll.start(20);
            pressKey(Qt::Key_Down);
            pressKey(Qt::Key_Return);
        });
        QObject::connect(&dialogPoll, &QTimer::timeout, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || QGuiApplication::focusWindow() != dialog->windowHandle())
                return;
            dialogPoll.stop();
            typeText(path);
            pressKey(Qt::Key_Return);
        });
        menuPoll.start(20);
        velmora::testing::click(where, point, Qt::RightButton);
        QTest::qWait(100);
        return entries;
    }

    QTemporaryDir dir;
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

} // namespace

TEST_F(GridMenuTest, TheCellsMenuSavesTheVisibleRowsOrTellsWhyNot)
{
    // The title row keeps its own right click: no menu there.
    EXPECT_EQ(menuAt(*header().viewport(), titleCentre(QStringLiteral("spid"))), QStringList());

    RecordedMessages messages;
    query.setSort(QStringLiteral("spid"));
    query.setFilter(QStringLiteral(" [cpu] < 25 "));
    query.setFiltered(true);
    GridColumns columns = grid.columns();
    columns[1].visible = false;
    grid.setColumns(columns);
    const QPoint cell = grid.visualRect(grid.model()->index(0, 0)).center();

    const QString path = dir.filePath(QStringLiteral("rows.csv"));
    EXPECT_EQ(menuAt(*grid.viewport(), cell, path), QStringList{QStringLiteral("Сохранить в CSV…")});
    EXPECT_EQ(fileBytes(path), "\xEF\xBB\xBF" "spid,loginame\r\n51,sa\r\n53,web\r\n54,sa\r\n");

    const QString unwritable = dir.filePath(QStringLiteral("missing/rows.csv"));
    menuAt(*grid.viewport(), cell, unwritable);
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_TRUE(messages.all[0].text.startsWith(
        QStringLiteral("Не удалось сохранить файл \"%1\": ").arg(unwritable)))
        << messages.all[0].text.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("rows.csv")});
}

TEST_F(GridCopyInMainWindow, CtrlCInTheDetailWindowCopiesItsLockRow)
{
    QString copied;
    QString shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* detail = QApplication::activeModalWidget();
        if (!detail || QGuiApplication::focusWindow() != detail->windowHandle())
            return;
        poll.stop();
        ResultGrid& locks = *part<ResultGrid>(*detail, "lockGrid");
        if (locks.model()->rowCount() > 1) {
            velmora::testing::click(*locks.viewport(), locks.visualRect(locks.model()->index(1, 0)).center());
            pressKey(Qt::Key_C, Qt::ControlModifier);
            copied = withoutTrailingBlanks(QGuiApplication::clipboard()->text());
            shown = shownRow(locks, 1);
        }
        detail->close();
    });
    ResultGrid& processes = *part<ResultGrid>(window, "processGrid");
    Query& list = *processes.dataSource();
    list.moveTo(1);
    {
        std::lock_guard lock(sim.engine().mutex());
        const auto spid = qint16(list.value(QStringLiteral("spid")).toInt());
        sim.engine().state().locks.push_back({spid, 117575457, 1, 5});
        sim.engine().state().locks.push_back({spid, 117575458, 1, 5});
    }
    velmora::testing::click(*processes.viewport(), processes.visualRect(processes.currentIndex()).center());
    poll.start(20);
    pressKey(Qt::Key_Return);
    EXPECT_EQ(copied, shown);
    EXPECT_EQ(copied.count(u'\n'), 2) << copied.toStdString();
}
