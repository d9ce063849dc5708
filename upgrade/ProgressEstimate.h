#pragma once

#include "upgrade/ProgressForecast.h"

#include <cstddef>
#include <vector>

// The time left of an engine run: the plan's forecast at first, corrected by what the run
// measures. A stage's own steps are trusted once it has run for kMeasureSeconds and
// kMeasureSteps (remaining = steps left at the measured pace); before that the forecast stands.
// The stages still to come take the forecast times scaled by the pace measured so far, which
// never strays further than kMaxPace either way: no wild figure, also in the first seconds.
// Times are the caller's clock, in seconds.
class CProgressEstimate {
public:
    static constexpr double kMeasureSeconds = 5.0;
    static constexpr unsigned kMeasureSteps = 20;
    static constexpr double kMaxPace = 3.0;

    explicit CProgressEstimate(std::vector<StageForecast> forecast);

    // A new forecast once more is known (the firmware image the flash size chose); the stage
    // running and its steps are kept.
    void Replan(std::vector<StageForecast> forecast);
    // The stage begins; stages skipped on the way count as done.
    void Begin(UpgradeStage stage, double now);
    // One step of the running stage's work is done.
    void Step(double now);

    double SecondsLeft(double now) const;
    // The running stage: its number from 1 (0 before the first) among StageCount().
    int StageNumber() const { return m_current < 0 ? 0 : m_current + 1; }
    int StageCount() const { return static_cast<int>(m_forecast.size()); }
    const std::vector<StageForecast>& Forecast() const { return m_forecast; }

private:
    int IndexOf(UpgradeStage stage) const;
    // The running stage's pace measured against its forecast (1 before it can be trusted).
    double MeasuredPace(double now) const;
    double CurrentStageLeft(double now) const;
    void EndCurrent(double now);

    std::vector<StageForecast> m_forecast;
    int m_current = -1;
    double m_stageStart = 0;
    unsigned m_stepsDone = 0;
    double m_paceActual = 0;    // seconds the measured stages took
    double m_paceForecast = 0;  // seconds the forecast gave them
};
