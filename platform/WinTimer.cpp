#include "platform/WinTimer.h"

#include <windows.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {
constexpr int64_t kNsPerSecond = 1'000'000'000;

int64_t CounterFrequency()
{
    static const int64_t frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<int64_t>(f.QuadPart);
    }();
    return frequency;
}

// One waitable timer per thread, high resolution where the system has it (Windows 10 1803 on).
HANDLE ThreadTimer()
{
    struct Timer {
        HANDLE handle = nullptr;
        Timer()
        {
            handle = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                            TIMER_ALL_ACCESS);
            if (handle == nullptr)
                handle = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
        }
        ~Timer()
        {
            if (handle != nullptr)
                CloseHandle(handle);
        }
    };
    thread_local Timer timer;
    return timer.handle;
}
} // namespace

int64_t CDeadlineTimer::NowNs()
{
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    const int64_t frequency = CounterFrequency();
    const int64_t ticks = static_cast<int64_t>(count.QuadPart);
    return ticks / frequency * kNsPerSecond + ticks % frequency * kNsPerSecond / frequency;
}

void CDeadlineTimer::SleepUntilNs(int64_t deadlineNs)
{
    HANDLE timer = ThreadTimer();
    for (;;) {
        const int64_t left = deadlineNs - NowNs();
        if (left <= 0)
            return;
        if (timer == nullptr) {
            ::Sleep(static_cast<DWORD>((left + 999'999) / 1'000'000));
            continue;
        }
        // A relative due time in 100 ns units (negative); the loop takes up what is left
        // should the timer fire early against the counter.
        LARGE_INTEGER due{};
        due.QuadPart = -((left + 99) / 100);
        if (!SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
            ::Sleep(static_cast<DWORD>((left + 999'999) / 1'000'000));
            continue;
        }
        WaitForSingleObject(timer, INFINITE);
    }
}
