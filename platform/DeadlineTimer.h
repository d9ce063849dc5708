#pragma once

#include "platform/TimerCtrl.h"

#include <cstdint>

// A timer on the system's monotonic clock. Waits sleep to absolute deadlines, so they cost
// no processor time and never drift. The clock itself is the system's (NowNs, SleepUntilNs:
// PosixTimer.cpp, WinTimer.cpp).
class CDeadlineTimer : public CTimerCtrl {
public:
    void SetInterval(double seconds) override;
    void Start() override;
    void Wait(double seconds) override;
    double Elapsed() override;
    void WaitIntervals(int n) override;

    // Nanoseconds on the monotonic clock.
    static int64_t NowNs();
    // Sleeps until the monotonic clock reaches `deadlineNs` (returns at once if it has).
    static void SleepUntilNs(int64_t deadlineNs);

private:
    int64_t m_intervalNs = 0;
    int64_t m_startNs = 0;
    int64_t m_nextTickNs = 0;
};
