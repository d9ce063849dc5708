#include "sim/LineSchedule.h"

#include <algorithm>

double CLineSchedule::Reserve(double now, double earliest, double duration)
{
    while (!m_busy.empty() && m_busy.begin()->second <= now)
        m_busy.erase(m_busy.begin());
    double start = earliest;
    for (const auto& [busyStart, busyEnd] : m_busy) {
        if (busyEnd <= start)
            continue;
        if (busyStart >= start + duration)
            break;
        start = busyEnd;
    }
    m_busy[start] = start + duration;
    return start;
}

double CLineSchedule::PlaceBytes(double now, double notBefore, std::size_t count, double characterTime,
                                 const std::function<void(std::size_t, double)>& arrive)
{
    // Nothing starts earlier than a byte looped back as it arrives.
    double time = std::max(notBefore, now - characterTime);
    for (std::size_t i = 0; i < count; ++i) {
        time = Reserve(now, time, characterTime) + characterTime;
        arrive(i, time);
    }
    return time;
}
