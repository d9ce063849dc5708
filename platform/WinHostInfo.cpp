#include "platform/HostInfo.h"

#include "platform/WinText.h"

#include <cstdio>

#include <windows.h>

std::string HostName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = static_cast<DWORD>(std::size(name));
    if (!GetComputerNameW(name, &length))
        return {};
    return Utf8Text(std::wstring(name, length));
}

std::string UserName()
{
    wchar_t name[257] = {};
    DWORD length = static_cast<DWORD>(std::size(name));
    if (!GetUserNameW(name, &length) || length == 0)
        return "unknown";
    return Utf8Text(std::wstring(name, length - 1));
}

std::tm LocalTimeOf(std::time_t when)
{
    std::tm local{};
    localtime_s(&local, &when);
    return local;
}

std::string LocalIsoTime(std::chrono::system_clock::time_point when)
{
    std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local = LocalTimeOf(seconds);
    std::tm utc{};
    gmtime_s(&utc, &seconds);
    // The offset: local time read as if it were UTC, less the time itself.
    utc.tm_isdst = 0;
    std::tm localAsUtc = local;
    localAsUtc.tm_isdst = 0;
    return IsoTimeText(local, static_cast<long>(_mkgmtime(&localAsUtc) - _mkgmtime(&utc)));
}
