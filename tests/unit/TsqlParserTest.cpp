// The batch parser: where statements begin and end without separators, the syntax errors that
// reject a whole batch, and nesting that answers 191 instead of exhausting the stack.
#include "tsql/Parser.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace sqlsim;
using namespace sqlsim::tsql;

namespace {

QString kindName(Statement::Kind kind)
{
    static const char* const names[] = {
        "Declare", "DeclareCursor", "SetVariable", "SetOption", "Select", "Insert", "Update", "Delete",
        "CreateTable", "DropTable", "If", "While", "Block", "Break", "Continue", "Return", "Open", "Fetch",
        "Close", "Deallocate", "Execute", "ExecuteString", "Use", "Kill", "Print", "Dbcc", "RaisError",
    };
    return QString::fromLatin1(names[int(kind)]);
}

// The statements of a batch, "|"-joined, nested bodies in brackets; or the error's number.
QString outline(const StatementList& statements)
{
    QStringList out;
    for (const StatementPtr& s : statements) {
        QString text = kindName(s->kind);
        if (!s->body.empty())
            text += u'[' + outline(s->body) + u']';
        out << text;
    }
    return out.join(u'|');
}

QString outline(const QString& batch)
{
    const auto parsed = parseBatch(batch);
    if (const auto* error = std::get_if<Message>(&parsed))
        return QStringLiteral("error %1: %2").arg(error->number).arg(error->text);
    return outline(std::get<Batch>(parsed).statements);
}

} // namespace

TEST(TsqlParser, StatementsEndWhereTheirGrammarEnds)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Use master\r\n\r\nSelect 1", "Use|Select"},
        {"create Table #temp(block_count int); select block_count from #temp; drop table #temp;",
         "CreateTable|Select|DropTable"},
        {"insert into #t exec sp_who select 1", "Insert|Select"},
        {"insert #t (a) select a from b", "Insert"},
        {"insert #t values (1) select 2", "Insert|Select"},
        {"update t set a = 1 set nocount on", "Update|SetOption"},
        {"declare c cursor for select 1 open c", "DeclareCursor|Open"},
        {"-- only a comment\r\n/* and another\r\n */", ""},
        {"if 1 = 1 begin select 1 select 2 end else select 3 print 'x'", "If[Block[Select|Select]|Select]|Print"},
        {"while @@fetch_status = 0 begin fetch next from c into @a break end", "While[Block[Fetch|Break]]"},
        {"sp_helpdb N'pubs' select 1", "Execute|Select"},
        {"exec('select 1') exec master..xp_msver 'ProductVersion', @p = 2", "ExecuteString|Execute"},
        {"select [order] = [from], 'x' \"quoted\" from [my table] t where t.[from] like 'a%'", "Select"},
        {"select a from master.dbo.spt_values d, db..t where d.number in (0, 1, 255)", "Select"},
        {"delete from #t where a between 1 and 2 kill 57", "Delete|Kill"},
        {"dbcc inputbuffer(57) dbcc sqlperf(logspace) with no_infomsgs select 1", "Dbcc|Dbcc|Select"},
        {"raiserror('%s', 16, 1, @name) with nowait, log select 1", "RaisError|Select"},
    };
    for (const auto& [batch, expected] : cases)
        EXPECT_EQ(outline(QString::fromUtf8(batch)), QString::fromUtf8(expected)) << batch;
}

TEST(TsqlParser, SyntaxErrorsNameWhatTheServerNames)
{
    const std::pair<const char*, const char*> cases[] = {
        {"select 1 from", "error 170: Incorrect syntax near 'from'."},
        {"select 1 from where", "error 156: Incorrect syntax near the keyword 'where'."},
        {"select (1", "error 170: Incorrect syntax near '1'."},
        {"select 1 select", "error 170: Incorrect syntax near 'select'."},
        {"create table #t (a int identity(1, ), b int)", "error 170: Incorrect syntax near ')'."},
        {"declare @a", "error 170: Incorrect syntax near '@a'."},
        {"set rowcount", "error 170: Incorrect syntax near 'rowcount'."},
        {"set nonsense on", "error 195: 'nonsense' is not a recognized SET option."},
        {"select 'open", "error 105: Unclosed quotation mark before the character string 'open'."},
        {"select 1 /* open", "error 113: Missing end comment mark '*/'."},
        {"if 1 = 1 begin select 1", "error 170: Incorrect syntax near '1'."},
    };
    for (const auto& [batch, expected] : cases)
        EXPECT_EQ(outline(QString::fromUtf8(batch)), QString::fromUtf8(expected)) << batch;
}

TEST(TsqlParser, ErrorCarriesTheLineItStandsOn)
{
    const auto parsed = parseBatch("select 1\r\nselect 2\r\nselect 3 from\r\n");
    ASSERT_TRUE(std::holds_alternative<Message>(parsed));
    EXPECT_EQ(std::get<Message>(parsed).line, 3);
}

TEST(TsqlParser, DeepNestingAnswers191AndFlatChainsParse)
{
    const QString deep191 = QStringLiteral("error 191: Some part of your SQL statement is nested too deeply. "
                                           "Rewrite the query or break it up into smaller queries.");
    const int n = 100000;
    EXPECT_EQ(outline("select " + QString(n, u'(') + "1" + QString(n, u')') + " from sysprocesses"), deep191);
    EXPECT_EQ(outline("select " + QString("ltrim(").repeated(n) + "'a'" + QString(n, u')')), deep191);
    EXPECT_EQ(outline(QString("if 1=1 ").repeated(n) + "select 1"), deep191);
    EXPECT_EQ(outline(QString("begin ").repeated(n) + QString("end ").repeated(n)), deep191);
    EXPECT_EQ(outline("select 1 where " + QString("not ").repeated(n) + "1=1"), "Select");
    EXPECT_EQ(outline("select 1 where " + QString("1=1 and ").repeated(n) + "1=1"), "Select");
    EXPECT_EQ(outline("select 1" + QString(" + 1").repeated(n)), "Select");
    // Just inside the limit parses.
    EXPECT_EQ(outline("select " + QString(100, u'(') + "1" + QString(100, u')')), "Select");
}
