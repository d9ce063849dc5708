#pragma once

#include "platform/DeadlineTimer.h"

// A timer on the high-resolution performance counter, which never jumps; waits sleep on a
// high-resolution waitable timer.
class CWinTimer : public CDeadlineTimer {};
