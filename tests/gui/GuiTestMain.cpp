#include "tests/support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

// The tests run offscreen with their own settings file and carry-over folder, never the user's.
int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const CScratchDirectory scratch("tessarin-gui-tests");
    setenv("TESSARIN_SETTINGS", scratch.File("settings.ini").c_str(), 1);
    setenv("TESSARIN_STATE_DIR", scratch.File("state").c_str(), 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
