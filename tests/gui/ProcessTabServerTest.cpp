// The process tab against the simulated server: refresh keeping the operator's process, order
// and filter; failed refreshes; the termination with its question and the server's refusals.
#include "Connection.h"
#include "DbError.h"
#include "GridHeader.h"
#include "MessageSeam.h"
#include "ProcessQueries.h"
#include "ProcessTab.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SimFixture.h"
#include "WindowInput.h"
#include "WindowParts.h"

#include <QAbstractButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

// Three processes the population never moves: 301 holds two locks and blocks 300; 302 is idle.
// Their cpu figures give the order 301, 302, 300 by cpu descending.
void addSteadyProcesses(sqlsim::Engine& engine)
{
    std::lock_guard lock(engine.mutex());
    sqlsim::ServerState& state = engine.state();
    for (auto [spid, blocked, cpu] : {std::tuple{300, 301, 10}, {301, 0, 50}, {302, 0, 30}}) {
        sqlsim::Process process;
        process.spid = qint16(spid);
        process.blocked = qint16(blocked);
        process.cpu = cpu;
        process.status = QStringLiteral("sleeping");
        process.program_name = QStringLiteral("steady");
        process.loginame = QStringLiteral("tester");
        process.login_time = process.last_batch = QDateTime::currentDateTime();
        state.processes.push_back(process);
    }
    state.locks.push_back({301, 117575457, 1, 5});
    state.locks.push_back({301, 117575458, 1, 5});
}

class ProcessTabServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        addSteadyProcesses(sim.engine());
        connection.setConnectionString(sim.oledbConnectionString());
        connection.open();
        tab.setConnectedState(true);
        tab.openAfterConnect(ServerFamily::Sql2000);
    }
    void TearDown() override { setMessageHandler({}); }

    Query& list() { return *tab.procSource(); }
    ResultGrid& grid() { return *part<ResultGrid>(tab, "processGrid"); }
    int refreshCount()
    {
        std::lock_guard lock(sim.engine().mutex());
        return sim.engine().state().refreshCount;
    }
    template <typename Change> void changeServer(Change change)
    {
        std::lock_guard lock(sim.engine().mutex());
        change(sim.engine().state());
    }
    sqlsim::Process* serverProcess(sqlsim::ServerState& state, int spid)
    {
        for (sqlsim::Process& process : state.processes)
            if (process.spid == spid)
                return &process;
        return nullptr;
    }
    bool serverHas(int spid)
    {
        std::lock_guard lock(sim.engine().mutex());
        return serverProcess(sim.engine().state(), spid) != nullptr;
    }
    /// The visible rows' spids, in order.
    QStringList shownSpids()
    {
        QStringList spids;
        for (int row = 0; row < list().recordCount(); ++row)
            spids << list().valueAt(row, 0).toString();
        return spids;
    }

    SimFixture sim{sqlsim::ServerVersion::Sql2000};
    Connection connection;
    ProcessTab tab{&connection};
};

TEST_F(ProcessTabServer, RefreshKeepsTheCurrentProcessOrderAndFilter)
{
    list().setFilter("[spid] >= 300");
    list().setSort("block_count DESC, cpu DESC");
    ASSERT_TRUE(list().locate("spid", 302));
    ASSERT_EQ(shownSpids(), QStringList({"301", "302", "300"}));

    changeServer([&](sqlsim::ServerState& state) { serverProcess(state, 300)->cpu = 90; });
    const int before = refreshCount();
    tab.refreshKey();

    EXPECT_EQ(refreshCount(), before + 1);
    // New figures, both keys still in force: the lock holder first, then by cpu.
    EXPECT_EQ(shownSpids(), QStringList({"301", "300", "302"}));
    EXPECT_EQ(tab.currentSpid(), 302);
    EXPECT_EQ(list().recNo(), 2);
    EXPECT_EQ(list().sort(), "block_count DESC, cpu DESC");
    EXPECT_EQ(list().filter(), "[spid] >= 300");
}

TEST_F(ProcessTabServer, RefreshMovesNothingWhenTheCurrentProcessHasEnded)
{
    // Where reopening in the operator's order left it: the first row shown.
    const struct {
        const char* sort;
        QStringList shown;
    } cases[] = {{"", {"300", "301"}}, {"cpu DESC", {"301", "300"}}};
    list().setFilter("[spid] >= 300");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sort);
        list().setSort(c.sort);
        ASSERT_TRUE(list().locate("spid", 302));
        sqlsim::Process ended;
        changeServer([&](sqlsim::ServerState& state) {
            ended = *serverProcess(state, 302);
            std::erase_if(state.processes, [](const sqlsim::Process& p) { return p.spid == 302; });
        });

        tab.refreshKey();

        EXPECT_EQ(shownSpids(), c.shown);
        EXPECT_EQ(tab.currentSpid(), c.shown.front().toInt());
        changeServer([&](sqlsim::ServerState& state) { state.processes.push_back(ended); });
        tab.refreshKey();
    }
}

TEST_F(ProcessTabServer, RefreshOfAnEmptyListStillReadsTheServer)
{
    list().setFilter("[spid] < 0");
    ASSERT_EQ(list().recordCount(), 0);
    EXPECT_EQ(tab.currentSpid(), 0);

    const int before = refreshCount();
    tab.refreshKey();
    EXPECT_EQ(refreshCount(), before + 1);
    EXPECT_TRUE(list().isActive());
    EXPECT_EQ(list().recordCount(), 0);   // the filter still holds

    list().setFilter(QString());
    EXPECT_GT(list().recordCount(), 3);
}

TEST_F(ProcessTabServer, FailedRefreshLeavesTheListClosedAndTheNextReopensIt)
{
    list().setFilter("[spid] >= 300");
    list().setSort("cpu DESC");
    changeServer([](sqlsim::ServerState& state) {
        state.faults.errorOnStatement = processBatch(ServerFamily::Sql2000).join("\r\n");
    });

    EXPECT_THROW(tab.refreshKey(), DbError);
    EXPECT_FALSE(list().isActive());
    EXPECT_EQ(grid().model()->rowCount(), 0);
    EXPECT_EQ(tab.currentSpid(), 0);

    changeServer([](sqlsim::ServerState& state) { state.faults.errorOnStatement.clear(); });
    tab.refreshKey();
    EXPECT_TRUE(list().isActive());
    EXPECT_EQ(grid().model()->rowCount(), 3);
    // The order the operator chose before the failure is back, with the filter.
    EXPECT_EQ(list().sort(), "cpu DESC");
    EXPECT_EQ(shownSpids(), QStringList({"301", "302", "300"}));
}

// The confirmation as the operator meets it: a real message box built from the request,
// answered by a key or by its close box.
enum class Answer { Enter, Escape, CloseBox, NoButton };

QMessageBox::StandardButton answerOnScreen(const MessageRequest& request, Answer answer)
{
    const std::unique_ptr<QMessageBox> box = buildMessageBox(request);
    QTimer::singleShot(0, box.get(), [&] {
        switch (answer) {
        case Answer::Enter: ASSERT_TRUE(showActive(*box)); pressKey(Qt::Key_Return); break;
        case Answer::Escape: ASSERT_TRUE(showActive(*box)); pressKey(Qt::Key_Escape); break;
        case Answer::CloseBox: box->close(); break;
        case Answer::NoButton: ASSERT_TRUE(showActive(*box)); click(*box->button(QMessageBox::No)); break;
        }
    });
    return QMessageBox::StandardButton(box->exec());
}

TEST_F(ProcessTabServer, KillIsSentOnlyWhenTheOperatorAnswersYes)
{
    struct Case { Answer answer; bool sent; const char* what; };
    const Case cases[] = {
        {Answer::NoButton, false, "No"},
        {Answer::Escape, false, "Esc"},
        {Answer::CloseBox, false, "close box"},
        {Answer::Enter, true, "Enter"},
    };
    list().setSort("cpu DESC");   // the number is the current row's, wherever it stands
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(list().locate("spid", 301));
        std::vector<MessageRequest> asked;
        setMessageHandler([&](const MessageRequest& request) {
            asked.push_back(request);
            return answerOnScreen(request, c.answer);
        });
        const int before = refreshCount();

        tab.deleteKey();

        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].caption, "Confirm");
        EXPECT_EQ(asked[0].icon, QMessageBox::Question);
        EXPECT_TRUE(asked[0].centredOnScreen);
        EXPECT_EQ(asked[0].text, QStringLiteral("Вы действительно хотите удалить процесс 301?"));
        EXPECT_EQ(serverHas(301), !c.sent);
        EXPECT_EQ(refreshCount(), before + (c.sent ? 1 : 0));
    }
}

TEST_F(ProcessTabServer, KillingTheHeadOfAChainFreesItsVictimAfterTheRefresh)
{
    setMessageHandler([](const MessageRequest&) { return QMessageBox::Yes; });
    ASSERT_TRUE(list().locate("spid", 301));
    tab.deleteKey();

    EXPECT_FALSE(list().locate("spid", 301));
    ASSERT_TRUE(list().locate("spid", 300));
    EXPECT_EQ(list().value("blocked").toInt(), 0);
    EXPECT_EQ(list().value("block_count").toInt(), 0);
    QFont font;
    QColor background;
    QColor text;
    grid().onGetCellParams(grid().columns().front(), list().visibleRow(list().recNo()), font, background, text);
    EXPECT_EQ(background, QColor(203, 221, 254));
}

TEST_F(ProcessTabServer, ServerRefusalIsShownAndTheListIsNotRefreshed)
{
    int ownSpid = 0;
    for (list().first(); !list().eof(); list().next())
        if (list().value("program_name").toString().trimmed() == "Velmora 2.4.0.27")
            ownSpid = list().value("spid").toInt();
    ASSERT_NE(ownSpid, 0);

    struct Case { int spid; int native; const char* what; };
    const Case cases[] = {
        {1, 6107, "a system process"},
        {ownSpid, 6104, "our own process"},
    };
    setMessageHandler([](const MessageRequest&) { return QMessageBox::Yes; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(list().locate("spid", c.spid));
        const QStringList shown = shownSpids();
        const int before = refreshCount();

        try {
            tab.deleteKey();
            ADD_FAILURE() << "the server accepted the Kill";
        } catch (const DbError& error) {
            EXPECT_EQ(error.cause(), DbError::Cause::Server);
            EXPECT_TRUE(error.hasNative(c.native)) << error.text().toStdString();
        }
        EXPECT_EQ(refreshCount(), before);
        EXPECT_EQ(shownSpids(), shown);
        EXPECT_EQ(tab.currentSpid(), c.spid);
    }
}

TEST_F(ProcessTabServer, LoginWithoutTheRightToKillIsRefusedAndTheProcessStays)
{
    connection.close();
    connection.setConnectionString(
        sim.oledbConnectionString().replace(QStringLiteral("User ID=sa"), QStringLiteral("User ID=operator")));
    connection.open();
    tab.openAfterConnect(ServerFamily::Sql2000);
    ASSERT_TRUE(list().locate("spid", 302));
    const int before = refreshCount();
    setMessageHandler([](const MessageRequest&) { return QMessageBox::Yes; });

    try {
        tab.deleteKey();
        ADD_FAILURE() << "the server accepted the Kill";
    } catch (const DbError& error) {
        EXPECT_EQ(error.cause(), DbError::Cause::Server);
        EXPECT_TRUE(error.hasNative(6102)) << error.text().toStdString();
    }
    EXPECT_TRUE(serverHas(302));
    EXPECT_EQ(refreshCount(), before);
    EXPECT_EQ(tab.currentSpid(), 302);
}

TEST_F(ProcessTabServer, WithoutACurrentRowTerminationAsksNothingAndSendsNothing)
{
    int asked = 0;
    setMessageHandler([&](const MessageRequest&) {
        ++asked;
        return QMessageBox::Yes;
    });
    const std::function<void()> emptyLists[] = {
        [&] { list().setFilter("[spid] < 0"); },   // every row filtered out
        [&] { list().close(); },                   // the list closed
    };
    for (const auto& empty : emptyLists) {
        empty();
        const int before = refreshCount();
        // "Kill " alone would come back as the server's syntax error.
        EXPECT_NO_THROW(tab.deleteKey());
        EXPECT_EQ(asked, 0);
        EXPECT_EQ(refreshCount(), before);
    }
}

TEST_F(ProcessTabServer, CtrlClicksOnCpuThenSpidSortByBothAndKeepTheCurrentProcess)
{
    tab.resize(959, 434);
    ASSERT_TRUE(showActive(tab));
    changeServer([&](sqlsim::ServerState& state) { serverProcess(state, 302)->cpu = 10; });   // 300 and 302 tie
    tab.refreshKey();
    list().setFilter("[spid] >= 300");
    ASSERT_TRUE(list().locate("spid", 302));

    auto& header = static_cast<GridHeader&>(*grid().horizontalHeader());
    const auto titleCentre = [&](const QString& field) {
        const int column = grid().columnIndex(field);
        grid().scrollTo(grid().model()->index(0, column));
        return QPoint(header.sectionViewportPosition(column) + header.sectionSize(column) / 2, header.height() / 2);
    };
    click(*header.viewport(), titleCentre("cpu"), Qt::LeftButton, Qt::ControlModifier);
    click(*header.viewport(), titleCentre("spid"), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(list().sort(), QString()) << "nothing sorted while Ctrl is held";
    releaseKey(Qt::Key_Control);

    EXPECT_EQ(list().sort(), "cpu, spid");
    EXPECT_EQ(shownSpids(), QStringList({"300", "302", "301"}));
    EXPECT_EQ(tab.currentSpid(), 302);
}

} // namespace
