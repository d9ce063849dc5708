#pragma once

#include "platform/DeadlineTimer.h"

// A timer on CLOCK_MONOTONIC; waits sleep with clock_nanosleep and TIMER_ABSTIME.
class CPosixTimer : public CDeadlineTimer {
public:
    // Has the kernel wake the calling thread at its deadlines rather than up to 50 us after them
    // (the default timer slack, which lets it group wake-ups): a line paced at 115,200 Bd, 87 us
    // a character, would feel that at every wait. Once per thread; later calls cost nothing.
    static void MakeWakeupsPrecise();
};
