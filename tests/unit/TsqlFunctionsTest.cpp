// T-SQL scalar functions against SQL Server 2000's documented results, and the error-log line
// split the log batch does with them.
#include "tsql/Functions.h"

#include "TsqlValues.h"

#include <gtest/gtest.h>

using namespace tsqltest;

namespace {

class Server : public FunctionContext {
public:
    DateFormat order = DateFormat::Mdy;

    DateTime now() const override { return *DateTime::fromParts(2004, 1, 15, 10, 0, 0, 120); }
    std::optional<QString> databaseName(int id) const override
    {
        if (id == 1)
            return QStringLiteral("master");
        if (id == 7)
            return QStringLiteral("pubs");
        return std::nullopt;
    }
    std::optional<int> databaseId(const QString& name) const override
    {
        return name.compare(QLatin1String("master"), Qt::CaseInsensitive) == 0 ? std::optional<int>(1) : std::nullopt;
    }
    int currentDatabaseId() const override { return 7; }
    std::optional<QString> objectName(int id) const override
    {
        return id == 2 ? std::optional<QString>(QStringLiteral("sysindexes")) : std::nullopt;
    }
    std::optional<int> objectId(const QString& name) const override
    {
        return name == QLatin1String("[dbo].[#spt_space]") ? std::optional<int>(-1234) : std::nullopt;
    }
    DateFormat dateFormat() const override { return order; }
};

struct Call {
    const char* name;
    std::vector<SqlValue> args;
    QString expected;
};

QString run(const Call& call, const FunctionContext& context)
{
    return outcome([&] { return callFunction(QString::fromLatin1(call.name), call.args, context); });
}

const SqlValue nullText = nullOf(type("nvarchar", {255}));
const SqlValue nullInt = nullOf(type("int"));
const QString invalidLength = "error 536: Invalid length parameter passed to the substring function.";

TEST(TsqlFunctions, TextFunctions)
{
    const Server server;
    const Call calls[] = {
        {"charindex", {text(" "), text("ab cd"), integer(1)}, "3"},
        {"charindex", {text(" "), text("ab cd"), integer(0)}, "3"},
        {"charindex", {text(" "), text("ab cd"), integer(-5)}, "3"},
        {"charindex", {text(" "), text("ab cd ef"), integer(4)}, "6"},
        {"charindex", {text(" "), text("ab cd ef"), integer(3)}, "3"},
        {"charindex", {text("x"), text("abc")}, "0"},
        {"charindex", {text("B"), text("abc")}, "2"},
        {"charindex", {text("c"), text("abc"), integer(4)}, "0"},
        {"charindex", {text(""), text("abc")}, "0"},
        {"charindex", {text(" "), nullText, integer(1)}, "NULL"},
        {"charindex", {text(" "), text("a b"), nullInt}, "NULL"},
        {"len", {text("abc  ")}, "3"},
        {"len", {text("  abc")}, "5"},
        {"len", {text("")}, "0"},
        {"len", {convert(text("ab"), type("char", {10}))}, "2"},
        {"len", {integer(123)}, "3"},
        {"len", {nullText}, "NULL"},
        {"left", {text("abc"), integer(0)}, ""},
        {"left", {text("abc"), integer(2)}, "ab"},
        {"left", {text("abc"), integer(5)}, "abc"},
        {"left", {text("abc"), integer(-1)}, invalidLength},
        {"left", {nullText, integer(-1)}, "NULL"},
        {"right", {text("abc"), integer(2)}, "bc"},
        {"right", {text("abc"), integer(5)}, "abc"},
        {"right", {text("abc  "), integer(3)}, "c  "},
        {"right", {text("abc"), integer(-2)}, invalidLength},
        {"substring", {text("abcdef"), integer(2), integer(3)}, "bcd"},
        {"substring", {text("abc"), integer(5), integer(2)}, ""},
        {"substring", {text("abc"), integer(2), integer(10)}, "bc"},
        {"substring", {text("abc"), integer(0), integer(2)}, "a"},
        {"substring", {text("abc"), integer(-1), integer(3)}, "a"},
        {"substring", {text("abcd"), integer(0), integer(1)}, ""},
        {"substring", {text("abcd"), integer(-4), integer(5)}, ""},
        {"substring", {text("abcd"), integer(-4), integer(6)}, "a"},
        {"substring", {text("abc"), integer(1), integer(-1)}, invalidLength},
        {"substring", {text("abc"), nullInt, integer(1)}, "NULL"},
        {"substring", {text("abc"), integer(2147483647), integer(2147483647)}, ""},
        {"right", {text("abc"), number("3000000000")},
         "error 8115: Arithmetic overflow error converting numeric to data type int."},
        {"ltrim", {text("  a  ")}, "a  "},
        {"rtrim", {text("  a  ")}, "  a"},
        {"ltrim", {text("\ta")}, "\ta"},
        {"rtrim", {nullText}, "NULL"},
        {"upper", {ntext(QStringLiteral("spid51 ж"))}, QStringLiteral("SPID51 Ж")},
        {"lower", {text("ABC")}, "abc"},
        {"isnull", {nullInt, integer(5)}, "5"},
        {"isnull", {text("a"), text("b")}, "a"},
        {"isnull", {nullInt, text("x")},
         "error 245: Syntax error converting the varchar value 'x' to a column of data type int."},
    };
    for (const Call& call : calls)
        EXPECT_EQ(run(call, server), call.expected) << call.name << " with " << call.args.size() << " arguments";

    const SqlValue sum = nullOf(type("dec", {38}));
    const SqlValue zero = callFunction("ISNULL", {sum, integer(0)}, server);
    EXPECT_EQ(typeText(zero.type()) + u' ' + show(zero), "numeric(38,0) 0");
    EXPECT_EQ(typeText(callFunction("left", {nullText, integer(3)}, server).type()), "nvarchar(255)");
    EXPECT_EQ(typeText(callFunction("ltrim", {convert(text("a"), type("char", {4}))}, server).type()), "varchar(4)");
}

TEST(TsqlFunctions, Str)
{
    const Server server;
    const Call calls[] = {
        {"str", {number("2.5"), integer(15), integer(7)}, "      2.5000000"},
        {"str", {number("123.45"), integer(6), integer(1)}, " 123.5"},
        {"str", {number("123.45"), integer(2), integer(2)}, "**"},
        {"str", {number("1234.5678"), integer(6), integer(3)}, "1234.6"},
        {"str", {number("3.7")}, "         4"},
        {"str", {number("-2.5"), integer(6), integer(1)}, "  -2.5"},
        {"str", {number("99.96"), integer(4), integer(1)}, " 100"},
        {"str", {text("12"), integer(4)}, "  12"},
        {"str", {text("x"), integer(4)}, "error 8114: Error converting data type varchar to float."},
        {"str", {nullOf(type("float")), integer(4)}, "NULL"},
        {"str", {number("1"), integer(-1)}, "NULL"},
        {"str", {number("1"), integer(5), integer(-1)}, "NULL"},
    };
    for (const Call& call : calls)
        EXPECT_EQ(run(call, server), call.expected) << show(call.args[0]).toStdString();
    EXPECT_EQ(typeText(str(number("2.5"), integer(15), integer(7)).type()), "char(15)");

    // The space-used batch: ltrim(str((reserved * d.low / 1024)/1024., 15, 7)) over dec(15) pages.
    const SqlValue reserved = convert(integer(1234), type("dec", {15}));
    const SqlValue product = arithmetic(ArithmeticOp::Multiply, reserved, integer(8192));
    const SqlValue megabytes = arithmetic(ArithmeticOp::Divide, arithmetic(ArithmeticOp::Divide, product, integer(1024)),
                                          number("1024."));
    EXPECT_EQ(show(callFunction("ltrim", {str(megabytes, integer(15), integer(7))}, server)), "9.6406250");
    const SqlValue kilobytes = arithmetic(ArithmeticOp::Divide, product, number("1024."));
    const SqlValue shown = arithmetic(ArithmeticOp::Add, arithmetic(ArithmeticOp::Add, str(kilobytes, integer(15), integer(0)), text(" ")), text("KB"));
    EXPECT_EQ(show(callFunction("ltrim", {shown}, server)), "9872 KB");
}

TEST(TsqlFunctions, DatesAndServerLookUps)
{
    Server server;
    const Call calls[] = {
        {"isdate", {text("2004-01-15 10:00:00.12 ")}, "1"},
        {"isdate", {text("15/01/2004")}, "0"},
        {"isdate", {text("")}, "0"},
        {"isdate", {nullText}, "0"},
        {"isdate", {integer(20040115)}, "1"},
        {"getdate", {}, "2004-01-15 10:00:00.120"},
        {"db_name", {integer(1)}, "master"},
        {"db_name", {integer(99)}, "NULL"},
        {"db_name", {}, "pubs"},
        {"db_id", {text("MASTER")}, "1"},
        {"db_id", {text("nowhere")}, "NULL"},
        {"db_id", {}, "7"},
        {"object_name", {integer(2)}, "sysindexes"},
        {"object_name", {integer(3)}, "NULL"},
        {"object_id", {ntext("[dbo].[#spt_space]")}, "-1234"},
        {"object_id", {ntext("nothing")}, "NULL"},
        {"nosuch", {}, "error 195: 'nosuch' is not a recognized function name."},
        {"left", {text("a")}, "error 174: The left function requires 2 arguments."},
        {"charindex", {text("a"), text("b"), integer(1), integer(1)},
         "error 189: The charindex function requires 2 to 3 arguments."},
    };
    for (const Call& call : calls)
        EXPECT_EQ(run(call, server), call.expected) << call.name;
    EXPECT_EQ(typeText(callFunction("db_id", {}, server).type()), "smallint");
    EXPECT_EQ(typeText(callFunction("db_name", {integer(99)}, server).type()), "nvarchar(128)");
    EXPECT_TRUE(isScalarFunction("CharIndex"));
    EXPECT_FALSE(isScalarFunction("convert"));

    server.order = DateFormat::Dmy;
    EXPECT_EQ(run({"isdate", {text("15/01/2004")}, ""}, server), "1");
    EXPECT_EQ(show(convertFunction(text("15/01/2004"), type("datetime"), 0, server)), "2004-01-15 00:00:00.000");
}

struct LogLine {
    QString line;
    QString dates, spid, info;   // as the batch inserts them
};

// One pass of the log batch's loop body, written with the functions it calls.
LogLine splitLogLine(const QString& line, const FunctionContext& context)
{
    const auto call = [&](const char* name, std::vector<SqlValue> args) {
        return callFunction(QString::fromLatin1(name), args, context);
    };
    const TypeInfo smallint = type("smallint");
    const SqlValue info = convert(ntext(line), type("nvarchar", {255}));
    const SqlValue pos = implicitConvert(call("charindex", {text(" "), info, integer(1)}), smallint);
    const SqlValue pos2 = implicitConvert(
        call("charindex", {text(" "), info, arithmetic(ArithmeticOp::Add, pos, integer(1))}), smallint);
    const SqlValue head = call("left", {info, call("charindex", {text(" "), info, pos2})});
    SqlValue dates = nullOf(type("datetime"));
    if (compare(CompareOp::Equal, call("isdate", {head}), integer(1)) == Truth::True)
        dates = convertFunction(head, type("datetime"), 0, context);
    SqlValue spid = nullOf(type("nvarchar", {10}));
    SqlValue infos = info;
    if (!dates.isNull()) {
        spid = implicitConvert(call("substring", {info, pos2, integer(10)}), type("nvarchar", {10}));
        const SqlValue count = arithmetic(ArithmeticOp::Subtract,
                                          arithmetic(ArithmeticOp::Subtract, call("len", {info}), pos2), integer(8));
        infos = implicitConvert(call("right", {info, count}), type("nvarchar", {255}));
    }
    const auto trim = [&](const SqlValue& v) { return show(call("ltrim", {call("rtrim", {v})})); };
    return {line, show(dates), trim(spid), trim(infos)};
}

TEST(TsqlFunctions, SplitsErrorLogLinesAsTheLogBatchDoes)
{
    const Server server;
    const LogLine lines[] = {
        {"2004-01-15 10:00:00.12 spid51    Starting up database 'pubs'.", "2004-01-15 10:00:00.120", "spid51",
         "Starting up database 'pubs'."},
        {"2004-01-15 10:00:00.12 server   Copyright (C) 1988-2000", "2004-01-15 10:00:00.120", "server",
         "Copyright (C) 1988-2000"},
        {"NoBlankAnywhere", "NULL", "NULL", "NoBlankAnywhere"},
        {"  Copyright (c) 1988-2000  ", "NULL", "NULL", "Copyright (c) 1988-2000"},
        {"2004-01-15 10:00:00.12 abcdefghi message", "2004-01-15 10:00:00.120", "abcdefghi", "i message"},
        {"2004-01-15 10:00:00.12 abcdefghijkl message", "2004-01-15 10:00:00.120", "abcdefghi", "ijkl message"},
    };
    for (const LogLine& expected : lines) {
        const LogLine got = splitLogLine(expected.line, server);
        EXPECT_EQ(got.dates, expected.dates) << expected.line.toStdString();
        EXPECT_EQ(got.spid, expected.spid) << expected.line.toStdString();
        EXPECT_EQ(got.info, expected.info) << expected.line.toStdString();
    }
}

} // namespace
