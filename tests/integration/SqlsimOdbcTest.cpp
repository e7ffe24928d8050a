// The simulated server through the real FreeTDS ODBC driver: login, the statements the program
// sends, every column type, errors, cancel and dropped links.
#include "SimFixture.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <memory>
#include <thread>

using namespace sqlsim;

namespace {

std::u16string wide(const QString& text) { return text.toStdU16String(); }
SQLWCHAR* sqlText(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

struct Diagnostic {
    QString state;
    int native = 0;
    QString text;
};

std::vector<Diagnostic> diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    std::vector<Diagnostic> out;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[1024] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, record, state, &native, text, 1024, &length)))
            break;
        out.push_back({QString::fromUtf16(reinterpret_cast<char16_t*>(state)), int(native),
                       QString::fromUtf16(reinterpret_cast<char16_t*>(text))});
    }
    return out;
}

bool hasNative(const std::vector<Diagnostic>& records, int native, const QString& text = {})
{
    return std::any_of(records.begin(), records.end(), [&](const Diagnostic& d) {
        return d.native == native && d.text.contains(text);
    });
}

bool hasState(const std::vector<Diagnostic>& records, const char* state)
{
    return std::any_of(records.begin(), records.end(),
                       [&](const Diagnostic& d) { return d.state == QLatin1String(state); });
}

// One ODBC connection with one statement handle, enough for raw round trips.
class Client {
public:
    Client()
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc);
        SQLSetConnectAttr(m_dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(5), 0);
    }
    ~Client()
    {
        if (m_stmt)
            SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
        SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    }

    SQLRETURN connect(const QString& connectionString)
    {
        std::u16string text = wide(connectionString);
        const SQLRETURN rc = SQLDriverConnectW(m_dbc, nullptr, sqlText(text), SQL_NTS, nullptr, 0,
                                               nullptr, SQL_DRIVER_NOPROMPT);
        if (SQL_SUCCEEDED(rc))
            SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &m_stmt);
        return rc;
    }
    std::vector<Diagnostic> connectionDiagnostics() const { return diagnostics(SQL_HANDLE_DBC, m_dbc); }
    std::vector<Diagnostic> statementDiagnostics() const { return diagnostics(SQL_HANDLE_STMT, m_stmt); }

    SQLRETURN execute(const QString& batch)
    {
        SQLFreeStmt(m_stmt, SQL_CLOSE);
        std::u16string text = wide(batch);
        return SQLExecDirectW(m_stmt, sqlText(text), SQL_NTS);
    }
    SQLHSTMT statement() const { return m_stmt; }

    // Every row of the current result, each column as text ("NULL" for null), "|"-joined.
    std::vector<QString> rows()
    {
        SQLSMALLINT columns = 0;
        SQLNumResultCols(m_stmt, &columns);
        std::vector<QString> out;
        while (SQL_SUCCEEDED(SQLFetch(m_stmt))) {
            QStringList values;
            for (SQLUSMALLINT c = 1; c <= columns; ++c)
                values << text(c);
            out.push_back(values.join(u'|'));
        }
        return out;
    }

    QString text(SQLUSMALLINT column)
    {
        QString value;
        char16_t buffer[512];
        SQLLEN indicator = 0;
        SQLRETURN rc;
        while (SQL_SUCCEEDED(rc = SQLGetData(m_stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator))) {
            if (indicator == SQL_NULL_DATA)
                return QStringLiteral("NULL");
            value += QString::fromUtf16(buffer);
            if (rc == SQL_SUCCESS)
                break;
        }
        return value;
    }

    QString scalar(const QString& batch)
    {
        if (!SQL_SUCCEEDED(execute(batch)) || !SQL_SUCCEEDED(SQLFetch(m_stmt)))
            return QStringLiteral("<failed>");
        return text(1);
    }

private:
    SQLHENV m_env = SQL_NULL_HANDLE;
    SQLHDBC m_dbc = SQL_NULL_HANDLE;
    SQLHSTMT m_stmt = SQL_NULL_HANDLE;
};

struct Described {
    QString name;
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
};

Described describe(SQLHSTMT statement, SQLUSMALLINT column)
{
    SQLWCHAR name[129] = {};
    SQLSMALLINT nameLength = 0;
    Described d;
    SQLDescribeColW(statement, column, name, 128, &nameLength, &d.type, &d.size, &d.digits, &d.nullable);
    d.name = QString::fromUtf16(reinterpret_cast<char16_t*>(name));
    return d;
}

class SqlsimOdbc : public ::testing::Test {
protected:
    // Session threads end a moment after the client sees the link close.
    int sessionsAfterSettling(int expected)
    {
        QElapsedTimer timer;
        timer.start();
        while (sim.server().sessionCount() != expected && timer.elapsed() < 5000)
            QThread::msleep(5);
        return sim.server().sessionCount();
    }

    void connect(Client& client)
    {
        ASSERT_TRUE(SQL_SUCCEEDED(client.connect(sim.odbcConnectionString())))
            << client.connectionDiagnostics().front().text.toStdString();
    }

    SimFixture sim;
};

// Every column type the simulator declares, with a value, a null, and the edge of its range.
ResultSet everyType()
{
    ResultSet table;
    table.columns = {
        {"small", SqlType::SmallInt}, {"whole", SqlType::Int, 0, 0, 0, false},
        {"big", SqlType::BigInt}, {"tiny", SqlType::TinyInt}, {"flag", SqlType::Bit},
        {"real8", SqlType::Float}, {"money", SqlType::Decimal, 0, 32, 4},
        {"small_dec", SqlType::Decimal, 0, 5, 2}, {"stamp", SqlType::DateTime},
        {"fixed", SqlType::Char, 5}, {"text", SqlType::VarChar, 20},
        {"wfixed", SqlType::NChar, 10}, {"wtext", SqlType::NVarChar, 50},
        {"bin", SqlType::Binary, 86}, {"varbin", SqlType::VarBinary, 85},
    };
    table.rows = {
        {qint64(-32768), qint64(2147483647), qint64(5000000000LL), qint64(255), qint64(1), 3.25,
         QString("12345678901234567890123456.7891"), QString("-1.5"),
         QDateTime(QDate(2026, 3, 1), QTime(13, 45, 7, 997)), QString("ab"), QString("hello"),
         QString("Сервер"), QString("Процесс №1 ünï"), QByteArray("\x01\x02", 2),
         QByteArray("\xff\x00\x7f", 3)},
        {Value(), qint64(-1), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(),
         Value(), Value(), Value(), Value(), Value()},
    };
    return table;
}

} // namespace

TEST_F(SqlsimOdbc, EveryTypeIsDescribedAndReadBackExactly)
{
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().tables["AllTypes"] = everyType();
    }
    Client client;
    connect(client);
    ASSERT_TRUE(SQL_SUCCEEDED(client.execute("SET NOCOUNT ON\r\nSelect * from AllTypes")))
        << client.statementDiagnostics().front().text.toStdString();

    struct Expected { const char* name; SQLSMALLINT type; SQLULEN size; SQLSMALLINT digits; SQLSMALLINT nullable; };
    const Expected expected[] = {
        {"small", SQL_SMALLINT, 5, 0, SQL_NULLABLE}, {"whole", SQL_INTEGER, 10, 0, SQL_NO_NULLS},
        {"big", SQL_BIGINT, 19, 0, SQL_NULLABLE}, {"tiny", SQL_TINYINT, 3, 0, SQL_NULLABLE},
        {"flag", SQL_BIT, 1, 0, SQL_NULLABLE}, {"real8", SQL_DOUBLE, 53, 0, SQL_NULLABLE},
        {"money", SQL_NUMERIC, 32, 4, SQL_NULLABLE}, {"small_dec", SQL_NUMERIC, 5, 2, SQL_NULLABLE},
        {"stamp", SQL_TYPE_TIMESTAMP, 23, 3, SQL_NULLABLE}, {"fixed", SQL_CHAR, 5, 0, SQL_NULLABLE},
        {"text", SQL_VARCHAR, 20, 0, SQL_NULLABLE}, {"wfixed", SQL_WCHAR, 10, 0, SQL_NULLABLE},
        {"wtext", SQL_WVARCHAR, 50, 0, SQL_NULLABLE}, {"bin", SQL_BINARY, 86, 0, SQL_NULLABLE},
        {"varbin", SQL_VARBINARY, 85, 0, SQL_NULLABLE},
    };
    for (SQLUSMALLINT i = 0; i < std::size(expected); ++i) {
        const Described d = describe(client.statement(), i + 1);
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(d.name, QLatin1String(expected[i].name));
        EXPECT_EQ(d.type, expected[i].type);
        EXPECT_EQ(d.size, expected[i].size);
        EXPECT_EQ(d.digits, expected[i].digits);
        EXPECT_EQ(d.nullable, expected[i].nullable);
    }

    const std::vector<QString> rows = client.rows();
    ASSERT_EQ(rows.size(), 2u);
    const QString binary = QStringLiteral("0102") + QString(168, u'0');
    EXPECT_EQ(rows[0], QStringLiteral("-32768|2147483647|5000000000|255|1|3.25|"
                                      "12345678901234567890123456.7891|-1.50|2026-03-01 13:45:07.997|"
                                      "ab   |hello|Сервер    |Процесс №1 ünï|%1|ff007f").arg(binary));
    EXPECT_EQ(rows[1], QStringLiteral("NULL|-1|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL"));
}

TEST_F(SqlsimOdbc, ManyRowsTravelInMultiplePacketsAndLongBatchesArrive)
{
    ResultSet table;
    table.columns = {{"n", SqlType::Int}, {"padding", SqlType::NVarChar, 200}};
    for (int i = 0; i < 2000; ++i)
        table.rows.push_back({qint64(i), QString(100, QChar(u'a' + i % 26))});
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().tables["big"] = table;
    }
    Client client;
    connect(client);
    // A batch of more than one packet (a long comment before the statement).
    const QString batch = QStringLiteral("/*") + QString(6000, u'x') + QStringLiteral("*/ Select * from big");
    ASSERT_TRUE(SQL_SUCCEEDED(client.execute(batch)));
    const std::vector<QString> rows = client.rows();
    ASSERT_EQ(rows.size(), 2000u);
    EXPECT_EQ(rows[1999], QStringLiteral("1999|") + QString(100, u'x'));

    // Closing with rows unread cancels the rest (an attention after the reply ended).
    ASSERT_TRUE(SQL_SUCCEEDED(client.execute("Select * from big")));
    ASSERT_TRUE(SQL_SUCCEEDED(SQLFetch(client.statement())));
    EXPECT_TRUE(SQL_SUCCEEDED(SQLFreeStmt(client.statement(), SQL_CLOSE)));
    EXPECT_EQ(client.scalar("SELECT @@VERSION"), sim.engine().state().versionText());
}

TEST_F(SqlsimOdbc, VersionProbesAnswerAsEachServerVersion)
{
    struct Case {
        ServerVersion version;
        const char* expected;   // Character_Value
        int internal;           // Internal_Value: major << 16 | minor
    };
    const Case cases[] = {
        {ServerVersion::Sql2000, "8.00.2039", 524288},       {ServerVersion::Sql70, "7.00.1063", 458752},
        {ServerVersion::Sql2005, "9.00.5000.00", 589824},    {ServerVersion::Sql2008R2, "10.50.6000.34", 655410},
        {ServerVersion::Sql2016, "13.0.6300.2", 851968},     {ServerVersion::Sql2022, "16.0.1000.6", 1048576},
    };
    for (const auto& [version, expectedText, internal] : cases) {
        SCOPED_TRACE(expectedText);
        SimFixture server(version);
        Client client;
        ASSERT_TRUE(SQL_SUCCEEDED(client.connect(server.odbcConnectionString())));
        const QString expected = QString::fromLatin1(expectedText);

        ASSERT_TRUE(SQL_SUCCEEDED(client.execute("Exec xp_msver 'ProductVersion'")));
        const char* names[] = {"Index", "Name", "Internal_Value", "Character_Value"};
        const SQLSMALLINT types[] = {SQL_SMALLINT, SQL_WVARCHAR, SQL_INTEGER, SQL_WVARCHAR};
        for (SQLUSMALLINT c = 0; c < 4; ++c) {
            const Described d = describe(client.statement(), c + 1);
            EXPECT_EQ(d.name, QLatin1String(names[c]));
            EXPECT_EQ(d.type, types[c]);
        }
        EXPECT_EQ(client.rows(), std::vector<QString>{
            QStringLiteral("2|ProductVersion|%1|%2").arg(internal).arg(expected)});

        ASSERT_TRUE(SQL_SUCCEEDED(client.execute("Exec xp_msver")));
        EXPECT_GE(client.rows().size(), 19u);

        const QString text = client.scalar("SELECT @@VERSION");
        EXPECT_EQ(text, server.engine().state().versionText());
        EXPECT_TRUE(text.contains(expected));
        EXPECT_EQ(text.split(u'\n').size(), 5);
    }
}

TEST_F(SqlsimOdbc, WrongPasswordIsRefusedWithLoginFailed)
{
    Client client;
    QString connection = sim.odbcConnectionString();
    connection.replace("PWD=velmora", "PWD=wrong");
    EXPECT_FALSE(SQL_SUCCEEDED(client.connect(connection)));
    EXPECT_TRUE(hasNative(client.connectionDiagnostics(), 18456, "Login failed for user 'sa'."));
    EXPECT_EQ(sessionsAfterSettling(0), 0);
}

TEST_F(SqlsimOdbc, SessionAppearsAsProcessAndLeavesOnDisconnect)
{
    {
        Client client;
        QString connection = sim.odbcConnectionString();
        connection += ";APP=Velmora 2.4.0.27";
        ASSERT_TRUE(SQL_SUCCEEDED(client.connect(connection)));
        const int spid = client.scalar("SELECT @@SPID").toInt();
        EXPECT_GE(spid, 51);
        std::lock_guard lock(sim.engine().mutex());
        const auto& processes = sim.engine().state().processes;
        const auto it = std::find_if(processes.begin(), processes.end(),
                                     [&](const Process& p) { return p.spid == spid; });
        ASSERT_NE(it, processes.end());
        EXPECT_TRUE(it->hasClient);
        EXPECT_EQ(it->program_name, QStringLiteral("Velmora 2.4.0.27"));
        EXPECT_EQ(it->loginame, QStringLiteral("sa"));
        EXPECT_EQ(it->net_library, QStringLiteral("TCP/IP"));
    }
    EXPECT_EQ(sessionsAfterSettling(0), 0);
    std::lock_guard lock(sim.engine().mutex());
    for (const Process& p : sim.engine().state().processes)
        EXPECT_FALSE(p.hasClient) << p.spid;
}

TEST_F(SqlsimOdbc, ServerMessagesReachTheClient)
{
    Client client;
    connect(client);

    EXPECT_EQ(client.execute("Use tempdb"), SQL_SUCCESS_WITH_INFO);
    EXPECT_TRUE(hasNative(client.statementDiagnostics(), 5701, "Changed database context to 'tempdb'."));
    EXPECT_EQ(sim.engine().currentDatabase(client.scalar("SELECT @@SPID").toInt()), QStringLiteral("tempdb"));

    EXPECT_EQ(client.execute("Use nosuch"), SQL_ERROR);
    EXPECT_TRUE(hasNative(client.statementDiagnostics(), 911));

    EXPECT_EQ(client.execute("Select 1;\r\nSelec 1"), SQL_ERROR);
    EXPECT_TRUE(hasNative(client.statementDiagnostics(), 170, "Incorrect syntax near 'Selec'."));
    // A batch may begin with a procedure's name alone, so a misspelt first word names one.
    EXPECT_EQ(client.execute("Selec 1"), SQL_ERROR);
    EXPECT_TRUE(hasNative(client.statementDiagnostics(), 2812, "Could not find stored procedure 'Selec'."));

    EXPECT_EQ(client.execute("Select * from nosuch"), SQL_ERROR);
    const auto missing = client.statementDiagnostics();
    EXPECT_TRUE(hasNative(missing, 208, "Invalid object name 'nosuch'."));
    EXPECT_TRUE(hasState(missing, "42S02"));

    // The connection is still good after the errors.
    EXPECT_EQ(client.scalar("SELECT @@VERSION"), sim.engine().state().versionText());
}

TEST_F(SqlsimOdbc, HugeNamesInMessagesAreCutAndTheClientStaysInStep)
{
    Client client;
    connect(client);
    const QString name(40000, u'n');
    EXPECT_EQ(client.execute(QStringLiteral("Select * from [%1]").arg(name)), SQL_ERROR);
    EXPECT_TRUE(hasNative(client.statementDiagnostics(), 208,
                          QStringLiteral("Invalid object name '%1'.").arg(name.left(128))));
    EXPECT_EQ(client.scalar("SELECT @@VERSION"), sim.engine().state().versionText());

    Client stranger;
    QString connection = sim.odbcConnectionString();
    connection.replace("UID=sa", "UID=" + QString(65535, u'u'));
    EXPECT_FALSE(SQL_SUCCEEDED(stranger.connect(connection)));
    EXPECT_TRUE(hasNative(stranger.connectionDiagnostics(), 18456,
                          QStringLiteral("Login failed for user '%1'.").arg(QString(128, u'u'))));
}

TEST_F(SqlsimOdbc, ErrorMidBatchKeepsEarlierResults)
{
    Client client;
    connect(client);
    ASSERT_TRUE(SQL_SUCCEEDED(client.execute("SELECT @@SPID\r\nSelect * from nosuch\r\nSELECT @@VERSION")));
    EXPECT_EQ(client.rows().size(), 1u);
    EXPECT_EQ(SQLMoreResults(client.statement()), SQL_ERROR);
    EXPECT_TRUE(hasNative(client.statementDiagnostics(), 208));
    EXPECT_EQ(SQLMoreResults(client.statement()), SQL_NO_DATA);   // the rest of the batch never ran
}

TEST_F(SqlsimOdbc, ProbeWithoutRowsAndShortVersionText)
{
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().faults.productVersionWithoutRows = true;
        sim.engine().state().faults.versionText = QStringLiteral("Microsoft SQL Server 2000");
    }
    Client client;
    connect(client);
    ASSERT_TRUE(SQL_SUCCEEDED(client.execute("Exec xp_msver 'ProductVersion'")));
    EXPECT_TRUE(client.rows().empty());
    EXPECT_EQ(client.scalar("SELECT @@VERSION"), QStringLiteral("Microsoft SQL Server 2000"));
}

TEST_F(SqlsimOdbc, TimeOutCancelsSlowStatementAndConnectionStaysUsable)
{
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().faults.slowStatement = "SELECT @@VERSION";
        sim.engine().state().faults.slowMs = 20000;
    }
    Client client;
    connect(client);
    SQLSetStmtAttr(client.statement(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(1), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(client.execute("SELECT @@VERSION"), SQL_ERROR);
    EXPECT_LT(timer.elapsed(), 15000);
    EXPECT_TRUE(hasState(client.statementDiagnostics(), "HYT00"));
    EXPECT_EQ(client.scalar("SELECT @@SPID").toInt() >= 51, true);
}

TEST_F(SqlsimOdbc, DroppedLinkFailsCleanlyAndOtherSessionsGoOn)
{
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().faults.dropOnStatement = "Exec xp_msver";
        sim.engine().state().faults.dropAfterRows = 3;
    }
    Client victim;
    Client bystander;
    connect(victim);
    connect(bystander);
    ASSERT_TRUE(SQL_SUCCEEDED(victim.execute("Exec xp_msver")));
    EXPECT_EQ(victim.rows().size(), 3u);
    EXPECT_TRUE(hasNative(victim.statementDiagnostics(), 20017, "Unexpected EOF from the server"));
    EXPECT_EQ(victim.execute("SELECT @@SPID"), SQL_ERROR);
    EXPECT_TRUE(hasState(victim.statementDiagnostics(), "08S01"));

    EXPECT_EQ(bystander.scalar("SELECT @@VERSION"), sim.engine().state().versionText());

    // A drop ordered from outside, as a failing network would do it.
    const int spid = bystander.scalar("SELECT @@SPID").toInt();
    sim.server().dropSession(spid);
    EXPECT_EQ(bystander.execute("SELECT @@VERSION"), SQL_ERROR);
    EXPECT_TRUE(hasState(bystander.statementDiagnostics(), "08S01"));
}

TEST_F(SqlsimOdbc, PreparedStatementsAndBoundParametersTravelAsRpcCalls)
{
    Client client;
    connect(client);
    SQLHSTMT statement = client.statement();
    std::u16string text = wide(QStringLiteral("SELECT ? * 2, ?"));
    ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepareW(statement, sqlText(text), SQL_NTS)));
    SQLINTEGER number = 21;
    SQLLEN numberLength = 0;
    char16_t name[16] = u"Сервер";
    SQLLEN nameLength = SQL_NTS;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLBindParameter(statement, 1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &number,
                                               0, &numberLength)));
    ASSERT_TRUE(SQL_SUCCEEDED(SQLBindParameter(statement, 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 15, 0, name,
                                               sizeof name, &nameLength)));
    for (const SQLINTEGER value : {21, 50}) {
        number = value;
        const SQLRETURN rc = SQLExecute(statement);
        ASSERT_TRUE(SQL_SUCCEEDED(rc)) << client.statementDiagnostics().front().text.toStdString();
        EXPECT_EQ(client.rows(), std::vector<QString>{QStringLiteral("%1|Сервер").arg(value * 2)});
        SQLFreeStmt(statement, SQL_CLOSE);
    }
    // A direct execution with a bound parameter, and a parameter the statement cannot take.
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
    number = 7;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLBindParameter(statement, 1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &number,
                                               0, &numberLength)));
    ASSERT_TRUE(SQL_SUCCEEDED(client.execute("SELECT name FROM sysdatabases WHERE dbid = ? - 5")));
    EXPECT_EQ(client.rows(), std::vector<QString>{QStringLiteral("tempdb")});
    EXPECT_EQ(client.execute("SELECT * FROM nosuch WHERE n = ?"), SQL_ERROR);
    EXPECT_TRUE(hasNative(client.statementDiagnostics(), 208, "Invalid object name 'nosuch'."));
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
    EXPECT_EQ(client.scalar("SELECT @@VERSION"), sim.engine().state().versionText());
}

TEST_F(SqlsimOdbc, RunawayLoopLeavesTheServerToOthersUntilItsClientCancels)
{
    Client runaway;
    connect(runaway);
    SQLRETURN loopResult = SQL_SUCCESS;
    std::thread loop([&] { loopResult = runaway.execute("declare @i int set @i = 0 while 1 = 1 set @i = @i + 1"); });
    QThread::msleep(200);
    {
        Client newcomer;
        connect(newcomer);
        EXPECT_EQ(newcomer.scalar("SELECT @@VERSION"), sim.engine().state().versionText());
    }
    EXPECT_TRUE(SQL_SUCCEEDED(SQLCancel(runaway.statement())));
    loop.join();
    EXPECT_EQ(loopResult, SQL_ERROR);
    EXPECT_TRUE(hasState(runaway.statementDiagnostics(), "HY008"));
    EXPECT_GE(runaway.scalar("SELECT @@SPID").toInt(), 51);
}

TEST(SqlsimOdbcMemory, RunningOutOfMemoryIsError701AndTheLinkStays)
{
    ServerOptions options;
    options.populate = false;
    options.sessionMemoryLimit = 4'000'000;
    SimFixture sim(options);
    Client client;
    ASSERT_TRUE(SQL_SUCCEEDED(client.connect(sim.odbcConnectionString())));
    const QString doubling = QStringLiteral("SET NOCOUNT ON create table #big (v varchar(4000)) insert #big values ('%1') "
                                            "while 1 = 1 insert #big select v from #big").arg(QString(4000, u'x'));
    EXPECT_EQ(client.execute(doubling), SQL_ERROR);
    EXPECT_TRUE(hasNative(client.statementDiagnostics(), 701, "There is insufficient system memory to run this query."));
    EXPECT_GE(client.scalar("SELECT count(*) FROM #big").toInt(), 256);
}
