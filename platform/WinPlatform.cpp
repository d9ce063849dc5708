#include "platform/WinPlatform.h"

#include "errors/Log.h"
#include "platform/SystemPlatform.h"

#include <cstdint>

CLog* CWinPlatform::CreateLog(int sink)
{
    if (sink == 0 && CwFileLog::FileWanted())
        return new CwFileLog("tsErrlog.txt");
    return nullptr;
}

void CWinPlatform::Sleep(unsigned milliseconds)
{
    CWinTimer::SleepUntilNs(CWinTimer::NowNs() + static_cast<int64_t>(milliseconds) * 1'000'000);
}

std::time_t CWinPlatform::CalendarTime() { return std::time(nullptr); }

double CWinPlatform::MonotonicTime() { return static_cast<double>(CWinTimer::NowNs()) * 1e-9; }

std::unique_ptr<CPlatform> MakeSystemPlatform() { return std::make_unique<CWinPlatform>(); }
