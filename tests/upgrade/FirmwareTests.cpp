// The firmware path of an engine run against the simulated radio: boot code, identity check,
// erases, size probe, firmware file and one write per record.
#include "EngineFixture.h"

#include "files/SRecord.h"
#include "platform/Platform.h"
#include "platform/UiServices.h"
#include "sim/model/FaultPlan.h"
#include "tests/support/FlashImage.h"
#include "tests/support/ScratchDirectory.h"
#include "upgrade/UpgradeTexts.h"

#include <cstdlib>
#include <fstream>
#include <functional>
#include <vector>

namespace {

RadioProfile Profile(uint32_t flashKB, LoaderKind loader = LoaderKind::FL0)
{
    RadioProfile p = DemoProfile();
    p.flashSizeKB = flashKB;
    p.loader = loader;
    return p;
}

// A kit directory of the test's own, holding only the files it is given.
class CScratchKit : public CScratchDirectory {
public:
    explicit CScratchKit(const std::vector<std::pair<std::string, std::string>>& files = {})
        : CScratchDirectory("tessarin-engine-kit")
    {
        for (const auto& [file, content] : files)
            std::ofstream(Path() / file, std::ios::binary) << content;
    }
    std::string Dir() const { return Path().string(); }
};

class Firmware : public EngineTest {};

// The whole firmware path, for each flash size and each way of knowing the loader: the radio
// ends up holding the image of its size, and nothing else was written. A refused request is
// tried again: each probe address up to three times (a write of four exchanges each), each
// firmware record nine times.
TEST(FirmwarePath, EachRadioTakesTheImageOfItsFlashSize)
{
    struct Row {
        uint32_t flashKB;
        LoaderKind loader;
        int loaderKind;  // what the caller says: 0 detect
        const char* file;
        const char* fault = "";
    };
    for (Row row : {Row{128, LoaderKind::FL0, 1, "fw_128k"}, Row{128, LoaderKind::FL0, 0, "fw_128k"},
                    Row{256, LoaderKind::K4, 2, "fw_256k"}, Row{256, LoaderKind::K4, 0, "fw_256k"},
                    Row{512, LoaderKind::FL0, 1, "fw_512k"},
                    Row{512, LoaderKind::FL0, 1, "fw_512k", "nack:addr=0x470000,count=8"},
                    Row{256, LoaderKind::K4, 2, "fw_256k", "nack:addr=0x430000,count=11"},
                    Row{128, LoaderKind::FL0, 1, "fw_128k", "nack:addr=0x410000,count=8"},
                    Row{128, LoaderKind::FL0, 1, "fw_128k", "nack:record=40,count=8"}}) {
        SCOPED_TRACE(std::string(row.file) + " loader " + std::to_string(row.loaderKind) + " " + row.fault);
        EngineBench run(Profile(row.flashKB, row.loader));
        run.plan.flashFirmware = 1;
        run.settings.loaderKind = row.loaderKind;
        run.PrepareBootstrap();
        if (*row.fault)
            run.Radio().AddFault(ParseFaultSpec(row.fault));
        ASSERT_EQ(run.RunEngine(), kUpgradeSucceeded) << ::testing::PrintToString(run.Log());
        const std::string firmware = KitText(row.file);
        EXPECT_EQ(run.settings.firmwareText, firmware);
        EXPECT_TRUE(run.Radio().Memory().Flash() == FlashImage(firmware, row.flashKB * 1024));
        // Without a later stage the radio is reset into its new firmware.
        GetPlatform()->Sleep(500);
        EXPECT_EQ(run.Radio().GetMode(), CSimRadio::Mode::Application);
    }
}

// One counted window whose range is the number of steps sent, its texts, and the status
// notices in their order.
TEST_F(Firmware, ProgressIsOneCountedWindowOfOneStepPerRecord)
{
    plan.flashFirmware = 1;
    PrepareBootstrap();
    ASSERT_EQ(RunEngine(), kUpgradeSucceeded);
    std::vector<CScriptedUi::FrameMessage> opens = Messages(WM_PROGRESS_OPEN);
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].wParam, 0u);  // the boot code's "Please Wait" window
    EXPECT_EQ(opens[1].wParam, 2048u);
    EXPECT_EQ(Messages(WM_PROGRESS_STEP).size(), 2048u);
    EXPECT_EQ(Messages(WM_PROGRESS_CLOSE).size(), 2u);
    std::vector<uintptr_t> notices;
    for (const auto& m : Messages(WM_STATUS_NOTICE))
        notices.push_back(m.wParam);
    EXPECT_EQ(notices, (std::vector<uintptr_t>{1, 2, 3}));
    EXPECT_EQ(Ui().progressTexts,
              (std::vector<std::string>{kBootcodeWindowText,
                                        "Programming flash ROM...\nWARNING!! Ensure process is not interrupted",
                                        "Erasing flash ROM...\nWARNING!! Ensure process is not interrupted",
                                        "Programming flash ROM...\nWARNING!! Ensure process is not interrupted"}));
}

// With a codeplug or patch stage to follow, the radio stays in its boot code at the flash rate.
TEST_F(Firmware, ALaterStageKeepsTheRadioInItsBootCode)
{
    plan.flashFirmware = 1;
    plan.applyPatches = 1;
    PrepareBootstrap();
    RunEngine();
    EXPECT_TRUE(Radio().Trace().Of("reset").empty());
    EXPECT_EQ(engine->GetFirmwareRecords(), 2048);
}

// Without firmware in the plan the engine never touches the bootstrap, the erase or a firmware
// file, even from a directory that holds none.
TEST(FirmwarePath, APlanWithoutFirmwareLeavesBootstrapEraseAndFilesAlone)
{
    CScratchKit empty;
    EngineBench run(DemoProfile(), empty.Dir());
    run.plan.codeplugMode = 0;
    EXPECT_EQ(run.RunEngine(), kUpgradeSucceeded);
    EXPECT_TRUE(run.Radio().Trace().Of("frame").empty());
    EXPECT_TRUE(run.Radio().Trace().Of("sync-ok").empty());
    EXPECT_TRUE(run.Ui().boxes.empty());
    EXPECT_TRUE(run.settings.firmwareText.empty());
}

// Each failure of the firmware stages: the result the form gets, the line the log keeps and the
// message the user sees.
TEST(FirmwarePath, FailuresEndWithTheirResultAndMessage)
{
    struct Row {
        const char* name;
        int result;
        const char* logged;     // a line the log must hold ("" for none)
        const char* box;        // the message box ("" for none)
        std::function<void(EngineBench&)> arrange;
        RadioProfile profile = DemoProfile();
        std::string dir = kDemoKitDir;
    };
    const CScratchKit missing;
    const CScratchKit corrupt({std::pair<std::string, std::string>{"fw_128k", "twelve bytes"}});
    std::vector<Row> rows{
        {"boot code text invalid", kUpgradeBootcodeFailed, "Read bootcode S-Record file failed", "",
         [](EngineBench& r) { r.settings.bootcodeText = "no records here"; }},
        {"no serial port", kUpgradeBootcodeFailed, "Com Port was not opened", "",
         [](EngineBench& r) { r.bootstrapPort = nullptr; }},
        {"sync never answered", kUpgradeBootcodeFailed, "Bootstrap::FL0_Send_Bootcode: Read bootstrap sync character failed",
         "", [](EngineBench& r) { r.Radio().AddFault(ParseFaultSpec("drop-reply:op=sync,count=3")); }},
        {"different radio", kUpgradeFlashSizeFailed, "",
         "Different model is detected, please use the original radio", [](EngineBench&) { IdentityMark ^= 0x55; }},
        {"erase not confirmed", kUpgradeFlashSizeFailed, "Receive Negative Ack from external device", "",
         [](EngineBench& r) { r.Radio().AddFault(ParseFaultSpec("nack:op=erase,count=4")); }},
        {"no probe address answers", kUpgradeFlashSizeFailed, "", "", [](EngineBench&) {}, Profile(64)},
        {"the only probe address a 128 KB radio has refused three times", kUpgradeFlashSizeFailed, "", "",
         [](EngineBench& r) { r.Radio().AddFault(ParseFaultSpec("nack:addr=0x410000,count=12")); }, Profile(128)},
        {"firmware file missing", kUpgradeInvalidDataFile, "",
         "Unable to open firmware file!\nPlease make sure installation is completed successfully", [](EngineBench&) {},
         DemoProfile(), missing.Dir()},
        {"firmware file corrupt", kUpgradeInvalidDataFile, "",
         "The required data file is corrupted and unuseable\nPlease reinstall the application!", [](EngineBench&) {},
         DemoProfile(), corrupt.Dir()},
        {"write refused while flashing", kUpgradeFlashFailed, "Received NACK from external device", "",
         [](EngineBench& r) { r.Radio().AddFault(ParseFaultSpec("nack:record=40,count=9")); }},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        EngineBench run(row.profile, row.dir);
        run.plan.flashFirmware = 1;
        run.PrepareBootstrap();
        row.arrange(run);
        EXPECT_EQ(run.RunEngine(), row.result) << ::testing::PrintToString(run.Log());
        if (*row.logged) {
            EXPECT_TRUE(run.Logged(row.logged)) << ::testing::PrintToString(run.Log());
        }
        std::vector<std::string> boxes;
        for (const auto& b : run.Ui().boxes)
            boxes.push_back(b.text);
        EXPECT_EQ(boxes, *row.box ? std::vector<std::string>{row.box} : std::vector<std::string>{});
        // Every failure ends the status notice it showed, leaves no window open, and shows no
        // closing notice for one it never showed (that would leave "Verifying Checksum" behind).
        EXPECT_EQ(run.Messages(WM_PROGRESS_OPEN).size(), run.Messages(WM_PROGRESS_CLOSE).size());
        std::size_t shown = 0, ended = 0;
        for (const auto& m : run.Messages(WM_STATUS_NOTICE))
            (m.wParam == 3u ? ended : shown) += 1;
        EXPECT_EQ(ended, shown == 0 ? 0u : 1u);
        if (shown > 0) {
            EXPECT_EQ(run.Messages(WM_STATUS_NOTICE).back().wParam, 3u);
        }
    }
}

}  // namespace
