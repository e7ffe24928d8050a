// The "Сервер" tab in the main window against simulated servers: read at each connect right
// after the process list, untouched by F5, replaced by the next server's properties.
#include "DbError.h"
#include "LogTab.h"
#include "MainWindowTestSupport.h"
#include "Query.h"
#include "ResultGrid.h"
#include "ServerTab.h"
#include "SimFixture.h"
#include "WindowParts.h"

#include <QTabWidget>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

class ServerTabWindow : public ::testing::Test {
protected:
    void connectTo(SimFixture& server)
    {
        fillLogin(window, QStringLiteral("127.0.0.1,%1").arg(server.port()), QStringLiteral("sa"),
                  QStringLiteral("velmora"));
        window.connectClicked();
    }
    ServerTab& serverTab() { return *window.findChild<ServerTab*>(QStringLiteral("serverTab")); }
    LogTab& logTab() { return *window.findChild<LogTab*>(QStringLiteral("logTab")); }
    ResultGrid& propertiesGrid() { return *part<ResultGrid>(serverTab(), "serverPropertiesGrid"); }
    /// Name=Character_Value of the property `name`.
    QString property(const char* name)
    {
        Query& query = *part<Query>(serverTab(), "SrvQuery");
        if (!query.locate(QStringLiteral("Name"), QString::fromLatin1(name)))
            return QStringLiteral("<none>");
        return query.value(QStringLiteral("Character_Value")).toString();
    }
    static int batches(SimFixture& server)
    {
        std::lock_guard lock(server.engine().mutex());
        return server.engine().state().batchCount;
    }

    SettingsFile settings;
    RecordedMessages messages;
    SimFixture sql2000{sqlsim::ServerVersion::Sql2000, false};
    MainWindow window;
};

} // namespace

TEST_F(ServerTabWindow, ConnectReadsThePropertiesAndF5OnTheTabChangesNothing)
{
    connectTo(sql2000);
    Query& properties = *part<Query>(serverTab(), "SrvQuery");
    ASSERT_TRUE(properties.isActive());
    EXPECT_EQ(properties.recNo(), 0);
    EXPECT_EQ(property("FileVersion"), "2000.080.2039.00");
    EXPECT_EQ(propertiesGrid().model()->rowCount(), properties.recordCount());
    EXPECT_TRUE(part<Query>(logTab(), "LogNumQuery")->isActive());

    properties.moveTo(3);
    part<QTabWidget>(window, "tabs")->setCurrentIndex(2);
    const int before = batches(sql2000);
    part<QAction>(window, "RefAction")->trigger();
    EXPECT_EQ(batches(sql2000), before);
    EXPECT_EQ(properties.recNo(), 3);
    EXPECT_TRUE(messages.all.empty()) << messages.texts().toStdString();
}

TEST_F(ServerTabWindow, ReconnectingToAnotherServerReplacesTheProperties)
{
    SimFixture sql70{sqlsim::ServerVersion::Sql70, false};
    connectTo(sql2000);
    EXPECT_EQ(property("Product ID"), "");
    window.disconnectClicked();
    EXPECT_FALSE(part<Query>(serverTab(), "SrvQuery")->isActive());
    EXPECT_EQ(propertiesGrid().model()->rowCount(), 0);

    connectTo(sql70);
    EXPECT_EQ(property("FileVersion"), "1998.070.1063.00");
    EXPECT_EQ(property("Product ID"), "<none>");   // 7.0 does not report it
}

TEST_F(ServerTabWindow, FailingPropertiesEndTheConnectBeforeTheArchiveList)
{
    {
        std::lock_guard lock(sql2000.engine().mutex());
        sql2000.engine().state().faults.errorOnStatement = QStringLiteral("Exec xp_msver");
    }
    EXPECT_THROW(connectTo(sql2000), DbError);
    EXPECT_TRUE(part<ProcessTab>(window, "processTab")->procSource()->isActive());
    EXPECT_FALSE(part<Query>(serverTab(), "SrvQuery")->isActive());
    EXPECT_FALSE(part<Query>(logTab(), "LogNumQuery")->isActive());
}
