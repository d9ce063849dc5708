#pragma once

#include "platform/LendingPlatform.h"
#include "platform/PosixSerial.h"
#include "platform/PosixTimer.h"

// The platform of a POSIX system: a termios serial port and monotonic-clock timers.
class CPosixPlatform : public CLendingPlatform<CPosixSerial, CPosixTimer> {
public:
    CPosixPlatform() = default;
    CLog* CreateLog(int sink) override;
    void Sleep(unsigned milliseconds) override;
    std::time_t CalendarTime() override;
    double MonotonicTime() override;
};
