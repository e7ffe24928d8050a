// T-SQL values: type names, literals, conversions, operators with their result types, NULL,
// comparison, LIKE and the aggregates, against SQL Server 2000's documented results.
#include "TsqlValues.h"

#include <gtest/gtest.h>

using namespace tsqltest;
using sqlsim::SqlType;

namespace {

struct ConversionCase {
    SqlValue value;
    TypeInfo target;
    QString expected;   // the value shown, or "error N: text"
};

TEST(TsqlValue, ConvertsAsTheServerDoes)
{
    const ConversionCase cases[] = {
        {text("123"), type("int"), "123"},
        {text(" 12 "), type("int"), "12"},
        {text(""), type("int"), "0"},
        {text("abc"), type("int"),
         "error 245: Syntax error converting the varchar value 'abc' to a column of data type int."},
        {text("1.5"), type("int"),
         "error 245: Syntax error converting the varchar value '1.5' to a column of data type int."},
        {ntext("x1"), type("smallint"),
         "error 245: Syntax error converting the nvarchar value 'x1' to a column of data type smallint."},
        {text("99999999999"), type("int"),
         "error 248: The conversion of the varchar value '99999999999' overflowed an int column. Use a larger integer column."},
        {integer(300), type("tinyint"), "error 220: Arithmetic overflow error for data type tinyint, value = 300."},
        {SqlValue::integer(2147483648LL, SqlType::BigInt), type("int"),
         "error 8115: Arithmetic overflow error converting expression to data type int."},
        {number("12.75"), type("int"), "12"},
        {number("-12.75"), type("int"), "-12"},
        {SqlValue::floating(2.9), type("int"), "2"},
        {text("abc"), type("dec", {15}), "error 8114: Error converting data type varchar to numeric."},
        {text("12.345"), type("dec", {5, 2}), "12.35"},
        {text("-12.345"), type("dec", {5, 2}), "-12.35"},
        {text("1234.5"), type("dec", {5, 2}),
         "error 8115: Arithmetic overflow error converting varchar to data type numeric."},
        {integer(123456), type("dec", {5}), "error 8115: Arithmetic overflow error converting int to data type numeric."},
        {SqlValue::floating(1.5), type("dec", {5}), "2"},
        {text("1e5"), type("float"), "100000"},
        {text("x"), type("float"), "error 8114: Error converting data type varchar to float."},
        {SqlValue::floating(1234567.0), type("varchar"), "1.23457e+006"},
        {SqlValue::floating(0.1), type("varchar"), "0.1"},
        {integer(123), type("char", {2}), "* "},
        {integer(123), type("nvarchar", {2}),
         "error 8115: Arithmetic overflow error converting expression to data type nvarchar."},
        {number("123.45"), type("varchar", {3}),
         "error 8115: Arithmetic overflow error converting numeric to data type varchar."},
        {text("ab"), type("char", {5}), "ab   "},
        {text("abc"), type("varchar", {2}), "ab"},
        {ntext(QStringLiteral("ж1")), type("varchar", {5}), "?1"},
        {integer(5), type("bit"), "1"},
        {text("abc"), type("bit"), "error 245: Syntax error converting the varchar value 'abc' to a column of data type bit."},
        {nullOf(type("varchar", {3})), type("int"), "NULL"},
        {integer(37999), type("datetime"), "2004-01-15 00:00:00.000"},
    };
    for (const ConversionCase& c : cases)
        EXPECT_EQ(outcome([&] { return convert(c.value, c.target); }), c.expected)
            << show(c.value).toStdString() << " as " << typeText(c.target).toStdString();
}

TEST(TsqlValue, ImplicitAndStoredConversions)
{
    const SqlValue moment = convert(text("2004-01-15"), type("datetime"));
    EXPECT_EQ(outcome([&] { return implicitConvert(moment, type("int")); }),
              "error 257: Implicit conversion from data type datetime to int is not allowed. Use the "
              "CONVERT function to run this query.");
    EXPECT_EQ(outcome([&] { return convert(moment, type("int")); }), "37999");

    // A variable takes the head of a long text; a column refuses it.
    EXPECT_EQ(outcome([] { return implicitConvert(text("abcdef"), type("varchar", {3})); }), "abc");
    EXPECT_EQ(outcome([] { return storedConvert(text("abcdef"), type("varchar", {3})); }),
              "error 8152: String or binary data would be truncated.");
    EXPECT_EQ(outcome([] { return storedConvert(text("abc   "), type("char", {3})); }), "abc");
}

TEST(TsqlValue, TypeNamesAndLiterals)
{
    const std::pair<TypeInfo, QString> types[] = {
        {typeFromName("dec", {15}), "numeric(15,0)"},
        {typeFromName("DECIMAL"), "numeric(18,0)"},
        {typeFromName("numeric", {15, 7}), "numeric(15,7)"},
        {typeFromName("sysname"), "nvarchar(128)"},
        {typeFromName("character", {2}), "char(2)"},
        {typeFromName("varchar"), "varchar(1)"},
        {typeFromName("varchar", {}, TypeNameUse::Conversion), "varchar(30)"},
        {typeFromName("integer"), "int"},
        {typeFromName("real"), "real"},
        {typeFromName("DateTime"), "datetime"},
    };
    for (const auto& [t, expected] : types)
        EXPECT_EQ(typeText(t), expected);

    EXPECT_EQ(outcome([] { return SqlValue::null(typeFromName("foo")); }),
              "error 2715: Column or parameter #1: Cannot find data type foo.");
    EXPECT_EQ(outcome([] { return SqlValue::null(typeFromName("decimal", {40})); }),
              "error 2750: Column or parameter #1: Specified column precision 40 is greater than the "
              "maximum precision of 38.");

    const std::pair<QString, QString> literals[] = {
        {"12", "int 12"},           {"1024.", "numeric(4,0) 1024"}, {"2.5", "numeric(2,1) 2.5"},
        {"0.05", "numeric(2,2) 0.05"}, {"2147483648", "numeric(10,0) 2147483648"},
        {"1e3", "float 1000"},
    };
    for (const auto& [literal, expected] : literals) {
        const SqlValue value = number(literal);
        EXPECT_EQ(typeText(value.type()) + u' ' + show(value), expected) << literal.toStdString();
    }
}

struct ArithmeticCase {
    ArithmeticOp op;
    SqlValue left, right;
    QString expected;   // "type value" or "error N: text"
};

QString typedOutcome(const ArithmeticCase& c)
{
    try {
        const SqlValue result = arithmetic(c.op, c.left, c.right);
        return typeText(result.type()) + u' ' + show(result);
    } catch (const SqlError& error) {
        return QStringLiteral("error %1: %2").arg(error.number()).arg(error.message().text);
    }
}

TEST(TsqlValue, ArithmeticTypesAndResults)
{
    const SqlValue dec15 = convert(integer(2560), type("dec", {15}));
    const SqlValue null15 = nullOf(type("dec", {15}));
    const SqlValue tiny = SqlValue::integer(200, SqlType::TinyInt);
    const ArithmeticCase cases[] = {
        {ArithmeticOp::Divide, integer(7), integer(2), "int 3"},
        {ArithmeticOp::Divide, integer(-7), integer(2), "int -3"},
        {ArithmeticOp::Modulo, integer(-7), integer(3), "int -1"},
        {ArithmeticOp::Divide, integer(7), number("2.0"), "numeric(17,6) 3.500000"},
        {ArithmeticOp::Divide, number("1.0"), integer(3), "numeric(13,12) 0.333333333333"},
        {ArithmeticOp::Divide, number("2.0"), integer(3), "numeric(13,12) 0.666666666666"},
        {ArithmeticOp::Add, convert(number("1.25"), type("dec", {5, 2})), convert(number("1.5"), type("dec", {7, 1})),
         "numeric(9,2) 2.75"},
        {ArithmeticOp::Multiply, dec15, integer(8192), "numeric(26,0) 20971520"},
        {ArithmeticOp::Subtract, dec15, integer(2561), "numeric(16,0) -1"},
        {ArithmeticOp::Divide, integer(1), integer(0), "error 8134: Divide by zero error encountered."},
        {ArithmeticOp::Divide, number("1.0"), integer(0), "error 8134: Divide by zero error encountered."},
        {ArithmeticOp::Modulo, integer(5), integer(0), "error 8134: Divide by zero error encountered."},
        {ArithmeticOp::Divide, number("1e0"), integer(0), "error 8134: Divide by zero error encountered."},
        {ArithmeticOp::Add, integer(2147483647), integer(1),
         "error 8115: Arithmetic overflow error converting expression to data type int."},
        {ArithmeticOp::Multiply, convert(number("1e37"), type("dec", {38})), integer(100),
         "error 8115: Arithmetic overflow error converting expression to data type numeric."},
        {ArithmeticOp::Add, tiny, tiny, "error 220: Arithmetic overflow error for data type tinyint, value = 400."},
        {ArithmeticOp::Add, SqlValue::integer(5, SqlType::SmallInt), integer(1), "int 6"},
        {ArithmeticOp::Add, text("1"), integer(1), "int 2"},
        {ArithmeticOp::Add, text("abc"), integer(1),
         "error 245: Syntax error converting the varchar value 'abc' to a column of data type int."},
        {ArithmeticOp::Add, text("ab"), text("cd"), "varchar(4) abcd"},
        {ArithmeticOp::Add, ntext("a"), text("b"), "nvarchar(2) ab"},
        {ArithmeticOp::Subtract, text("a"), text("b"),
         "error 403: Invalid operator for data type. Operator equals subtract, type equals varchar."},
        {ArithmeticOp::Modulo, number("7.5"), integer(2),
         "error 8117: Operand data type numeric is invalid for modulo operator."},
        {ArithmeticOp::Add, convert(text("2004-01-15 23:00"), type("datetime")), number("0.5"),
         "datetime 2004-01-16 11:00:00.000"},
        {ArithmeticOp::Add, SqlValue::floating(0.5), integer(2), "float 2.5"},
        // NULL goes through every operator, with the operator's result type and no error.
        {ArithmeticOp::Add, nullOf(type("int")), integer(1), "int NULL"},
        {ArithmeticOp::Subtract, integer(1), nullOf(type("int")), "int NULL"},
        {ArithmeticOp::Multiply, null15, integer(100), "numeric(26,0) NULL"},
        {ArithmeticOp::Divide, nullOf(type("int")), integer(0), "int NULL"},
        {ArithmeticOp::Modulo, integer(5), nullOf(type("int")), "int NULL"},
        {ArithmeticOp::Add, nullOf(type("varchar", {3})), text("x"), "varchar(4) NULL"},
    };
    for (const ArithmeticCase& c : cases)
        EXPECT_EQ(typedOutcome(c), c.expected) << show(c.left).toStdString() << " op " << int(c.op)
                                                 << ' ' << show(c.right).toStdString();
}

TEST(TsqlValue, SpaceUsedFiguresKeepTheirDigits)
{
    // (reserved * low / 1024) / 1024. and (data * 100) / reserved, reserved and data dec(15,0).
    const SqlValue reserved = convert(integer(2560), type("dec", {15}));
    const SqlValue data = convert(integer(1000), type("dec", {15}));
    const SqlValue low = integer(8192);
    const SqlValue kilobytes = arithmetic(ArithmeticOp::Divide, arithmetic(ArithmeticOp::Multiply, reserved, low), integer(1024));
    EXPECT_EQ(typeText(kilobytes.type()), "numeric(37,11)");
    const SqlValue megabytes = arithmetic(ArithmeticOp::Divide, kilobytes, number("1024."));
    EXPECT_EQ(typeText(megabytes.type()) + u' ' + show(megabytes), "numeric(38,12) 20.000000000000");
    const SqlValue percent = arithmetic(ArithmeticOp::Divide, arithmetic(ArithmeticOp::Multiply, data, integer(100)), reserved);
    EXPECT_EQ(typeText(percent.type()) + u' ' + show(percent), "numeric(38,12) 39.062500000000");
}

TEST(TsqlValue, NegationAndPrecedence)
{
    EXPECT_EQ(show(negate(number("2.50"))), "-2.50");
    EXPECT_EQ(outcome([] { return negate(SqlValue::integer(std::numeric_limits<qint32>::min())); }),
              "error 8115: Arithmetic overflow error converting expression to data type int.");
    EXPECT_EQ(show(negate(nullOf(type("int")))), "NULL");

    const std::tuple<TypeInfo, TypeInfo, QString> pairs[] = {
        {type("int"), type("dec", {5, 2}), "numeric(12,2)"},
        {type("varchar", {3}), type("nvarchar", {5}), "nvarchar(5)"},
        {type("int"), type("varchar", {3}), "int"},
        {type("float"), type("dec", {5, 2}), "float"},
        {type("varchar", {20}), type("datetime"), "datetime"},
        {type("tinyint"), type("smallint"), "smallint"},
        {type("bit"), type("int"), "int"},
        {type("char", {4}), type("varchar", {2}), "varchar(4)"},
    };
    for (const auto& [a, b, expected] : pairs) {
        EXPECT_EQ(typeText(commonType(a, b)), expected);
        EXPECT_EQ(typeText(commonType(b, a)), expected);
    }
}

TEST(TsqlValue, ComparisonAndThreeValuedLogic)
{
    const SqlValue null = nullOf(type("int"));
    const std::tuple<CompareOp, SqlValue, SqlValue, Truth> cases[] = {
        {CompareOp::Equal, text("abc"), text("ABC  "), Truth::True},
        {CompareOp::Less, text("a"), text("B"), Truth::True},
        {CompareOp::Equal, integer(1), number("1.0"), Truth::True},
        {CompareOp::Greater, text("10"), integer(9), Truth::True},
        {CompareOp::NotEqual, text("b"), ntext("B"), Truth::False},
        {CompareOp::Equal, convert(text("2004-01-15"), type("datetime")), text("Jan 15 2004"), Truth::True},
        {CompareOp::Equal, null, null, Truth::Unknown},
        {CompareOp::NotEqual, integer(1), null, Truth::Unknown},
        {CompareOp::Less, nullOf(type("varchar", {1})), text("a"), Truth::Unknown},
    };
    for (const auto& [op, a, b, expected] : cases)
        EXPECT_EQ(compare(op, a, b), expected) << show(a).toStdString() << " vs " << show(b).toStdString();
    EXPECT_EQ(outcome([] { return SqlValue::bit(compare(CompareOp::Equal, text("abc"), integer(1)) == Truth::True); }),
              "error 245: Syntax error converting the varchar value 'abc' to a column of data type int.");

    EXPECT_EQ(compareForOrder(null, integer(-5)), -1);
    EXPECT_EQ(compareForOrder(null, null), 0);
    EXPECT_EQ(compareForOrder(integer(3), integer(2)), 1);

    const Truth t = Truth::True, f = Truth::False, u = Truth::Unknown;
    EXPECT_EQ(truthAnd(u, f), f);
    EXPECT_EQ(truthAnd(u, t), u);
    EXPECT_EQ(truthOr(u, t), t);
    EXPECT_EQ(truthOr(u, f), u);
    EXPECT_EQ(truthNot(u), u);
    EXPECT_EQ(truthNot(f), t);
}

TEST(TsqlValue, LikePatterns)
{
    const std::tuple<QString, QString, std::optional<QChar>, Truth> cases[] = {
        {"abc", "a%", {}, Truth::True},
        {"abc", "_b_", {}, Truth::True},
        {"abc", "[a-c]bc", {}, Truth::True},
        {"abc", "[^a]bc", {}, Truth::False},
        {"ABC", "abc", {}, Truth::True},
        {"abc  ", "abc", {}, Truth::True},
        {"abc", "abc ", {}, Truth::False},
        {"a%c", "a[%]c", {}, Truth::True},
        {"abc", "a[%]c", {}, Truth::False},
        {"50%", "50!%", QChar(u'!'), Truth::True},
        {"501", "50!%", QChar(u'!'), Truth::False},
        {"", "%", {}, Truth::True},
        {"abcabd", "%abd", {}, Truth::True},
        {"acb", "%a%b%c%", {}, Truth::False},
        {"a[b", "a[b", {}, Truth::True},
        {"spid51", "spid__", {}, Truth::True},
    };
    for (const auto& [value, pattern, escape, expected] : cases)
        EXPECT_EQ(like(text(value), text(pattern), escape), expected) << value.toStdString() << " LIKE "
                                                                        << pattern.toStdString();
    EXPECT_EQ(like(nullOf(type("varchar", {3})), text("%")), Truth::Unknown);
    EXPECT_EQ(like(integer(123), text("1%")), Truth::True);
}

TEST(TsqlValue, Aggregates)
{
    Aggregate sum(AggregateKind::Sum, type("dec", {15}));
    EXPECT_EQ(typeText(sum.resultType()), "numeric(38,0)");
    EXPECT_EQ(show(sum.result()), "NULL");
    for (const int pages : {100, 250, 7})
        sum.add(convert(integer(pages), type("dec", {15})));
    EXPECT_EQ(show(sum.result()), "357");
    EXPECT_FALSE(sum.nullEliminated());

    Aggregate ints(AggregateKind::Sum, type("smallint"));
    ints.add(SqlValue::integer(3, SqlType::SmallInt));
    ints.add(nullOf(type("smallint")));
    EXPECT_EQ(typeText(ints.resultType()) + u' ' + show(ints.result()), "int 3");
    EXPECT_TRUE(ints.nullEliminated());

    Aggregate big(AggregateKind::Sum, type("int"));
    big.add(integer(2147483647));
    EXPECT_EQ(outcome([&] { big.add(integer(1)); return big.result(); }),
              "error 8115: Arithmetic overflow error converting expression to data type int.");

    Aggregate count(AggregateKind::Count, type("varchar", {5}));
    Aggregate rows(AggregateKind::CountRows, type("int"));
    Aggregate least(AggregateKind::Min, type("varchar", {5}));
    Aggregate most(AggregateKind::Max, type("varchar", {5}));
    for (const SqlValue& v : {text("pear"), nullOf(type("varchar", {5})), text("Apple"), text("fig")}) {
        count.add(v);
        rows.add(v);
        least.add(v);
        most.add(v);
    }
    EXPECT_EQ(show(count.result()) + u' ' + show(rows.result()), "3 4");
    EXPECT_EQ(show(least.result()) + u' ' + show(most.result()), "Apple pear");
    EXPECT_EQ(show(Aggregate(AggregateKind::Count, type("int")).result()), "0");

    EXPECT_EQ(outcome([] { Aggregate(AggregateKind::Sum, type("varchar", {5})); return SqlValue(); }),
              "error 409: The sum or average aggregate operation cannot take a varchar data type as an argument.");
}

TEST(TsqlValue, ReplyValuesRoundTrip)
{
    const SqlValue amount = convert(number("123.45"), type("dec", {9, 4}));
    EXPECT_EQ(amount.toReplyValue().toString(), "123.4500");
    const sqlsim::Column column = amount.type().column(QStringLiteral("amount"));
    EXPECT_EQ(column.precision, 9);
    EXPECT_EQ(column.scale, 4);
    EXPECT_EQ(show(SqlValue::fromReplyValue(amount.toReplyValue(), column)), "123.4500");

    const SqlValue moment = convert(text("2004-01-15 10:00:00.12"), type("datetime"));
    const QDateTime wall = moment.toReplyValue().toDateTime();
    EXPECT_EQ(wall.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")), "2004-01-15 10:00:00.120");
    EXPECT_EQ(SqlValue::fromReplyValue(wall, moment.type().column("d")).toDateTime(), moment.toDateTime());

    EXPECT_TRUE(SqlValue::fromReplyValue(sqlsim::Value(), column).isNull());
    EXPECT_EQ(typeText(SqlValue::fromReplyValue(QStringLiteral("ab"), type("char", {4}).column("c")).type()), "char(4)");
}

} // namespace
