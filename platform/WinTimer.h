#pragma once

#include "platform/TimerCtrl.h"

#include <cstdint>

// A timer on the high-resolution performance counter, which never jumps. Waits sleep to
// absolute deadlines on a high-resolution waitable timer, so they cost no processor time and
// never drift.
class CWinTimer : public CTimerCtrl {
public:
    CWinTimer() = default;
    void SetInterval(double seconds) override;
    void Start() override;
    void Wait(double seconds) override;
    double Elapsed() override;
    void WaitIntervals(int n) override;

    // Nanoseconds on the performance counter.
    static int64_t NowNs();
    // Sleeps until the counter reaches `deadlineNs` (returns at once if it has).
    static void SleepUntilNs(int64_t deadlineNs);

private:
    int64_t m_intervalNs = 0;
    int64_t m_startNs = 0;
    int64_t m_nextTickNs = 0;
};
