// The engine's progress reports on the simulated demo radio, on the virtual clock: the stages in
// the order the radio goes through them, each named, and a time left that is sane from the
// first report on.
#include "UpgradeFixture.h"

#include "upgrade/UpgradeTexts.h"

#include <algorithm>

namespace {

// The stage names as reported, each once, in the order they came.
std::vector<std::string> ReportedStages(const std::vector<CScriptedUi::TimedReport>& reports)
{
    std::vector<std::string> names;
    for (const auto& r : reports) {
        if (!r.report.Finished() && (names.empty() || names.back() != r.report.stageName))
            names.push_back(r.report.stageName);
    }
    return names;
}

// The kit's firmware images as the form hands them to the engine before the flash size has
// chosen one.
ImageCounts KitFirmware(const KitCase& c)
{
    std::vector<ImageCounts> images;
    for (const char* name : {"fw_128k", "fw_256k", "fw_512k"})
        images.push_back(CountImage(KitFile(c, name)));
    return FirmwareBeforeProbe(images);
}

} // namespace

TEST(ProgressReports, StagesInTheRadiosOrderForEachKindOfKit)
{
    struct Case {
        const char* name;
        uint8_t firmware;
        int codeplug;
        uint8_t patches;
        std::vector<std::string> stages;
    };
    const Case cases[] = {
        {"firmware, codeplug and patches", 1, 3, 1,
         {"Bootstrap", "Boot code", "Erase", "Firmware", "Codeplug programming", "Patches"}},
        {"firmware only", 1, 0, 0, {"Bootstrap", "Boot code", "Erase", "Firmware"}},
        {"firmware and patches", 1, 0, 1, {"Bootstrap", "Boot code", "Erase", "Firmware", "Patches"}},
        {"codeplug and patches", 0, 3, 1, {"Codeplug programming", "Patches"}},
        {"codeplug only", 0, 3, 0, {"Codeplug programming"}},
        {"patches only", 0, 0, 1, {"Patches"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KitRun run(DemoKitCase());
        run.plan.flashFirmware = c.firmware;
        run.plan.codeplugMode = c.codeplug;
        run.plan.applyPatches = c.patches;
        if (c.firmware)
            run.PrepareBootstrap();
        ASSERT_EQ(run.Run(), kUpgradeSucceeded) << run.LogText();
        const auto& reports = run.scope.Ui().progressReports;
        EXPECT_EQ(ReportedStages(reports), c.stages);
        ASSERT_FALSE(reports.empty());
        EXPECT_TRUE(reports.back().report.Finished()) << "the last report ends the run's reports";
        int number = 0;
        for (const auto& r : reports) {
            if (r.report.Finished())
                continue;
            EXPECT_EQ(r.report.stageCount, static_cast<int>(c.stages.size()));
            EXPECT_GE(r.report.stageNumber, number) << "stages only go forward";
            number = r.report.stageNumber;
            EXPECT_EQ(r.report.stageName, c.stages[static_cast<std::size_t>(number - 1)]);
        }
    }
}

// The first report's time left is within a factor of three of how long the run really took on
// the virtual clock, and no report is ever further off than that (plus a few seconds). Before
// the flash size probe the firmware is counted as the middle of the kit's images (64 and 448 KB
// of data here, the radio takes the smallest): that is the most the start can be off by.
TEST(ProgressReports, TimeLeftIsSaneFromTheStart)
{
    for (int flashBaud : {19200, 115200}) {
        SCOPED_TRACE(flashBaud);
        KitRun run(DemoKitCase());
        run.plan.flashFirmware = 1;
        run.settings.flashBaud = flashBaud;
        run.settings.bootcodeText = KitFile(run.kase, "bc" + std::to_string(flashBaud));
        run.settings.firmwareForecast = KitFirmware(run.kase);
        run.PrepareBootstrap();
        ASSERT_EQ(run.Run(), kUpgradeSucceeded) << run.LogText();
        const auto& reports = run.scope.Ui().progressReports;
        ASSERT_GE(reports.size(), 3u);
        const double end = reports.back().at;
        const double whole = end - reports.front().at;
        ASSERT_GT(whole, 1.0);
        EXPECT_GT(reports.front().report.secondsLeft, whole / 3);
        EXPECT_LT(reports.front().report.secondsLeft, whole * 3);
        for (const auto& r : reports) {
            if (r.report.Finished())
                continue;
            const double real = end - r.at;
            EXPECT_GE(r.report.secondsLeft, 0);
            EXPECT_LT(r.report.secondsLeft, real * 3 + 5) << r.report.stageName << " at " << r.at;
            EXPECT_GT(r.report.secondsLeft, real / 3 - 5) << r.report.stageName << " at " << r.at;
        }
    }
}

// The boot code's "Please Wait" window says what it waits for before it opens.
TEST(ProgressReports, BootCodeWindowSaysWhatItWaitsFor)
{
    KitRun run(DemoKitCase());
    run.plan.flashFirmware = 1;
    run.plan.codeplugMode = 0;
    run.plan.applyPatches = 0;
    run.PrepareBootstrap();
    ASSERT_EQ(run.Run(), kUpgradeSucceeded) << run.LogText();
    const CScriptedUi& ui = run.scope.Ui();
    ASSERT_FALSE(ui.progressTexts.empty());
    EXPECT_EQ(ui.progressTexts.front(), kBootcodeWindowText);
    ASSERT_FALSE(ui.frameMessages.empty());
    EXPECT_EQ(ui.frameMessages.front().message, static_cast<unsigned>(WM_PROGRESS_OPEN));
    EXPECT_EQ(ui.frameMessages.front().wParam, 0u) << "the uncounted window of the boot code";
}
