// The interpreter on the two heaviest batches the screens send: the process list over 10,000
// processes (the figure to hold against the former hard-wired evaluator) and the error-log
// parsing batch over a 10,000-line archive.
#include "tsql/Interpreter.h"

#include <QStringList>
#include <benchmark/benchmark.h>

using namespace sqlsim;

namespace {

constexpr int processCount = 10'000;
constexpr int logLineCount = 10'000;

const QString processQuery2 = QStringList{
    "Use master",
    "",
    "Select sp.spid,sp.kpid,Count(sl.spid) as block_count,sp.blocked,sp.waittype,sp.waittime,sp.lastwaittype,",
    "sp.waitresource,sp.dbid,sp.uid,sp.cpu,sp.physical_io,sp.[memusage],",
    "sp.login_time,sp.last_batch,sp.ecid,sp.open_tran,sp.status,sp.sid,",
    "sp.hostname,sp.program_name,sp.hostprocess,sp.cmd,sp.nt_domain,",
    "sp.nt_username,sp.net_address,sp.net_library,sp.loginame, 0 as suid,",
    "(Select DB_Name(sp.dbid)) as DBName",
    "",
    "from",
    "  sysprocesses sp left join syslocks sl on (sp.spid=sl.spid)",
    "\t",
    "group by sp.spid,sp.kpid,sp.blocked,sp.waittype,sp.waittime,sp.lastwaittype,",
    "sp.waitresource,sp.dbid,sp.uid,sp.cpu,sp.physical_io,sp.[memusage],sp.login_time,",
    "sp.last_batch,sp.ecid,sp.open_tran,sp.status,sp.sid,sp.hostname,sp.program_name,",
    "sp.hostprocess,sp.cmd,sp.nt_domain,sp.nt_username,sp.net_address,sp.net_library,",
    "sp.loginame",
    "",
    " ",
}.join("\r\n") + "\r\n";

const QString logParsing = QStringList{
    "declare @pos smallint, @pos2 smallint, @t smallint",
    "declare @info nvarchar (255)",
    "declare @infos nvarchar (255)",
    "Declare @spid nvarchar (10)",
    "declare @Dates DateTime",
    "",
    "create table #EnumErrorLogs ",
    "(",
    "  id integer identity,",
    "  Info nvarchar (255),     ",
    "  i integer     ",
    ")",
    "",
    "create table #EnumErrorLogsBest ",
    "(",
    "  id integer IDENTITY(1,1),",
    "  Dates DateTime,     ",
    "  spid nvarchar (10),     ",
    "  Info nvarchar (255),",
    "  i integer     \t\t",
    ")",
    "",
    "",
    "exec('Use master insert #EnumErrorLogs exec sp_readerrorlog '+:LID)",
    "",
    "Declare LogCurs CURSOR for Select Info, i from #EnumErrorLogs order by [id]",
    "Open LogCurs ",
    "FETCH FROM LogCurs Into @info, @t",
    "while @@FETCH_STATUS = 0 --@i >= 0 ",
    " begin",
    "  set @pos=charindex (' ',@info,1)",
    "  set @pos2=charindex (' ',@info,@pos+1)",
    "  if IsDate (LEFT(@info,charindex (' ',@info,@pos2)))=1 ",
    "    set @Dates = CONVERT(DateTime, LEFT(@info,charindex (' ',@info,@pos2)))",
    "  else ",
    "    set @Dates=null",
    "  ",
    "  if @Dates is Null ",
    "   begin",
    "    set @infos=@info ",
    "    set @spid=null",
    "   end",
    "  else",
    "   begin ",
    "    Set @spid=SUBSTRING (@info,@pos2,10)",
    "    Set @infos = Right(@info,LEN(@info)-@pos2-8) \t ",
    "   end",
    "  ",
    "  Insert into #EnumErrorLogsBest (Dates,spid,Info,i) values (@Dates,LTrim(Rtrim(@spid)),LTrim(Rtrim(@infos)),@t)",
    "  ",
    "  FETCH NEXT FROM LogCurs Into @info, @t",
    " end",
    "close  LogCurs ",
    "DEALLOCATE  LogCurs",
    "",
    "drop table  #EnumErrorLogs",
    "Select * from #EnumErrorLogsBest",
    "drop table #EnumErrorLogsBest ",
}.join("\r\n").replace(":LID", "N'0'") + "\r\n";

// 10,000 processes, every third holding three locks.
ServerState processServer()
{
    ServerState state;
    state.options.populate = false;
    state.databases = {{1, "master", {}, {}}, {5, "pubs", {}, {}}};
    const QDateTime now(QDate(2026, 12, 9), QTime(9, 30));
    for (int i = 0; i < processCount; ++i) {
        Process p;
        p.spid = qint16(i + 1);
        p.kpid = qint16(1000 + i);
        p.dbid = i % 2 ? 1 : 5;
        p.login_time = now.addSecs(-i);
        p.last_batch = now;
        p.status = QStringLiteral("sleeping");
        p.cmd = QStringLiteral("AWAITING COMMAND");
        p.hostname = QStringLiteral("HOST-%1").arg(i % 40);
        p.program_name = QStringLiteral("Program %1").arg(i % 7);
        p.loginame = QStringLiteral("user%1").arg(i % 13);
        p.sid = QByteArray(1, char(i % 13));
        state.processes.push_back(p);
        if (i % 3 == 0) {
            for (int l = 0; l < 3; ++l)
                state.locks.push_back(Lock{qint16(i + 1), 1000 + l, 5, 1, l});
        }
    }
    return state;
}

void BM_ProcessListBatch(benchmark::State& run)
{
    ServerState state = processServer();
    tsql::SessionState session;
    for (auto _ : run) {
        const Reply reply = tsql::runBatch(state, session, 1, processQuery2);
        benchmark::DoNotOptimize(reply.items.size());
    }
}
BENCHMARK(BM_ProcessListBatch)->Unit(benchmark::kMillisecond);

void BM_LogParsingBatch(benchmark::State& run)
{
    ServerState state;
    state.options.populate = false;
    state.databases = {{1, "master", {}, {}}};
    ErrorLogArchive archive{0, QDateTime(QDate(2026, 12, 9), QTime(9, 30)), {}};
    const QDateTime start(QDate(2026, 12, 1), QTime(0, 0));
    for (int i = 0; i < logLineCount; ++i) {
        if (i % 10 == 9) {
            archive.lines << QStringLiteral("\tcontinued text of the message before, line %1").arg(i);
            continue;
        }
        archive.lines << start.addSecs(i).toString("yyyy-MM-dd HH:mm:ss.zzz").left(22)
                + QStringLiteral(" spid%1    Message number %2 of the archive.").arg(51 + i % 40).arg(i);
    }
    state.errorLogs = {archive};
    tsql::SessionState session;
    for (auto _ : run) {
        const Reply reply = tsql::runBatch(state, session, 1, logParsing);
        benchmark::DoNotOptimize(reply.items.size());
    }
}
BENCHMARK(BM_LogParsingBatch)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
