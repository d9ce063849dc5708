// Whole upgrades with the real engine on the simulated demo radio.
#include "app/FormMessages.h"
#include "tests/app/WorkflowFixture.h"
#include "upgrade/RadioUpgrade.h"

#include <algorithm>
#include <string_view>

using namespace FormText;

namespace {

// The engine of the upgrade layer runs a plan with nothing to do as a success.
bool EngineAvailable()
{
    CRadioUpgrade engine;
    UpgradePlan plan;
    FlashSettings settings;
    std::string image;
    PatchEntries patches{PatchEntry{kPatchEnd}};
    std::string key = "k";
    engine.SetPlan(plan);
    engine.SetJob(settings, image, patches, 1, key);
    return engine.UpgradeRadio() == kUpgradeSucceeded;
}

bool Contains(const std::vector<uint8_t>& bytes, std::string_view text)
{
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

} // namespace

TEST_F(WorkflowTest, DemoRadioIsUpgradedOnceAndThenRefused)
{
    if (!EngineAvailable())
        GTEST_SKIP() << "the upgrade engine is not in this build yet";
    Attach(Profile("demo"));
    // The technician's hands: the radio enters bootstrap mode when the PC sets the bootstrap rate.
    rig->Radio().SetAutoBootstrap(true);
    ASSERT_TRUE(Start(true));
    ScriptedUi().flashRates.push_back(115200);
    ProgramOutcome outcome = Form().OnProgram();
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{std::string("NOTE: ") + kBootstrapFirst,
                                                      std::string("NOTE: ") + kUpdateSuccessful}));
    ASSERT_EQ(outcome.end, ProgramEnd::Updated) << ProgramEndName(outcome.end);
    EXPECT_EQ(outcome.engineResult, kUpgradeSucceeded);

    const auto& flash = rig->Radio().Memory().Flash();
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + 4, "TSFW"));
    const auto& codeplug = rig->Radio().Memory().Codeplug();
    EXPECT_TRUE(Contains(codeplug, "DM450SN0042")) << "the radio's own serial number is carried over";
    EXPECT_FALSE(Contains(codeplug, "DEMO0000001")) << "the image's serial number is not the radio's";
    if (CodeplugByte(0x0183) == 0xA3)
        GTEST_SKIP() << "the patcher is not in this build yet: the patch and the second run are checked once it is";
    EXPECT_EQ(CodeplugByte(0x0183), 0xA5) << "the patch set the low nibble of block 3 entry 0";

    scope.Clock().AdvanceBy(1.0);  // the radio restarts after the patcher's reset
    ProgramOutcome again = Form().OnProgram();
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{std::string("Error: ") + kRequirementsNotMet}));
    EXPECT_EQ(again.end, ProgramEnd::Refused);
}
