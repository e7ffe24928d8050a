// The main window against simulated SQL Server 2005, 2008 R2, 2016 and 2022 over the real
// driver: the probe's choice of variant for every version, then each tab on 2022.
#include "../gui/MainWindowTestSupport.h"

#include "ColouredCheckBox.h"
#include "DatabaseTab.h"
#include "FilterRow.h"
#include "LogTab.h"
#include "Query.h"
#include "ResultGrid.h"
#include "ServerTab.h"
#include "SimFixture.h"
#include "WindowParts.h"
#include "ProcessDetailWindow.h"
#include "WindowParts.h"

#include <QCheckBox>
#include <algorithm>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;
using sqlsim::ServerVersion;

namespace {

void connectTo(MainWindow& window, SimFixture& sim)
{
    fillLogin(window, QStringLiteral("127.0.0.1,%1").arg(sim.port()), QStringLiteral("sa"), QStringLiteral("velmora"));
    window.connectClicked();
}

QString trimmedValue(const Query& query, const char* field)
{
    return query.value(QString::fromLatin1(field)).toString().trimmed();
}

class Sql2022Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        connectTo(window, sim);
        ASSERT_TRUE(messages.all.empty()) << messages.texts().toStdString();
    }
    /// How many locks the server holds for `spid` now.
    int locksOf(int spid)
    {
        std::lock_guard lock(sim.engine().mutex());
        const auto& locks = sim.engine().state().locks;
        return int(std::count_if(locks.begin(), locks.end(), [spid](const sqlsim::Lock& l) { return l.spid == spid; }));
    }
    DatabaseTab& databases() { return *window.findChild<DatabaseTab*>(QStringLiteral("databaseTab")); }
    ServerTab& server() { return *window.findChild<ServerTab*>(QStringLiteral("serverTab")); }
    LogTab& logs() { return *window.findChild<LogTab*>(QStringLiteral("logTab")); }

    SettingsFile settings;
    RecordedMessages messages;
    SimFixture sim{ServerVersion::Sql2022};
    MainWindow window;
};

} // namespace

TEST(LaterServers, EachVersionGetsItsProcessVariantAndItsVersionLine)
{
    struct Case {
        ServerVersion version;
        ServerFamily family;
        const char* variant;
        const char* statusLine;
    };
    const Case cases[] = {
        {ServerVersion::Sql70, ServerFamily::Sql70, "ProcQuery",
         "Microsoft SQL Server  7.00 - 7.00.1063 (Intel X86)  Standard Edition on Windows NT 5.0 (Build 2195: Service Pack 4)"},
        {ServerVersion::Sql2000, ServerFamily::Sql2000, "ProcQuery2",
         "Microsoft SQL Server  2000 - 8.00.2039 (Intel X86)  Standard Edition on Windows NT 5.2 (Build 3790: Service Pack 2)"},
        {ServerVersion::Sql2005, ServerFamily::Sql2005AndLater, "ProcQuery2005",
         "Microsoft SQL Server 2005 - 9.00.5000.00 (Intel X86)  Standard Edition on Windows NT 5.2 (Build 3790: Service Pack 2)"},
        {ServerVersion::Sql2008R2, ServerFamily::Sql2005AndLater, "ProcQuery2005",
         "Microsoft SQL Server 2008 R2 (SP3) - 10.50.6000.34 (X64)  Standard Edition (64-bit) on Windows NT 6.1 <X64> "
         "(Build 7601: Service Pack 1)"},
        {ServerVersion::Sql2016, ServerFamily::Sql2005AndLater, "ProcQuery2005",
         "Microsoft SQL Server 2016 (SP3) (KB5003279) - 13.0.6300.2 (X64)  Standard Edition (64-bit) on Windows Server "
         "2016 Standard 10.0 <X64> (Build 14393: ) (Hypervisor)"},
        {ServerVersion::Sql2022, ServerFamily::Sql2005AndLater, "ProcQuery2005",
         "Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64)  Standard Edition (64-bit) on Windows Server 2022 "
         "Standard 10.0 <X64> (Build 20348: ) (Hypervisor)"},
    };
    SettingsFile settings;
    RecordedMessages messages;
    MainWindow window;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variant + std::string(" for ") + c.statusLine);
        SimFixture sim(c.version, false);
        connectTo(window, sim);
        EXPECT_EQ(messages.texts(), QString());
        EXPECT_EQ(window.serverFamily(), c.family);
        Query* list = part<ProcessTab>(window, "processTab")->procSource();
        EXPECT_EQ(list->objectName(), c.variant);
        EXPECT_TRUE(list->isActive());
        EXPECT_GT(list->recordCount(), 0);
        EXPECT_EQ(part<StatusPane>(window, "versionPane")->text(), QString::fromUtf8(c.statusLine));
        // The other variants stay closed.
        for (const char* variant : {"ProcQuery", "ProcQuery2", "ProcQuery2005"}) {
            Query* other = part<Query>(window, variant);
            if (other != list) {
                EXPECT_FALSE(other->isActive()) << other->objectName().toStdString();
            }
        }
        window.disconnectClicked();
        EXPECT_FALSE(list->isActive());
    }
}

TEST_F(Sql2022Window, ProcessListCountsLocksAndRefreshKeepsTheCurrentProcess)
{
    Query& list = *part<Query>(window, "ProcQuery2005");
    ASSERT_EQ(part<ProcessTab>(window, "processTab")->procSource(), &list);
    // The population's spid 57 holds locks and has read beyond 32 bits.
    ASSERT_TRUE(list.locate(QStringLiteral("spid"), 57));
    EXPECT_GT(locksOf(57), 1);
    EXPECT_EQ(list.value(QStringLiteral("block_count")).toInt(), locksOf(57));
    EXPECT_GT(list.value(QStringLiteral("physical_io")).toLongLong(), 3'000'000'000LL);
    EXPECT_EQ(list.value(QStringLiteral("suid")).toInt(), 0);
    EXPECT_EQ(list.value(QStringLiteral("sid")).toByteArray().size(), 86);
    EXPECT_EQ(list.value(QStringLiteral("hostprocess")).toString().size(), 10);
    EXPECT_EQ(part<ResultGrid>(window, "processGrid")->model()->rowCount(), list.recordCount());

    list.setSort(QStringLiteral("spid DESC"));
    ASSERT_TRUE(list.locate(QStringLiteral("spid"), 57));
    part<ProcessTab>(window, "processTab")->refreshKey();
    EXPECT_TRUE(list.isActive());
    EXPECT_EQ(list.sort(), "spid DESC");
    EXPECT_EQ(list.value(QStringLiteral("spid")).toInt(), 57);

    // F3 builds the filter row's value lists from these rows, the 64-bit waittime included.
    part<ProcessTab>(window, "processTab")->filterValuesKey();
    EXPECT_TRUE(part<ResultGrid>(window, "processGrid")->filterRow()->isRowVisible());
    EXPECT_TRUE(messages.all.empty()) << messages.texts().toStdString();
}

TEST_F(Sql2022Window, DetailWindowShowsTheLocksAndInputBuffer)
{
    ProcessDetailWindow detail(&window);
    detail.openQueries(window.connection(), QStringLiteral("57"));
    const Query& locks = *part<Query>(detail, "LockQuery");
    ASSERT_TRUE(locks.isActive());
    EXPECT_EQ(locks.recordCount(), locksOf(57));
    EXPECT_EQ(trimmedValue(locks, "spid"), "57");
    const Query& inputBuffer = *part<Query>(detail, "inputBufferQuery");
    ASSERT_TRUE(inputBuffer.isActive());
    EXPECT_EQ(inputBuffer.recordCount(), 1);
    EXPECT_FALSE(part<QPlainTextEdit>(detail, "EventInfoMemo")->toPlainText().isEmpty());
}

TEST_F(Sql2022Window, DatabasesTabShowsPropertiesFilesLogSpaceAndUsers)
{
    DatabaseTab& tab = databases();
    Query& databaseList = *part<Query>(tab, "DatabaseListQuery");
    ASSERT_TRUE(databaseList.isActive());
    ASSERT_TRUE(databaseList.locate(QStringLiteral("name"), QStringLiteral("CustomerCorrespondenceArchive")));
    tab.refreshKey();
    EXPECT_TRUE(messages.all.empty()) << messages.texts().toStdString();
    // 2022 gives the whole name, where 2000 cuts it at 24 characters.
    EXPECT_EQ(trimmedValue(*part<Query>(tab, "PropertiesQuery"), "name"), "CustomerCorrespondenceArchive");
    EXPECT_EQ(part<Query>(tab, "FilesQuery")->recordCount(), 2);
    EXPECT_EQ(trimmedValue(*part<Query>(tab, "LogSpaceQuery"), "Database Name"), "CustomerCorrespondenceArchive");
    EXPECT_TRUE(part<Query>(tab, "SpaceUsedQuery")->isActive());
    EXPECT_GT(part<Query>(tab, "UserQuery")->recordCount(), 10);
}

TEST_F(Sql2022Window, ServerTabShowsTheProductVersionOf2022)
{
    Query& properties = *part<Query>(server(), "SrvQuery");
    ASSERT_TRUE(properties.locate(QStringLiteral("Name"), QStringLiteral("ProductVersion")));
    EXPECT_EQ(trimmedValue(properties, "Character_Value"), "16.0.1000.6");
    EXPECT_EQ(properties.value(QStringLiteral("Internal_Value")).toInt(), 16 << 16);
    ASSERT_TRUE(properties.locate(QStringLiteral("Name"), QStringLiteral("Platform")));
    EXPECT_EQ(trimmedValue(properties, "Character_Value"), "NT x64");
}

TEST_F(Sql2022Window, LogTabReadsTheEntriesAsTheLogReaderSplitsThem)
{
    LogTab& tab = logs();
    const Query& archives = *part<Query>(tab, "LogNumQuery");
    ASSERT_TRUE(archives.isActive());
    EXPECT_EQ(archives.recordCount(), 7);
    // The current log ends in a stack dump's frame, which the reader joins to the entry before.
    EXPECT_TRUE(part<Query>(tab, "LogNumInfoQuery")->value(QStringLiteral("Info")).toString().endsWith(u'\n' + QString(72, u'*')));

    tab.refreshKey();
    EXPECT_TRUE(messages.all.empty()) << messages.texts().toStdString();
    Query& entries = *part<Query>(tab, "LogListQuery");
    ASSERT_TRUE(entries.isActive());
    EXPECT_EQ(part<QGroupBox>(tab, "entriesBox")->title(), QStringLiteral("Лог №0"));
    entries.first();
    EXPECT_EQ(entries.value(QStringLiteral("id")).toInt(), 1);
    EXPECT_EQ(entries.value(QStringLiteral("Dates")).toDateTime(), QDateTime(QDate(2026, 12, 6), QTime(5, 17, 53, 510)));
    EXPECT_EQ(entries.value(QStringLiteral("spid")).toString(), "server");
    // The banner comes as one entry, its further lines joined to the first.
    const QString banner = entries.value(QStringLiteral("Info")).toString();
    EXPECT_TRUE(banner.startsWith("Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64)")) << banner.toStdString();
    EXPECT_TRUE(banner.contains("\n\tOct  8 2022 05:58:25")) << banner.toStdString();
    EXPECT_EQ(entries.value(QStringLiteral("i")).toInt(), 0);

    // The long backup message is no longer cut into rows of 255 characters.
    ASSERT_TRUE(entries.locate(QStringLiteral("spid"), QStringLiteral("backup")));
    EXPECT_GT(entries.value(QStringLiteral("Info")).toString().size(), 255);
    EXPECT_TRUE(entries.value(QStringLiteral("Info")).toString().endsWith("no user action is required."));

    // Every entry of this log has a source: the switch hides nothing, and shows it all again.
    const int all = entries.recordCount();
    part<ColouredCheckBox>(tab, "withoutSourceCheckBox")->setChecked(false);
    EXPECT_TRUE(entries.filtered());
    EXPECT_EQ(entries.recordCount(), all);
    part<ColouredCheckBox>(tab, "withoutSourceCheckBox")->setChecked(true);
    EXPECT_FALSE(entries.filtered());
}

TEST_F(Sql2022Window, LinesBeforeTheFirstDatedOneHaveNoSourceAndTheSwitchHidesThem)
{
    {
        std::lock_guard lock(sim.engine().mutex());
        sqlsim::ErrorLogArchive& current = sim.engine().state().errorLogs.front();
        current.lines.prepend(QStringLiteral("written before the first entry"));
    }
    LogTab& tab = logs();
    tab.refreshKey();
    Query& entries = *part<Query>(tab, "LogListQuery");
    ASSERT_TRUE(entries.isActive());
    const int all = entries.recordCount();
    entries.first();
    EXPECT_EQ(entries.value(QStringLiteral("Info")).toString(), "written before the first entry");
    EXPECT_FALSE(entries.value(QStringLiteral("Dates")).isValid());
    EXPECT_FALSE(entries.value(QStringLiteral("spid")).isValid());

    part<ColouredCheckBox>(tab, "withoutSourceCheckBox")->setChecked(false);
    EXPECT_EQ(entries.recordCount(), all - 1);
    entries.first();
    EXPECT_EQ(entries.value(QStringLiteral("spid")).toString(), "server");
}

TEST_F(Sql2022Window, ReconnectingToA2000ServerSetsTheLogTabBackToSplitLines)
{
    SimFixture sql2000{ServerVersion::Sql2000, false};
    window.disconnectClicked();
    connectTo(window, sql2000);
    EXPECT_EQ(window.serverFamily(), ServerFamily::Sql2000);
    LogTab& tab = logs();
    tab.refreshKey();
    EXPECT_TRUE(messages.all.empty()) << messages.texts().toStdString();
    Query& entries = *part<Query>(tab, "LogListQuery");
    ASSERT_TRUE(entries.isActive());
    // The 255-character rows and their continuation flags are back.
    ASSERT_TRUE(entries.locate(QStringLiteral("i"), 1));
    EXPECT_FALSE(entries.value(QStringLiteral("spid")).isValid());
    EXPECT_EQ(part<ProcessTab>(window, "processTab")->procSource(), part<Query>(window, "ProcQuery2"));
}
