#include "upgrade/ProgressEstimate.h"

#include <algorithm>

CProgressEstimate::CProgressEstimate(std::vector<StageForecast> forecast) : m_forecast(std::move(forecast)) {}

void CProgressEstimate::Replan(std::vector<StageForecast> forecast)
{
    const UpgradeStage* running = m_current >= 0 ? &m_forecast[static_cast<std::size_t>(m_current)].stage : nullptr;
    const UpgradeStage stage = running ? *running : UpgradeStage::Bootstrap;
    m_forecast = std::move(forecast);
    m_current = running ? IndexOf(stage) : -1;
}

int CProgressEstimate::IndexOf(UpgradeStage stage) const
{
    for (std::size_t i = 0; i < m_forecast.size(); ++i) {
        if (m_forecast[i].stage == stage)
            return static_cast<int>(i);
    }
    return -1;
}

void CProgressEstimate::Begin(UpgradeStage stage, double now)
{
    const int index = IndexOf(stage);
    if (index < 0 || index == m_current)
        return;
    EndCurrent(now);
    m_current = index;
    m_stageStart = now;
    m_stepsDone = 0;
}

void CProgressEstimate::EndCurrent(double now)
{
    if (m_current < 0)
        return;
    const StageForecast& f = m_forecast[static_cast<std::size_t>(m_current)];
    // Only a stage that ran its steps long enough tells how fast this line and radio are.
    if (f.steps > 0 && m_stepsDone >= kMeasureSteps && now - m_stageStart >= kMeasureSeconds && f.seconds > 0) {
        m_paceActual += now - m_stageStart;
        m_paceForecast += f.seconds * std::min(1.0, static_cast<double>(m_stepsDone) / f.steps);
    }
}

void CProgressEstimate::Step(double now)
{
    (void)now;
    if (m_current >= 0)
        ++m_stepsDone;
}

double CProgressEstimate::MeasuredPace(double now) const
{
    double actual = m_paceActual;
    double forecast = m_paceForecast;
    if (m_current >= 0) {
        const StageForecast& f = m_forecast[static_cast<std::size_t>(m_current)];
        if (f.steps > 0 && m_stepsDone >= kMeasureSteps && now - m_stageStart >= kMeasureSeconds && f.seconds > 0) {
            actual += now - m_stageStart;
            forecast += f.seconds * std::min(1.0, static_cast<double>(m_stepsDone) / f.steps);
        }
    }
    if (forecast <= 0)
        return 1.0;
    return std::clamp(actual / forecast, 1.0 / kMaxPace, kMaxPace);
}

double CProgressEstimate::CurrentStageLeft(double now) const
{
    const StageForecast& f = m_forecast[static_cast<std::size_t>(m_current)];
    const double spent = now - m_stageStart;
    if (f.steps > 0 && m_stepsDone >= kMeasureSteps && spent >= kMeasureSeconds) {
        const unsigned left = f.steps > m_stepsDone ? f.steps - m_stepsDone : 0;
        return spent / m_stepsDone * left;
    }
    return std::max(0.0, f.seconds * MeasuredPace(now) - spent);
}

double CProgressEstimate::SecondsLeft(double now) const
{
    const double pace = MeasuredPace(now);
    double left = 0;
    const std::size_t next = m_current < 0 ? 0 : static_cast<std::size_t>(m_current) + 1;
    if (m_current >= 0)
        left += CurrentStageLeft(now);
    for (std::size_t i = next; i < m_forecast.size(); ++i)
        left += m_forecast[i].seconds * pace;
    return left;
}
