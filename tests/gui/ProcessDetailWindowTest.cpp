// The process detail window against the simulated server: opening from the process list, the
// lock rows with their looked-up names, the input buffer, the sort, refreshes and their failures.
#include "Connection.h"
#include "DbError.h"
#include "GridHeader.h"
#include "LockQueries.h"
#include "MessageSeam.h"
#include "ProcessTab.h"
#include "Query.h"
#include "ResultGrid.h"
#include "ServerWait.h"
#include "SimFixture.h"
#include "ProcessDetailWindow.h"
#include "WindowInput.h"
#include "WindowParts.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

// Process 301 holds locks in three databases, read from the server out of dbid order; the one
// in database 10 (whose name is 29 characters long) falls on an object no database knows.
void addProcessWithLocks(sqlsim::ServerState& state)
{
    sqlsim::Process process;
    process.spid = 301;
    process.status = QStringLiteral("sleeping");
    process.loginame = QStringLiteral("tester");
    process.login_time = process.last_batch = QDateTime::currentDateTime();
    process.inputEvent = QStringLiteral("RPC Event");
    process.inputParameters = 2;
    process.inputText = QStringLiteral("sp_executesql;1");
    state.processes.push_back(process);
    state.locks.push_back({301, 21575115, 6, 1, 0, 0, QStringLiteral("TAB"), {}, QStringLiteral("X"), false});
    state.locks.push_back({301, 0, 1, 2, 0, 0, QStringLiteral("DB"), {}, QStringLiteral("S"), false});
    state.locks.push_back({301, 2073058421, 6, 4, 0, 1, QStringLiteral("KEY"), QStringLiteral("(0a0087c006b1)"),
                           QStringLiteral("IX"), true});
    state.locks.push_back({301, 99, 10, 1, 0, 0, QStringLiteral("TAB"), {}, QStringLiteral("X"), false});
}

Query& lockQuery(const ProcessDetailWindow& window)
{
    return *part<Query>(window, "LockQuery");
}
ResultGrid& lockGrid(const ProcessDetailWindow& window)
{
    return *part<ResultGrid>(window, "lockGrid");
}
// The lower boxes' texts.
QString eventType(const ProcessDetailWindow& window)
{
    return part<QLineEdit>(window, "EventTypeEdit")->text();
}
QString parameters(const ProcessDetailWindow& window)
{
    return part<QLineEdit>(window, "ParametersEdit")->text();
}
QString eventInfo(const ProcessDetailWindow& window)
{
    return part<QPlainTextEdit>(window, "EventInfoMemo")->toPlainText();
}

struct RecordedMessages {
    RecordedMessages()
        : previous(setMessageHandler([this](const MessageRequest& request) {
            all.push_back(request);
            return QMessageBox::Ok;
        })) {}
    ~RecordedMessages() { setMessageHandler(previous); }
    std::vector<MessageRequest> all;
    MessageHandler previous;
};

class ProcessDetailWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        changeServer(addProcessWithLocks);
        connection.setConnectionString(sim.oledbConnectionString());
        connection.open();
    }

    template <typename Change> void changeServer(Change change)
    {
        std::lock_guard lock(sim.engine().mutex());
        change(sim.engine().state());
    }
    int batches()
    {
        std::lock_guard lock(sim.engine().mutex());
        return sim.engine().state().batchCount;
    }
    void failOn(const QString& statement)
    {
        changeServer([&](sqlsim::ServerState& state) { state.faults.errorOnStatement = statement; });
    }

    /// "spid|dbid|DB Name|ObjId|Object|Status" of every visible lock row, a line each.
    static QString lockRows(const ProcessDetailWindow& window)
    {
        const Query& locks = lockQuery(window);
        QStringList lines;
        for (int row = 0; row < locks.recordCount(); ++row) {
            QStringList values;
            for (const char* field : {"spid", "dbid", "DBName", "ObjId", "OName", "Status"})
                values << locks.valueAt(row, locks.fieldIndex(QString::fromLatin1(field))).toString();
            lines << values.join(u'|');
        }
        return lines.join(u'\n');
    }
    static QString marks(const ProcessDetailWindow& window)
    {
        QStringList marked;
        for (const GridColumn& column : lockGrid(window).columns()) {
            if (column.sortMarker != SortMarker::None)
                marked << column.fieldName + (column.sortMarker == SortMarker::Down ? u'+' : u'-');
        }
        return marked.join(u' ');
    }
    static void clickTitle(ProcessDetailWindow& window, const QString& title)
    {
        auto& header = static_cast<GridHeader&>(*lockGrid(window).horizontalHeader());
        int column = 0;
        while (lockGrid(window).columns()[size_t(column)].title != title)
            ++column;
        click(*header.viewport(),
              {header.sectionViewportPosition(column) + header.sectionSize(column) / 2, header.height() / 2});
    }

    SimFixture sim;
    Connection connection;
};

TEST_F(ProcessDetailWindowTest, OpensWithTheCaptionTheInputBufferAndTheLocksSortedByDatabase)
{
    ProcessDetailWindow window;
    window.openQueries(&connection, QStringLiteral("57"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Информация по процессу 57"));
    EXPECT_EQ(lockQuery(window).commandText(), QStringLiteral("Exec sp_lock 57\r\n"));
    EXPECT_EQ(part<Query>(window, "inputBufferQuery")->commandText(), QStringLiteral("dbcc inputbuffer(57)\r\n"));
    EXPECT_EQ(eventType(window), QStringLiteral("Language Event"));
    EXPECT_EQ(parameters(window), QStringLiteral("0"));
    EXPECT_TRUE(eventInfo(window).startsWith(QStringLiteral("insert into OrderLines")));

    // In Northwind object 2073058421 has a name of 27 characters, 99 none anywhere; database 10
    // has a name of 29. Both names keep their first 20 characters.
    connection.executeNoRows(QStringLiteral("Use Northwind"));
    ProcessDetailWindow other;
    other.openQueries(&connection, QStringLiteral("301"));
    lockQuery(other).moveTo(3);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    EXPECT_EQ(marks(other), QStringLiteral("dbid+"));
    EXPECT_EQ(lockQuery(other).recNo(), 0);
    EXPECT_EQ(lockRows(other), QStringLiteral("301|1|master|0||GRANT\n"
                                              "301|6|Northwind|21575115|Orders|GRANT\n"
                                              "301|6|Northwind|2073058421|CustomerDemographics|WAIT\n"
                                              "301|10|CustomerCorresponden|99||GRANT"));
    EXPECT_EQ(eventType(other), QStringLiteral("RPC Event"));
    EXPECT_EQ(parameters(other), QStringLiteral("2"));
    EXPECT_EQ(eventInfo(other), QStringLiteral("sp_executesql;1"));

    // The object names follow the connection's current database, whoever changed it.
    connection.executeNoRows(QStringLiteral("Use pubs"));
    other.refresh();
    EXPECT_EQ(lockRows(other), QStringLiteral("301|1|master|0||GRANT\n"
                                              "301|6|Northwind|21575115|authors|GRANT\n"
                                              "301|6|Northwind|2073058421||WAIT\n"
                                              "301|10|CustomerCorresponden|99||GRANT"));
    EXPECT_EQ(marks(other), QStringLiteral("dbid+"));
}

TEST_F(ProcessDetailWindowTest, OpeningAndRefreshingLookEachRowsNamesUpOnce)
{
    ProcessDetailWindow window;
    int before = batches();
    window.openQueries(&connection, QStringLiteral("301"));
    window.show();                                  // the first sort keeps the names just read
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(batches() - before, 1 + 4 * 2 + 1);   // locks, two look-ups a row, input buffer

    before = batches();
    window.refresh();                          // fetched, sorted, then the input buffer
    EXPECT_EQ(batches() - before, 1 + 4 * 2 + 1);

    // A title click reads every row again.

    before = batches();
    clickTitle(window, QStringLiteral("Type"));
    EXPECT_EQ(batches() - before, 4 * 2);
}

TEST_F(ProcessDetailWindowTest, OnlyTheServersColumnsSortOneAtATime)
{
    ProcessDetailWindow window;
    window.openQueries(&connection, QStringLiteral("301"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QString byDatabase = lockRows(window);

    const int before = batches();
    clickTitle(window, QStringLiteral("DB Name"));
    clickTitle(window, QStringLiteral("Object"));
    EXPECT_EQ(marks(window), QStringLiteral("dbid+"));
    EXPECT_EQ(lockRows(window), byDatabase);
    EXPECT_EQ(batches(), before);

    clickTitle(window, QStringLiteral("ObjId"));
    EXPECT_EQ(marks(window), QStringLiteral("ObjId+"));
    EXPECT_EQ(lockQuery(window).valueAt(0, lockQuery(window).fieldIndex("ObjId")).toInt(), 0);
    EXPECT_EQ(lockQuery(window).valueAt(3, lockQuery(window).fieldIndex("ObjId")).toInt(), 2073058421);
    clickTitle(window, QStringLiteral("Status"));
    EXPECT_EQ(marks(window), QStringLiteral("Status+"));
}

TEST_F(ProcessDetailWindowTest, AProcessWithoutLocksShowsAnEmptyGrid)
{
    ProcessDetailWindow window;
    window.openQueries(&connection, QStringLiteral("54"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(lockQuery(window).isActive());
    EXPECT_EQ(lockQuery(window).recordCount(), 0);
    EXPECT_EQ(lockGrid(window).model()->rowCount(), 0);
    EXPECT_EQ(eventInfo(window), QStringLiteral("select name from master..sysdatabases order by name"));
}

TEST_F(ProcessDetailWindowTest, RefreshFailuresAreReported)
{
    RecordedMessages messages;
    ProcessDetailWindow window;
    window.openQueries(&connection, QStringLiteral("301"));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // The locks fail: the message, the list closes, the input buffer is not asked.
    failOn(QStringLiteral("Exec sp_lock 301"));
    int before = batches();
    window.refresh();
    EXPECT_EQ(batches() - before, 1);
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_EQ(messages.all[0].caption, QStringLiteral("Сообщение"));
    EXPECT_EQ(messages.all[0].text, QStringLiteral("Ошибка при обновлении данных."));
    EXPECT_EQ(messages.all[0].icon, QMessageBox::Critical);
    EXPECT_EQ(messages.all[0].buttons, QMessageBox::Ok);
    EXPECT_FALSE(lockQuery(window).isActive());
    EXPECT_EQ(lockGrid(window).model()->rowCount(), 0);

    // The next refresh brings them back in the order the marks show.
    failOn(QString());
    window.refresh();
    EXPECT_EQ(messages.all.size(), 1u);
    EXPECT_EQ(lockQuery(window).recordCount(), 4);
    EXPECT_EQ(lockQuery(window).valueAt(0, 1).toInt(), 1);

    // The input buffer fails: the same message, the locks are new.
    changeServer([](sqlsim::ServerState& state) { state.locks.push_back({301, 5, 2, 2}); });
    failOn(QStringLiteral("dbcc inputbuffer(301)"));
    window.refresh();
    EXPECT_EQ(messages.all.size(), 2u);
    EXPECT_EQ(lockQuery(window).recordCount(), 5);
    EXPECT_EQ(eventInfo(window), QString());
}

TEST_F(ProcessDetailWindowTest, EscDuringALookUpEndsTheRefreshThereAndTheNextOneRunsWhole)
{
    RecordedMessages messages;
    ProcessDetailWindow window;
    window.openQueries(&connection, QStringLiteral("301"));
    ASSERT_TRUE(showActive(window));
    // The second row's first look-up outlasts its time-out: only the cancel ends it.
    changeServer([](sqlsim::ServerState& state) {
        state.faults.slowStatement = objectNameLookup(QStringLiteral("0"));
        state.faults.slowMs = 120'000;
    });
    QObject::connect(&ServerWait::instance(), &ServerWait::waitingChanged, &window, [](bool waiting) {
        if (waiting)
            QTimer::singleShot(100, [] { pressKey(Qt::Key_Escape); });
    });
    int before = batches();
    pressKey(Qt::Key_F5);
    EXPECT_EQ(batches() - before, 1 + 3);   // no look-up after the cancelled one, no input buffer
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_TRUE(messages.all[0].text.contains(QStringLiteral("Operation was cancelled")));

    changeServer([](sqlsim::ServerState& state) { state.faults.slowStatement.clear(); });
    before = batches();
    window.refresh();
    EXPECT_EQ(batches() - before, 1 + 4 * 2 + 1);
    EXPECT_EQ(messages.all.size(), 1u);
}

TEST_F(ProcessDetailWindowTest, AnInputBufferRefusedAtOpeningLeavesTheBoxesEmptyAndEveryRefreshFailing)
{
    RecordedMessages messages;
    failOn(QStringLiteral("dbcc inputbuffer(301)"));
    ProcessDetailWindow window;
    window.openQueries(&connection, QStringLiteral("301"));
    EXPECT_TRUE(messages.all.empty());
    EXPECT_EQ(lockQuery(window).recordCount(), 4);
    EXPECT_EQ(eventType(window), QString());
    EXPECT_EQ(parameters(window), QString());
    EXPECT_EQ(eventInfo(window), QString());

    // Never there, it cannot be re-run, though the server would answer now.
    failOn(QString());
    const int before = batches();
    window.refresh();
    EXPECT_EQ(batches() - before, 1 + 4 * 2);
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_EQ(messages.all[0].text, QStringLiteral("Ошибка при обновлении данных."));
    EXPECT_EQ(eventInfo(window), QString());
}

class ProcessDetailFromTheList : public ProcessDetailWindowTest {
protected:
    void SetUp() override
    {
        ProcessDetailWindowTest::SetUp();
        tab.setConnectedState(true);
        tab.openAfterConnect(ServerFamily::Sql2000);
        tab.resize(959, 434);
        ASSERT_TRUE(showActive(tab));
        ASSERT_TRUE(tab.procSource()->locate(QStringLiteral("spid"), 301));
    }
    ResultGrid& processGrid() { return *part<ResultGrid>(tab, "processGrid"); }
    /// The centre of the current process's row, where the operator clicks.
    QPoint currentRow() { return processGrid().visualRect(processGrid().currentIndex()).center(); }
    int listRefreshes()
    {
        std::lock_guard lock(sim.engine().mutex());
        return sim.engine().state().refreshCount;
    }
    /// Runs `inside` on the detail window once it is the modal window, then closes it.
    void whileOpen(std::function<void(ProcessDetailWindow&)> inside)
    {
        QTimer::singleShot(0, [this, inside] {
            auto* window = qobject_cast<ProcessDetailWindow*>(QApplication::activeModalWidget());
            if (!window) {
                whileOpen(inside);
                return;
            }
            opened = window;
            inside(*window);
            window->close();
        });
    }

    ProcessTab tab{&connection};
    QPointer<ProcessDetailWindow> opened;
};

TEST_F(ProcessDetailFromTheList, EnterOpensTheCurrentProcessAndF5RefreshesOnlyTheWindow)
{
    const int listBefore = listRefreshes();
    QString caption;
    int rowsBefore = 0;
    int rowsAfter = 0;
    whileOpen([&](ProcessDetailWindow& window) {
        caption = window.windowTitle();
        rowsBefore = lockQuery(window).recordCount();
        changeServer([](sqlsim::ServerState& state) { state.locks.push_back({301, 5, 2, 2}); });
        ASSERT_TRUE(showActive(window));
        pressKey(Qt::Key_F5);
        rowsAfter = lockQuery(window).recordCount();
    });
    click(*processGrid().viewport(), currentRow());
    pressKey(Qt::Key_Return);
    EXPECT_EQ(caption, QStringLiteral("Информация по процессу 301"));
    EXPECT_EQ(rowsBefore, 4);
    EXPECT_EQ(rowsAfter, 5);
    EXPECT_EQ(listRefreshes(), listBefore);
    EXPECT_TRUE(opened.isNull());   // destroyed when closed

    // A double click opens a new window with the design-time order.
    QString order;
    whileOpen([&](ProcessDetailWindow& window) { order = marks(window); });
    doubleClick(*processGrid().viewport(), currentRow());
    EXPECT_EQ(order, QStringLiteral("dbid+"));
    EXPECT_TRUE(opened.isNull());
}

TEST_F(ProcessDetailFromTheList, AFailingLockQueryShowsItsErrorAndNoWindow)
{
    failOn(QStringLiteral("Exec sp_lock 301"));
    RecordedMessages messages;
    const int before = batches();
    click(*processGrid().viewport(), currentRow());
    pressKey(Qt::Key_Return);
    EXPECT_EQ(batches() - before, 1);   // the input buffer is not asked
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_TRUE(messages.all[0].text.contains(QStringLiteral("Simulated failure")));
    EXPECT_EQ(messages.all[0].icon, QMessageBox::Critical);
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<ProcessDetailWindow*>(widget), nullptr);
}

} // namespace
