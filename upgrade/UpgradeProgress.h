#pragma once

#include "upgrade/ProgressEstimate.h"

#include <memory>

// The engine's progress reports to the front ends (UiServices::ShowProgress): the stage that
// runs, named and numbered, and the time left by the one estimate, on the platform's clock.
// A report goes out when a stage begins and, while one runs, at most every kReportSeconds.
class CUpgradeProgress {
public:
    static constexpr double kReportSeconds = 0.5;

    // Starts the run's estimate; nothing is reported before.
    void Start(const UpgradeWork& work);
    // The forecast again with what the run has learnt (the firmware image chosen).
    void Replan(const UpgradeWork& work);
    void Begin(UpgradeStage stage);
    void Step();
    // The run is over: the last report says so. Nothing more until the next Start.
    void Finish();

    bool Started() const { return m_estimate != nullptr; }
    const CProgressEstimate* Estimate() const { return m_estimate.get(); }

private:
    void Report(double now);

    std::unique_ptr<CProgressEstimate> m_estimate;
    double m_lastReport = 0;
};
