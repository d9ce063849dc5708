#include "platform/PosixTimer.h"

#include <cerrno>
#include <ctime>
#include <sys/prctl.h>

namespace {
constexpr int64_t kNsPerSecond = 1'000'000'000;
} // namespace

int64_t CDeadlineTimer::NowNs()
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

void CDeadlineTimer::SleepUntilNs(int64_t deadlineNs)
{
    CPosixTimer::MakeWakeupsPrecise();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(deadlineNs / kNsPerSecond);
    ts.tv_nsec = static_cast<long>(deadlineNs % kNsPerSecond);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}
