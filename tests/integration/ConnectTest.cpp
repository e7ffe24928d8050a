// The connect and disconnect operations of the main window against an in-process sqlsim, over
// the real ODBC driver.
#include "../gui/MainWindowTestSupport.h"

#include "ConnectText.h"
#include "DbError.h"
#include "ErrorDisplay.h"
#include "IniFile.h"
#include "Query.h"
#include "SimFixture.h"
#include "VersionText.h"

#include <QLabel>
#include <QTabWidget>
#include <gtest/gtest.h>
#include <mutex>

using namespace velmora;
using namespace velmora::testing;

namespace {

class ConnectTest : public ::testing::Test {
protected:
    explicit ConnectTest(sqlsim::ServerVersion version = sqlsim::ServerVersion::Sql2000)
        : m_sim(version)
        , m_window(std::make_unique<MainWindow>())
    {
    }

    QString serverText() const { return QStringLiteral("127.0.0.1,%1").arg(m_sim.port()); }

    void connectAs(const QString& login, const QString& password)
    {
        fillLogin(*m_window, serverText(), login, password);
        m_window->RzToolbarButton1Click();
    }

    template <typename Change>
    void changeServer(Change change)
    {
        std::lock_guard lock(m_sim.engine().mutex());
        change(m_sim.engine().state());
    }

    // Program names of the sessions with a real client.
    QStringList clientPrograms()
    {
        QStringList programs;
        changeServer([&programs](sqlsim::ServerState& state) {
            for (const sqlsim::Process& process : state.processes)
                if (process.hasClient)
                    programs << process.program_name;
        });
        return programs;
    }

    SettingsFile m_settings;
    RecordedMessages m_messages;
    SimFixture m_sim;
    std::unique_ptr<MainWindow> m_window;
};

class ConnectTo70Test : public ConnectTest {
protected:
    ConnectTo70Test() : ConnectTest(sqlsim::ServerVersion::Sql70) {}
};

} // namespace

TEST_F(ConnectTest, SqlLoginConnectsAndDisconnectClosesEverything)
{
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));

    EXPECT_TRUE(m_messages.all.empty());
    EXPECT_TRUE(m_window->Connect->isOpen());
    EXPECT_EQ(enabledStates(*m_window), ConnectedStates);
    EXPECT_TRUE(m_window->server2000());
    EXPECT_EQ(m_window->processTab->procSource(), m_window->processTab->ProcQuery2);
    EXPECT_TRUE(m_window->processTab->ProcQuery2->isActive());
    EXPECT_GT(m_window->processTab->ProcQuery2->recordCount(), 0);
    EXPECT_TRUE(m_window->RzStatusPane1->text().startsWith(QStringLiteral("Microsoft SQL Server")))
        << m_window->RzStatusPane1->text().toStdString();
    // The application name carries the version text of the running executable.
    EXPECT_EQ(clientPrograms(), QStringList{QStringLiteral("Velmora ") + GetFileVersionText(ownExecutablePath())});

    m_window->RzToolbarButton2Click();
    EXPECT_FALSE(m_window->Connect->isOpen());
    EXPECT_EQ(enabledStates(*m_window), DisconnectedStates);
    EXPECT_FALSE(m_window->processTab->ProcQuery->isActive());
    EXPECT_FALSE(m_window->processTab->ProcQuery2->isActive());
    EXPECT_TRUE(m_window->RzStatusPane1->text().isEmpty());
    EXPECT_TRUE(m_window->server2000()) << "disconnect leaves the flag as it was";
    for (int waited = 0; !clientPrograms().isEmpty() && waited < 5000; waited += 50)
        QTest::qWait(50);
    EXPECT_TRUE(clientPrograms().isEmpty()) << "the session has left the server";
}

TEST_F(ConnectTest, ValuesThatLookLikeConnectionStringSyntaxReachTheServerAsTyped)
{
    const QString passwords[] = {
        QStringLiteral("x;Data Source=other"),
        QStringLiteral("say \"hi\";"),
        QStringLiteral("'quoted'"),
        QStringLiteral(" padded "),
    };
    for (const QString& password : passwords) {
        changeServer([&password](sqlsim::ServerState& state) {
            state.logins.push_back({QStringLiteral("tricky"), password});
        });
        connectAs(QStringLiteral("tricky"), password);
        EXPECT_TRUE(m_messages.all.empty()) << password.toStdString() << ": "
                                           << (m_messages.all.empty() ? "" : m_messages.all[0].text.toStdString());
        EXPECT_TRUE(m_window->Connect->isOpen()) << password.toStdString();
        m_window->RzToolbarButton2Click();
        m_messages.all.clear();
        changeServer([](sqlsim::ServerState& state) { state.logins.pop_back(); });
    }
}

TEST_F(ConnectTest, RefusedLoginShowsTheConnectErrorAndLeavesTheWindowDisconnected)
{
    connectAs(QStringLiteral("sa"), QStringLiteral("wrong"));

    ASSERT_EQ(m_messages.all.size(), 1u);
    const MessageRequest& message = m_messages.all[0];
    EXPECT_EQ(message.caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(message.icon, QMessageBox::Critical);
    EXPECT_TRUE(message.text.startsWith(QStringLiteral("Ошибка подключения к серверу ") + serverText() + QStringLiteral(": ")))
        << message.text.toStdString();
    EXPECT_TRUE(message.text.contains(QStringLiteral("Login failed for user 'sa'."))) << message.text.toStdString();
    EXPECT_FALSE(m_window->Connect->isOpen());
    EXPECT_EQ(enabledStates(*m_window), DisconnectedStates);
    EXPECT_TRUE(m_window->RzStatusPane1->text().isEmpty());
}

TEST_F(ConnectTest, WindowsAuthenticationIgnoresTheLoginAndFailsHereWithTheDriversText)
{
    fillLogin(*m_window, serverText(), QString(), QString(), true);
    m_window->RzToolbarButton1Click();

    // No Kerberos ticket here: the driver gives up after pre-login. The message carries the
    // text the same connection string gets from the driver.
    Connection same;
    same.setConnectionString(buildConnectionString({serverText(), QString(), QString(), true,
                                                    GetFileVersionText(ownExecutablePath())}));
    QString driverText;
    try {
        same.open();
    } catch (const DbError& error) {
        driverText = error.text();
    }
    ASSERT_FALSE(driverText.isEmpty());
    ASSERT_EQ(m_messages.all.size(), 1u) << "no \"Введите логин.\" with Windows authentication";
    EXPECT_EQ(m_messages.all[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(m_messages.all[0].icon, QMessageBox::Critical);
    EXPECT_EQ(m_messages.all[0].text,
              QStringLiteral("Ошибка подключения к серверу ") + serverText() + QStringLiteral(": ") + driverText);
    EXPECT_FALSE(m_window->Connect->isOpen());
    EXPECT_EQ(enabledStates(*m_window), DisconnectedStates);
}

TEST_F(ConnectTo70Test, Version7ProbeSelectsTheFirstProcessQuery)
{
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    EXPECT_TRUE(m_messages.all.empty());
    EXPECT_FALSE(m_window->server2000());
    EXPECT_EQ(m_window->processTab->procSource(), m_window->processTab->ProcQuery);
    EXPECT_TRUE(m_window->processTab->ProcQuery->isActive());
    EXPECT_FALSE(m_window->processTab->ProcQuery2->isActive());
}

TEST_F(ConnectTest, ProbeWithoutRowsTakesTheServerFor2000AndStillConnects)
{
    changeServer([](sqlsim::ServerState& state) { state.faults.productVersionWithoutRows = true; });
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));

    ASSERT_EQ(m_messages.all.size(), 1u);
    EXPECT_EQ(m_messages.all[0].caption, QStringLiteral("Сообщение"));
    EXPECT_EQ(m_messages.all[0].icon, QMessageBox::Warning);
    EXPECT_EQ(m_messages.all[0].text, QStringLiteral("Ошибка работы  функции xp_msver. Сервер определен как MS SQL 2000"));
    EXPECT_TRUE(m_window->server2000());
    EXPECT_EQ(m_window->processTab->procSource(), m_window->processTab->ProcQuery2);
    EXPECT_TRUE(m_window->processTab->ProcQuery2->isActive());
    EXPECT_EQ(enabledStates(*m_window), ConnectedStates);
}

TEST_F(ConnectTo70Test, ProcessListErrorAfterAWrongGuessLeavesTheWindowConnected)
{
    // A 7.0 server taken for 2000 answers the 2000 process query with 7.0 column types: the
    // error is left to the general error display and the window stays connected.
    changeServer([](sqlsim::ServerState& state) { state.faults.productVersionWithoutRows = true; });
    fillLogin(*m_window, serverText(), QStringLiteral("sa"), QStringLiteral("velmora"));
    EXPECT_THROW(m_window->RzToolbarButton1Click(), DbError);
    EXPECT_TRUE(m_window->Connect->isOpen());
    EXPECT_EQ(enabledStates(*m_window), ConnectedStates);
    EXPECT_FALSE(m_window->processTab->ProcQuery2->isActive());
}

TEST(ProbeAnswer, OnlyAVersionBeginningWith7IsTakenForVersion7)
{
    const struct {
        QVariant characterValue;
        bool server2000;
    } cases[] = {
        {QStringLiteral("7.00.1063"), false},
        {QStringLiteral("7"), false},
        {QStringLiteral("8.00.2039"), true},
        {QStringLiteral("9.00.1399.06"), true},
        {QStringLiteral("10.50.1600.1"), true},
        {QStringLiteral(" 7.00"), true},
        {QString(), true},
        {QVariant(), true},   // null
    };
    for (const auto& c : cases) {
        CommandResult probe;
        probe.columnNames = {QStringLiteral("Index"), QStringLiteral("Name"), QStringLiteral("Internal_Value"),
                             QStringLiteral("Character_Value")};
        probe.rows.push_back({2, QStringLiteral("ProductVersion"), 458752, c.characterValue});
        EXPECT_EQ(probeMeansServer2000(probe), c.server2000) << c.characterValue.toString().toStdString();
    }
}

TEST_F(ConnectTest, VersionLineTakesTheFirstAndFourthLines)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("Microsoft SQL Server  2000 - 8.00.2039 (Intel X86) \n\tMay  3 2005 23:18:38 \n"
                        "\tCopyright (c) 1988-2003 Microsoft Corporation\n\tEnterprise Edition on Windows NT 5.2 (Build 3790: )\n"),
         QStringLiteral("Microsoft SQL Server  2000 - 8.00.2039 (Intel X86)  Enterprise Edition on Windows NT 5.2 (Build 3790: )")},
        {QStringLiteral("\r\n one\r\ntwo\rthree\n-four\r\nfive\n"), QStringLiteral("one four")},
        {QStringLiteral("first\nsecond\nthird"), QStringLiteral("first")},
        {QStringLiteral("only line"), QStringLiteral("only line")},
    };
    for (const auto& [versionText, line] : cases) {
        changeServer([&versionText](sqlsim::ServerState& state) { state.faults.versionText = versionText; });
        connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
        EXPECT_EQ(m_window->RzStatusPane1->text(), line);
        EXPECT_EQ(enabledStates(*m_window), ConnectedStates);
        m_window->RzToolbarButton2Click();
    }
}

TEST_F(ConnectTest, ProbeErrorIsShownAndTheWindowDisconnects)
{
    changeServer([](sqlsim::ServerState& state) {
        state.faults.errorOnStatement = QStringLiteral("Exec xp_msver 'ProductVersion'");
    });
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));

    ASSERT_EQ(m_messages.all.size(), 1u);
    EXPECT_EQ(m_messages.all[0].caption, programTitle(QCoreApplication::applicationFilePath()));
    EXPECT_EQ(m_messages.all[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(m_messages.all[0].text.contains(QStringLiteral("Simulated failure."))) << m_messages.all[0].text.toStdString();
    EXPECT_FALSE(m_window->Connect->isOpen());
    EXPECT_EQ(enabledStates(*m_window), DisconnectedStates);
}

TEST_F(ConnectTest, StoredSortIsAppliedAtEveryConnectAndABadOneIsIgnored)
{
    WriteIniValue(QStringLiteral("Velmora.ini"), QStringLiteral("SortOption"), QStringLiteral("Sort"), QStringLiteral("spid DESC"));
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    Query* processes = m_window->processTab->procSource();
    EXPECT_EQ(processes->sort(), QStringLiteral("spid DESC"));

    processes->setSort(QStringLiteral("spid"));
    m_window->RzToolbarButton2Click();
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    EXPECT_EQ(m_window->processTab->procSource()->sort(), QStringLiteral("spid DESC")) << "read again from the file";
    m_window->RzToolbarButton2Click();

    WriteIniValue(QStringLiteral("Velmora.ini"), QStringLiteral("SortOption"), QStringLiteral("Sort"), QStringLiteral("no_such_column"));
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    EXPECT_TRUE(m_messages.all.empty());
    EXPECT_EQ(enabledStates(*m_window), ConnectedStates);
}

TEST_F(ConnectTest, CloseWhileConnectedStoresTheSortAlsoWhenEmpty)
{
    SettingsFile::setText(QStringLiteral("[SortOption]\nSort=\n"));
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    m_window->close();
    EXPECT_TRUE(SettingsFile::text().contains(QStringLiteral("[SortOption]\nSort=\n")));
    EXPECT_FALSE(m_window->Connect->isOpen());

    auto next = std::make_unique<MainWindow>();
    fillLogin(*next, serverText(), QStringLiteral("sa"), QStringLiteral("velmora"));
    next->RzToolbarButton1Click();
    next->processTab->procSource()->setSort(QStringLiteral("spid DESC"));
    next->close();
    EXPECT_EQ(ReadIniValue(QStringLiteral("Velmora.ini"), QStringLiteral("SortOption"), QStringLiteral("Sort")),
              QStringLiteral("spid DESC"));
}

TEST_F(ConnectTest, CloseAfterDisconnectLeavesTheStoredSort)
{
    WriteIniValue(QStringLiteral("Velmora.ini"), QStringLiteral("SortOption"), QStringLiteral("Sort"), QStringLiteral("spid DESC"));
    connectAs(QStringLiteral("sa"), QStringLiteral("velmora"));
    m_window->processTab->procSource()->setSort(QStringLiteral("spid"));
    m_window->RzToolbarButton2Click();
    m_window->close();
    EXPECT_EQ(ReadIniValue(QStringLiteral("Velmora.ini"), QStringLiteral("SortOption"), QStringLiteral("Sort")),
              QStringLiteral("spid DESC"));
}

TEST_F(ConnectTest, ShortcutsFollowTheStateAndF5RefreshesOnlyTheProcessTab)
{
    ASSERT_TRUE(showActive(*m_window));
    fillLogin(*m_window, serverText(), QStringLiteral("sa"), QStringLiteral("velmora"));
    m_window->RzLineEdit2->setFocus();
    QTest::keyClick(m_window->RzLineEdit2, Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(m_window->Connect->isOpen());
    EXPECT_EQ(enabledStates(*m_window), ConnectedStates);

    auto refreshes = [this] {
        int count = 0;
        changeServer([&count](sqlsim::ServerState& state) { count = state.refreshCount; });
        return count;
    };
    const struct {
        int tab;
        bool refreshes;
    } cases[] = {{0, true}, {2, false}, {1, false}, {3, false}};
    for (const auto& c : cases) {
        m_window->RzPageControl1->setCurrentIndex(c.tab);
        const int before = refreshes();
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_window.get(), Qt::Key_F5);
        EXPECT_EQ(refreshes() - before, c.refreshes ? 1 : 0) << "tab " << c.tab;
    }

    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_window.get(), Qt::Key_D,
                    Qt::ControlModifier);
    EXPECT_FALSE(m_window->Connect->isOpen());
    EXPECT_EQ(enabledStates(*m_window), DisconnectedStates);
}
