// The process-list select run by the interpreter over a hand-made server state: the batches
// the process tab sends, their types per server version, the join, the count, DB_Name, and the
// server's errors for what does not bind.
#include "ProcessQueries.h"
#include "state/SystemTables.h"
#include "tsql/Interpreter.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace sqlsim;
using velmora::ServerFamily;

namespace {

// The select of the process list as the tab sends it, after its "Use master" line and the blank
// one.
QString processSelect(ServerFamily family)
{
    const QStringList lines = velmora::processBatch(family).mid(2);
    return lines.join("\r\n") + "\r\n";
}

Process process(qint16 spid, qint16 dbid, QString host = {})
{
    Process p;
    p.spid = spid;
    p.dbid = dbid;
    p.hostname = std::move(host);
    p.status = "sleeping";
    p.loginame = "sa";
    p.sid = QByteArray(1, '\x01');
    return p;
}

// Three processes, stored out of spid order: 51 holds two locks, 1 none, 60 sits in a database
// that does not exist.
ServerState smallServer(ServerVersion version)
{
    ServerState state;
    state.options.version = version;
    state.options.populate = false;
    state.databases = {{1, "master", {}, {}}, {6, "Northwind", {}, {}}};
    state.processes = {process(51, 6, "СКЛАД-02"), process(1, 1), process(60, 99)};
    state.processes[0].physical_io = 3'000'000'000LL;
    state.processes[0].suid = 7;
    state.locks = {Lock{51, 21575115, 6, 1}, Lock{51, 21575115, 6, 5, 312}, Lock{2, 1, 1, 1}};
    return state;
}

struct Answer {
    std::vector<ResultSet> results;
    std::vector<Message> messages;
};

Answer run(ServerState& state, const QString& text, int sessionSpid = 60)
{
    tsql::SessionState session;
    const Reply reply = tsql::runBatch(state, session, sessionSpid, text);
    Answer answer;
    for (const ReplyItem& item : reply.items) {
        if (const auto* result = std::get_if<ResultSet>(&item))
            answer.results.push_back(*result);
        else if (const auto* message = std::get_if<Message>(&item))
            answer.messages.push_back(*message);
    }
    return answer;
}

int columnOf(const ResultSet& result, const char* name)
{
    for (size_t i = 0; i < result.columns.size(); ++i) {
        if (result.columns[i].name == QLatin1String(name))
            return int(i);
    }
    ADD_FAILURE() << "no column " << name;
    return 0;
}

// One column of every row, as text ("<null>" for null).
QString columnText(const ResultSet& result, const char* name)
{
    const int column = columnOf(result, name);
    QStringList values;
    for (const auto& row : result.rows)
        values << (row[column].isValid() ? row[column].toString() : QStringLiteral("<null>"));
    return values.join('|');
}

} // namespace

struct VariantCase {
    const char* name;
    ServerFamily batch;
    ServerVersion version;
    SqlType physicalIo;
    int sidSize;
    SqlType suid;
    bool suidNullable;
    SqlType waittime = SqlType::Int;
    int hostprocessSize = 8;
};

class ProcessListVariants : public testing::TestWithParam<VariantCase> {};

TEST_P(ProcessListVariants, DeclareTheColumnsAsTheServerTypesThem)
{
    const VariantCase& c = GetParam();
    ServerState state = smallServer(c.version);
    const Answer answer = run(state, processSelect(c.batch));
    ASSERT_TRUE(answer.messages.empty()) << answer.messages.front().text.toStdString();
    ASSERT_EQ(answer.results.size(), 1u);
    const ResultSet& result = answer.results.front();

    QStringList names;
    for (const Column& column : result.columns)
        names << column.name;
    EXPECT_EQ(names.join(','),
              "spid,kpid,block_count,blocked,waittype,waittime,lastwaittype,waitresource,dbid,uid,"
              "cpu,physical_io,memusage,login_time,last_batch,ecid,open_tran,status,sid,hostname,"
              "program_name,hostprocess,cmd,nt_domain,nt_username,net_address,net_library,loginame,"
              "suid,DBName");

    const auto type = [&](const char* name) { return result.columns[columnOf(result, name)]; };
    EXPECT_EQ(type("spid").type, SqlType::SmallInt);
    EXPECT_EQ(type("block_count").type, SqlType::Int);
    EXPECT_EQ(type("waittype").type, SqlType::Binary);
    EXPECT_EQ(type("waittype").size, 2);
    EXPECT_EQ(type("lastwaittype").type, SqlType::NChar);
    EXPECT_EQ(type("lastwaittype").size, 32);
    EXPECT_EQ(type("waitresource").size, 256);
    EXPECT_EQ(type("hostprocess").size, c.hostprocessSize);
    EXPECT_EQ(type("waittime").type, c.waittime);
    EXPECT_EQ(type("login_time").type, SqlType::DateTime);
    EXPECT_EQ(type("physical_io").type, c.physicalIo);
    EXPECT_EQ(type("sid").size, c.sidSize);
    EXPECT_EQ(type("suid").type, c.suid);
    EXPECT_EQ(type("suid").nullable, c.suidNullable);
    EXPECT_EQ(type("DBName").type, SqlType::NVarChar);
    EXPECT_EQ(type("DBName").size, 128);
    EXPECT_TRUE(type("DBName").nullable);
}

INSTANTIATE_TEST_SUITE_P(
    EveryBatch, ProcessListVariants,
    testing::Values(VariantCase{"ProcQueryOn70", ServerFamily::Sql70, ServerVersion::Sql70, SqlType::Int, 85, SqlType::SmallInt, false},
                    VariantCase{"ProcQuery2On2000", ServerFamily::Sql2000, ServerVersion::Sql2000, SqlType::BigInt, 86, SqlType::Int, false},
                    VariantCase{"ProcQuery2On70", ServerFamily::Sql2000, ServerVersion::Sql70, SqlType::Int, 85, SqlType::Int, false},
                    VariantCase{"ProcQuery2005On2005", ServerFamily::Sql2005AndLater, ServerVersion::Sql2005, SqlType::BigInt, 86,
                                SqlType::Int, false, SqlType::BigInt, 10},
                    VariantCase{"ProcQuery2005On2022", ServerFamily::Sql2005AndLater, ServerVersion::Sql2022, SqlType::BigInt, 86,
                                SqlType::Int, false, SqlType::BigInt, 10}),
    [](const testing::TestParamInfo<VariantCase>& info) { return info.param.name; });

TEST(ProcessList, RowsComeInSpidOrderWithLockCountsAndDatabaseNames)
{
    ServerState state = smallServer(ServerVersion::Sql2000);
    const Answer answer = run(state, processSelect(ServerFamily::Sql2000));
    ASSERT_EQ(answer.results.size(), 1u);
    const ResultSet& result = answer.results.front();
    EXPECT_EQ(columnText(result, "spid"), "1|51|60");
    EXPECT_EQ(columnText(result, "block_count"), "0|2|0");
    EXPECT_EQ(columnText(result, "DBName"), "master|Northwind|<null>");
    EXPECT_EQ(columnText(result, "suid"), "0|0|0");
    EXPECT_EQ(columnText(result, "physical_io"), "0|3000000000|0");
}

TEST(ProcessList, StoresValuesAsTheServerPadsThem)
{
    ServerState state = smallServer(ServerVersion::Sql2000);
    const ResultSet result = run(state, processSelect(ServerFamily::Sql2000)).results.at(0);
    const auto& row = result.rows.at(1);   // spid 51
    const QString host = row[columnOf(result, "hostname")].toString();
    EXPECT_EQ(host.size(), 128);
    EXPECT_EQ(host.trimmed(), "СКЛАД-02");
    EXPECT_EQ(row[columnOf(result, "sid")].toByteArray(), QByteArray(1, '\x01') + QByteArray(85, '\0'));
    EXPECT_EQ(row[columnOf(result, "waittype")].toByteArray(), QByteArray(2, '\0'));
    EXPECT_EQ(row[columnOf(result, "last_batch")].toDateTime(), QDateTime(QDate(1900, 1, 1), QTime(0, 0)));
}

TEST(ProcessList, SevenZeroKeepsItsOwnSuidAndHoldsIoInItsIntRange)
{
    ServerState state = smallServer(ServerVersion::Sql70);
    const ResultSet result = run(state, processSelect(ServerFamily::Sql70)).results.at(0);
    EXPECT_EQ(columnText(result, "suid"), "0|7|0");
    EXPECT_EQ(columnText(result, "physical_io"), "0|2147483647|0");
}

TEST(ProcessList, SevenZeroBatchOnA2000ServerFailsOnEverySuid)
{
    ServerState state = smallServer(ServerVersion::Sql2000);
    const Answer answer = run(state, processSelect(ServerFamily::Sql70));
    EXPECT_TRUE(answer.results.empty());
    ASSERT_EQ(answer.messages.size(), 2u);   // the select list and the group by
    for (const Message& message : answer.messages) {
        EXPECT_EQ(message.number, 207);
        EXPECT_EQ(message.severity, 16);
        EXPECT_EQ(message.text, "Invalid column name 'suid'.");
    }
}

TEST(ProcessList, LaterVersionsCountLocksInSyslockinfoAndHaveNoSyslocks)
{
    for (const ServerVersion version : {ServerVersion::Sql2005, ServerVersion::Sql2008R2, ServerVersion::Sql2016,
                                        ServerVersion::Sql2022}) {
        ServerState state = smallServer(version);
        const Answer answer = run(state, processSelect(ServerFamily::Sql2005AndLater));
        ASSERT_EQ(answer.results.size(), 1u) << int(version);
        const ResultSet& result = answer.results.front();
        EXPECT_EQ(columnText(result, "spid"), "1|51|60");
        EXPECT_EQ(columnText(result, "block_count"), "0|2|0");
        EXPECT_EQ(columnText(result, "physical_io"), "0|3000000000|0");

        // The 2000 batch fails there as it does on those servers.
        const Answer old = run(state, processSelect(ServerFamily::Sql2000));
        EXPECT_TRUE(old.results.empty());
        ASSERT_FALSE(old.messages.empty());
        EXPECT_EQ(old.messages.front().number, 208);
        EXPECT_EQ(old.messages.front().text, "Invalid object name 'syslocks'.");
    }
    // ... and the older servers know no syslockinfo.
    ServerState state = smallServer(ServerVersion::Sql2000);
    const Answer answer = run(state, processSelect(ServerFamily::Sql2005AndLater));
    ASSERT_FALSE(answer.messages.empty());
    EXPECT_EQ(answer.messages.front().text, "Invalid object name 'syslockinfo'.");
}

TEST(ProcessList, SyslockinfoDescribesEachLockByItsCodes)
{
    ServerState state = smallServer(ServerVersion::Sql2016);
    state.locks.push_back(Lock{51, 0, 6, 0, 0, 0, "DB", "", "S", true});
    const ResultSet result =
        run(state, "select req_spid, rsc_dbid, rsc_objid, rsc_type, req_mode, req_status, rsc_text from syslockinfo")
            .results.at(0);
    EXPECT_EQ(columnText(result, "req_spid"), "51|51|2|51");
    EXPECT_EQ(columnText(result, "rsc_objid"), "21575115|21575115|1|0");
    // Table 5, page 6, database 2; exclusive 5, shared 3; granted 1, waiting 3.
    EXPECT_EQ(columnText(result, "rsc_type"), "5|6|5|2");
    EXPECT_EQ(columnText(result, "req_mode"), "5|5|5|3");
    EXPECT_EQ(columnText(result, "req_status"), "1|1|1|3");
    EXPECT_EQ(result.rows.at(1)[columnOf(result, "rsc_text")].toString().trimmed(), "1:312");
}

TEST(ProcessList, ReadingItDoesNotMoveHandMadeProcesses)
{
    ServerState state = smallServer(ServerVersion::Sql2000);
    const ResultSet first = run(state, processSelect(ServerFamily::Sql2000)).results.at(0);
    const ResultSet second = run(state, processSelect(ServerFamily::Sql2000)).results.at(0);
    EXPECT_EQ(first.rows, second.rows);
    EXPECT_EQ(state.refreshCount, 2);
}

struct ErrorCase {
    const char* text;
    int number;
    const char* message;
};

class ProcessSelectErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(ProcessSelectErrors, AnswerWithTheServersMessage)
{
    ServerState state = smallServer(ServerVersion::Sql2000);
    const Answer answer = run(state, GetParam().text);
    EXPECT_TRUE(answer.results.empty());
    ASSERT_EQ(answer.messages.size(), 1u);
    EXPECT_EQ(answer.messages.front().number, GetParam().number);
    EXPECT_EQ(answer.messages.front().text, QString::fromUtf8(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Binding, ProcessSelectErrors,
    testing::Values(
        ErrorCase{"Select sp.spid, sp.cmd, Count(sl.spid) from sysprocesses sp left join syslocks sl "
                  "on (sp.spid=sl.spid) group by sp.spid",
                  8120, "Column 'sp.cmd' is invalid in the select list because it is not contained in "
                        "either an aggregate function or the GROUP BY clause."},
        ErrorCase{"Select Count(*), spid from sysprocesses", 8120,
                  "Column 'spid' is invalid in the select list because it is not contained in either "
                  "an aggregate function or the GROUP BY clause."},
        ErrorCase{"Select x.spid from sysprocesses sp", 107,
                  "The column prefix 'x' does not match with a table name or alias name used in the query."},
        ErrorCase{"Select sysprocesses.spid from sysprocesses sp", 107,
                  "The column prefix 'sysprocesses' does not match with a table name or alias name used in the query."},
        ErrorCase{"Select spid from sysprocesses p join syslocks l on p.spid = l.spid", 209,
                  "Ambiguous column name 'spid'."},
        ErrorCase{"Select spid from sysprocesses where Count(spid) > 1", 147,
                  "An aggregate may not appear in the WHERE clause unless it is in a subquery contained "
                  "in a HAVING clause or a select list, and the column being aggregated is an outer reference."},
        ErrorCase{"Select sp.spid sp.kpid from sysprocesses sp", 170, "Incorrect syntax near '.'."},
        ErrorCase{"Select spid from sysprocesses group", 170, "Incorrect syntax near 'group'."},
        ErrorCase{"Select spid from sysprocesses where spid >", 170, "Incorrect syntax near '>'."},
        ErrorCase{"Select Maximum(spid) from sysprocesses", 195, "'Maximum' is not a recognized function name."},
        ErrorCase{"Select spid from sysprocesses sp left join nosuch n on n.spid = sp.spid", 208,
                  "Invalid object name 'nosuch'."}));

TEST(ProcessSelect, OtherShapesEvaluateOverTheSameState)
{
    struct Case {
        const char* text;
        const char* column;
        const char* values;
    };
    const Case cases[] = {
        {"select spid from master..sysprocesses where spid > 50 and not (dbid = 6)", "spid", "60"},
        {"select spid from master.dbo.sysprocesses where hostname = N'склад-02  ' or spid < 2", "spid", "1|51"},
        {"select p.spid, l.page from sysprocesses p inner join syslocks l on l.spid = p.spid", "page", "0|312"},
        {"select p.spid from sysprocesses p left join syslocks l on p.spid = l.spid where l.id is null", "spid", "1|60"},
        {"select Count(*) as n from sysprocesses", "n", "3"},
        {"select Count(*) as n from sysprocesses where spid = @@spid", "n", "1"},
        {"select DB_Name() as here, 'x' as mark from sysprocesses where spid = 51", "here", "<null>"},
        {"select DB_Name(dbid) as name from sysprocesses where spid = -1", "name", ""},
    };
    for (const Case& c : cases) {
        ServerState state = smallServer(ServerVersion::Sql2000);
        const Answer answer = run(state, c.text);
        ASSERT_EQ(answer.results.size(), 1u) << c.text;
        EXPECT_EQ(columnText(answer.results.front(), c.column), c.values) << c.text;
    }
}

TEST(ProcessSelect, StarListsTheVersionsColumns)
{
    for (const ServerVersion version : {ServerVersion::Sql70, ServerVersion::Sql2000}) {
        ServerState state = smallServer(version);
        const ResultSet result = run(state, "Select * from sysprocesses").results.at(0);
        EXPECT_EQ(result.columns.size(), sysprocessesColumns(version).size());
        EXPECT_EQ(result.rows.size(), 3u);
    }
    ServerState state = smallServer(ServerVersion::Sql2000);
    const ResultSet locks = run(state, "Select l.* from sysprocesses p join syslocks l on l.spid = p.spid").results.at(0);
    ASSERT_EQ(locks.columns.size(), 5u);
    EXPECT_EQ(locks.columns[2].name, "page");
    EXPECT_EQ(locks.rows.size(), 2u);   // the lock of spid 2 has no process
}

TEST(ProcessSelect, OtherQueriesOverTheSystemTablesNeedNoRefresh)
{
    ServerState state = smallServer(ServerVersion::Sql2000);
    EXPECT_EQ(columnText(run(state, "Select name from sysdatabases order by name desc").results.at(0), "name"),
              "Northwind|master");
    EXPECT_EQ(columnText(run(state, "Select Max(spid) as top_spid, Min(page) as low from syslocks").results.at(0),
                         "top_spid"),
              "51");
    EXPECT_EQ(state.refreshCount, 0);   // only a reading of sysprocesses moves the population
}
