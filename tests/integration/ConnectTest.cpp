// The connect and disconnect operations of the main window against an in-process sqlsim, over
// the real ODBC driver.
#include "../gui/MainWindowTestSupport.h"

#include "ConnectText.h"
#include "Connection.h"
#include "DbError.h"
#include "IniFile.h"
#include "ProcessQueries.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SimFixture.h"
#include "VersionText.h"
#include "WindowTab.h"
#include "WindowParts.h"

#include <QLabel>
#include <QTabWidget>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

using namespace velmora;
using namespace velmora::testing;

namespace {

class ConnectTest : public ::testing::Test {
protected:
    explicit ConnectTest(sqlsim::ServerVersion version = sqlsim::ServerVersion::Sql2000) : sim(version) {}

    QString server() const { return QStringLiteral("127.0.0.1,%1").arg(sim.port()); }
    void connectAs(const QString& login, const QString& password)
    {
        fillLogin(*window, server(), login, password);
        window->connectClicked();
    }
    template <typename Change>
    void onServer(Change change)
    {
        std::lock_guard lock(sim.engine().mutex());
        change(sim.engine().state());
    }
    QStringList clientPrograms()
    {
        QStringList programs;
        onServer([&](sqlsim::ServerState& state) {
            for (const sqlsim::Process& process : state.processes)
                if (process.hasClient)
                    programs << process.program_name;
        });
        return programs;
    }
    void storeSort(const QString& sort)
    {
        WriteIniValue(QStringLiteral("Velmora.ini"), QStringLiteral("SortOption"), QStringLiteral("Sort"), sort);
    }

    SettingsFile settings;
    RecordedMessages messages;
    SimFixture sim;
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>();
};

struct ConnectTo70Test : ConnectTest {
    ConnectTo70Test() : ConnectTest(sqlsim::ServerVersion::Sql70) {}
};

} // namespace

TEST_F(ConnectTest, SqlLoginConnectsAndDisconnectClosesEverything)
{
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    EXPECT_EQ(messages.texts(), QString());
    EXPECT_TRUE(window->connection()->isOpen());
    EXPECT_EQ(disabledControls(*window), ConnectedOff);
    EXPECT_TRUE(window->server2000());
    EXPECT_EQ(part<ProcessTab>(*window, "processTab")->procSource(), part<Query>(*window, "ProcQuery2"));
    EXPECT_GT(part<Query>(*window, "ProcQuery2")->recordCount(), 0);
    EXPECT_TRUE(part<StatusPane>(*window, "versionPane")->text().startsWith(QStringLiteral("Microsoft SQL Server  2000")));
    // The application name carries the version text of the running executable.
    EXPECT_EQ(clientPrograms(), QStringList{QStringLiteral("Velmora ") + GetFileVersionText(ownExecutablePath())});

    window->disconnectClicked();
    EXPECT_FALSE(window->connection()->isOpen());
    EXPECT_EQ(disabledControls(*window), DisconnectedOff);
    EXPECT_FALSE(part<Query>(*window, "ProcQuery2")->isActive());
    EXPECT_EQ(part<StatusPane>(*window, "versionPane")->text(), QString());
    for (int waited = 0; !clientPrograms().isEmpty() && waited < 5000; waited += 50)
        QTest::qWait(50);
    EXPECT_TRUE(clientPrograms().isEmpty()) << "the session has left the server";
}

TEST_F(ConnectTest, PasswordThatLooksLikeConnectionStringSyntaxReachesTheServerAsTyped)
{
    const QString password = QStringLiteral("x;Data Source=other\"' ");
    onServer([&](sqlsim::ServerState& state) { state.logins.push_back({QStringLiteral("tricky"), password}); });
    connectAs(QStringLiteral("tricky"), password);
    EXPECT_EQ(messages.texts(), QString());
    EXPECT_TRUE(window->connection()->isOpen());
}

TEST_F(ConnectTest, FailedLoginsShowTheConnectErrorAndLeaveTheWindowDisconnected)
{
    for (bool windowsAuthentication : {false, true}) {
        messages.all.clear();
        fillLogin(*window, server(), windowsAuthentication ? QString() : QStringLiteral("sa"),
                  QStringLiteral("wrong"), windowsAuthentication);
        window->connectClicked();

        // The same string on a connection of its own gives the driver's text (with Windows
        // authentication: no Kerberos ticket here, so the driver gives up after pre-login).
        Connection same;
        same.setConnectionString(buildConnectionString({server(), part<QLineEdit>(*window, "loginBox")->text(), QStringLiteral("wrong"),
                                                        windowsAuthentication, GetFileVersionText(ownExecutablePath())}));
        QString driverText;
        try {
            same.open();
        } catch (const DbError& error) {
            driverText = error.text();
        }
        ASSERT_EQ(messages.all.size(), 1u) << windowsAuthentication;
        EXPECT_EQ(messages.texts(), QStringLiteral("Ошибка|Ошибка подключения к серверу ") + server() + QStringLiteral(": ") + driverText);
        EXPECT_EQ(messages.all[0].icon, QMessageBox::Critical);
        // The driver's records, in whatever order it gives them.
        QStringList lines = driverText.split(u'\n');
        lines.sort();
        const QStringList expected = windowsAuthentication
            ? QStringList{QStringLiteral("[FreeTDS][SQL Server]Adaptive Server connection failed"),
                          QStringLiteral("[FreeTDS][SQL Server]Unable to connect to data source")}
            : QStringList{QStringLiteral("[FreeTDS][SQL Server]Login failed for user 'sa'."),
                          QStringLiteral("[FreeTDS][SQL Server]Unable to connect to data source")};
        EXPECT_EQ(lines, expected);
        EXPECT_FALSE(window->connection()->isOpen());
        EXPECT_EQ(disabledControls(*window), DisconnectedOff);
    }
}

TEST_F(ConnectTo70Test, Version7ProbeSelectsTheFirstProcessQuery)
{
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    EXPECT_FALSE(window->server2000());
    EXPECT_EQ(part<ProcessTab>(*window, "processTab")->procSource(), part<Query>(*window, "ProcQuery"));
    EXPECT_TRUE(part<Query>(*window, "ProcQuery")->isActive());
}

TEST_F(ConnectTest, ProbeWithoutRowsTakesTheServerFor2000AndStillConnects)
{
    onServer([](sqlsim::ServerState& state) { state.faults.productVersionWithoutRows = true; });
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    EXPECT_EQ(messages.texts(), QStringLiteral("Сообщение|Ошибка работы  функции xp_msver. Сервер определен как MS SQL 2000"));
    EXPECT_EQ(messages.all[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(window->server2000());
    EXPECT_TRUE(part<Query>(*window, "ProcQuery2")->isActive());
    EXPECT_EQ(disabledControls(*window), ConnectedOff);
}

TEST_F(ConnectTo70Test, ProcessListErrorAfterAWrongGuessLeavesTheWindowConnected)
{
    // A 7.0 server taken for 2000 answers the 2000 process query with 7.0 column types; the
    // error goes on to the general error display.
    onServer([](sqlsim::ServerState& state) { state.faults.productVersionWithoutRows = true; });
    fillLogin(*window, server(), QStringLiteral("sa"), QStringLiteral("velmora"));
    EXPECT_THROW(window->connectClicked(), DbError);
    EXPECT_TRUE(window->connection()->isOpen());
    EXPECT_EQ(disabledControls(*window), ConnectedOff);
}

TEST(ProbeAnswer, SevenIsVersion7AMajorOf9OrMoreIsLaterAndAnythingElseIs2000)
{
    using F = ServerFamily;
    const std::pair<QVariant, F> cases[] = {
        {QStringLiteral("7.00.1063"), F::Sql70}, {QStringLiteral("8.00.2039"), F::Sql2000},
        {QStringLiteral("9.00.1399.06"), F::Sql2005AndLater}, {QStringLiteral("10.50.1600.1"), F::Sql2005AndLater},
        {QStringLiteral("13.0.6300.2"), F::Sql2005AndLater}, {QStringLiteral("16.0.1000.6"), F::Sql2005AndLater},
        // A first character of 7 keeps the 7.0 rule, whatever follows.
        {QStringLiteral("70.1"), F::Sql70},
        // Shapes the probe cannot place take the 2000 path.
        {QStringLiteral(" 7.00"), F::Sql2000}, {QStringLiteral(" 16.0.1000.6"), F::Sql2000},
        {QStringLiteral("16"), F::Sql2000}, {QStringLiteral("16."), F::Sql2000},
        {QStringLiteral("16,0,1000"), F::Sql2000}, {QStringLiteral("v16.0"), F::Sql2000},
        {QStringLiteral("12345.0"), F::Sql2000}, {QStringLiteral("08.00.2039"), F::Sql2000},
        {QStringLiteral("1.0"), F::Sql2000}, {QString(), F::Sql2000}, {QVariant(), F::Sql2000},
    };
    for (const auto& [characterValue, family] : cases) {
        CommandResult probe;
        probe.rows.push_back({2, QStringLiteral("ProductVersion"), 458752, characterValue});
        EXPECT_EQ(probedServerFamily(probe), family) << characterValue.toString().toStdString();
    }
}

TEST_F(ConnectTest, VersionLineTakesTheFirstAndFourthLines)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("\r\n Server X - 8.00 \n\tMay 3\n\t(c) 2003\n\tStandard Edition\nmore\n"),
         QStringLiteral("Server X - 8.00  Standard Edition")},   // only the whole text is trimmed
        {QStringLiteral("one\r\ntwo\rthree\n-four"), QStringLiteral("one four")},
        {QStringLiteral("first\nsecond\nthird"), QStringLiteral("first")},
        {QStringLiteral("only line"), QStringLiteral("only line")},
    };
    for (const auto& [versionText, line] : cases) {
        onServer([&text = versionText](sqlsim::ServerState& state) { state.faults.versionText = text; });
        connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
        EXPECT_EQ(part<StatusPane>(*window, "versionPane")->text(), line);
        window->disconnectClicked();
    }
}

TEST_F(ConnectTest, ProbeErrorIsShownAndTheWindowDisconnects)
{
    onServer([](sqlsim::ServerState& state) { state.faults.errorOnStatement = QStringLiteral("Exec xp_msver 'ProductVersion'"); });
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_EQ(messages.all[0].caption, ownTitle());
    EXPECT_EQ(messages.all[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(messages.all[0].text.contains(QStringLiteral("Simulated failure."))) << messages.all[0].text.toStdString();
    EXPECT_FALSE(window->connection()->isOpen());
    EXPECT_EQ(disabledControls(*window), DisconnectedOff);
}

TEST_F(ConnectTest, StoredSortIsAppliedAtEveryConnectAndSavedOnlyWhileConnected)
{
    storeSort(QStringLiteral("spid DESC"));
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    EXPECT_EQ(part<ProcessTab>(*window, "processTab")->procSource()->sort(), QStringLiteral("spid DESC"));
    part<ProcessTab>(*window, "processTab")->procSource()->setSort(QStringLiteral("spid"));
    window->disconnectClicked();
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    EXPECT_EQ(part<ProcessTab>(*window, "processTab")->procSource()->sort(), QStringLiteral("spid DESC")) << "read again from the file";

    part<ProcessTab>(*window, "processTab")->procSource()->setSort(QStringLiteral("spid"));
    window->disconnectClicked();
    window->close();
    EXPECT_FALSE(SettingsFile::text().contains(QStringLiteral("Sort=spid\n"))) << "closed after a disconnect";

    storeSort(QStringLiteral("no_such_column"));
    window = std::make_unique<MainWindow>();
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    EXPECT_EQ(messages.texts(), QString()) << "a stored sort that does not fit is ignored";
    window->close();
    EXPECT_TRUE(SettingsFile::text().contains(QStringLiteral("[SortOption]\nSort=\n")));
    EXPECT_FALSE(window->connection()->isOpen());
}

TEST_F(ConnectTest, ShortcutsFollowTheStateAndF5AndCtrlDelActOnlyOnTheProcessTab)
{
    ASSERT_TRUE(showActive(*window));
    fillLogin(*window, server(), QStringLiteral("sa"), QStringLiteral("velmora"));
    part<QLineEdit>(*window, "passwordBox")->setFocus();
    pressKey(Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(window->connection()->isOpen());

    auto refreshes = [this] {
        int count = 0;
        onServer([&](sqlsim::ServerState& state) { count = state.refreshCount; });
        return count;
    };
    auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        pressKey(key, modifiers);
    };
    for (const auto& [tab, refreshed] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{2, 0}, std::pair{3, 0}}) {
        part<QTabWidget>(*window, "tabs")->setCurrentIndex(tab);
        const int before = refreshes();
        press(Qt::Key_F5);
        EXPECT_EQ(refreshes() - before, refreshed) << "tab " << tab;
    }
    // Ctrl+Del asks its question on the process tab only (answered with a plain OK: no Kill).
    for (const auto& [tab, asked] : {std::pair{1, 0u}, std::pair{2, 0u}, std::pair{3, 0u}, std::pair{0, 1u}}) {
        part<QTabWidget>(*window, "tabs")->setCurrentIndex(tab);
        messages.all.clear();
        press(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(messages.all.size(), asked) << "tab " << tab;
    }
    ASSERT_FALSE(messages.all.empty());
    EXPECT_EQ(messages.all[0].caption, QStringLiteral("Confirm"));
    press(Qt::Key_D, Qt::ControlModifier);
    EXPECT_FALSE(window->connection()->isOpen());
    EXPECT_EQ(disabledControls(*window), DisconnectedOff);
}

namespace {

// A tab that writes down what the window hands it.
class RecordingTab : public WindowTab {
public:
    RecordingTab(const QString& name, QStringList& log) : m_name(name), m_log(log) {}
    QString caption() const override { return m_name; }
    void setConnectedState(bool connected) override { m_log << m_name + (connected ? ":on" : ":off"); }
    void openAfterConnect(ServerFamily family) override
    {
        m_log << m_name + (family == ServerFamily::Sql70     ? ":open70"
                           : family == ServerFamily::Sql2000 ? ":open2000"
                                                             : ":open2005");
    }
    void closeAtDisconnect() override { m_log << m_name + ":close"; }
    void refreshKey() override { m_log << m_name + ":F5"; }
    void deleteKey() override { m_log << m_name + ":Del"; }
    void filterValuesKey() override { m_log << m_name + ":F3"; }

private:
    QString m_name;
    QStringList& m_log;
};

} // namespace

TEST_F(ConnectTest, EachTabGetsItsStateItsConnectAndOnlyItsOwnKeys)
{
    QStringList log;
    window->addWindowTab(new RecordingTab(QStringLiteral("A"), log), QStringLiteral("tabA"));
    window->addWindowTab(new RecordingTab(QStringLiteral("B"), log), QStringLiteral("tabB"));
    EXPECT_EQ(log.join(u' '), QStringLiteral("A:off B:off"));
    ASSERT_TRUE(showActive(*window));
    log.clear();
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    EXPECT_EQ(log.join(u' '), QStringLiteral("A:on B:on A:open2000 B:open2000"));

    const auto refreshes = [this] {
        int count = 0;
        onServer([&](sqlsim::ServerState& state) { count = state.refreshCount; });
        return count;
    };
    const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        pressKey(key, modifiers);
    };
    // F5 and Ctrl+Del reach the shown tab only (the process tab's refresh is seen on the server;
    // its Ctrl+Del question is answered OK, so nothing is killed); F3 reaches every tab.
    const struct {
        int tab;
        const char* f5;
        int processRefreshes;
        const char* del;
    } cases[] = {
        {0, "", 1, ""}, {1, "", 0, ""}, {2, "", 0, ""}, {3, "", 0, ""},
        {4, "A:F5", 0, "A:Del"}, {5, "B:F5", 0, "B:Del"},
    };
    for (const auto& c : cases) {
        part<QTabWidget>(*window, "tabs")->setCurrentIndex(c.tab);
        log.clear();
        const int before = refreshes();
        press(Qt::Key_F5);
        EXPECT_EQ(log.join(u' '), QString::fromLatin1(c.f5)) << "tab " << c.tab;
        EXPECT_EQ(refreshes() - before, c.processRefreshes) << "tab " << c.tab;
        log.clear();
        messages.all.clear();
        press(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(log.join(u' '), QString::fromLatin1(c.del)) << "tab " << c.tab;
        EXPECT_EQ(messages.all.size(), c.tab == 0 ? 1u : 0u) << "tab " << c.tab;
        log.clear();
        press(Qt::Key_F3);
        EXPECT_EQ(log.join(u' '), QStringLiteral("A:F3 B:F3")) << "tab " << c.tab;
    }

    log.clear();
    press(Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(log.join(u' '), QStringLiteral("A:off B:off A:close B:close"));
}

TEST_F(ConnectTest, ClosingWhileConnectedStoresTheSortInForce)
{
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    part<ProcessTab>(*window, "processTab")->procSource()->setSort(QStringLiteral("cpu DESC, spid"));
    window->close();
    EXPECT_TRUE(SettingsFile::text().contains(QStringLiteral("[SortOption]\nSort=cpu DESC, spid\n")))
        << SettingsFile::text().toStdString();
    EXPECT_FALSE(window->connection()->isOpen());
}

TEST_F(ConnectTest, ErrorsOfOperatorKeysAreShownAndTheWindowCarriesOn)
{
    ASSERT_TRUE(showActive(*window));
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    ASSERT_TRUE(window->connection()->isOpen());
    const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        pressKey(key, modifiers);
    };
    Query& list = *part<ProcessTab>(*window, "processTab")->procSource();

    // F5 with the process batch failing on the server.
    onServer([](sqlsim::ServerState& state) {
        state.faults.errorOnStatement = processBatch(ServerFamily::Sql2000).join("\r\n");
    });
    press(Qt::Key_F5);
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_EQ(messages.all[0].caption, ownTitle());
    EXPECT_EQ(messages.all[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(messages.all[0].text.contains(QStringLiteral("Simulated failure."))) << messages.all[0].text.toStdString();
    EXPECT_FALSE(list.isActive());
    EXPECT_EQ(disabledControls(*window), ConnectedOff);
    onServer([](sqlsim::ServerState& state) { state.faults.errorOnStatement.clear(); });
    press(Qt::Key_F5);
    EXPECT_EQ(messages.all.size(), 1u);
    EXPECT_TRUE(list.isActive());

    // Ctrl+Del on a system process, answered Yes: the server's refusal is shown.
    setMessageHandler([this](const MessageRequest& request) {
        messages.all.push_back(request);
        return request.caption == QStringLiteral("Confirm") ? QMessageBox::Yes : QMessageBox::Ok;
    });
    ASSERT_TRUE(list.locate(QStringLiteral("spid"), 1));
    messages.all.clear();
    press(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(messages.all.size(), 2u);
    EXPECT_EQ(messages.all[0].caption, QStringLiteral("Confirm"));
    EXPECT_EQ(messages.all[1].icon, QMessageBox::Critical);
    EXPECT_TRUE(messages.all[1].text.contains(QStringLiteral("Only user processes can be killed.")))
        << messages.all[1].text.toStdString();
    EXPECT_EQ(part<ProcessTab>(*window, "processTab")->currentSpid(), 1);
    press(Qt::Key_F5);
    EXPECT_EQ(messages.all.size(), 2u);
    EXPECT_EQ(disabledControls(*window), ConnectedOff);
}

TEST_F(ConnectTest, ReconnectingFromA70ToA2000ServerRebindsTheGridAndStoresThatVariantsSort)
{
    SimFixture sim70{sqlsim::ServerVersion::Sql70};
    ProcessTab& tab = *part<ProcessTab>(*window, "processTab");
    const ResultGrid& grid = *part<ResultGrid>(tab, "processGrid");
    Query& procQuery = *part<Query>(tab, "ProcQuery");
    Query& procQuery2 = *part<Query>(tab, "ProcQuery2");
    fillLogin(*window, QStringLiteral("127.0.0.1,%1").arg(sim70.port()), QStringLiteral("sa"), QStringLiteral("velmora"));
    window->connectClicked();
    ASSERT_TRUE(window->connection()->isOpen());
    EXPECT_EQ(grid.dataSource(), &procQuery);
    procQuery.setSort(QStringLiteral("spid"));
    window->disconnectClicked();

    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    ASSERT_TRUE(window->server2000());
    EXPECT_EQ(grid.dataSource(), &procQuery2);
    EXPECT_FALSE(procQuery.isActive());
    EXPECT_EQ(grid.model()->rowCount(), procQuery2.recordCount());
    EXPECT_GT(grid.model()->rowCount(), 0);
    procQuery2.setSort(QStringLiteral("spid DESC"));
    window->close();
    EXPECT_TRUE(SettingsFile::text().contains(QStringLiteral("[SortOption]\nSort=spid DESC\n")))
        << SettingsFile::text().toStdString();
}

TEST_F(ConnectTest, FailedConnectAfterASessionLeavesTheWindowAsDisconnectDoes)
{
    // Everything a disconnect sets, as one line.
    const auto windowState = [this] {
        const ProcessTab& tab = *part<ProcessTab>(*window, "processTab");
        const ResultGrid& grid = *part<ResultGrid>(tab, "processGrid");
        return QStringList{disabledControls(*window), part<StatusPane>(*window, "versionPane")->text(),
                           QString::number(window->connection()->isOpen()),
                           QString::number(part<Query>(tab, "ProcQuery")->isActive()),
                           QString::number(part<Query>(tab, "ProcQuery2")->isActive()),
                           QString::number(grid.model()->rowCount()), grid.dataSource()->objectName()}
            .join(u'|')
            .toStdString();
    };
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    window->disconnectClicked();
    const std::string disconnected = windowState();

    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    window->disconnectClicked();
    messages.all.clear();
    connectAs(QStringLiteral("sa"), QStringLiteral("wrong"));
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_EQ(messages.all[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(windowState(), disconnected);
}
