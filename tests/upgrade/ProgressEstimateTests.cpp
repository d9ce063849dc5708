// The time left of an engine run: the forecast from the plan, and how the measured pace
// corrects it without ever giving a wild figure.
#include "upgrade/ProgressEstimate.h"

#include <gtest/gtest.h>

namespace {

// A firmware run as the forecast might have it: 100 s of firmware records in 1000 steps
// between a 10 s erase and a 20 s codeplug stage.
std::vector<StageForecast> Forecast()
{
    return {{UpgradeStage::Erase, 10, 0}, {UpgradeStage::Firmware, 100, 1000}, {UpgradeStage::Codeplug, 20, 200}};
}

// Runs the firmware stage's first `steps` steps at `secondsPerStep` from t = 10.
double StepFirmware(CProgressEstimate& estimate, unsigned steps, double secondsPerStep)
{
    estimate.Begin(UpgradeStage::Firmware, 10);
    double t = 10;
    for (unsigned i = 0; i < steps; ++i) {
        t += secondsPerStep;
        estimate.Step(t);
    }
    return t;
}

} // namespace

TEST(ProgressEstimate, BeforeTheFirstStageTheForecastStands)
{
    CProgressEstimate estimate(Forecast());
    EXPECT_EQ(estimate.StageNumber(), 0);
    EXPECT_EQ(estimate.StageCount(), 3);
    EXPECT_DOUBLE_EQ(estimate.SecondsLeft(0), 130);
    estimate.Begin(UpgradeStage::Erase, 0);
    EXPECT_EQ(estimate.StageNumber(), 1);
    EXPECT_DOUBLE_EQ(estimate.SecondsLeft(4), 126) << "the erase runs down as forecast";
    EXPECT_DOUBLE_EQ(estimate.SecondsLeft(15), 120) << "an erase that takes longer counts as nearly done";
}

TEST(ProgressEstimate, MeasuredPaceTakesOverOnlyOnceEnoughHasGone)
{
    struct Case {
        const char* name;
        unsigned steps;
        double secondsPerStep;
        double left;  // at the last step
    };
    const Case cases[] = {
        // Ten times slower than the forecast's 0.1 s a step, but only 4 steps in: the
        // forecast still stands.
        {"too early to measure", 4, 1.0, 100 - 4 + 20},
        // 15 s and 50 steps in at 0.3 s a step: 950 steps left at that pace, and the codeplug
        // stage at three times the forecast pace (the most it is ever scaled by).
        {"measured, slow line", 50, 0.3, 285 + 60},
        // Twice as fast as forecast: 800 steps left at 0.05 s, the codeplug at half pace.
        {"measured, fast line", 200, 0.05, 40 + 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProgressEstimate estimate(Forecast());
        estimate.Begin(UpgradeStage::Erase, 0);
        double t = StepFirmware(estimate, c.steps, c.secondsPerStep);
        EXPECT_NEAR(estimate.SecondsLeft(t), c.left, 1e-6);
    }
}

TEST(ProgressEstimate, LaterStagesAreScaledByTheMeasuredPaceWithinBounds)
{
    CProgressEstimate estimate(Forecast());
    // The firmware stage ran at a twentieth of its forecast pace, all of it.
    double t = StepFirmware(estimate, 1000, 2.0);
    estimate.Begin(UpgradeStage::Codeplug, t);
    EXPECT_NEAR(estimate.SecondsLeft(t), 20 * CProgressEstimate::kMaxPace, 1e-6);
}

TEST(ProgressEstimate, AReplanKeepsTheRunningStage)
{
    CProgressEstimate estimate(Forecast());
    estimate.Begin(UpgradeStage::Erase, 0);
    std::vector<StageForecast> larger = Forecast();
    larger[1].seconds = 400;
    estimate.Replan(larger);
    EXPECT_EQ(estimate.StageNumber(), 1);
    EXPECT_DOUBLE_EQ(estimate.SecondsLeft(5), 5 + 400 + 20);
}

TEST(ProgressForecast, StagesOfEachPlanInTheRadiosOrder)
{
    struct Case {
        uint8_t firmware;
        int codeplug;
        uint8_t patches;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {1, 3, 1, {"Bootstrap", "Boot code", "Erase", "Firmware", "Codeplug programming", "Patches"}},
        {1, 0, 0, {"Bootstrap", "Boot code", "Erase", "Firmware"}},
        {0, 2, 1, {"Codeplug programming", "Patches"}},
        {0, 0, 1, {"Patches"}},
        {0, 0, 0, {}},
    };
    for (const Case& c : cases) {
        UpgradePlan plan;
        plan.flashFirmware = c.firmware;
        plan.codeplugMode = c.codeplug;
        plan.applyPatches = c.patches;
        std::vector<std::string> names;
        for (UpgradeStage stage : PlannedStages(plan))
            names.push_back(UpgradeStageName(stage));
        EXPECT_EQ(names, c.names);
    }
}

// The line's share of a stage: 1000 records of 32 bytes at 19,200 Bd send 40 bytes and take
// 7 back each (47 x 10 bits), 32,000 bytes at 20 us each to write, 6 ms of answers a record.
TEST(ProgressForecast, FirmwareStageFromBytesRateAndWriteTimes)
{
    UpgradeWork work;
    work.plan.flashFirmware = 1;
    work.flashBaud = 19200;
    work.firmwareRecords = 1000;
    work.firmwareBytes = 32000;
    std::vector<StageForecast> forecast = ForecastStages(work);
    ASSERT_EQ(forecast.size(), 4u);
    EXPECT_EQ(forecast[3].stage, UpgradeStage::Firmware);
    EXPECT_EQ(forecast[3].steps, 1000u);
    EXPECT_NEAR(forecast[3].seconds, 1000 * 47 * 10 / 19200.0 + 32000 * 20e-6 + 1000 * 0.006, 1e-9);
}
