#include "upgrade/UpgradeProgress.h"

#include "platform/Platform.h"
#include "platform/UiServices.h"

namespace {
double Now() { return GetPlatform()->MonotonicTime(); }
} // namespace

void CUpgradeProgress::Start(const UpgradeWork& work)
{
    m_estimate = std::make_unique<CProgressEstimate>(ForecastStages(work));
}

void CUpgradeProgress::Replan(const UpgradeWork& work)
{
    if (m_estimate)
        m_estimate->Replan(ForecastStages(work));
}

void CUpgradeProgress::Begin(UpgradeStage stage)
{
    if (!m_estimate)
        return;
    const double now = Now();
    m_estimate->Begin(stage, now);
    Report(now);
}

void CUpgradeProgress::Step()
{
    if (!m_estimate)
        return;
    const double now = Now();
    m_estimate->Step(now);
    if (now - m_lastReport >= kReportSeconds)
        Report(now);
}

void CUpgradeProgress::Finish()
{
    if (!m_estimate)
        return;
    m_estimate.reset();
    Ui().ShowProgress(ProgressReport{});
}

void CUpgradeProgress::Report(double now)
{
    const int number = m_estimate->StageNumber();
    if (number == 0)
        return;
    ProgressReport report;
    report.stageNumber = number;
    report.stageCount = m_estimate->StageCount();
    report.stageName = UpgradeStageName(m_estimate->Forecast()[static_cast<std::size_t>(number - 1)].stage);
    report.secondsLeft = m_estimate->SecondsLeft(now);
    m_lastReport = now;
    Ui().ShowProgress(report);
}
