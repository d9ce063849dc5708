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
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    // The offset in ISO 8601's extended form, +hh:mm: local time read as if it were UTC,
    // less the time itself.
    utc.tm_isdst = 0;
    std::tm localAsUtc = local;
    localAsUtc.tm_isdst = 0;
    long offset = static_cast<long>(_mkgmtime(&localAsUtc) - _mkgmtime(&utc));
    char sign = offset < 0 ? '-' : '+';
    offset = offset < 0 ? -offset : offset;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", sign, static_cast<int>(offset / 3600 % 100),
                  static_cast<int>(offset % 3600 / 60));
    return std::string(text) + zone;
}
