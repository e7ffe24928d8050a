// One main for every test executable: the program's own application object, so widget tests
// meet the same event delivery (and the same catching of errors) as the program. The platform
// is offscreen unless the environment says otherwise.
#include "VelmoraApplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    velmora::VelmoraApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
