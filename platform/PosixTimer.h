#pragma once

#include "platform/TimerCtrl.h"

#include <cstdint>

// A timer on the monotonic clock. Waits sleep to absolute deadlines (clock_nanosleep with
// TIMER_ABSTIME), so they cost no processor time and never drift.
class CPosixTimer : public CTimerCtrl {
public:
    CPosixTimer() = default;
    void SetInterval(double seconds) override;
    void Start() override;
    void Wait(double seconds) override;
    double Elapsed() override;
    void WaitIntervals(int n) override;

    // Nanoseconds on the monotonic clock.
    static int64_t NowNs();
    // Sleeps until the monotonic clock reaches `deadlineNs` (returns at once if it has).
    static void SleepUntilNs(int64_t deadlineNs);
    // Has the kernel wake the calling thread at its deadlines rather than up to 50 us after them
    // (the default timer slack, which lets it group wake-ups): a line paced at 115,200 Bd, 87 us
    // a character, would feel that at every wait. Once per thread; later calls cost nothing.
    static void MakeWakeupsPrecise();

private:
    int64_t m_intervalNs = 0;
    int64_t m_startNs = 0;
    int64_t m_nextTickNs = 0;
};
