// T-SQL datetime: texts read under the session's date order (us_english mdy by default), times
// held to 1/300 s, and the CONVERT styles that write them.
#include "TsqlValues.h"

#include <gtest/gtest.h>

using namespace tsqltest;

namespace {

QString asDateTime(const QString& input, DateFormat order = DateFormat::Mdy)
{
    return outcome([&] { return convert(text(input), type("datetime"), 0, order); });
}

const QString notADate = "error 241: Syntax error converting datetime from character string.";
const QString outOfRange = "error 242: The conversion of a char data type to a datetime data type resulted "
                           "in an out-of-range datetime value.";

TEST(TsqlDateTime, ReadsTheServersTextForms)
{
    const std::tuple<QString, DateFormat, QString> cases[] = {
        {"2004-01-15 10:00:00.12", DateFormat::Mdy, "2004-01-15 10:00:00.120"},
        {"2004-01-15 10:00:00.12 ", DateFormat::Mdy, "2004-01-15 10:00:00.120"},
        {"15/01/2004", DateFormat::Mdy, outOfRange},
        {"15/01/2004", DateFormat::Dmy, "2004-01-15 00:00:00.000"},
        {"01/15/2004", DateFormat::Mdy, "2004-01-15 00:00:00.000"},
        {"1.15.04", DateFormat::Mdy, "2004-01-15 00:00:00.000"},
        {"2004-01-15", DateFormat::Dmy, outOfRange},   // year first under dmy: year, day, month
        {"2004-15-01", DateFormat::Dmy, "2004-01-15 00:00:00.000"},
        {"20040115", DateFormat::Dmy, "2004-01-15 00:00:00.000"},
        {"040115", DateFormat::Mdy, "2004-01-15 00:00:00.000"},
        {"2004", DateFormat::Mdy, "2004-01-01 00:00:00.000"},
        {"2004-01-15T10:00:00", DateFormat::Dmy, "2004-01-15 10:00:00.000"},
        {"2004-01-15T10:00:00.5", DateFormat::Mdy, "2004-01-15 10:00:00.500"},
        {"Apr 15 2004", DateFormat::Mdy, "2004-04-15 00:00:00.000"},
        {"15 April 2004", DateFormat::Mdy, "2004-04-15 00:00:00.000"},
        {"April 15, 2004", DateFormat::Dmy, "2004-04-15 00:00:00.000"},
        {"apr 2004", DateFormat::Mdy, "2004-04-01 00:00:00.000"},
        {"Apr 15 2004 10:00PM", DateFormat::Mdy, "2004-04-15 22:00:00.000"},
        {"10:00", DateFormat::Mdy, "1900-01-01 10:00:00.000"},
        {"10AM", DateFormat::Mdy, "1900-01-01 10:00:00.000"},
        {"12:30 AM", DateFormat::Mdy, "1900-01-01 00:30:00.000"},
        {"10:00:00:12", DateFormat::Mdy, "1900-01-01 10:00:00.013"},   // ':' gives milliseconds
        {"01/15/49", DateFormat::Mdy, "2049-01-15 00:00:00.000"},
        {"01/15/50", DateFormat::Mdy, "1950-01-15 00:00:00.000"},
        {"", DateFormat::Mdy, "1900-01-01 00:00:00.000"},
        {"abc", DateFormat::Mdy, notADate},
        {"spid51 ", DateFormat::Mdy, notADate},
        {"Logging SQL ", DateFormat::Mdy, notADate},
        {"2004-01-15 25:00", DateFormat::Mdy, notADate},
        {"2004-02-30", DateFormat::Mdy, outOfRange},
        {"1752-12-31", DateFormat::Mdy, outOfRange},
    };
    for (const auto& [input, order, expected] : cases)
        EXPECT_EQ(asDateTime(input, order), expected) << '"' << input.toStdString() << '"';
}

TEST(TsqlDateTime, IsDateAgreesWithConversion)
{
    EXPECT_TRUE(parseDateTime("2004-01-15 10:00:00.12 ", DateFormat::Mdy));
    EXPECT_FALSE(parseDateTime("15/01/2004", DateFormat::Mdy));
    EXPECT_TRUE(parseDateTime("15/01/2004", DateFormat::Dmy));
    EXPECT_FALSE(parseDateTime("", DateFormat::Mdy));   // '' converts, but is no date
}

TEST(TsqlDateTime, HoldsTimesToThreeHundredthsOfASecond)
{
    const std::pair<QString, QString> cases[] = {
        {"10:00:00.000", "10:00:00.000"}, {"10:00:00.001", "10:00:00.000"}, {"10:00:00.002", "10:00:00.003"},
        {"10:00:00.004", "10:00:00.003"}, {"10:00:00.005", "10:00:00.007"}, {"10:00:00.008", "10:00:00.007"},
        {"10:00:00.009", "10:00:00.010"}, {"10:00:00.998", "10:00:00.997"}, {"10:00:00.999", "10:00:01.000"},
        {"01/15/2004 23:59:59.999", "2004-01-16 00:00:00.000"},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(asDateTime(input).mid(asDateTime(input).size() - expected.size()), expected) << input.toStdString();

    const auto moment = DateTime::fromParts(2004, 1, 15, 10, 0, 0, 120);
    ASSERT_TRUE(moment);
    EXPECT_EQ(moment->ticks, (10 * 3600) * 300 + 36);
    EXPECT_EQ(moment->millisecondOfSecond(), 120);
    EXPECT_FALSE(DateTime::fromParts(2004, 2, 30));
    EXPECT_EQ(DateTime::fromQDateTime(moment->toQDateTime()), *moment);
}

TEST(TsqlDateTime, WritesTheConvertStyles)
{
    const auto morning = DateTime::fromParts(2004, 1, 5, 9, 5, 7, 123);
    const auto evening = DateTime::fromParts(2004, 11, 15, 22, 30, 0, 0);
    ASSERT_TRUE(morning && evening);
    const std::tuple<DateTime, int, QString> cases[] = {
        {*morning, 0, "Jan  5 2004  9:05AM"},
        {*evening, 100, "Nov 15 2004 10:30PM"},
        {*morning, 1, "01/05/04"},
        {*morning, 101, "01/05/2004"},
        {*morning, 103, "05/01/2004"},
        {*morning, 104, "05.01.2004"},
        {*morning, 107, "Jan 05, 2004"},
        {*morning, 108, "09:05:07"},
        {*morning, 109, "Jan  5 2004  9:05:07:123AM"},
        {*morning, 112, "20040105"},
        {*morning, 113, "05 Jan 2004 09:05:07:123"},
        {*morning, 120, "2004-01-05 09:05:07"},
        {*morning, 121, "2004-01-05 09:05:07.123"},
        {*morning, 126, "2004-01-05T09:05:07.123"},
    };
    for (const auto& [moment, style, expected] : cases)
        EXPECT_EQ(formatDateTime(moment, style), expected) << "style " << style;
    EXPECT_EQ(outcome([&] { return convert(SqlValue::dateTime(*morning), type("varchar"), 999); }),
              "error 281: 999 is not a valid style number when converting from datetime to a character string.");
    EXPECT_EQ(show(convert(text("05/01/2004"), type("datetime"), 103)), "2004-01-05 00:00:00.000");
}

} // namespace
