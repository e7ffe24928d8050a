#include "ScreenBatches.h"

namespace screenbatches {

QStringList logParsing()
{
    return {
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
        "",
    };
}

QStringList lastLogLine()
{
    return {
        "create table #EnumErrorLogs ",
        "(",
        "  id integer identity,",
        "  Info nvarchar (255),     ",
        "  i integer     ",
        ")",
        "",
        "exec(' Use master insert #EnumErrorLogs exec sp_readerrorlog '+:LID)",
        "Select Top 1 Info from #EnumErrorLogs order by id DESC",
        "drop table  #EnumErrorLogs",
    };
}

} // namespace screenbatches
