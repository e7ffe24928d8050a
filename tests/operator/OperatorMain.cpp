// The operator smoke suite's main: its own X display (Xvfb and a window manager), the program's
// application object on Qt's xcb platform there, and the input desk; the display goes last, after
// the application has let go of it.
#include "OperatorDesk.h"
#include "VelmoraApplication.h"
#include "XServerSession.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char** argv)
{
    std::unique_ptr<XServerSession> display;
    try {
        display = std::make_unique<XServerSession>();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    // The display has no session bus; without this D-Bus would try to start one for it (and
    // leaks on the way).
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    int failed = 1;
    {
        velmora::VelmoraApplication app(argc, argv);
        OperatorDesk desk(display->display());
        ::testing::InitGoogleTest(&argc, argv);
        failed = RUN_ALL_TESTS();
    }
    return failed;
}
