#include "platform/HostInfo.h"

#include <cstdio>

std::string IsoTimeText(const std::tm& local, long utcOffsetSeconds)
{
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    // The offset in ISO 8601's extended form, +hh:mm.
    long offset = utcOffsetSeconds;
    char sign = offset < 0 ? '-' : '+';
    offset = offset < 0 ? -offset : offset;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", sign, static_cast<int>(offset / 3600 % 100),
                  static_cast<int>(offset % 3600 / 60));
    return std::string(text) + zone;
}
