// Checking the images and counting the work of a run, and the runs that end there.
#include "EngineFixture.h"

#include "errors/Error.h"
#include "files/HexText.h"
#include "platform/UiServices.h"

#include <vector>

namespace {

class PrepareUpgrade : public EngineTest {
protected:
    CRadioUpgrade& Engine()
    {
        engine = std::make_unique<CRadioUpgrade>();
        engine->SetPlan(plan);
        engine->SetJob(settings, codeplugImage, patches, codeplugType, key);
        engine->SetRadioCode("P5");
        return *engine;
    }
};

// The demo codeplug: P1 = 0x100, region end E = 0x220.
TEST_F(PrepareUpgrade, RegionsAndChunksFollowTheCodeplugMode)
{
    struct Row {
        int mode;
        uint32_t start, end;
        int chunks;
    };
    for (Row row : {Row{1, 0x000, 0x100, 8}, Row{2, 0x100, 0x221, 10}, Row{3, 0x000, 0x221, 18}}) {
        plan.codeplugMode = row.mode;
        CRadioUpgrade& upgrade = Engine();
        upgrade.PrepareUpgrade();
        EXPECT_EQ(upgrade.GetRegionStart(), row.start) << row.mode;
        EXPECT_EQ(upgrade.GetRegionEnd(), row.end) << row.mode;
        EXPECT_EQ(upgrade.GetCodeplugChunks(), row.chunks) << row.mode;
        EXPECT_EQ(upgrade.GetFirmwareRecords(), 0);
        EXPECT_EQ(upgrade.GetPatchCount(), 0);
    }
}

TEST_F(PrepareUpgrade, CountsFirmwareRecordsAndPatchEntriesBeforeTheEnd)
{
    plan.flashFirmware = 1;
    plan.applyPatches = 1;
    settings.firmwareText = KitText("fw_128k");
    patches = {PatchEntry{kPatchVerify}, PatchEntry{kPatchReadBlock}, PatchEntry{kPatchWriteBlock},
               PatchEntry{kPatchEnd}, PatchEntry{kPatchModify}};
    CRadioUpgrade& upgrade = Engine();
    upgrade.PrepareUpgrade();
    EXPECT_EQ(upgrade.GetFirmwareRecords(), 2048);
    EXPECT_EQ(upgrade.GetPatchCount(), 3);
    EXPECT_EQ(upgrade.GetCodeplugChunks(), 0);
}

// Every refusal of PrepareUpgrade ends the run with result 4 and its text in the log, before
// any stage has touched the radio.
TEST_F(PrepareUpgrade, UnusableImagesAndPlansEndTheRunAsAnInvalidDataFile)
{
    const uint8_t farBoundary[16] = {0xFF, 0x00};
    const std::string beyondImage = FormatSRecord('1', 0, farBoundary, sizeof farBoundary) + "S9030000FC\r\n";
    struct Row {
        const char* name;
        int mode;
        std::string image;
        const char* logged;
    };
    const std::vector<Row> rows{
        {"not S-records", 3, "this is no image", "Read codeplug S-Record file failed"},
        {"mode out of range", 4, KitText("cp_demo"), "Syntax error in patch script file : RADIO_MATCHING_BLOCK"},
        {"region not derivable", 3, beyondImage,
         "The codeplug image does not describe its programmable region; please reinstall the upgrade kit"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        plan = UpgradePlan{};
        plan.codeplugMode = row.mode;
        plan.applyPatches = 1;
        codeplugImage = row.image;
        Ui().frameMessages.clear();
        EXPECT_EQ(RunEngine(), kUpgradeInvalidDataFile);
        EXPECT_TRUE(Logged(row.logged));
        EXPECT_TRUE(Ui().frameMessages.empty());
        EXPECT_TRUE(Radio().Trace().Of("frame").empty());
    }
}

TEST_F(PrepareUpgrade, AFirmwareTextThatIsNoImageIsAnInvalidDataFile)
{
    plan.flashFirmware = 1;
    settings.firmwareText = "S2garbage";
    EXPECT_THROW(Engine().PrepareUpgrade(), CGenError);
}

// A plan without work opens no counted window and ends as a success.
TEST_F(PrepareUpgrade, APlanWithNothingToDoSucceedsWithoutAProgressWindow)
{
    EXPECT_EQ(RunEngine(), kUpgradeSucceeded);
    EXPECT_TRUE(Ui().frameMessages.empty());
}

}  // namespace
