#pragma once

#include "platform/LendingPlatform.h"
#include "platform/WinSerial.h"
#include "platform/WinTimer.h"

// The platform of Windows: a COM port through the comm API and performance-counter timers.
class CWinPlatform : public CLendingPlatform<CWinSerial, CWinTimer> {
public:
    CWinPlatform() = default;
    CLog* CreateLog(int sink) override;
    void Sleep(unsigned milliseconds) override;
    std::time_t CalendarTime() override;
    double MonotonicTime() override;
};
