#include "platform/PosixPlatform.h"

#include "errors/Log.h"
#include "platform/SystemPlatform.h"

#include <cstdint>

CLog* CPosixPlatform::CreateLog(int sink)
{
    if (sink == 0 && CwFileLog::FileWanted())
        return new CwFileLog("tsErrlog.txt");
    return nullptr;
}

void CPosixPlatform::Sleep(unsigned milliseconds)
{
    CPosixTimer::SleepUntilNs(CPosixTimer::NowNs() + static_cast<int64_t>(milliseconds) * 1'000'000);
}

std::time_t CPosixPlatform::CalendarTime() { return std::time(nullptr); }

double CPosixPlatform::MonotonicTime() { return static_cast<double>(CPosixTimer::NowNs()) * 1e-9; }

std::unique_ptr<CPlatform> MakeSystemPlatform() { return std::make_unique<CPosixPlatform>(); }
