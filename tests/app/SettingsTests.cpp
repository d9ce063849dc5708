// The communication settings in the settings store.
#include "app/CommSettings.h"
#include "platform/SettingsStore.h"
#include "tests/support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
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
    const Case cases[] = {{0, 2, 1, 0}, {100, 1, 1, 1}, {99, 1, 99, 1}, {-3, 0, 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        store.WriteDword("Communication", "Port ID", c.port);
        store.WriteDword("Communication", "ORX Echo Type", c.echo);
        CCommSettings loaded;
        loaded.Load(store);
        EXPECT_EQ(loaded.portNumber, c.loadedPort);
        EXPECT_EQ(loaded.EchoMode(), c.echoMode);
    }
}

TEST_F(CommSettingsTest, PortOutOfRangeIsNotSaved)
{
    CCommSettings settings;
    settings.portNumber = 100;
    EXPECT_FALSE(settings.Save(store));
    EXPECT_FALSE(std::filesystem::exists(path));
}
