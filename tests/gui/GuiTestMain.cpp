#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

// The tests run offscreen with their own settings file and carry-over folder, never the user's.
int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const auto settings = std::filesystem::temp_directory_path() /
                          ("tessarin-gui-tests-settings-" + std::to_string(::getpid()) + ".ini");
    setenv("TESSARIN_SETTINGS", settings.c_str(), 1);
    const auto state = std::filesystem::temp_directory_path() / ("tessarin-gui-tests-state-" + std::to_string(::getpid()));
    setenv("TESSARIN_STATE_DIR", state.c_str(), 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int status = RUN_ALL_TESTS();
    std::error_code error;
    std::filesystem::remove(settings, error);
    std::filesystem::remove_all(state, error);
    return status;
}
