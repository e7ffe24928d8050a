// The process tab's rate columns and idle hiding against the simulated server in trouble, on a
// server clock the test moves between refreshes: its busy sessions' growth per second, a spid
// taken by a newcomer, sort and filter on the rates, the idle sessions hidden.
#include "Connection.h"
#include "ProcessRateColumns.h"
#include "ProcessTab.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SimFixture.h"
#include "TrimmedText.h"
#include "WindowInput.h"
#include "WindowParts.h"

#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

TEST(ProcessTabRates, BusySessionsGrowthBetweenTwoRefreshesOnEveryVersion)
{
    using sqlsim::ServerVersion;
    struct Case { ServerVersion version; ServerFamily family; const char* name; };
    const Case cases[] = {
        {ServerVersion::Sql70, ServerFamily::Sql70, "7.0"},
        {ServerVersion::Sql2000, ServerFamily::Sql2000, "2000"},
        {ServerVersion::Sql2022, ServerFamily::Sql2005AndLater, "2022"},
    };
    const QDateTime start(QDate(2026, 12, 10), QTime(9, 30));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimFixture sim(sqlsim::ServerOptions{.version = c.version, .populate = false, .trouble = true});
        const auto onServer = [&](auto change) {
            std::lock_guard lock(sim.engine().mutex());
            return change(sim.engine().state());
        };
        const auto setClock = [&](int seconds) { sim.freezeClock(start.addSecs(seconds)); };
        setClock(0);
        Connection connection;
        connection.setConnectionString(sim.oledbConnectionString());
        connection.open();
        ProcessTab tab(&connection);
        // The reads are timed by the server's clock, which is what moves the sessions here.
        part<ProcessRateColumns>(tab, "rateColumns")->readClock = [&] {
            return onServer([&](sqlsim::ServerState& state) { return start.msecsTo(state.frozenNow); });
        };
        tab.setConnectedState(true);
        tab.openAfterConnect(c.family);
        Query& list = *tab.procSource();
        ResultGrid& grid = *part<ResultGrid>(tab, "processGrid");
        ASSERT_TRUE(showActive(tab));

        // "cpu rate|io rate" of the host's session; "absent" when not shown.
        const auto ratesOf = [&](const char* host) {
            for (int row = 0; row < list.recordCount(); ++row) {
                list.moveTo(row);
                if (trimmedText(list.value("hostname").toString()) == QLatin1StringView(host))
                    return list.value("cpu_rate").toString() + u'|' + list.value("physical_io_rate").toString();
            }
            return QStringLiteral("absent");
        };
        const auto titles = [&] {
            QStringList shown;
            for (const GridColumn& column : grid.columns())
                shown << column.caption();
            return shown.mid(shown.indexOf("cpu"), 4);
        };

        ASSERT_EQ(titles(), QStringList({"cpu", "physical_io", "memusage", "login_time"}));
        click(*part<QToolButton>(tab, "ratesButton"));
        EXPECT_EQ(titles(), QStringList({"cpu", "physical_io", "cpu/с", "physical_io/с"}));
        EXPECT_EQ(ratesOf("ANALYTICS-01"), "|");   // the rows held are the first read

        setClock(10);
        tab.refreshKey();
        EXPECT_EQ(ratesOf("ANALYTICS-01"), "900.0|30.0");
        EXPECT_EQ(ratesOf("ETL-NODE02"), "60.0|2400.0");
        EXPECT_EQ(ratesOf("MANAGER-09"), "0.0|0.0");

        auto& header = *grid.horizontalHeader();
        const auto clickTitle = [&](const QString& field) {
            const int column = grid.columnIndex(field);
            grid.scrollTo(grid.model()->index(0, column));
            click(*header.viewport(),
                  QPoint(header.sectionViewportPosition(column) + header.sectionSize(column) / 2, header.height() / 2));
        };
        clickTitle("cpu_rate");
        clickTitle("cpu_rate");
        ASSERT_EQ(list.sort(), "cpu_rate DESC");
        list.first();
        EXPECT_EQ(trimmedText(list.value("hostname").toString()), "ANALYTICS-01");
        list.setFilter("[physical_io_rate] > 100");
        EXPECT_EQ(list.recordCount(), 1);
        EXPECT_EQ(ratesOf("ETL-NODE02"), "60.0|2400.0");
        list.setFilter(QString());
        // The filter row lists the rates as it lists every column's values.
        tab.filterValuesKey();
        const auto& listed = grid.columns()[size_t(grid.columnIndex("cpu_rate"))].filter.valueList;
        ASSERT_TRUE(listed.has_value());
        EXPECT_TRUE(listed->contains("900.0")) << listed->join(u' ').toStdString();

        // ETL-NODE02 logs out and a newcomer takes its spid, with the figures it had.
        onServer([&](sqlsim::ServerState& state) {
            for (sqlsim::Process& p : state.processes)
                if (p.hostname == u"ETL-NODE02")
                    p.login_time = start.addSecs(15);
        });
        setClock(20);
        tab.refreshKey();
        EXPECT_EQ(ratesOf("ANALYTICS-01"), "900.0|30.0");
        EXPECT_EQ(ratesOf("ETL-NODE02"), "|");
        list.first();
        EXPECT_EQ(trimmedText(list.value("hostname").toString()), "ANALYTICS-01");   // still by rate

        // The idle sessions go; the head blocker's open transaction and the busy ones stay.
        click(*part<QToolButton>(tab, "hideIdleButton"));
        for (const char* host : {"MANAGER-09", "SQLADMIN-PC"})
            EXPECT_EQ(ratesOf(host), "absent") << host;
        for (const char* host : {"BUH-03", "ANALYTICS-01"})
            EXPECT_NE(ratesOf(host), "absent") << host;

        // Off again: the columns go, and the sort by them with them.
        click(*part<QToolButton>(tab, "ratesButton"));
        EXPECT_EQ(grid.columnIndex("cpu_rate"), -1);
        EXPECT_EQ(list.sort(), QString());
        EXPECT_NE(ratesOf("ANALYTICS-01"), "absent");
        click(*part<QToolButton>(tab, "ratesButton"));
        EXPECT_EQ(ratesOf("ANALYTICS-01"), "|");   // a first read again
    }
}

TEST(ProcessTabRates, TheLayoutFileNeverKeepsTheRateColumns)
{
    QTemporaryDir folder;
    ProcessTab tab(nullptr);
    ASSERT_TRUE(showActive(tab));
    ResultGrid& grid = *part<ResultGrid>(tab, "processGrid");
    const auto fileBytes = [](const QString& name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    tab.saveColumnLayout(folder.filePath("off.dat"));
    ASSERT_FALSE(fileBytes(folder.filePath("off.dat")).isEmpty());
    const size_t columnsOff = grid.columns().size();

    click(*part<QToolButton>(tab, "ratesButton"));
    ASSERT_EQ(grid.columns().size(), columnsOff + 2);
    tab.saveColumnLayout(folder.filePath("on.dat"));
    EXPECT_EQ(fileBytes(folder.filePath("on.dat")), fileBytes(folder.filePath("off.dat")));
    EXPECT_EQ(grid.columns().size(), columnsOff + 2);   // still shown after the save
    // A layout loaded while they are shown gets them back.
    tab.loadColumnLayout(folder.filePath("on.dat"));
    EXPECT_EQ(grid.columnIndex("cpu_rate"), grid.columnIndex("physical_io") + 1);

    click(*part<QToolButton>(tab, "ratesButton"));
    EXPECT_EQ(grid.columns().size(), columnsOff);
}

TEST(ProcessTabRates, AReadTakenWithItsOwnTimeGetsItsRates)
{
    // Rows held without the server, as a replay holds recorded reads.
    ProcessTab tab(nullptr);
    ASSERT_TRUE(showActive(tab));
    Query& list = *tab.procSource();
    auto& rates = *part<ProcessRateColumns>(tab, "rateColumns");
    const auto hold = [&](int cpu) {
        list.createDataSet();
        Row row(list.fields().size());
        row[size_t(list.fieldIndex("spid"))] = 51;
        row[size_t(list.fieldIndex("login_time"))] = QDateTime(QDate(2026, 12, 10), QTime(9, 0));
        row[size_t(list.fieldIndex("ecid"))] = 0;
        row[size_t(list.fieldIndex("cpu"))] = cpu;
        row[size_t(list.fieldIndex("physical_io"))] = 7;
        list.appendRow(std::move(row));
    };
    click(*part<QToolButton>(tab, "ratesButton"));
    hold(100);
    rates.takeRead(50'000);
    EXPECT_FALSE(list.value("cpu_rate").isValid());
    hold(400);
    rates.takeRead(54'000);
    EXPECT_EQ(list.value("cpu_rate").toString(), "75.0");
    EXPECT_EQ(list.value("physical_io_rate").toString(), "0.0");
}

} // namespace
