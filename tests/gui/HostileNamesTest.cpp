// Names from the server that look like syntax (quotes, brackets, semicolons with a statement
// after them, blanks, non-ASCII letters, the full 128 characters) as databases, hosts, programs
// and logins: shown exactly in the lists, the value lists and the detail window, found by the
// filter row, and never run as statements in the batches that carry them.
#include "MainWindowTestSupport.h"

#include "Connection.h"
#include "DatabaseTab.h"
#include "FilterRow.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SimFixture.h"
#include "WindowParts.h"
#include "ProcessDetailWindow.h"
#include "WindowParts.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <mutex>

using namespace velmora;
using namespace velmora::testing;

namespace {

// 300 is the canary: a name that ran as a statement would kill it.
const QString hostileNames[] = {
    QStringLiteral("O'Neil's"),
    QStringLiteral("a]b[c"),
    QStringLiteral("x]; kill 300; --"),
    QStringLiteral("y'; kill 300; --"),
    QStringLiteral("lead and  two"),
    QStringLiteral("two, parts"),
    QStringLiteral("'quoted'"),
    QStringLiteral("<> NULL"),
    QStringLiteral("Склад №1 ü€"),
    QStringLiteral("z'") + QString(125, u'w') + QStringLiteral("]"),
};
constexpr int firstSpid = 400;
constexpr size_t objectNameIndex = 3;   // the name of an object in master
constexpr qint32 namedObject = 99;

QString rightTrimmed(QString text)
{
    while (text.endsWith(u' '))
        text.chop(1);
    return text;
}

class HostileNames : public ::testing::Test {
protected:
    HostileNames()
    {
        std::lock_guard lock(sim.engine().mutex());
        sqlsim::ServerState& state = sim.engine().state();
        const auto byName = [&state](const QString& name) {
            return std::find_if(state.databases.begin(), state.databases.end(),
                                [&](const sqlsim::Database& d) { return d.name == name; });
        };
        qint16 dbid = 0;
        for (const sqlsim::Database& database : state.databases)
            dbid = std::max(dbid, database.dbid);
        const sqlsim::Database sample = *byName(QStringLiteral("pubs"));
        int spid = firstSpid;
        for (const QString& name : hostileNames) {
            sqlsim::Database database = sample;
            database.name = name;
            database.dbid = ++dbid;
            for (sqlsim::DatabaseFile& file : database.files)
                file.name = file.name.replace(QStringLiteral("pubs"), name).left(128);
            state.databases.push_back(database);

            sqlsim::Process process;
            process.spid = qint16(spid++);
            process.status = QStringLiteral("sleeping");
            process.hostname = process.program_name = process.loginame = name;
            process.login_time = process.last_batch = QDateTime::currentDateTime();
            state.processes.push_back(process);
            state.locks.push_back({process.spid, namedObject, dbid, 1, 0, 0, QStringLiteral("TAB"), {},
                                   QStringLiteral("X"), false});
        }
        sqlsim::Process canary;
        canary.spid = 300;
        canary.status = QStringLiteral("sleeping");
        canary.login_time = canary.last_batch = QDateTime::currentDateTime();
        state.processes.push_back(canary);
        byName(QStringLiteral("master"))->objects.push_back({namedObject, hostileNames[objectNameIndex], QStringLiteral("U")});
        databaseCount = int(state.databases.size());
    }

    void SetUp() override
    {
        fillLogin(window, QStringLiteral("127.0.0.1,%1").arg(sim.port()), QStringLiteral("sa"),
                  QStringLiteral("velmora"));
        part<QAction>(window, "ConnectAction")->trigger();
        ASSERT_EQ(messages.texts(), QString());
    }

    void expectNothingRan()
    {
        std::lock_guard lock(sim.engine().mutex());
        const sqlsim::ServerState& state = sim.engine().state();
        EXPECT_TRUE(std::any_of(state.processes.begin(), state.processes.end(),
                                [](const sqlsim::Process& p) { return p.spid == 300; }))
            << "a name ran as a statement";
        EXPECT_EQ(int(state.databases.size()), databaseCount);
    }
    Query& processes() { return *part<ProcessTab>(window, "processTab")->procSource(); }
    ResultGrid& processGrid() { return *part<ResultGrid>(window, "processGrid"); }
    /// The text the process grid shows in `field` of its visible row `row`.
    QString shown(int row, const char* field)
    {
        const int column = processGrid().columnIndex(QString::fromLatin1(field));
        return processGrid().model()->index(row, column).data().toString();
    }

    SettingsFile settings;
    RecordedMessages messages;
    SimFixture sim{sqlsim::ServerVersion::Sql2000, false};
    MainWindow window;
    int databaseCount = 0;
};

} // namespace

TEST_F(HostileNames, DatabasesReachTheirOwnDatabaseThroughEveryBatchOfTheRefresh)
{
    part<QTabWidget>(window, "tabs")->setCurrentWidget(part<DatabaseTab>(window, "databaseTab"));
    const DatabaseTab& tab = *part<DatabaseTab>(window, "databaseTab");
    Query& databaseList = *part<Query>(tab, "DatabaseListQuery");
    const Query& properties = *part<Query>(tab, "PropertiesQuery");
    const Query& files = *part<Query>(tab, "FilesQuery");
    const Query& logSpace = *part<Query>(tab, "LogSpaceQuery");
    const Query& spaceUsed = *part<Query>(tab, "SpaceUsedQuery");
    const Query& users = *part<Query>(tab, "UserQuery");
    for (const QString& name : hostileNames) {
        SCOPED_TRACE(name.toStdString());
        messages.all.clear();
        ASSERT_TRUE(databaseList.locate(QStringLiteral("name"), name));
        part<QAction>(window, "RefAction")->trigger();
        EXPECT_EQ(messages.texts(), QString());
        EXPECT_EQ(properties.value(QStringLiteral("name")).toString(), name.left(24));
        ASSERT_EQ(files.recordCount(), 2);
        EXPECT_EQ(rightTrimmed(files.value(QStringLiteral("name")).toString()), name.left(128));
        ASSERT_EQ(logSpace.recordCount(), 1);
        EXPECT_EQ(logSpace.value(QStringLiteral("Database Name")).toString(), name);
        EXPECT_EQ(spaceUsed.recordCount(), 1) << "the space used was read";
        EXPECT_GT(users.recordCount(), 0);
        EXPECT_EQ(sim.clientDatabase(), name);
    }
    expectNothingRan();
}

TEST_F(HostileNames, HostsProgramsAndLoginsAreShownListedAndFoundExactly)
{
    ASSERT_TRUE(showActive(window));
    processes().setSort(QStringLiteral("spid"));
    FilterRow& row = *processGrid().filterRow();
    part<QAction>(window, "FilterAction")->trigger();
    ASSERT_EQ(messages.texts(), QString());
    for (const char* field : {"hostname", "program_name", "loginame"}) {
        const int column = processGrid().columnIndex(QString::fromLatin1(field));
        const QStringList entries = processGrid().columns()[size_t(column)].filter.valueList.value_or(QStringList());
        for (size_t i = 0; i < std::size(hostileNames); ++i) {
            const QString& name = hostileNames[i];
            SCOPED_TRACE(std::string(field) + ": " + name.toStdString());
            ASSERT_TRUE(processes().locate(QStringLiteral("spid"), firstSpid + int(i)));
            EXPECT_EQ(rightTrimmed(shown(processes().recNo(), field)), name);
            // A list entry is the value trimmed; picking it leaves exactly its process.
            const qsizetype entry = entries.indexOf(name.trimmed());
            ASSERT_GE(entry, 0) << entries.join(u'|').toStdString();
            row.editCell(column);
            pressKey(Qt::Key_F4);
            ASSERT_TRUE(QTest::qWaitFor([&] { return row.editor()->view()->isVisible(); }));
            pressKey(Qt::Key_Home);
            for (qsizetype step = 0; step < entry; ++step)
                pressKey(Qt::Key_Down);
            pressKey(Qt::Key_Return);
            QCoreApplication::processEvents();
            EXPECT_EQ(messages.texts(), QString());
            ASSERT_EQ(processes().recordCount(), 1) << processes().filter().toStdString();
            EXPECT_EQ(processes().value(QStringLiteral("spid")).toInt(), firstSpid + int(i));
            // The editor reopened over the picked text; applying the row again keeps the pick.
            ASSERT_EQ(row.editedColumn(), column);
            row.ApplyFilter();
            EXPECT_EQ(processes().recordCount(), 1) << processes().filter().toStdString();
            row.clearCondition(column);
            row.ApplyFilter();
        }
    }
    expectNothingRan();
}

TEST_F(HostileNames, DetailWindowShowsTheLookedUpNamesCut)
{
    for (size_t i = 0; i < std::size(hostileNames); ++i) {
        SCOPED_TRACE(hostileNames[i].toStdString());
        ProcessDetailWindow detail;
        detail.openQueries(window.connection(), QString::number(firstSpid + int(i)));
        const Query& locks = *part<Query>(detail, "LockQuery");
        ASSERT_EQ(locks.recordCount(), 1);
        EXPECT_EQ(locks.value(QStringLiteral("DBName")).toString(), hostileNames[i].left(20));
        EXPECT_EQ(locks.value(QStringLiteral("OName")).toString(), hostileNames[objectNameIndex].left(20));
    }
    EXPECT_EQ(messages.texts(), QString());
    expectNothingRan();
}
