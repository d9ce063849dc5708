// The communication settings in the settings store.
#include "app/CommSettings.h"
#include "platform/SettingsStore.h"
#include "tests/support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <unistd.h>

namespace {

class CommSettingsTest : public ::testing::Test {
protected:
    CommSettingsTest() : path(scratch.Path() / "settings.ini"), store(path.string()) {}

    CScratchDirectory scratch{"tessarin-comm"};
    std::filesystem::path path;
    CSettingsStore store;
};

} // namespace

TEST_F(CommSettingsTest, FirstRunWritesTheDefaults)
{
    CCommSettings settings;
    settings.portNumber = 7;
    settings.echoType = 0;
    settings.Load(store);
    EXPECT_EQ(settings.portNumber, 1);
    EXPECT_EQ(settings.echoType, 1);
    int value = 0;
    EXPECT_TRUE(store.ReadDword("Communication", "Port ID", value));
    EXPECT_EQ(value, 1);
    EXPECT_TRUE(store.ReadDword("Communication", "ORX Echo Type", value));
    EXPECT_EQ(value, 1);
}

TEST_F(CommSettingsTest, RoundTripAcrossRuns)
{
    CCommSettings saved;
    saved.portNumber = 12;
    saved.echoType = 0;
    ASSERT_TRUE(saved.Save(store));
    CCommSettings loaded;
    CSettingsStore again(path.string());
    loaded.Load(again);
    EXPECT_EQ(loaded.portNumber, 12);
    EXPECT_EQ(loaded.echoType, 0);
    EXPECT_EQ(loaded.EchoMode(), 0);
}

TEST_F(CommSettingsTest, OddStoredValues)
{
    struct Case {
        int port;
        int echo;
        int loadedPort;
        uint8_t echoMode;
    };
    // A stored port that is no port number is not replaced by a default: it is unknown, and
    // the reason says what the file holds.
    const Case cases[] = {{0, 2, 0, 0}, {100, 1, 0, 1}, {99, 1, 99, 1}, {-3, 0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        store.WriteDword("Communication", "Port ID", c.port);
        store.WriteDword("Communication", "ORX Echo Type", c.echo);
        CCommSettings loaded;
        loaded.Load(store);
        EXPECT_EQ(loaded.portNumber, c.loadedPort);
        EXPECT_EQ(loaded.EchoMode(), c.echoMode);
        EXPECT_EQ(loaded.PortKnown(), c.loadedPort != 0);
        if (c.loadedPort == 0) {
            EXPECT_NE(loaded.problem.find("Port ID=" + std::to_string(c.port)), std::string::npos) << loaded.problem;
        }
    }
}

// A run writes back only what it changed: another program's change made meanwhile stays.
TEST_F(CommSettingsTest, SaveWritesOnlyWhatChanged)
{
    struct Case {
        const char* what;
        std::function<void(CCommSettings&)> change;  // what this run changes
        int port;                                    // saved afterwards
        int echo;
    };
    const Case cases[] = {
        {"nothing", [](CCommSettings&) {}, 9, 1},
        {"the echo", [](CCommSettings& s) { s.echoType = 2; }, 9, 2},
        {"the port", [](CCommSettings& s) { s.portNumber = 4; }, 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        store.WriteDword("Communication", "Port ID", 3);
        store.WriteDword("Communication", "ORX Echo Type", 0);
        CCommSettings run;
        run.Load(store);
        // Meanwhile another program (`tessarin settings --port 9 --echo on`) saves.
        store.WriteDword("Communication", "Port ID", 9);
        store.WriteDword("Communication", "ORX Echo Type", 1);
        c.change(run);
        EXPECT_TRUE(run.Save(store));
        int value = 0;
        EXPECT_TRUE(store.ReadDword("Communication", "Port ID", value));
        EXPECT_EQ(value, c.port);
        EXPECT_TRUE(store.ReadDword("Communication", "ORX Echo Type", value));
        EXPECT_EQ(value, c.echo);
    }
}

// A settings file that cannot be read leaves the port unknown, never the default, and says why.
TEST_F(CommSettingsTest, UnreadableFileLeavesThePortUnknown)
{
    std::filesystem::create_directory(path);  // a folder where the file should be
    CCommSettings loaded;
    loaded.portNumber = 7;
    loaded.Load(store);
    EXPECT_EQ(loaded.portNumber, CCommSettings::kUnknownPort);
    EXPECT_FALSE(loaded.PortKnown());
    EXPECT_NE(loaded.problem.find("cannot read the settings file " + path.string()), std::string::npos)
        << loaded.problem;
    EXPECT_FALSE(loaded.Save(store)) << "nothing is written in the dark";
    std::filesystem::remove(path);
}

TEST_F(CommSettingsTest, PortOutOfRangeIsNotSaved)
{
    CCommSettings settings;
    settings.portNumber = 100;
    EXPECT_FALSE(settings.Save(store));
    EXPECT_FALSE(std::filesystem::exists(path));
}
