// A test executable that carries the program's version block, as Velmora itself does: the
// caption and the application name the server sees take the version from the file.
#include "MainWindowTestSupport.h"

#include "SimFixture.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

TEST(VersionedWindow, CaptionAndApplicationNameCarryTheEmbeddedVersion)
{
    SettingsFile settings;
    RecordedMessages messages;
    SimFixture sim{sqlsim::ServerVersion::Sql2000};
    MainWindow window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Процессы MS SQL. Версия: 2.4.0.27"));

    fillLogin(window, QStringLiteral("127.0.0.1,%1").arg(sim.port()), QStringLiteral("sa"),
              QStringLiteral("velmora"));
    window.connectClicked();
    ASSERT_EQ(messages.texts(), QString());
    std::lock_guard lock(sim.server().engine().mutex());
    int ours = 0;
    for (const sqlsim::Process& process : sim.server().engine().state().processes)
        ours += process.program_name.trimmed() == QStringLiteral("Velmora 2.4.0.27");
    EXPECT_EQ(ours, 1);
}
