#include "platform/PosixTimer.h"

#include <cerrno>
#include <ctime>

namespace {
constexpr int64_t kNsPerSecond = 1'000'000'000;
} // namespace

int64_t CDeadlineTimer::NowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

void CDeadlineTimer::SleepUntilNs(int64_t deadlineNs)
{
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(deadlineNs / kNsPerSecond);
    ts.tv_nsec = static_cast<long>(deadlineNs % kNsPerSecond);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}
