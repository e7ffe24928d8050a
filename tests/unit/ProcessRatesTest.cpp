// Rates of cpu and physical_io between two reads of the process list: which process is the same
// one, and when there is no rate to give.
#include "ProcessQueries.h"
#include "ProcessRates.h"
#include "ValueCompare.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace velmora;

namespace {

struct Sample {
    int spid;
    int loginMinute;   // login_time: minutes after 9:00
    int ecid;
    QVariant cpu;
    QVariant io;
};

const std::vector<FieldDef> fields = processFields(ServerFamily::Sql2000);

size_t at(const char* name)
{
    return size_t(findFieldIndex(fields, QString::fromLatin1(name)));
}

std::vector<Row> rowsOf(const std::vector<Sample>& samples)
{
    std::vector<Row> rows;
    for (const Sample& s : samples) {
        Row row(fields.size());
        row[at("spid")] = s.spid;
        row[at("login_time")] = QDateTime(QDate(2026, 12, 10), QTime(9, 0)).addSecs(60 * s.loginMinute);
        row[at("ecid")] = s.ecid;
        row[at("cpu")] = s.cpu;
        row[at("physical_io")] = s.io;
        rows.push_back(std::move(row));
    }
    return rows;
}

// "cpu/io" of every row of `rows`, "-" where there is no rate.
std::string ratesOf(const ProcessRates& rates, const std::vector<Row>& rows)
{
    const auto text = [](std::optional<double> rate) { return rate ? QString::number(*rate) : QStringLiteral("-"); };
    QStringList texts;
    for (const Row& row : rows) {
        const ProcessRate rate = rates.rateOf(row[at("spid")], row[at("login_time")], row[at("ecid")]);
        texts << text(rate.cpu) + u'/' + text(rate.physicalIo);
    }
    return texts.join(u' ').toStdString();
}

TEST(ProcessRates, GrowthPerSecondOfTheSameProcessOnly)
{
    const QVariant none;
    struct Case {
        const char* name;
        std::vector<Sample> before;
        std::vector<Sample> after;
        qint64 intervalMs;
        const char* rates;
    };
    const Case cases[] = {
        {"growth over 2.5 s", {{51, 0, 0, 100, 10}}, {{51, 0, 0, 350, 60}}, 2500, "100/20"},
        {"nothing used", {{51, 0, 0, 100, 10}}, {{51, 0, 0, 100, 10}}, 2500, "0/0"},
        {"spid reused by a later login", {{52, 0, 0, 100, 10}}, {{52, 5, 0, 900, 90}}, 1000, "-/-"},
        {"new process", {{51, 0, 0, 1, 1}}, {{51, 0, 0, 2, 3}, {53, 0, 0, 7, 7}}, 1000, "1/2 -/-"},
        {"counter reset", {{51, 0, 0, 500, 0}}, {{51, 0, 0, 100, 30}}, 2500, "-/12"},
        {"each ecid apart",
         {{54, 0, 0, 10, 0}, {54, 0, 1, 1000, 0}},
         {{54, 0, 1, 1100, 50}, {54, 0, 0, 20, 5}},
         2500, "40/20 4/2"},
        {"missing values", {{51, 0, 0, none, 10}}, {{51, 0, 0, 10, none}}, 1000, "-/-"},
        {"zero interval", {{51, 0, 0, 100, 10}}, {{51, 0, 0, 350, 60}}, 0, "-/-"},
        {"clock went back", {{51, 0, 0, 100, 10}}, {{51, 0, 0, 350, 60}}, -1000, "-/-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProcessRates rates;
        const std::vector<Row> before = rowsOf(c.before);
        rates.read(before, fields, 10'000);
        EXPECT_EQ(ratesOf(rates, before).find_first_not_of("-/ "), std::string::npos);   // a first read
        const std::vector<Row> after = rowsOf(c.after);
        rates.read(after, fields, 10'000 + c.intervalMs);
        EXPECT_EQ(ratesOf(rates, after), c.rates);
    }
}

TEST(ProcessRates, EachReadComparesWithTheOneJustBeforeAndClearStartsAgain)
{
    ProcessRates rates;
    for (const auto& [cpu, ms] : {std::pair{0, 0}, {1000, 1000}, {1500, 2000}})
        rates.read(rowsOf({{51, 0, 0, cpu, 0}}), fields, ms);
    EXPECT_EQ(ratesOf(rates, rowsOf({{51, 0, 0, 0, 0}})), "500/0");
    // A process the last read did not hold has no rate.
    EXPECT_EQ(ratesOf(rates, rowsOf({{60, 0, 0, 0, 0}})), "-/-");

    rates.clear();
    rates.read(rowsOf({{51, 0, 0, 9000, 0}}), fields, 3000);
    EXPECT_EQ(ratesOf(rates, rowsOf({{51, 0, 0, 0, 0}})), "-/-");
}

TEST(ProcessRates, EveryProcessOfALongListIsFoundInAnyOrder)
{
    // Many processes of one login minute, listed the other way round the second time.
    std::vector<Sample> before;
    std::vector<Sample> after;
    for (int i = 0; i < 3000; ++i) {
        before.push_back({51 + i / 3, 0, i % 3, i, 0});
        after.insert(after.begin(), {51 + i / 3, 0, i % 3, 3 * i, 0});
    }
    ProcessRates rates;
    rates.read(rowsOf(before), fields, 0);
    const std::vector<Row> rows = rowsOf(after);
    rates.read(rows, fields, 1000);
    QStringList expected;
    for (int i = 2999; i >= 0; --i)
        expected << QStringLiteral("%1/0").arg(2 * i);
    EXPECT_EQ(ratesOf(rates, rows), expected.join(u' ').toStdString());
}

} // namespace
