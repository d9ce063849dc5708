#include "platform/HostInfo.h"

#include <climits>
#include <cstdio>
#include <ctime>

#include <pwd.h>
#include <unistd.h>

std::string HostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::string UserName()
{
    uid_t uid = ::geteuid();
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr && found->pw_name != nullptr)
        return found->pw_name;
    return std::to_string(uid);
}

std::string LocalIsoTime(std::chrono::system_clock::time_point when)
{
    std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    return IsoTimeText(local, local.tm_gmtoff);
}

std::tm LocalTimeOf(std::time_t when)
{
    std::tm local{};
    ::localtime_r(&when, &local);
    return local;
}
