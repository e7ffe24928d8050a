// Each statement kind through the interpreter, against SQL Server's documented results: the
// values a batch selects, the errors it raises, and what stays with the session afterwards.
#include "EngineReplies.h"
#include "engine/Engine.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace sqlsim;
using namespace sqlsim::testing;

namespace {

// Every result's rows ("a|b" each, ";" between rows, " / " between results) and every error
// as "error <number>".
QString outcome(const Reply& reply)
{
    QStringList parts;
    for (const ReplyItem& item : reply.items) {
        if (const auto* result = std::get_if<ResultSet>(&item)) {
            QStringList rows;
            for (const auto& row : result->rows) {
                QStringList values;
                for (const Value& value : row)
                    values << valueText(value);
                rows << values.join(u'|');
            }
            parts << rows.join(u';');
        } else if (const auto* message = std::get_if<Message>(&item); message && message->severity > 10) {
            parts << QStringLiteral("error %1").arg(message->number);
        }
    }
    return parts.join(QStringLiteral(" / "));
}

struct Case {
    const char* batch;
    const char* expected;
};

class TsqlInterpreter : public ::testing::Test {
protected:
    QString run(const QString& batch) { return outcome(engine.execute(spid, batch)); }

    void expectAll(std::initializer_list<Case> cases)
    {
        for (const Case& c : cases)
            EXPECT_EQ(run(QString::fromUtf8(c.batch)), QString::fromUtf8(c.expected)) << c.batch;
    }

    Engine engine{ServerOptions{ServerVersion::Sql2000, 1, false}};
    int spid = loginSession(engine);
};

} // namespace

TEST_F(TsqlInterpreter, ExpressionsFollowTheServersRules)
{
    expectAll({
        {"select 7 / 2, 7 % 3, 7 / 2.0, -7 / 2", "3|1|3.500000|-3"},
        {"select charindex('b', 'abcb'), charindex('z', 'abc'), charindex('b', 'abcb', 0), charindex('b', 'abcb', 3)",
         "2|0|2|4"},
        {"select len('ab  '), len(''), '[' + left('abc', 0) + ']', '[' + substring('abc', 3, 10) + ']'", "2|0|[]|[c]"},
        {"select '[' + str(2.5, 15, 7) + ']', '[' + ltrim(rtrim('  a b  ')) + ']'", "[      2.5000000]|[a b]"},
        {"select 1 + null, 'a' + null, isnull(convert(varchar(1), null), 'x'), upper('äb'), lower(N'ДБ')", "<null>|<null>|x|ÄB|дб"},
        {"select case when null = null then 'eq' when not (null = null) then 'ne' else 'unknown' end", "unknown"},
        {"select 1 - null, 2 * null, 3 / null, 4 % null, -convert(int, null), null + 'b'",
         "<null>|<null>|<null>|<null>|<null>|<null>"},
        {"select 'x' where null like 'a%' or null between 1 and 2 or not (null = 1) or null <> 1 or null in (null)", ""},
        {"select 'y' where null is null and not (1 is null) and (null = 1 or 1 = 1)", "y"},
        {"select 1 where 2 in (1, null, 2) select 2 where 3 not in (1, null)", "1 / "},
        {"select 'x' where 'ABC ' = 'abc' and 'abc' like 'a_c%' and 5 between 1 and 5", "x"},
        {"select isdate('2004-01-15 10:00:00.12'), isdate('15/01/2004'), convert(datetime, '2004-01-15 10:00:00.12')",
         "1|0|2004-01-15 10:00:00.120"},
        {"select db_name(), db_name(2), db_id('pubs'), @@spid, @@servername", "master|tempdb|5|51|SQLSIM"},
        {"select convert(int, 'x')", "error 245"},
        // A bare NULL takes the type of the replacement; a typed one keeps its own.
        {"select isnull(null, 'x'), isnull(null, 2.5), isnull(convert(int, null), 7)", "x|2.5|7"},
        {"select isnull(convert(int, null), 'x')", "error 245"},
        {"select 1 / 0 select 'after'", "error 8134 / after"},
    });
}

TEST_F(TsqlInterpreter, VariablesControlFlowAndCursors)
{
    expectAll({
        {"declare @i int, @s varchar(20) set @i = 0 set @s = ''\r\n"
         "while 1 = 1 begin set @i = @i + 1 if @i > 5 break if @i % 2 = 0 continue set @s = @s + convert(varchar, @i) end\r\n"
         "select @i, @s",
         "6|135"},
        {"declare @t smallint set @t = 40000", "error 220"},
        {"declare @c char(3), @v varchar(2) set @c = 'a' set @v = 'abc' select '[' + @c + ']', @v", "[a  ]|ab"},
        {"select @undeclared", "error 137"},
        {"declare @a int declare @a int", "error 134"},
        {"create table #n (v int) insert #n values (3) insert #n values (1) insert #n values (2)\r\n"
         "declare @v int, @sum int set @sum = 0\r\n"
         "declare walk cursor for select v from #n order by v desc open walk fetch next from walk into @v\r\n"
         "while @@fetch_status = 0 begin set @sum = @sum * 10 + @v fetch next from walk into @v end\r\n"
         "close walk deallocate walk select @sum, @@fetch_status drop table #n",
         "321|-1"},
        {"declare c cursor for select 1 declare c cursor for select 2", "error 16915"},
        {"fetch next from nosuch", "error 16916"},
        {"declare @a int select @a = spid from sysprocesses select @a", "51"},
    });
}

TEST_F(TsqlInterpreter, TemporaryTablesHoldTypedRows)
{
    expectAll({
        {"create table #t (id int identity(10, 5), name varchar(5) null, n dec(5, 2) not null)\r\n"
         "insert into #t (name, n) values ('a', 1.5) insert #t values ('b', 2) insert #t (n) select n * 2 from #t\r\n"
         "select * from #t order by id desc",
         "25|<null>|4.00;20|<null>|3.00;15|b|2.00;10|a|1.50"},
        {"select top 2 name, n from #t where name is not null or n > 3.5 order by n", "a|1.50;b|2.00"},
        {"select count(*), count(name), sum(n), min(name), max(id) from #t", "4|2|10.50|a|25"},
        {"select name, count(*) from #t group by name order by name", "<null>|2;a|1;b|1"},
        {"update #t set n = n + (select max(n) from #t) where name = 'a' select n from #t where id = 10", "5.50"},
        {"delete #t where name is null select count(*) from #t", "2"},
        {"insert #t (name, n) values ('toolong', 1)", "error 8152"},
        {"insert #t (name) values ('x')", "error 515"},
        {"insert #t (id, n) values (1, 1)", "error 8101"},
        {"create table #t (a int)", "error 2714"},
        {"select nosuch from #t", "error 207"},
        {"drop table #t drop table #t", "error 3701"},
        {"select * from #t", "error 208"},
        {"create Table #temp(block_count int); select block_count from #temp; drop table #temp;", ""},
    });
}

TEST_F(TsqlInterpreter, ExecAndUseChangeTheDatabaseAsTheServerDoes)
{
    // A USE inside EXEC holds only while the string runs.
    EXPECT_EQ(run("exec('use pubs select db_name()') select db_name()"), "pubs / master");
    EXPECT_EQ(engine.currentDatabase(spid), "master");
    EXPECT_EQ(run("use pubs select db_name()"), "pubs");
    EXPECT_EQ(engine.currentDatabase(spid), "pubs");
    const Reply reply = engine.execute(spid, "exec('use tempdb')");
    std::vector<QString> changes;
    for (const ReplyItem& item : reply.items) {
        if (const auto* change = std::get_if<EnvironmentChange>(&item))
            changes.push_back(change->value);
    }
    EXPECT_EQ(changes, (std::vector<QString>{"tempdb", "pubs"}));
    // A syntax error in the string fails that EXEC only.
    EXPECT_EQ(run("exec('select from') select 1"), "error 156 / 1");
    EXPECT_EQ(run("exec sp_nosuch select 2"), "error 2812 / 2");
    EXPECT_EQ(run("dbcc nosuch(1) select 3"), "error 2526 / 3");
}

TEST_F(TsqlInterpreter, NocountTakesTheCountsOffTheDones)
{
    const auto counts = [this](const QString& batch) {
        QStringList out;
        for (const ReplyItem& item : engine.execute(spid, batch).items) {
            if (const auto* done = std::get_if<Done>(&item))
                out << QString::number(done->rowCount);
            else if (const auto* result = std::get_if<ResultSet>(&item))
                out << (result->counted ? "counted" : "uncounted");
        }
        return out.join(u' ');
    };
    EXPECT_EQ(counts("create table #c (a int) insert #c values (1) select a from #c"), "-1 1 counted");
    EXPECT_EQ(counts("set nocount on insert #c values (2) select a from #c"), "-1 -1 uncounted");
    EXPECT_EQ(counts("insert #c values (3)"), "-1");   // the option stays with the session
    EXPECT_EQ(counts("set nocount off update #c set a = a + 1"), "-1 3");
}

TEST_F(TsqlInterpreter, SyntaxErrorAnywhereRunsNothing)
{
    EXPECT_EQ(run("create table #never (a int) insert #never values (1) select a from #never\r\nselect 1 from"),
              "error 170");
    EXPECT_EQ(run("select * from #never"), "error 208");
    EXPECT_EQ(run("use pubs\r\nif 1 = 1 begin select 1"), "error 170");
    EXPECT_EQ(engine.currentDatabase(spid), "master");
}

TEST_F(TsqlInterpreter, LongChainsAndDeepNestingNeverCrash)
{
    const int n = 100000;
    EXPECT_EQ(run("select 1 where " + QString("not ").repeated(n) + "1=1"), "1");
    EXPECT_EQ(run("select 1 where " + QString("1=1 and ").repeated(n) + "1=0"), "");
    EXPECT_EQ(run("select 0" + QString(" + 1").repeated(n)), "100000");
    EXPECT_EQ(run("select " + QString(n, u'(') + "1" + QString(n, u')') + " from sysprocesses"), "error 191");
    EXPECT_EQ(run("exec('exec(''exec(''''select 1'''')'')')"), "1");
}

TEST_F(TsqlInterpreter, JoinsPastTheSimulatorsMemoryAnswer701)
{
    EXPECT_EQ(run("create table #wide (a int) declare @i int set @i = 0\r\n"
                  "while @i < 130 begin insert #wide values (@i) set @i = @i + 1 end\r\n"
                  "set nocount on select count(*) from #wide a, #wide b where a.a = b.a\r\n"
                  "select count(*) from #wide a, #wide b, #wide c"),
              "130 / error 701");
}

TEST_F(TsqlInterpreter, AttentionStopsARunningLoop)
{
    int asked = 0;
    const Reply reply = engine.execute(spid, "create table #loop (a int) declare @i int set @i = 0 while 1 = 1 set @i = @i + 1",
                                       [&asked](int) { return ++asked > 3; });
    EXPECT_TRUE(reply.cancelled);
    std::lock_guard lock(engine.mutex());
    EXPECT_EQ(engine.session(spid).tempTables.count("#loop"), 1u);
}
