// The simulator's engine without the wire: logins and sessions, the core statements, the
// server's errors, and faults.
#include "engine/Engine.h"
#include "state/ProcessTable.h"

#include <gtest/gtest.h>

using namespace sqlsim;

namespace {

// A short, comparable picture of a reply: results as row counts, messages as numbers.
QString picture(const Reply& reply)
{
    QStringList out;
    for (const ReplyItem& item : reply.items) {
        if (const auto* result = std::get_if<ResultSet>(&item))
            out << QStringLiteral("rows:%1").arg(result->rows.size());
        else if (const auto* message = std::get_if<Message>(&item))
            out << QStringLiteral("msg:%1").arg(message->number);
        else if (const auto* done = std::get_if<Done>(&item))
            out << QStringLiteral("done:%1").arg(done->rowCount);
        else if (const auto* status = std::get_if<ReturnStatus>(&item))
            out << QStringLiteral("return:%1").arg(status->value);
        else if (const auto* change = std::get_if<EnvironmentChange>(&item))
            out << QStringLiteral("env:%1").arg(change->value);
        else
            out << QStringLiteral("proc");
    }
    return out.join(u' ');
}

QString firstMessage(const Reply& reply)
{
    for (const ReplyItem& item : reply.items) {
        if (const auto* message = std::get_if<Message>(&item))
            return message->text;
    }
    return {};
}

LoginInfo saLogin()
{
    LoginInfo info;
    info.login = QStringLiteral("sa");
    info.password = QStringLiteral("velmora");
    info.host = QStringLiteral("WS-07");
    info.program = QStringLiteral("Velmora 2.4.0.27");
    return info;
}

class SqlsimEngine : public ::testing::Test {
protected:
    int logIn()
    {
        const auto outcome = engine.login(saLogin());
        return std::get<int>(outcome);
    }

    Engine engine{ServerOptions{ServerVersion::Sql2000, 1, false}};
};

} // namespace

TEST_F(SqlsimEngine, LoginChecksPasswordDatabaseAndAuthentication)
{
    LoginInfo wrong = saLogin();
    wrong.password = QStringLiteral("VELMORA");
    const auto refused = engine.login(wrong);
    ASSERT_TRUE(std::holds_alternative<Message>(refused));
    EXPECT_EQ(std::get<Message>(refused).number, 18456);
    EXPECT_EQ(std::get<Message>(refused).text, QStringLiteral("Login failed for user 'sa'."));

    LoginInfo stranger = saLogin();
    stranger.login = QStringLiteral("nobody");
    EXPECT_EQ(std::get<Message>(engine.login(stranger)).text, QStringLiteral("Login failed for user 'nobody'."));

    LoginInfo trusted = saLogin();
    trusted.integratedSecurity = true;
    EXPECT_EQ(std::get<Message>(engine.login(trusted)).number, 18452);
    // Authenticated by Kerberos: admitted under the principal's name, never the SQL login's.
    trusted.windowsLogin = QStringLiteral("CORP.EXAMPLE\\alice");
    trusted.password = QStringLiteral("wrong");
    const int windowsSpid = std::get<int>(engine.login(trusted));
    {
        std::lock_guard lock(engine.mutex());
        const Process* process = findProcess(engine.state(), windowsSpid);
        ASSERT_TRUE(process);
        EXPECT_EQ(process->loginame, trusted.windowsLogin);
        EXPECT_EQ(process->nt_domain, QStringLiteral("CORP.EXAMPLE"));
        EXPECT_EQ(process->nt_username, QStringLiteral("alice"));
    }

    LoginInfo missingDb = saLogin();
    missingDb.database = QStringLiteral("nosuch");
    EXPECT_EQ(std::get<Message>(engine.login(missingDb)).number, 4060);

    LoginInfo northwind = saLogin();
    northwind.database = QStringLiteral("northwind");
    const int spid = std::get<int>(engine.login(northwind));
    EXPECT_EQ(engine.currentDatabase(spid), QStringLiteral("Northwind"));
}

TEST_F(SqlsimEngine, SessionsGetFreeSpidsAndLeaveWithTheirLocks)
{
    const int first = logIn();
    const int second = logIn();
    EXPECT_EQ(first, 51);
    EXPECT_EQ(second, 52);
    {
        std::lock_guard lock(engine.mutex());
        const Process& process = engine.state().processes.back();
        EXPECT_EQ(process.spid, second);
        EXPECT_TRUE(process.hasClient);
        EXPECT_EQ(process.hostname, QStringLiteral("WS-07"));
        EXPECT_EQ(process.program_name, QStringLiteral("Velmora 2.4.0.27"));
        EXPECT_EQ(process.cmd, QStringLiteral("AWAITING COMMAND"));
        EXPECT_EQ(process.dbid, 1);
        engine.state().locks.push_back(Lock{qint16(first), 1, 1, 1, 0});
        engine.state().locks.push_back(Lock{qint16(second), 2, 1, 1, 0});
    }
    engine.logout(first);
    EXPECT_EQ(logIn(), first);   // the freed number is used again
    std::lock_guard lock(engine.mutex());
    ASSERT_EQ(engine.state().locks.size(), 1u);
    EXPECT_EQ(engine.state().locks.front().spid, second);
}

TEST_F(SqlsimEngine, KilledSessionsLinkIsDroppedAndItsLateLogoutHarmsNoNewcomer)
{
    std::vector<int> dropped;
    engine.onKill = [&](int spid) { dropped.push_back(spid); };
    const int killer = logIn();
    const int victim = logIn();
    engine.execute(killer, QStringLiteral("Kill %1").arg(victim));
    EXPECT_EQ(dropped, std::vector<int>{victim});

    const int newcomer = logIn();
    EXPECT_NE(newcomer, victim);   // not while the victim's link is still closing
    engine.logout(victim);
    EXPECT_EQ(engine.currentDatabase(newcomer), QStringLiteral("master"));
    std::lock_guard lock(engine.mutex());
    EXPECT_EQ(engine.state().processes.size(), 2u);
}

TEST_F(SqlsimEngine, CoreStatementsAnswerAsTheServerDoes)
{
    const int spid = logIn();
    const std::pair<const char*, const char*> cases[] = {
        {"SELECT @@VERSION", "rows:1"},
        {"select @@spid, @@servername", "rows:1"},
        {"Exec xp_msver", "proc rows:20 return:0"},
        {"Execute master..xp_msver N'productversion', 'Language'", "proc rows:2 return:0"},
        {"Exec xp_msver 'NoSuchProperty'", "proc rows:0 return:0"},
        {"xp_msver 'Language'", "proc rows:1 return:0"},
        {"Exec sp_nosuch", "msg:2812"},
        {"Use tempdb", "env:tempdb msg:5701 done:-1"},
        {"Use [pubs]; Use nosuch", "env:pubs msg:5701 done:-1 msg:911"},
        {"SET NOCOUNT ON", "done:-1"},
        {"set ansi_nulls, quoted_identifier off", "done:-1"},
        {"SET TRANSACTION ISOLATION LEVEL READ COMMITTED", "done:-1"},
        {"set textsize 2147483647 set lock_timeout -1", "done:-1 done:-1"},
        {"SET BOGUS ON", "msg:195"},
        {"SET NOCOUNT MAYBE", "msg:170"},
        {"Selec 1", "msg:2812"},   // a batch may start with a procedure's name alone
        {"Select * from nosuch", "msg:208"},
        {"SELECT @@VERSION\r\nUse\r\nSELECT @@VERSION", "msg:156"},   // a syntax error runs nothing
        {"SELECT @@VERSION Foo", "rows:1"},
        {"select 'unclosed", "msg:105"},
    };
    for (const auto& [batch, expected] : cases)
        EXPECT_EQ(picture(engine.execute(spid, QString::fromUtf8(batch))), QString::fromUtf8(expected)) << batch;
    EXPECT_EQ(engine.currentDatabase(spid), QStringLiteral("pubs"));

    EXPECT_EQ(firstMessage(engine.execute(spid, "Selec 1")), QStringLiteral("Could not find stored procedure 'Selec'."));
    EXPECT_EQ(firstMessage(engine.execute(spid, "Select 1; Selec 1")), QStringLiteral("Incorrect syntax near 'Selec'."));
    EXPECT_EQ(firstMessage(engine.execute(spid, "SET NOCOUNT MAYBE")), QStringLiteral("Incorrect syntax near 'MAYBE'."));
    EXPECT_EQ(firstMessage(engine.execute(spid, "SET NOCOUNT")), QStringLiteral("Incorrect syntax near 'NOCOUNT'."));
    EXPECT_EQ(firstMessage(engine.execute(spid, "Use")), QStringLiteral("Incorrect syntax near 'Use'."));
    EXPECT_EQ(firstMessage(engine.execute(spid, "Select * from [my table]")),
              QStringLiteral("Invalid object name 'my table'."));
}

TEST_F(SqlsimEngine, VersionTextsGiveTheStatusLineOfEachVersion)
{
    // The status line is line 1, a blank, and line 4 without its first character; line 1 ends
    // in a blank of its own, as the servers print it.
    const std::pair<ServerVersion, const char*> cases[] = {
        {ServerVersion::Sql2000, "Microsoft SQL Server  2000 - 8.00.2039 (Intel X86)  Standard Edition on "
                                 "Windows NT 5.2 (Build 3790: Service Pack 2)"},
        {ServerVersion::Sql70, "Microsoft SQL Server  7.00 - 7.00.1063 (Intel X86)  Standard Edition on "
                               "Windows NT 5.0 (Build 2195: Service Pack 4)"},
        {ServerVersion::Sql2005, "Microsoft SQL Server 2005 - 9.00.5000.00 (Intel X86)  Standard Edition on "
                                 "Windows NT 5.2 (Build 3790: Service Pack 2)"},
        {ServerVersion::Sql2008R2, "Microsoft SQL Server 2008 R2 (SP3) - 10.50.6000.34 (X64)  Standard Edition "
                                   "(64-bit) on Windows NT 6.1 <X64> (Build 7601: Service Pack 1)"},
        {ServerVersion::Sql2016, "Microsoft SQL Server 2016 (SP3) (KB5003279) - 13.0.6300.2 (X64)  Standard Edition "
                                 "(64-bit) on Windows Server 2016 Standard 10.0 <X64> (Build 14393: ) (Hypervisor)"},
        {ServerVersion::Sql2022, "Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64)  Standard Edition (64-bit) on "
                                 "Windows Server 2022 Standard 10.0 <X64> (Build 20348: ) (Hypervisor)"},
    };
    for (const auto& [version, expected] : cases) {
        ServerState state;
        state.options.version = version;
        const QStringList lines = state.versionText().trimmed().split(u'\n');
        ASSERT_GE(lines.size(), 4);
        EXPECT_EQ(lines[0] + u' ' + lines[3].mid(1), QString::fromUtf8(expected));
    }
}

TEST_F(SqlsimEngine, FaultsHitTheirStatementWhateverItsSpacingAndCase)
{
    const int spid = logIn();
    {
        std::lock_guard lock(engine.mutex());
        Faults& faults = engine.state().faults;
        faults.slowStatement = QStringLiteral("select   @@version");
        faults.slowMs = 1500;
        faults.dropOnStatement = QStringLiteral("exec xp_msver");
        faults.dropAfterRows = 2;
        faults.errorOnStatement = QStringLiteral("Use tempdb");
        faults.errorMessage = Message{2627, 1, 14, QStringLiteral("Duplicate."), {}, 1};
    }
    // The client's attention during the slow statement stops the batch before it runs.
    const Reply slow = engine.execute(spid, "SELECT @@SPID\r\nSELECT\r\n\t@@VERSION\r\nSELECT @@SPID",
                                      [](int waitMs) { return waitMs > 0; });
    EXPECT_TRUE(slow.cancelled);
    EXPECT_EQ(picture(slow), QStringLiteral("rows:1"));
    EXPECT_FALSE(slow.dropConnection);

    const Reply dropped = engine.execute(spid, "Use master\r\nEXEC  xp_msver");
    EXPECT_TRUE(dropped.dropConnection);
    EXPECT_EQ(dropped.dropAfterRows, 2);

    const Reply failed = engine.execute(spid, "SELECT @@SPID\r\nuse   TEMPDB\r\nSELECT @@SPID");
    EXPECT_EQ(picture(failed), QStringLiteral("rows:1 msg:2627"));
    EXPECT_EQ(engine.currentDatabase(spid), QStringLiteral("master"));

    const Reply untouched = engine.execute(spid, "SELECT @@SPID");
    EXPECT_FALSE(untouched.cancelled);
    EXPECT_FALSE(untouched.dropConnection);

    std::lock_guard lock(engine.mutex());
    engine.state().faults = {};
    engine.state().faults.productVersionWithoutRows = true;
    engine.state().faults.versionText = QStringLiteral("short");
    EXPECT_EQ(engine.state().versionText(), QStringLiteral("short"));
}

TEST_F(SqlsimEngine, ProbeWithoutRowsLeavesTheFullListing)
{
    const int spid = logIn();
    {
        std::lock_guard lock(engine.mutex());
        engine.state().faults.productVersionWithoutRows = true;
    }
    EXPECT_EQ(picture(engine.execute(spid, "Exec xp_msver 'ProductVersion'")), QStringLiteral("proc rows:0 return:0"));
    EXPECT_EQ(picture(engine.execute(spid, "Exec xp_msver")), QStringLiteral("proc rows:20 return:0"));
}

TEST_F(SqlsimEngine, RaiserrorFormatsItsArgumentsAsTheServerDoes)
{
    const int spid = logIn();
    const struct {
        const char* batch;
        int number, severity, state;
        const char* text;
    } cases[] = {
        {"RAISERROR('Plain failure', 16, 1)", 50000, 16, 1, "Plain failure"},
        {"RAISERROR ('Process %d of %s: %5s|%-4d|%x%%', 11, 3, 51, N'sa', 'ab', 7, 255)", 50000, 11, 3,
         "Process 51 of sa:    ab|7   |ff%"},
        {"declare @m varchar(40) set @m = 'By %s' RAISERROR(@m, 10, 2, 'variable') WITH NOWAIT", 50000, 10, 2,
         "By variable"},
        {"RAISERROR('%s and %d', 16, 1)", 50000, 16, 1, "(null) and (null)"},
        {"RAISERROR('%.3s', 16, 1, 'truncated')", 50000, 16, 1, "tru"},
        {"RAISERROR(50123, 16, 4)", 50123, 16, 4,
         "Error 50123, severity 16, state 4 was raised, but no message with that error number was found in sysmessages."},
        {"RAISERROR('Too severe', 19, 1)", 2754, 16, 1,
         "Error severity levels greater than 18 can only be specified by members of the sysadmin role, using the WITH LOG option."},
    };
    for (const auto& c : cases) {
        const Reply reply = engine.execute(spid, QString::fromUtf8(c.batch));
        const auto message = std::find_if(reply.items.begin(), reply.items.end(),
                                          [](const ReplyItem& item) { return std::holds_alternative<Message>(item); });
        ASSERT_NE(message, reply.items.end()) << c.batch;
        const Message& m = std::get<Message>(*message);
        EXPECT_EQ(m.number, c.number) << c.batch;
        EXPECT_EQ(m.severity, c.severity) << c.batch;
        EXPECT_EQ(m.state, c.state) << c.batch;
        EXPECT_EQ(m.text, QString::fromUtf8(c.text)) << c.batch;
    }
    // The batch goes on after the error, as after any error of its severity.
    EXPECT_EQ(picture(engine.execute(spid, "RAISERROR('x', 16, 1) SELECT @@SPID")), QStringLiteral("msg:50000 rows:1"));
    EXPECT_EQ(picture(engine.execute(spid, "RAISERROR('x', 16)")), QStringLiteral("msg:170"));
}

TEST_F(SqlsimEngine, GlobalTemporaryTablesAreSharedUntilTheirCreatorLeaves)
{
    const int creator = logIn();
    const int other = logIn();
    EXPECT_EQ(picture(engine.execute(creator, "create table ##shared (n int) insert ##shared values (1)")),
              QStringLiteral("done:-1 done:1"));
    EXPECT_EQ(picture(engine.execute(other, "insert ##shared values (2) select * from ##shared")),
              QStringLiteral("done:1 rows:2"));
    EXPECT_EQ(picture(engine.execute(other, "create table ##shared (n int)")), QStringLiteral("msg:2714"));
    // A # table of the same name stays the session's own.
    EXPECT_EQ(picture(engine.execute(other, "create table #shared (n int) select * from #shared")),
              QStringLiteral("done:-1 rows:0"));
    engine.logout(creator);
    EXPECT_EQ(picture(engine.execute(other, "select * from ##shared")), QStringLiteral("msg:208"));
}

TEST(SqlsimEngineLimits, WorkTimeAndMemoryBudgetsAnswerWithTheServersErrorsAndTheSessionGoesOn)
{
    ServerOptions options{ServerVersion::Sql2000, 1, false};
    options.statementWorkLimit = 100'000;
    options.batchTimeLimitMs = 300;
    options.sessionMemoryLimit = 2'500'000;
    options.serverMemoryLimit = 3'000'000;
    Engine engine(options);
    const int spid = std::get<int>(engine.login(saLogin()));
    const int neighbour = std::get<int>(engine.login(saLogin()));
    const QString fill = QStringLiteral("declare @i int set @i = 0 while @i < 1000 begin insert #t values (@i) set @i = @i + 1 end ");
    const QString doubling = QStringLiteral("create table #big (v varchar(4000)) insert #big values ('%1') "
                                            "while 1 = 1 insert #big select v from #big").arg(QString(4000, u'x'));
    const struct {
        int session;
        QString batch;
        int error;
    } cases[] = {
        {spid, "create table #t (n int) " + fill + "select count(*) from #t a where exists "
                                                    "(select * from #t b, #t c where b.n <> c.n and b.n = a.n)", 8649},
        {spid, "declare @i int set @i = 0 while 1 = 1 set @i = @i + 1", 8649},
        {spid, doubling, 701},
        // The session's own limit is not reached, but the server's is, with the neighbour's rows.
        {neighbour, doubling, 701},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.batch.toStdString());
        EXPECT_TRUE(picture(engine.execute(c.session, c.batch)).endsWith(QStringLiteral("msg:%1").arg(c.error)));
        EXPECT_EQ(picture(engine.execute(c.session, "select @@spid")), QStringLiteral("rows:1"));
    }
    const auto message = firstMessage(engine.execute(spid, "while 1 = 1 select 1 from #t a, #t b"));
    EXPECT_TRUE(message.startsWith(QStringLiteral("The query has been canceled because the estimated cost of this query (")))
        << message.toStdString();
    EXPECT_EQ(picture(engine.execute(spid, "drop table #big")), QStringLiteral("done:-1"));
    // Dropping the rows gave their bytes back: the neighbour may fill its table again.
    EXPECT_TRUE(picture(engine.execute(neighbour, "insert #big select v from #big")).startsWith(QStringLiteral("done:")));
}
