// Windows authentication end to end: a throw-away Kerberos realm, sqlsim holding the service's
// key, and the main window connecting with "Windows authentication" over the real driver.
#include "../gui/MainWindowTestSupport.h"

#include "Connection.h"
#include "KerberosRealm.h"
#include "ProcessTab.h"
#include "Query.h"
#include "SelfSignedCertificate.h"
#include "SimFixture.h"
#include "WindowParts.h"

#include <QApplication>
#include <QFile>
#include <gtest/gtest.h>
#include <memory>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QString kUser = QStringLiteral("alice");
const QString kWindowsLogin = KerberosRealm::name() + QStringLiteral("\\alice");
const QString kTrustedRefusal = QStringLiteral(
    "[FreeTDS][SQL Server]Login failed for user '(null)'. Reason: Not associated with a trusted SQL Server "
    "connection.");
const QString kDriverGaveUp = QStringLiteral("[FreeTDS][SQL Server]Adaptive Server connection failed");
const QString kNoDataSource = QStringLiteral("[FreeTDS][SQL Server]Unable to connect to data source");
// A service every server's keytab holds besides (or instead of) its own.
const QString kOtherService = QStringLiteral("MSSQLSvc/other.velmora.test:1433");

class WindowsLoginTest : public ::testing::Test {
protected:
    WindowsLoginTest()
    {
        realm.addPrincipal(kUser, realm.path(QStringLiteral("alice.keytab")));
        realm.getTicket(kUser, realm.path(QStringLiteral("alice.keytab")), ticket());
    }

    QString ticket() const { return realm.path(QStringLiteral("alice.ccache")); }
    static QString servicePrincipal(quint16 port) { return QStringLiteral("MSSQLSvc/127.0.0.1:%1").arg(port); }

    /// A server whose keytab (one per server) is filled once its port is known.
    std::unique_ptr<SimFixture> startServer(const QString& acceptedPrincipal = {})
    {
        sqlsim::SecurityOptions security;
        security.keytab = realm.path(QStringLiteral("sqlsim-%1.keytab").arg(++m_servers));
        security.servicePrincipal = acceptedPrincipal;
        return std::make_unique<SimFixture>(sqlsim::ServerVersion::Sql2000, false, security);
    }
    QString keytabOf(SimFixture& sim) const { return sim.engine().options().security.keytab; }

    /// A key to the focused widget of the active window.
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { pressKey(key, modifiers); }
    /// Fills in the login panel and presses Ctrl+C in the server box, as the operator does.
    void connectTo(const QString& server, bool windowsAuthentication)
    {
        fillLogin(*window, server, QStringLiteral("sa"), QStringLiteral("velmora"), windowsAuthentication);
        part<QComboBox>(*window, "serverBox")->setFocus();
        press(Qt::Key_C, Qt::ControlModifier);
    }
    void connectWithWindowsAuthentication(SimFixture& sim)
    {
        connectTo(QStringLiteral("127.0.0.1,%1").arg(sim.port()), true);
    }

    /// The login names the window's process list shows.
    QStringList listedLogins() const
    {
        Query& list = *part<Query>(*window, "ProcQuery2");
        QStringList logins;
        for (int row = 0; row < list.recordCount(); ++row) {
            list.moveTo(row);
            logins << list.value(QStringLiteral("loginame")).toString().trimmed();
        }
        return logins;
    }

    SettingsFile settings;
    RecordedMessages messages;
    KerberosRealm realm;
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>();

private:
    int m_servers = 0;
};

} // namespace

TEST_F(WindowsLoginTest, TicketLogsInAsThePrincipalAndSqlLoginsStillWork)
{
    ASSERT_TRUE(showActive(*window));
    auto sim = startServer();
    realm.addPrincipal(servicePrincipal(sim->port()), keytabOf(*sim));
    KerberosRealm::useCredentials(ticket());

    connectWithWindowsAuthentication(*sim);
    EXPECT_EQ(messages.texts(), QString());
    ASSERT_TRUE(window->connection()->isOpen());
    EXPECT_EQ(disabledControls(*window), ConnectedOff);
    EXPECT_TRUE(listedLogins().contains(kWindowsLogin)) << listedLogins().join(u',').toStdString();
    {
        std::lock_guard lock(sim->engine().mutex());
        const auto& processes = sim->engine().state().processes;
        const auto own = std::find_if(processes.begin(), processes.end(),
                                      [](const sqlsim::Process& p) { return p.hasClient; });
        ASSERT_NE(own, processes.end());
        EXPECT_EQ(own->nt_domain, KerberosRealm::name());
        EXPECT_EQ(own->nt_username, kUser);
    }
    press(Qt::Key_D, Qt::ControlModifier);
    ASSERT_FALSE(window->connection()->isOpen());

    connectTo(QStringLiteral("127.0.0.1,%1").arg(sim->port()), false);
    EXPECT_EQ(messages.texts(), QString());
    ASSERT_TRUE(window->connection()->isOpen());
    EXPECT_TRUE(listedLogins().contains(QStringLiteral("sa")));
}

TEST_F(WindowsLoginTest, EveryMissingOrWrongPieceShowsItsErrorAndLeavesTheWindowDisconnected)
{
    ASSERT_TRUE(showActive(*window));
    const QString expired = realm.path(QStringLiteral("expired.ccache"));
    realm.getTicket(kUser, realm.path(QStringLiteral("alice.keytab")), expired, QStringLiteral("1s"));
    const struct Case {
        const char* what;
        QString ccache;
        bool realmKnowsService;
        bool keytabHoldsService;
        bool serverNamesAnother;   // the server accepts one other principal only
        QStringList lines;         // the driver's records, sorted
    } cases[] = {
        {"no ticket", realm.path(QStringLiteral("none.ccache")), true, true, false, {kDriverGaveUp, kNoDataSource}},
        {"expired ticket", expired, true, true, false, {kDriverGaveUp, kNoDataSource}},
        {"service unknown to the realm", ticket(), false, false, false, {kDriverGaveUp, kNoDataSource}},
        {"server without the service's key", ticket(), true, false, false, {kTrustedRefusal, kNoDataSource}},
        {"server set to another principal", ticket(), true, true, true, {kTrustedRefusal, kNoDataSource}},
    };
    // The short ticket has run out by the time its case comes (the library allows it a second
    // or so beyond its end).
    QTest::qWait(3000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages.all.clear();
        std::unique_ptr<SimFixture> sim = startServer(c.serverNamesAnother ? kOtherService : QString());
        realm.addPrincipal(kOtherService, keytabOf(*sim));
        if (c.realmKnowsService)
            realm.addPrincipal(servicePrincipal(sim->port()), c.keytabHoldsService ? keytabOf(*sim)
                                                                                  : realm.path(QStringLiteral("elsewhere.keytab")));
        KerberosRealm::useCredentials(c.ccache);

        connectWithWindowsAuthentication(*sim);
        ASSERT_EQ(messages.all.size(), 1u);
        EXPECT_EQ(messages.all[0].icon, QMessageBox::Critical);
        const QString prefix = QStringLiteral("Ошибка подключения к серверу 127.0.0.1,%1: ").arg(sim->port());
        ASSERT_TRUE(messages.all[0].text.startsWith(prefix)) << messages.texts().toStdString();
        QStringList lines = messages.all[0].text.mid(prefix.size()).split(u'\n');
        lines.sort();
        EXPECT_EQ(lines, c.lines);
        EXPECT_FALSE(window->connection()->isOpen());
        EXPECT_EQ(disabledControls(*window), DisconnectedOff);
    }
}

TEST_F(WindowsLoginTest, EncryptedLinksCarryBothLoginsAndARequiringServerRefusesAPlainClient)
{
    sqlsim::SecurityOptions security;
    security.certificateFile = realm.path(QStringLiteral("sqlsim.pem"));
    security.keyFile = realm.path(QStringLiteral("sqlsim.key"));
    makeSelfSignedCertificate(security.certificateFile, security.keyFile);
    SimFixture offering(sqlsim::ServerVersion::Sql2000, false, security);
    security.keytab = realm.path(QStringLiteral("requiring.keytab"));
    security.requireEncryption = true;
    SimFixture requiring(sqlsim::ServerVersion::Sql2000, false, security);
    realm.addPrincipal(servicePrincipal(requiring.port()), security.keytab);

    // FreeTDS asks for the login to be encrypted when it may (its default), and for everything
    // or nothing through an alias.
    QFile conf(realm.path(QStringLiteral("freetds.conf")));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    for (const auto& [alias, encryption] : {std::pair{"encrypted", "require"}, std::pair{"plain", "off"}})
        conf.write(QStringLiteral("[%1]\n\thost = 127.0.0.1\n\tport = %2\n\ttds version = 7.1\n\tencryption = %3\n")
                       .arg(QLatin1String(alias)).arg(requiring.port()).arg(QLatin1String(encryption)).toUtf8());
    conf.close();
    const QByteArray previousConf = qgetenv("FREETDSCONF");
    qputenv("FREETDSCONF", conf.fileName().toLocal8Bit());
    window = std::make_unique<MainWindow>();
    ASSERT_TRUE(showActive(*window));

    const struct Case {
        const char* what;
        QString server;
        bool windowsAuthentication;
        QString ccache;
        QString listed;   // the login the process list shows; empty: the connect fails
    } cases[] = {
        {"login encrypted, SQL login", QStringLiteral("127.0.0.1,%1").arg(offering.port()), false, ticket(),
         QStringLiteral("sa")},
        {"everything encrypted, Windows login", QStringLiteral("encrypted"), true, ticket(), kWindowsLogin},
        {"everything encrypted, no ticket", QStringLiteral("encrypted"), true, realm.path(QStringLiteral("none.ccache")),
         QString()},
        {"a client that will not encrypt", QStringLiteral("plain"), false, ticket(), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages.all.clear();
        KerberosRealm::useCredentials(c.ccache);
        connectTo(c.server, c.windowsAuthentication);
        if (c.listed.isEmpty()) {
            ASSERT_EQ(messages.all.size(), 1u);
            EXPECT_TRUE(messages.all[0].text.startsWith(QStringLiteral("Ошибка подключения к серверу %1: ").arg(c.server)))
                << messages.texts().toStdString();
            EXPECT_FALSE(window->connection()->isOpen());
            EXPECT_EQ(disabledControls(*window), DisconnectedOff);
            continue;
        }
        EXPECT_EQ(messages.texts(), QString());
        ASSERT_TRUE(window->connection()->isOpen());
        EXPECT_TRUE(listedLogins().contains(c.listed)) << listedLogins().join(u',').toStdString();
        press(Qt::Key_D, Qt::ControlModifier);
        ASSERT_FALSE(window->connection()->isOpen());
    }
    if (previousConf.isEmpty())
        qunsetenv("FREETDSCONF");
    else
        qputenv("FREETDSCONF", previousConf);
}
