#pragma once

#include "platform/DeadlineTimer.h"

// A timer on CLOCK_MONOTONIC; waits sleep with clock_nanosleep and TIMER_ABSTIME.
class CPosixTimer : public CDeadlineTimer {};
