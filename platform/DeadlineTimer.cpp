#include "platform/DeadlineTimer.h"

namespace {
constexpr int64_t kNsPerSecond = 1'000'000'000;

int64_t SecondsToNs(double seconds) { return static_cast<int64_t>(seconds * static_cast<double>(kNsPerSecond)); }
} // namespace

void CDeadlineTimer::SetInterval(double seconds) { m_intervalNs = SecondsToNs(seconds); }

void CDeadlineTimer::Start()
{
    m_startNs = NowNs();
    m_nextTickNs = m_startNs;
}

void CDeadlineTimer::Wait(double seconds)
{
    if (seconds > 0)
        SleepUntilNs(NowNs() + SecondsToNs(seconds));
}

double CDeadlineTimer::Elapsed() { return static_cast<double>(NowNs() - m_startNs) / kNsPerSecond; }

void CDeadlineTimer::WaitIntervals(int n)
{
    m_nextTickNs += m_intervalNs * n;
    SleepUntilNs(m_nextTickNs);
}
