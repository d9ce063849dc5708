#include "platform/PosixTimer.h"

#include <cerrno>
#include <ctime>
#include <sys/prctl.h>

namespace {
constexpr int64_t kNsPerSecond = 1'000'000'000;

int64_t SecondsToNs(double seconds)
{
    return static_cast<int64_t>(seconds * static_cast<double>(kNsPerSecond));
}
} // namespace

int64_t CPosixTimer::NowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

void CPosixTimer::MakeWakeupsPrecise()
{
    constexpr unsigned long kSlackNs = 1000;
    static thread_local const bool precise = ::prctl(PR_SET_TIMERSLACK, kSlackNs, 0, 0, 0) == 0;
    (void)precise;
}

void CPosixTimer::SleepUntilNs(int64_t deadlineNs)
{
    MakeWakeupsPrecise();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(deadlineNs / kNsPerSecond);
    ts.tv_nsec = static_cast<long>(deadlineNs % kNsPerSecond);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

void CPosixTimer::SetInterval(double seconds) { m_intervalNs = SecondsToNs(seconds); }

void CPosixTimer::Start()
{
    m_startNs = NowNs();
    m_nextTickNs = m_startNs;
}

void CPosixTimer::Wait(double seconds)
{
    if (seconds > 0)
        SleepUntilNs(NowNs() + SecondsToNs(seconds));
}

double CPosixTimer::Elapsed() { return static_cast<double>(NowNs() - m_startNs) / kNsPerSecond; }

void CPosixTimer::WaitIntervals(int n)
{
    m_nextTickNs += m_intervalNs * n;
    SleepUntilNs(m_nextTickNs);
}
