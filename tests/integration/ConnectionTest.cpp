// The connection against the simulated server through the real driver: the login as the window
// builds it, the driver's text on every failure, time-outs and dropped links.
#include "Connection.h"
#include "DbError.h"
#include "Query.h"
#include "SimFixture.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace velmora;
using sqlsim::SqlType;

namespace {

QString oleDb(const QString& password, const QString& dataSource)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Password=%1;Persist Security Info=True;User ID=sa;"
                          "Initial Catalog=master;Data Source=%2;Application Name=Velmora 2.4.0.27")
        .arg(password, dataSource);
}

DbError openError(Connection& connection)
{
    try {
        connection.open();
    } catch (const DbError& e) {
        return e;
    }
    ADD_FAILURE() << "the connection opened";
    return DbError(DbError::Cause::Usage, {});
}

class ConnectionFixture : public ::testing::Test {
protected:
    QString local() const { return QStringLiteral("127.0.0.1,%1").arg(sim.port()); }

    // Every client session the server sees, by program name.
    QStringList clientPrograms()
    {
        std::lock_guard lock(sim.engine().mutex());
        QStringList programs;
        for (const sqlsim::Process& p : sim.engine().state().processes)
            if (p.hasClient)
                programs << p.program_name.trimmed();
        return programs;
    }

    void slowDown(const char* statement, int ms)
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().faults.slowStatement = QString::fromLatin1(statement);
        sim.engine().state().faults.slowMs = ms;
    }

    SimFixture sim;
    Connection connection;
};

} // namespace

TEST_F(ConnectionFixture, LogsInAsTheWindowBuildsTheStringAndRunsCommands)
{
    connection.setConnectionString(sim.oledbConnectionString());
    QSignalSpy opened(&connection, &Connection::opened);
    connection.open();
    EXPECT_TRUE(connection.isOpen());
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(clientPrograms(), QStringList{QStringLiteral("Velmora 2.4.0.27")});

    const CommandResult probe = connection.execute(QStringLiteral("Exec xp_msver 'ProductVersion'"));
    ASSERT_EQ(probe.rowCount(), 1);
    EXPECT_EQ(probe.columnNames, (QStringList{"Index", "Name", "Internal_Value", "Character_Value"}));
    EXPECT_TRUE(probe.text(3).startsWith(u'8')) << probe.text(3).toStdString();

    // Null reads as empty text; a statement without columns gives an empty result.
    sqlsim::ResultSet table;
    table.columns = {{"n", SqlType::Int}, {"t", SqlType::NVarChar, 10}};
    table.rows = {{sqlsim::Value(), QStringLiteral("x")}};
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().tables["Nulls"] = table;
    }
    const CommandResult nulls = connection.execute(QStringLiteral("Select * from Nulls"));
    EXPECT_EQ(nulls.text(0), QString());
    EXPECT_EQ(nulls.text(1), QStringLiteral("x"));
    EXPECT_THROW(nulls.text(2), DbError);
    EXPECT_EQ(connection.execute(QStringLiteral("SET NOCOUNT ON")).rowCount(), 0);
}

// Commands read their answer value by value: every row in order, each kind typed as a query
// holds it, a text as long as its column allows kept whole.
TEST_F(ConnectionFixture, CommandsReadEveryRowAndKindOfTheirAnswer)
{
    const QDateTime stamp(QDate(2004, 1, 15), QTime(10, 0, 5, 3));
    const QString longText(4000, u'w');
    sqlsim::ResultSet table;
    table.columns = {{"s", SqlType::SmallInt}, {"b", SqlType::BigInt}, {"f", SqlType::Float},
                     {"d", SqlType::DateTime}, {"t", SqlType::NVarChar, 4000}, {"x", SqlType::VarBinary, 20}};
    table.rows = {
        {qint64(7), qint64(5'000'000'000), 2.5, stamp, longText, QByteArray("\x00\x01", 2)},
        {sqlsim::Value(), sqlsim::Value(), sqlsim::Value(), sqlsim::Value(), sqlsim::Value(), sqlsim::Value()},
        {qint64(-1), qint64(0), -0.25, stamp.addDays(1), QStringLiteral("k"), QByteArray()},
    };
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().tables["Kinds"] = table;
    }
    connection.setConnectionString(sim.oledbConnectionString());
    connection.open();
    const CommandResult result = connection.execute(QStringLiteral("Select * from Kinds"));
    ASSERT_EQ(result.rowCount(), 3);
    const std::vector<QVariant>& first = result.rows[0];
    EXPECT_EQ(first[0], QVariant::fromValue(qint16(7)));
    EXPECT_EQ(first[1], QVariant::fromValue(qint64(5'000'000'000)));
    EXPECT_EQ(first[2].toDouble(), 2.5);
    EXPECT_EQ(first[3].toDateTime(), stamp);
    EXPECT_EQ(first[4].toString(), longText);
    EXPECT_EQ(first[5].toByteArray(), QByteArray("\x00\x01", 2));
    for (const QVariant& value : result.rows[1])
        EXPECT_FALSE(value.isValid());
    EXPECT_EQ(result.rows[2][0], QVariant::fromValue(qint16(-1)));
    EXPECT_EQ(result.rows[2][3].toDateTime(), stamp.addDays(1));
    EXPECT_EQ(result.rows[2][4].toString(), QStringLiteral("k"));
    EXPECT_EQ(result.rows[2][5].toByteArray(), QByteArray());
}

// A series runs its commands one after another on one statement: each answer is its own, whatever
// the one before it left (no rows, a second result), and the first failure ends the series.
TEST_F(ConnectionFixture, ASeriesGivesEachCommandItsOwnAnswerAndStopsAtTheFirstFailure)
{
    connection.setConnectionString(sim.oledbConnectionString());
    connection.open();
    const CommandSeries series = connection.executeSeries(
        {QStringLiteral("select 1 as a; select 2 as b"), QStringLiteral("SET NOCOUNT ON"),
         QStringLiteral("select 'x' as c"), QStringLiteral("select * from NoSuchTable"),
         QStringLiteral("select 3 as d")});
    ASSERT_EQ(series.results.size(), 3u);
    EXPECT_EQ(series.results[0].columnNames, QStringList{QStringLiteral("a")});
    EXPECT_EQ(series.results[0].text(0), QStringLiteral("1"));
    EXPECT_EQ(series.results[1].rowCount(), 0);
    EXPECT_EQ(series.results[2].columnNames, QStringList{QStringLiteral("c")});
    EXPECT_EQ(series.results[2].text(0), QStringLiteral("x"));
    ASSERT_TRUE(series.failure.has_value());
    EXPECT_TRUE(series.failure->hasNative(208)) << series.failure->text().toStdString();
    EXPECT_EQ(connection.execute(QStringLiteral("select 4 as e")).text(0), QStringLiteral("4"));
}

TEST_F(ConnectionFixture, CyrillicTextSurvivesBothWays)
{
    sqlsim::ResultSet table;
    table.columns = {{"имя", SqlType::NVarChar, 40}};
    table.rows = {{QStringLiteral("Процесс «тест» №1")}};
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().tables[QStringLiteral("Таблица")] = table;
    }
    connection.setConnectionString(sim.oledbConnectionString());
    connection.open();
    const CommandResult result = connection.execute(QStringLiteral("Select * from Таблица"));
    EXPECT_EQ(result.columnNames, QStringList{QStringLiteral("имя")});
    EXPECT_EQ(result.text(0), QStringLiteral("Процесс «тест» №1"));
}

TEST_F(ConnectionFixture, PasswordWithSeparatorsReachesTheServerWhole)
{
    const QString password = QStringLiteral("x;Data Source=other;\"q\" {it's");
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().logins.push_back({QStringLiteral("odd"), password});
    }
    QString quoted = password;
    quoted.replace(u'"', QStringLiteral("\"\""));
    connection.setConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Password=\"%1\";User ID=odd;"
                                                  "Initial Catalog=master;Data Source=%2;Application Name=V")
                                       .arg(quoted, local()));
    EXPECT_NO_THROW(connection.open());
    EXPECT_TRUE(connection.isOpen());
}

TEST_F(ConnectionFixture, PasswordTheDriverCannotCarryIsRefusedBeforeConnecting)
{
    connection.setConnectionString(oleDb(QStringLiteral("a}b"), local()));
    const DbError error = openError(connection);
    EXPECT_EQ(error.cause(), DbError::Cause::Usage);
    EXPECT_TRUE(error.text().contains(QStringLiteral("'}'"))) << error.what();
    EXPECT_EQ(sim.server().sessionCount(), 0);
}

TEST_F(ConnectionFixture, AliasFromTheConfigurationFileIsReached)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("freetds.conf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("[SimAlias]\n\thost = 127.0.0.1\n\tport = %1\n").arg(sim.port()).toUtf8());
    file.close();
    const QByteArray saved = qgetenv("FREETDSCONF");
    qputenv("FREETDSCONF", path.toUtf8());
    connection.setConnectionString(oleDb(QStringLiteral("velmora"), QStringLiteral("SimAlias")));
    EXPECT_NO_THROW(connection.open());
    EXPECT_TRUE(connection.isOpen());
    saved.isEmpty() ? qunsetenv("FREETDSCONF") : qputenv("FREETDSCONF", saved);
}

TEST_F(ConnectionFixture, FailedLoginsCarryTheDriversText)
{
    struct Case {
        QString dataSource;
        QString password;
        const char* text;
        DbError::Cause cause;
    };
    const Case cases[] = {
        {local(), QStringLiteral("wrong"), "Login failed for user 'sa'.", DbError::Cause::Server},
        {QStringLiteral("127.0.0.1,1"), QStringLiteral("velmora"), "Unable to connect", DbError::Cause::Link},
        {QStringLiteral("no-such-host.invalid"), QStringLiteral("velmora"), "Unknown host machine name",
         DbError::Cause::Link},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        connection.setConnectionString(oleDb(c.password, c.dataSource));
        const DbError error = openError(connection);
        EXPECT_TRUE(error.text().contains(QString::fromLatin1(c.text))) << error.what();
        EXPECT_TRUE(error.text().startsWith(QStringLiteral("[FreeTDS]"))) << error.what();
        EXPECT_EQ(error.cause(), c.cause);
        EXPECT_FALSE(connection.isOpen());
    }
}

TEST_F(ConnectionFixture, TimeOutCancelsAndTheConnectionStaysUsable)
{
    slowDown("select * from Slow", 20000);
    sqlsim::ResultSet table;
    table.columns = {{"n", SqlType::Int}};
    table.rows = {{qint64(1)}};
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().tables["Slow"] = table;
    }
    connection.setConnectionString(sim.oledbConnectionString());
    connection.open();
    Query query;
    query.setConnection(&connection);
    query.setSql({QStringLiteral("Select * from Slow")});
    query.setFields({{"n", FieldKind::Integer}});
    query.setCommandTimeout(1);
    QElapsedTimer timer;
    timer.start();
    try {
        query.open();
        FAIL() << "opened";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("Timeout expired"))) << e.what();
        EXPECT_EQ(e.cause(), DbError::Cause::Link);
    }
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_TRUE(connection.isOpen());
    EXPECT_FALSE(connection.execute(QStringLiteral("SELECT @@VERSION")).text(0).isEmpty());
}

TEST_F(ConnectionFixture, DroppedLinkFailsNowAndLaterWithoutHanging)
{
    sqlsim::ResultSet table;
    table.columns = {{"n", SqlType::Int}};
    for (int i = 0; i < 50; ++i)
        table.rows.push_back({qint64(i)});
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().tables["Many"] = table;
        sim.engine().state().faults.dropOnStatement = "select * from Many";
        sim.engine().state().faults.dropAfterRows = 3;
    }
    connection.setConnectionString(sim.oledbConnectionString());
    connection.open();
    Query query;
    query.setConnection(&connection);
    query.setSql({QStringLiteral("Select * from Many")});
    query.setFields({{"n", FieldKind::Integer}});
    try {
        query.open();
        FAIL() << "opened";
    } catch (const DbError& e) {
        EXPECT_EQ(e.cause(), DbError::Cause::Link);
        EXPECT_TRUE(e.text().startsWith(QStringLiteral("[FreeTDS]"))) << e.what();
    }
    EXPECT_FALSE(query.isActive());
    EXPECT_FALSE(connection.isOpen());

    for (auto call : {+[](Connection& c) { c.execute(QStringLiteral("SELECT @@VERSION")); },
                      +[](Connection& c) { c.executeNoRows(QStringLiteral("SET NOCOUNT ON")); }}) {
        try {
            call(connection);
            ADD_FAILURE() << "a call after the drop succeeded";
        } catch (const DbError& e) {
            EXPECT_EQ(e.cause(), DbError::Cause::Link);
            EXPECT_EQ(e.text(), QStringLiteral("The connection to the server was lost; connect again."));
        }
    }
    // Opening again makes a fresh connection.
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().faults.dropOnStatement.clear();
    }
    connection.open();
    EXPECT_TRUE(connection.isOpen());
    query.open();
    EXPECT_EQ(query.recordCount(), 50);
}

TEST_F(ConnectionFixture, CloseClosesEveryAttachedQuery)
{
    connection.setConnectionString(sim.oledbConnectionString());
    connection.open();
    Query probe;
    Query version;
    for (Query* q : {&probe, &version}) {
        q->setConnection(&connection);
        q->setSql({QStringLiteral("SELECT @@VERSION")});
    }
    probe.open();
    version.open();
    QSignalSpy closedSpy(&version, &Query::afterClose);
    connection.close();
    EXPECT_FALSE(connection.isOpen());
    EXPECT_FALSE(probe.isActive());
    EXPECT_FALSE(version.isActive());
    EXPECT_EQ(closedSpy.count(), 1);
    try {
        probe.open();
        ADD_FAILURE() << "opened on a closed connection";
    } catch (const DbError& e) {
        EXPECT_EQ(e.cause(), DbError::Cause::Usage);
    }
}

TEST_F(ConnectionFixture, ServerThatNeverAnswersTimesOutAtTheLoginTimeOut)
{
    // A listening socket nobody accepts on: the kernel completes the handshake, nothing answers.
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(silent, 4), 0);
    getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    connection.setConnectionString(oleDb(QStringLiteral("velmora"), QStringLiteral("127.0.0.1,%1").arg(ntohs(address.sin_port))));
    connection.setLoginTimeout(1);
    QElapsedTimer timer;
    timer.start();
    const DbError error = openError(connection);
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(error.cause(), DbError::Cause::Link);
    EXPECT_TRUE(error.text().contains(QStringLiteral("Timeout expired"))) << error.what();
    close(silent);
}

TEST_F(ConnectionFixture, WaitCursorIsGoneAfterSuccessAndFailure)
{
    connection.setConnectionString(oleDb(QStringLiteral("wrong"), local()));
    EXPECT_THROW(connection.open(), DbError);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    connection.setConnectionString(sim.oledbConnectionString());
    connection.open();
    Query query;
    query.setConnection(&connection);
    query.setSql({QStringLiteral("SELECT @@VERSION")});
    query.open();
    query.close();
    query.setSql({QStringLiteral("SET NOCOUNT ON")});
    EXPECT_THROW(query.open(), DbError);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
