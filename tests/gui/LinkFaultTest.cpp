// The main window against a server that fails while a screen loads: the link dropped, a batch
// that outlasts the client's time-out, or a statement the server answers with an error. For
// every screen the error is shown once, the window stays usable, a dropped link is left by
// Disconnect and a new Connect works, and after a time-out or an error the same connection goes
// on working. A failure while the window connects ends the connect there: the stored sort order
// is not restored.
#include "MainWindowTestSupport.h"

#include "Connection.h"
#include "DatabaseQueries.h"
#include "DatabaseTab.h"
#include "ErrorDisplay.h"
#include "LockQueries.h"
#include "LogQueries.h"
#include "LogTab.h"
#include "ProcessQueries.h"
#include "Query.h"
#include "ResultGrid.h"
#include "ServerTab.h"
#include "SimFixture.h"
#include "ProcessDetailWindow.h"
#include "ValueList.h"
#include "WindowParts.h"

#include <QApplication>
#include <QTabWidget>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <mutex>

using namespace velmora;
using namespace velmora::testing;

namespace {

// The link dropped before the answer, or after the first row of the answer's first result; the
// batch outlasting the client's time-out; the statement answered with a server error.
enum class Fault { Drop, DropMidResult, Timeout, ServerError };

// A steady process with locks in two databases, and two idle ones, none of them moved by the
// server between readings.
void addSteadyProcesses(sqlsim::ServerState& state)
{
    for (int spid : {300, 301, 302}) {
        sqlsim::Process process;
        process.spid = qint16(spid);
        process.status = QStringLiteral("sleeping");
        process.program_name = QStringLiteral("steady");
        process.loginame = QStringLiteral("tester");
        process.login_time = process.last_batch = QDateTime::currentDateTime();
        state.processes.push_back(process);
    }
    state.locks.push_back({301, 0, 1, 2, 0, 0, QStringLiteral("DB"), {}, QStringLiteral("S"), false});
    state.locks.push_back({301, 99, 6, 1, 0, 0, QStringLiteral("TAB"), {}, QStringLiteral("X"), false});
}

class LinkFault;

// One screen of the matrix: the batch a fault aims at, the query whose time-out the test
// shortens (none: a command the screen makes itself; the connection then limits every command's
// time-out while the fault lasts), and what the operator does. `arm` sets the fault at the moment
// the screen is about to load.
struct Screen {
    const char* name;
    bool atConnect;   // the screen loads while the window connects
    std::function<QString(LinkFault&)> aim;
    std::function<Query*(LinkFault&)> timed;
    std::function<void(LinkFault&, const std::function<void()>& arm)> act;
    QString messageAfterError{};     // after a drop or a server error; empty: the error display with the driver's text
    QString messageAfterTimeout{};   // empty: the error display with the driver's text
    bool oneRowAnswer = false;       // no row can follow the first: no drop in the middle
};

class LinkFault : public ::testing::TestWithParam<std::tuple<Screen, Fault>> {
public:
    LinkFault()
    {
        std::lock_guard lock(sim.engine().mutex());
        addSteadyProcesses(sim.engine().state());
    }

    template <typename Change> void onServer(Change change)
    {
        std::lock_guard lock(sim.engine().mutex());
        change(sim.engine().state());
    }

    void connectWindow()
    {
        fillLogin(window, QStringLiteral("127.0.0.1,%1").arg(sim.port()), QStringLiteral("sa"),
                  QStringLiteral("velmora"));
        part<QAction>(window, "ConnectAction")->trigger();
    }
    void show(QWidget* tab) { part<QTabWidget>(window, "tabs")->setCurrentWidget(tab); }
    ServerTab& serverTab() { return *window.findChild<ServerTab*>(); }
    LogTab& logTab() { return *window.findChild<LogTab*>(); }
    Query* databasePart(const char* query) { return part<Query>(window, query); }
    /// The name in the database list's current row.
    QVariant chosenDatabase() { return databasePart("DatabaseListQuery")->value(QStringLiteral("name")); }
    Query& processes() { return *part<ProcessTab>(window, "processTab")->procSource(); }
    /// Makes current the first of the steady processes still on the server.
    void chooseSteadyProcess()
    {
        for (int spid : {302, 301, 300})
            if (processes().locate(QStringLiteral("spid"), spid))
                return;
        FAIL() << "no steady process left";
    }
    /// Runs `inside` once the detail window is shown modally, then closes it.
    void whileDetailShown(const std::function<void(ProcessDetailWindow&)>& inside)
    {
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* detail = qobject_cast<ProcessDetailWindow*>(QApplication::activeModalWidget());
            if (!detail)
                return;
            poll.stop();
            inside(*detail);
            detail->close();
        });
        poll.start();
        ASSERT_TRUE(showActive(window));
        ResultGrid& grid = *part<ResultGrid>(window, "processGrid");
        grid.scrollTo(grid.currentIndex());
        click(*grid.viewport(), grid.visualRect(grid.currentIndex()).center());
        pressKey(Qt::Key_Return);
    }

    SettingsFile settings;
    SimFixture sim{sqlsim::ServerVersion::Sql2000, false};
    MainWindow window;
    std::vector<MessageRequest> shown;
    int questions = 0;
    // Questions (the kill's) are answered Yes and counted apart; every other box is recorded.
    MessageHandler previous = setMessageHandler([this](const MessageRequest& request) {
        if (request.icon == QMessageBox::Question) {
            ++questions;
            return QMessageBox::Yes;
        }
        shown.push_back(request);
        return QMessageBox::Ok;
    });
    ~LinkFault() override { setMessageHandler(previous); }

    QString texts() const
    {
        QStringList lines;
        for (const MessageRequest& message : shown)
            lines << message.caption + u'|' + message.text;
        return lines.join(u'\n');
    }
};

QString batchOf(const std::function<void(Query&)>& setUp, const char* parameter = nullptr,
                const QVariant& value = {})
{
    Query query;
    setUp(query);
    if (parameter)
        query.setParameter(QString::fromLatin1(parameter), value);
    return query.commandText();
}

const auto armFirst = [](const std::function<void(LinkFault&)>& then) {
    return [then](LinkFault& f, const std::function<void()>& arm) {
        arm();
        then(f);
    };
};

const Screen screens[] = {
    {"ProcessRefresh", false,
     [](LinkFault&) { return processBatch(ServerFamily::Sql2000).join(QStringLiteral("\r\n")); },
     [](LinkFault& f) { return &f.processes(); },
     armFirst([](LinkFault& f) { part<QAction>(f.window, "RefAction")->trigger(); })},
    {"Kill", false,
     [](LinkFault& f) { return QStringLiteral("Kill %1").arg(part<ProcessTab>(f.window, "processTab")->currentSpid()); },
     nullptr,
     [](LinkFault& f, const std::function<void()>& arm) {
         f.chooseSteadyProcess();
         arm();
         part<QAction>(f.window, "DelAction")->trigger();
     }},
    {"FilterValueLists", false,
     [](LinkFault&) { return valueListBatch(QStringLiteral("spid"), FieldKind::SmallInt); },
     nullptr,
     armFirst([](LinkFault& f) { part<QAction>(f.window, "FilterAction")->trigger(); })},
    {"DetailWindowOpen", false,
     [](LinkFault& f) { return lockBatch(QString::number(part<ProcessTab>(f.window, "processTab")->currentSpid())).join(QStringLiteral("\r\n")); },
     nullptr,
     [](LinkFault& f, const std::function<void()>& arm) {
         ASSERT_TRUE(f.processes().locate(QStringLiteral("spid"), 301));   // two lock rows
         arm();
         f.whileDetailShown([](ProcessDetailWindow&) {});
     }},
    {"DetailWindowLookUp", false,
     [](LinkFault&) { return databaseNameLookup(QStringLiteral("6")); },
     nullptr,
     [](LinkFault& f, const std::function<void()>& arm) {
         ASSERT_TRUE(f.processes().locate(QStringLiteral("spid"), 301));
         arm();
         f.whileDetailShown([](ProcessDetailWindow&) {});
     },
     {}, {}, true},
    {"DetailWindowRefreshLookUp", false,
     [](LinkFault&) { return databaseNameLookup(QStringLiteral("6")); },
     nullptr,
     [](LinkFault& f, const std::function<void()>& arm) {
         ASSERT_TRUE(f.processes().locate(QStringLiteral("spid"), 301));
         f.whileDetailShown([&](ProcessDetailWindow& detail) {
             arm();
             part<QAction>(detail, "RefAction")->trigger();
         });
     },
     {}, {}, true},
    {"DetailWindowRefresh", false,
     [](LinkFault& f) { return lockBatch(QString::number(part<ProcessTab>(f.window, "processTab")->currentSpid())).join(QStringLiteral("\r\n")); },
     [](LinkFault&) {
         return part<Query>(*qobject_cast<ProcessDetailWindow*>(QApplication::activeModalWidget()), "LockQuery");
     },
     [](LinkFault& f, const std::function<void()>& arm) {
         f.chooseSteadyProcess();
         f.whileDetailShown([&](ProcessDetailWindow& detail) {
             arm();
             part<QAction>(detail, "RefAction")->trigger();
         });
     },
     QStringLiteral("Сообщение|Ошибка при обновлении данных."),
     QStringLiteral("Сообщение|Ошибка при обновлении данных.")},
    {"DatabasesRefresh", false,
     [](LinkFault& f) {
         return batchOf(setUpPropertiesQuery, "BD", f.chosenDatabase());
     },
     [](LinkFault& f) { return f.databasePart("PropertiesQuery"); },
     armFirst([](LinkFault& f) {
         f.show(part<DatabaseTab>(f.window, "databaseTab"));
         part<QAction>(f.window, "RefAction")->trigger();
     })},
    {"DatabaseSpace", false,
     [](LinkFault& f) {
         Query space;
         setUpSpaceUsedQuery(space);
         QStringList lines = space.sql();
         lines[0] = useDatabaseLine(f.chosenDatabase().toString());
         space.setSql(lines);
         return space.commandText();
     },
     [](LinkFault& f) { return f.databasePart("SpaceUsedQuery"); },
     armFirst([](LinkFault& f) {
         f.show(part<DatabaseTab>(f.window, "databaseTab"));
         part<QAction>(f.window, "RefAction")->trigger();
     }),
     // The space and the users are read under a handler that takes every failure for a time-out.
     QStringLiteral("{title}|Время ожидания истекло."), QStringLiteral("{title}|Время ожидания истекло.")},
    {"DatabaseUsers", false,
     [](LinkFault&) { return QStringLiteral("select * from sysusers  order by altuid, [name]"); },
     [](LinkFault& f) { return f.databasePart("UserQuery"); },
     armFirst([](LinkFault& f) {
         f.show(part<DatabaseTab>(f.window, "databaseTab"));
         part<QAction>(f.window, "RefAction")->trigger();
     }),
     QStringLiteral("{title}|Время ожидания истекло."), QStringLiteral("{title}|Время ожидания истекло.")},
    {"ServerPropertiesAtConnect", true,
     [](LinkFault&) { return QStringLiteral("Exec xp_msver"); },
     [](LinkFault& f) { return part<Query>(f.serverTab(), "SrvQuery"); },
     armFirst([](LinkFault& f) { f.connectWindow(); })},
    {"ArchiveListAtConnect", true,
     [](LinkFault&) { return batchOf(setUpLogArchiveQuery); },
     [](LinkFault& f) { return part<Query>(f.logTab(), "LogNumQuery"); },
     armFirst([](LinkFault& f) { f.connectWindow(); })},
    {"LastEntryAtConnect", true,
     [](LinkFault&) { return batchOf([](Query& query) { setUpLastEntryQuery(query, ServerFamily::Sql2000); }, "LID", QStringLiteral("0")); },
     [](LinkFault& f) { return part<Query>(f.logTab(), "LogNumInfoQuery"); },
     armFirst([](LinkFault& f) { f.connectWindow(); }),
     {}, {}, true},
    {"LogRefresh", false,
     [](LinkFault&) { return batchOf(setUpRawLogQuery, "LID", 0); },
     [](LinkFault& f) { return part<Query>(f.logTab(), "LogQuery"); },
     armFirst([](LinkFault& f) {
         f.show(&f.logTab());
         part<QAction>(f.window, "RefAction")->trigger();
     })},
    {"LogEntries", false,
     [](LinkFault&) {
         return batchOf([](Query& query) { setUpLogListQuery(query, ServerFamily::Sql2000); }, "LID", QStringLiteral("0"));
     },
     [](LinkFault& f) { return part<Query>(f.logTab(), "LogListQuery"); },
     armFirst([](LinkFault& f) {
         f.show(&f.logTab());
         part<QAction>(f.window, "RefAction")->trigger();
     })},
};

TEST_P(LinkFault, TheErrorIsShownAndTheWindowGoesOn)
{
    // Named apart, not as a structured binding: the lambda below captures them.
    const Screen& screen = std::get<0>(GetParam());
    const Fault fault = std::get<1>(GetParam());
    if (fault == Fault::DropMidResult && screen.oneRowAnswer)
        GTEST_SKIP() << "a one-row answer has no middle";
    const bool linkDropped = fault == Fault::Drop || fault == Fault::DropMidResult;
    if (!screen.atConnect) {
        connectWindow();
        ASSERT_EQ(texts(), QString());
        ASSERT_EQ(disabledControls(window), ConnectedOff);
    }
    // The sort order the last run stored, restored as the connect's last step.
    SettingsFile::setText(QStringLiteral("[SortOption]\nSort=spid\n"));
    const int timeout = 1;   // seconds; the server's answer comes three later
    const auto arm = [&] {
        const QString aimed = screen.aim(*this);
        if (fault == Fault::Timeout) {
            if (screen.timed)
                screen.timed(*this)->setCommandTimeout(timeout);
            else
                window.connection()->setCommandTimeoutLimit(timeout);
        }
        onServer([&](sqlsim::ServerState& state) {
            if (fault == Fault::ServerError) {
                state.faults.errorOnStatement = aimed;
            } else if (linkDropped) {
                state.faults.dropOnStatement = aimed;
                state.faults.dropAfterRows = fault == Fault::Drop ? -1 : 1;
            } else {
                state.faults.slowStatement = aimed;
                state.faults.slowMs = (timeout + 3) * 1000;
            }
        });
    };
    screen.act(*this, arm);

    const QString title = programTitle(QCoreApplication::applicationFilePath());
    const QString expected = QString(fault != Fault::Timeout ? screen.messageAfterError : screen.messageAfterTimeout)
                                 .replace(QStringLiteral("{title}"), title);
    ASSERT_EQ(shown.size(), 1u) << texts().toStdString();
    if (expected.isEmpty()) {
        EXPECT_EQ(shown[0].caption, title);
        EXPECT_EQ(shown[0].icon, QMessageBox::Critical);
        if (fault == Fault::Drop)
            EXPECT_EQ(shown[0].text, QStringLiteral("[FreeTDS][SQL Server]Unexpected EOF from the server."));
        else if (fault == Fault::Timeout)
            EXPECT_EQ(shown[0].text, QStringLiteral("[FreeTDS][SQL Server]Timeout expired\n"
                                                    "[FreeTDS][SQL Server]Operation was cancelled."));
        else if (fault == Fault::ServerError)
            EXPECT_EQ(shown[0].text, QStringLiteral("[FreeTDS][SQL Server]Simulated failure."));
        else   // the driver words a link lost in the middle of an answer in several ways
            EXPECT_TRUE(shown[0].text.startsWith(QStringLiteral("[FreeTDS][SQL Server]"))) << texts().toStdString();
    } else {
        EXPECT_EQ(texts(), expected);
    }
    // The window is still the connected window, whatever failed.
    EXPECT_TRUE(window.isEnabled());
    EXPECT_EQ(disabledControls(window), ConnectedOff);
    if (screen.atConnect) {
        EXPECT_EQ(processes().sort(), QString()) << "the connect went on after the failure";
    }
    onServer([](sqlsim::ServerState& state) { state.faults = {}; });
    window.connection()->setCommandTimeoutLimit(0);
    shown.clear();

    if (linkDropped) {
        EXPECT_FALSE(window.connection()->isOpen());
        // The window answers its keys: F5 tells the operator to connect again.
        show(part<ProcessTab>(window, "processTab"));
        part<QAction>(window, "RefAction")->trigger();
        EXPECT_EQ(texts(), title + QStringLiteral("|The connection to the server was lost; connect again."));
        shown.clear();
        part<QAction>(window, "disconnectAction")->trigger();
        EXPECT_EQ(disabledControls(window), DisconnectedOff);
        EXPECT_EQ(texts(), QString());
        if (!screen.atConnect) {
            connectWindow();
            EXPECT_EQ(texts(), QString());
        }
    } else {
        EXPECT_TRUE(window.connection()->isOpen()) << "a time-out or a server error keeps the connection";
        if (screen.atConnect) {
            part<QAction>(window, "disconnectAction")->trigger();
        }
    }
    // The same screen loads again without a message.
    screen.act(*this, [] {});
    EXPECT_EQ(texts(), QString());
    EXPECT_TRUE(window.connection()->isOpen());
    EXPECT_EQ(disabledControls(window), ConnectedOff);
    EXPECT_TRUE(processes().isActive());
    EXPECT_GT(processes().recordCount(), 0);
    if (screen.atConnect) {
        EXPECT_EQ(processes().sort(), QStringLiteral("spid"));
    }
}

void PrintTo(const std::tuple<Screen, Fault>& cell, std::ostream* out)
{
    static const char* const faults[] = {" drop", " drop after a row", " time-out", " server error"};
    *out << std::get<0>(cell).name << faults[int(std::get<1>(cell))];
}

std::string cellName(const ::testing::TestParamInfo<std::tuple<Screen, Fault>>& info)
{
    static const char* const faults[] = {"_Drop", "_DropMidResult", "_Timeout", "_ServerError"};
    return std::string(std::get<0>(info.param).name) + faults[int(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Matrix, LinkFault,
                         ::testing::Combine(::testing::ValuesIn(screens),
                                            ::testing::Values(Fault::Drop, Fault::DropMidResult, Fault::Timeout,
                                                              Fault::ServerError)),
                         cellName);

} // namespace
