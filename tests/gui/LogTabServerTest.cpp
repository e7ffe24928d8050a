// The "Логи" tab against the simulated server through the real driver: the archive list and
// its last entry, the refresh with the server's split of each line, the source filter held on
// the client, and the archives that are empty or cannot be read.
#include "ColouredCheckBox.h"
#include "Connection.h"
#include "DbError.h"
#include "FieldMemo.h"
#include "LogQueries.h"
#include "LogTab.h"
#include "MessageSeam.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SimFixture.h"
#include "WindowInput.h"
#include "WindowParts.h"

#include <QGroupBox>
#include <QSet>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QString LongMessage = QString(250, u'x');

class LogTabServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        {
            std::lock_guard lock(sim.engine().mutex());
            const QDateTime written(QDate(2004, 1, 15), QTime(10, 5));
            sim.engine().state().errorLogs = {
                {0, written, {
                    "2004-01-15 10:00:00.12 spid51    Starting up database",
                    "**********",
                    "2004-01-15 10:00:01.00 spid12345 nine-character source",
                    "2004-01-15 10:00:02.00 spid123456 longer source",
                    "2004-01-15 10:00:03.50 backup    " + LongMessage,
                    "\tMay  3 2005 23:18:38 ",
                }},
                {1, written.addDays(-1), {"2004-01-14 09:00:00.00 server    Microsoft SQL Server  2000",
                                          "2004-01-14 18:00:00.00 spid2     SQL Server is terminating."}},
                {2, written.addDays(-2), {}},
                {3, written.addDays(-3), {"2004-01-13 09:00:00.00 server    unread"}, true},
            };
        }
        previousHandler = setMessageHandler([this](const MessageRequest& request) {
            messages << request.text;
            return QMessageBox::Ok;
        });
    }
    void TearDown() override { setMessageHandler(previousHandler); }

    void connectTab()
    {
        connection.setConnectionString(sim.oledbConnectionString());
        connection.open();
        tab.setConnectedState(true);
        tab.openAfterConnect(ServerFamily::Sql2000);
    }
    int batches()
    {
        std::lock_guard lock(sim.engine().mutex());
        return sim.engine().state().batchCount;
    }
    Query& entries() { return *part<Query>(tab, "LogListQuery"); }
    /// The visible entries' ids.
    QString shownIds()
    {
        QStringList ids;
        for (int row = 0; row < entries().recordCount(); ++row)
            ids << entries().valueAt(row, 0).toString();
        return ids.join(u' ');
    }
    QString cell(int visibleRow, const char* field)
    {
        const QVariant value = entries().valueAt(visibleRow, entries().fieldIndex(field));
        return value.isValid() ? value.toString() : QStringLiteral("<null>");
    }
    void selectArchive(int archive) { ASSERT_TRUE(archives.locate("Archive #", archive)); }

    SimFixture sim{sqlsim::ServerVersion::Sql2000, false};
    Connection connection;
    LogTab tab{&connection};
    Query& archives = *part<Query>(tab, "LogNumQuery");
    const FieldMemo& lastEntryMemo = *part<FieldMemo>(tab, "lastEntryMemo");
    const FieldMemo& currentEntryMemo = *part<FieldMemo>(tab, "currentEntryMemo");
    const QGroupBox& entriesBox = *part<QGroupBox>(tab, "entriesBox");
    ColouredCheckBox& withoutSource = *part<ColouredCheckBox>(tab, "withoutSourceCheckBox");
    ResultGrid& archiveGrid = *part<ResultGrid>(tab, "archiveGrid");
    ResultGrid& entryGrid = *part<ResultGrid>(tab, "entryGrid");
    QStringList messages;
    MessageHandler previousHandler;
};

} // namespace

TEST_F(LogTabServer, ConnectListsTheArchivesWithTheLastLineOfTheFirst)
{
    connectTab();
    ASSERT_EQ(archives.recordCount(), 4);
    EXPECT_EQ(archives.value("Archive #").toInt(), 0);
    // The reader's last row is the last line read, which here continues the long backup line.
    EXPECT_EQ(lastEntryMemo.toPlainText(), "\tMay  3 2005 23:18:38 ");
    EXPECT_FALSE(entries().isActive());
    EXPECT_EQ(entriesBox.title(), "Лог");
}

TEST_F(LogTabServer, RefreshSplitsEachLineIntoDateSourceAndMessage)
{
    connectTab();
    tab.refreshKey();

    ASSERT_EQ(entries().recordCount(), 7);
    EXPECT_EQ(entriesBox.title(), "Лог №0");
    EXPECT_EQ(entries().valueAt(0, 1).toDateTime(), QDateTime(QDate(2004, 1, 15), QTime(10, 0, 0, 120)));
    struct Expected {
        int row;
        const char* spid;
        QString info;
        int i;
    };
    const Expected expected[] = {
        {0, "spid51", "Starting up database", 0},
        {1, "<null>", "**********", 0},                    // no blank: no date, the whole line
        {2, "spid12345", "5 nine-character source", 0},    // the source's last character begins the message
        {3, "spid12345", "56 longer source", 0},           // a longer source is cut at 9
        {4, "backup", QString(222, u'x'), 0},
        {5, "<null>", QString(28, u'x'), 1},               // the reader's continuation row
        {6, "<null>", "\tMay  3 2005 23:18:38", 0},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.row);
        EXPECT_EQ(cell(e.row, "spid"), QString::fromUtf8(e.spid));
        EXPECT_EQ(cell(e.row, "Info"), e.info);
        EXPECT_EQ(cell(e.row, "i").toInt(), e.i);
        EXPECT_EQ(cell(e.row, "id").toInt(), e.row + 1);
    }
    EXPECT_EQ(cell(1, "Dates"), "<null>");

    // Continuation rows pink, every other row light blue, text black.
    const GridColumn& column = entryGrid.columns().front();
    for (auto [row, colour] : {std::pair{4, QColor(203, 221, 254)}, {5, QColor(255, 231, 230)}}) {
        QFont font;
        QColor background, text;
        entryGrid.onGetCellParams(column, entries().visibleRow(row), font, background, text);
        EXPECT_EQ(background, colour);
        EXPECT_EQ(text, QColor(Qt::black));
    }

    // The current entry's message in full below the list.
    entries().moveTo(4);
    EXPECT_EQ(currentEntryMemo.toPlainText(), QString(222, u'x'));
}

TEST_F(LogTabServer, ClearedBoxHidesUndatedRowsAndCheckingShowsThemWithoutARequest)
{
    connectTab();
    withoutSource.setChecked(false);   // no entries held yet: only the mark changes
    EXPECT_FALSE(entries().filtered());
    tab.refreshKey();
    EXPECT_EQ(shownIds(), "1 3 4 5");

    const int before = batches();
    withoutSource.setChecked(true);
    EXPECT_EQ(shownIds(), "1 2 3 4 5 6 7");
    withoutSource.setChecked(false);
    EXPECT_EQ(shownIds(), "1 3 4 5");
    EXPECT_EQ(batches(), before);
}

TEST_F(LogTabServer, BoxToggledWhileDisconnectedAppliesAtTheNextRefresh)
{
    EXPECT_TRUE(withoutSource.isChecked());
    EXPECT_TRUE(withoutSource.isEnabled());
    EXPECT_FALSE(part<QToolButton>(tab, "logRefreshButton")->isEnabled());
    withoutSource.setChecked(false);
    tab.refreshKey();   // nothing is open: nothing is asked
    EXPECT_EQ(batches(), 0);
    EXPECT_FALSE(withoutSource.isChecked());

    connectTab();
    tab.refreshKey();
    EXPECT_EQ(shownIds(), "1 3 4 5");
}

TEST_F(LogTabServer, EmptyArchiveLeavesMemoAndListEmpty)
{
    connectTab();
    selectArchive(2);
    EXPECT_TRUE(part<Query>(tab, "LogNumInfoQuery")->isActive());
    EXPECT_EQ(lastEntryMemo.toPlainText(), "");
    tab.refreshKey();
    EXPECT_TRUE(entries().isActive());
    EXPECT_EQ(entries().recordCount(), 0);
    EXPECT_EQ(currentEntryMemo.toPlainText(), "");
    EXPECT_EQ(entriesBox.title(), "Лог №2");
}

TEST_F(LogTabServer, UnreadableArchiveShowsTheErrorAndKeepsTheEntriesAndCaption)
{
    connectTab();
    tab.refreshKey();
    ASSERT_EQ(entries().recordCount(), 7);

    selectArchive(3);   // the last entry fails: shown by the error display
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("xp_readerrorlog() returned error 32")) << messages[0].toStdString();
    EXPECT_EQ(lastEntryMemo.toPlainText(), "");

    // The raw log fails first: the entries and the caption stay those of archive 0.
    EXPECT_THROW(tab.refreshKey(), DbError);
    EXPECT_EQ(entries().recordCount(), 7);
    EXPECT_EQ(entriesBox.title(), "Лог №0");
}

TEST_F(LogTabServer, FailureOfTheEntryListLeavesItClosedAndTheCaptionUnchanged)
{
    connectTab();
    tab.refreshKey();
    selectArchive(1);
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().faults.errorOnStatement = QStringLiteral("Select * from #EnumErrorLogsBest");
    }
    EXPECT_THROW(tab.refreshKey(), DbError);
    EXPECT_FALSE(entries().isActive());
    EXPECT_EQ(entryGrid.model()->rowCount(), 0);
    EXPECT_EQ(entriesBox.title(), "Лог №0");
}

TEST_F(LogTabServer, ArrowKeysReloadOnlyTheLastEntryAndEnterRefreshes)
{
    connectTab();
    tab.refreshKey();
    ASSERT_TRUE(showActive(tab));
    click(*archiveGrid.viewport(), archiveGrid.visualRect(archiveGrid.currentIndex()).center());

    const int before = batches();
    pressKey(Qt::Key_Down);
    EXPECT_EQ(archives.value("Archive #").toInt(), 1);
    EXPECT_EQ(batches(), before + 1);
    EXPECT_EQ(lastEntryMemo.toPlainText(), "2004-01-14 18:00:00.00 spid2     SQL Server is terminating.");
    EXPECT_EQ(entries().recordCount(), 7);   // still archive 0
    EXPECT_EQ(entriesBox.title(), "Лог №0");

    pressKey(Qt::Key_Return);
    EXPECT_EQ(batches(), before + 3);   // the raw log and the entry list
    EXPECT_EQ(entriesBox.title(), "Лог №1");
    EXPECT_EQ(entries().recordCount(), 2);
}

TEST_F(LogTabServer, DoubleClickInTheArchiveListRefreshes)
{
    connectTab();
    selectArchive(1);
    tab.resize(959, 434);
    ASSERT_TRUE(showActive(tab));
    const QRect second = archiveGrid.visualRect(archiveGrid.model()->index(1, 0));
    doubleClick(*archiveGrid.viewport(), second.center());
    EXPECT_EQ(entriesBox.title(), "Лог №1");
    EXPECT_EQ(entries().recordCount(), 2);
}

TEST_F(LogTabServer, DisconnectClosesEverythingAndKeepsTheCaption)
{
    connectTab();
    tab.refreshKey();
    tab.closeAtDisconnect();
    tab.setConnectedState(false);
    for (const char* query : {"LogNumQuery", "LogNumInfoQuery", "LogListQuery", "LogQuery"})
        EXPECT_FALSE(part<Query>(tab, query)->isActive()) << query;
    EXPECT_EQ(lastEntryMemo.toPlainText(), "");
    EXPECT_EQ(entriesBox.title(), "Лог №0");
    EXPECT_FALSE(part<QToolButton>(tab, "logRefreshButton")->isEnabled());
}

TEST(LogTabLayout, SeparatorEndsAtTheCheckBoxAndTheLastEntryBoxHasOnlyTopAndBottomBorders)
{
    Connection connection;
    LogTab tab(&connection);
    tab.resize(959, 434);
    tab.show();
    const QFrame* spacer = part<QFrame>(tab, "logToolBarSeparator");
    EXPECT_EQ(spacer->x(), 29);
    EXPECT_EQ(spacer->width(), 4);
    EXPECT_EQ(part<ColouredCheckBox>(tab, "withoutSourceCheckBox")->geometry(), QRect(33, 6, 197, 17));

    // Which sides of a box are drawn: a line shows as a second colour in the band between the
    // box's edge and its content, in the middle of the side (the top one at the right, clear of
    // the caption).
    const auto drawnSides = [](QGroupBox* box) {
        const QImage image = box->grab().toImage();
        const QRect content = box->childrenRect();
        const auto drawn = [&](QRect band) {
            QSet<QRgb> colours;
            for (int y = band.top(); y <= band.bottom(); ++y)
                for (int x = band.left(); x <= band.right(); ++x)
                    colours.insert(image.pixel(x, y));
            return colours.size() > 1;
        };
        const int w = image.width();
        const int h = image.height();
        QString sides;
        sides += drawn(QRect(QPoint(w - 6, 0), QPoint(w - 6, content.top() - 1))) ? u'T' : u'-';
        sides += drawn(QRect(QPoint(w / 2, content.bottom() + 1), QPoint(w / 2, h - 1))) ? u'B' : u'-';
        sides += drawn(QRect(QPoint(0, h / 2), QPoint(content.left() - 1, h / 2))) ? u'L' : u'-';
        sides += drawn(QRect(QPoint(content.right() + 1, h / 2), QPoint(w - 1, h / 2))) ? u'R' : u'-';
        return sides;
    };
    EXPECT_EQ(drawnSides(part<QGroupBox>(tab, "lastEntryBox")), QStringLiteral("TB--"));
    EXPECT_EQ(drawnSides(part<QGroupBox>(tab, "currentEntryBox")), QStringLiteral("TBLR"));
}

TEST(LogTabCheckBox, FrameTurnsToTheHotTrackColourUnderTheMouse)
{
    Connection connection;
    LogTab tab(&connection);
    ColouredCheckBox& box = *part<ColouredCheckBox>(tab, "withoutSourceCheckBox");
    EXPECT_EQ(box.text(), "Показывать записи без источника");
    EXPECT_EQ(box.currentFrameColour(), QColor(28, 81, 128));
    EXPECT_EQ(box.checkColour(), QColor(33, 161, 33));
    ASSERT_TRUE(showActive(tab));
    moveMouse(box, {2, 2});
    EXPECT_EQ(box.currentFrameColour(), QColor(255, 199, 60));
    moveMouse(box, {2, box.height() + 20});
    EXPECT_EQ(box.currentFrameColour(), QColor(28, 81, 128));
}
