#include "LogQueries.h"

namespace velmora {

QStringList logArchiveBatch()
{
    return {QStringLiteral("Use master"), QStringLiteral("exec sp_enumerrorlogs")};
}

namespace {

// The log reader's three columns of 2005 and later: an entry's text is no longer cut at 255
// characters, and the lines that continue it come joined to it.
constexpr int EntryTextLength = 4000;
constexpr int EntrySourceLength = 50;

} // namespace

QStringList lastEntryBatch(ServerFamily family)
{
    if (family == ServerFamily::Sql2005AndLater) {
        return {
            QStringLiteral("create table #EnumErrorLogs "),
            QStringLiteral("("),
            QStringLiteral("  id integer identity,"),
            QStringLiteral("  LogDate datetime,"),
            QStringLiteral("  ProcessInfo nvarchar (50),"),
            QStringLiteral("  Info nvarchar (4000)"),
            QStringLiteral(")"),
            QString(),
            QStringLiteral("exec(' Use master insert #EnumErrorLogs exec sp_readerrorlog '+:LID)"),
            QStringLiteral("Select Top 1 Info from #EnumErrorLogs order by id DESC"),
            QStringLiteral("drop table  #EnumErrorLogs"),
        };
    }
    // Blanks at the ends of lines are part of the text the server receives.
    return {
        QStringLiteral("create table #EnumErrorLogs "),
        QStringLiteral("("),
        QStringLiteral("  id integer identity,"),
        QStringLiteral("  Info nvarchar (255),     "),
        QStringLiteral("  i integer     "),
        QStringLiteral(")"),
        QString(),
        QStringLiteral("exec(' Use master insert #EnumErrorLogs exec sp_readerrorlog '+:LID)"),
        QStringLiteral("Select Top 1 Info from #EnumErrorLogs order by id DESC"),
        QStringLiteral("drop table  #EnumErrorLogs"),
    };
}

QStringList logParsingBatch()
{
    // Blanks and tabs at the ends of lines, and the empty last line, are part of the text the
    // server receives.
    return {
        QStringLiteral("declare @pos smallint, @pos2 smallint, @t smallint"),
        QStringLiteral("declare @info nvarchar (255)"),
        QStringLiteral("declare @infos nvarchar (255)"),
        QStringLiteral("Declare @spid nvarchar (10)"),
        QStringLiteral("declare @Dates DateTime"),
        QString(),
        QStringLiteral("create table #EnumErrorLogs "),
        QStringLiteral("("),
        QStringLiteral("  id integer identity,"),
        QStringLiteral("  Info nvarchar (255),     "),
        QStringLiteral("  i integer     "),
        QStringLiteral(")"),
        QString(),
        QStringLiteral("create table #EnumErrorLogsBest "),
        QStringLiteral("("),
        QStringLiteral("  id integer IDENTITY(1,1),"),
        QStringLiteral("  Dates DateTime,     "),
        QStringLiteral("  spid nvarchar (10),     "),
        QStringLiteral("  Info nvarchar (255),"),
        QStringLiteral("  i integer     \t\t"),
        QStringLiteral(")"),
        QString(),
        QString(),
        QStringLiteral("exec('Use master insert #EnumErrorLogs exec sp_readerrorlog '+:LID)"),
        QString(),
        QStringLiteral("Declare LogCurs CURSOR for Select Info, i from #EnumErrorLogs order by [id]"),
        QStringLiteral("Open LogCurs "),
        QStringLiteral("FETCH FROM LogCurs Into @info, @t"),
        QStringLiteral("while @@FETCH_STATUS = 0 --@i >= 0 "),
        QStringLiteral(" begin"),
        QStringLiteral("  set @pos=charindex (' ',@info,1)"),
        QStringLiteral("  set @pos2=charindex (' ',@info,@pos+1)"),
        QStringLiteral("  if IsDate (LEFT(@info,charindex (' ',@info,@pos2)))=1 "),
        QStringLiteral("    set @Dates = CONVERT(DateTime, LEFT(@info,charindex (' ',@info,@pos2)))"),
        QStringLiteral("  else "),
        QStringLiteral("    set @Dates=null"),
        QStringLiteral("  "),
        QStringLiteral("  if @Dates is Null "),
        QStringLiteral("   begin"),
        QStringLiteral("    set @infos=@info "),
        QStringLiteral("    set @spid=null"),
        QStringLiteral("   end"),
        QStringLiteral("  else"),
        QStringLiteral("   begin "),
        QStringLiteral("    Set @spid=SUBSTRING (@info,@pos2,10)"),
        QStringLiteral("    Set @infos = Right(@info,LEN(@info)-@pos2-8) \t "),
        QStringLiteral("   end"),
        QStringLiteral("  "),
        QStringLiteral("  Insert into #EnumErrorLogsBest (Dates,spid,Info,i) values (@Dates,LTrim(Rtrim(@spid)),LTrim(Rtrim(@infos)),@t)"),
        QStringLiteral("  "),
        QStringLiteral("  FETCH NEXT FROM LogCurs Into @info, @t"),
        QStringLiteral(" end"),
        QStringLiteral("close  LogCurs "),
        QStringLiteral("DEALLOCATE  LogCurs"),
        QString(),
        QStringLiteral("drop table  #EnumErrorLogs"),
        QStringLiteral("Select * from #EnumErrorLogsBest"),
        QStringLiteral("drop table #EnumErrorLogsBest "),
        QString(),
    };
}

QStringList logEntryBatch()
{
    return {
        QStringLiteral("create table #EnumErrorLogs "),
        QStringLiteral("("),
        QStringLiteral("  id integer identity,"),
        QStringLiteral("  Dates datetime,"),
        QStringLiteral("  spid nvarchar (50),"),
        QStringLiteral("  Info nvarchar (4000)"),
        QStringLiteral(")"),
        QString(),
        QStringLiteral("exec('Use master insert #EnumErrorLogs exec sp_readerrorlog '+:LID)"),
        QString(),
        QStringLiteral("Select id, Dates, spid, Info, 0 as i from #EnumErrorLogs order by id"),
        QStringLiteral("drop table  #EnumErrorLogs"),
    };
}

QStringList rawLogBatch()
{
    return {QStringLiteral("Use master"), QStringLiteral("exec sp_readerrorlog :LID")};
}

void setUpLogArchiveQuery(Query& query)
{
    query.setSql(logArchiveBatch());
    query.setFields({{QStringLiteral("Archive #"), FieldKind::Integer}, {QStringLiteral("Date"), FieldKind::WideString, 255}});
}

void setUpLastEntryQuery(Query& query, ServerFamily family)
{
    const bool entries = family == ServerFamily::Sql2005AndLater;
    query.setSql(lastEntryBatch(family));
    query.setFields({{QStringLiteral("Info"), FieldKind::WideString, entries ? EntryTextLength : 255}});
}

void setUpLogListQuery(Query& query, ServerFamily family)
{
    const bool entries = family == ServerFamily::Sql2005AndLater;
    query.setSql(entries ? logEntryBatch() : logParsingBatch());
    query.setFields({{QStringLiteral("id"), FieldKind::Integer, 0, true},
                     {QStringLiteral("Dates"), FieldKind::DateTime},
                     {QStringLiteral("spid"), FieldKind::WideString, entries ? EntrySourceLength : 10},
                     {QStringLiteral("Info"), FieldKind::WideString, entries ? EntryTextLength : 255},
                     {QStringLiteral("i"), FieldKind::Integer}});
    query.setFilter(QStringLiteral("spid <> ''"));
    query.setFiltered(false);
}

void setUpRawLogQuery(Query& query)
{
    // Its rows are never shown; it is run for what it leaves behind on the connection.
    query.setSql(rawLogBatch());
}

} // namespace velmora
