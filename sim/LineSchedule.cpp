#include "sim/LineSchedule.h"

#include <algorithm>

namespace {
// Forgotten stretches are moved out once they are this many and the larger part.
constexpr std::size_t kCompactAfter = 64;
}  // namespace

void CLineSchedule::Forget(double now)
{
    while (m_first < m_busy.size() && m_busy[m_first].end <= now)
        ++m_first;
    if (m_first == m_busy.size()) {
        Clear();
    } else if (m_first >= kCompactAfter && 2 * m_first >= m_busy.size()) {
        m_busy.erase(m_busy.begin(), m_busy.begin() + std::ptrdiff_t(m_first));
        m_first = 0;
    }
}

void CLineSchedule::Insert(double start, double end)
{
    const auto live = m_busy.begin() + std::ptrdiff_t(m_first);
    auto at = std::lower_bound(live, m_busy.end(), start,
                               [](const Stretch& s, double value) { return s.start < value; });
    if (at != m_busy.end() && at->start == start) {
        at->end = end;
    } else if (at == live && m_first > 0) {
        // Before every live stretch: the slot of the last forgotten one takes it.
        m_busy[--m_first] = Stretch{start, end};
    } else {
        m_busy.insert(at, Stretch{start, end});
    }
}

double CLineSchedule::Reserve(double now, double earliest, double duration)
{
    Forget(now);
    double start = earliest;
    // Stretches that end by `start` are not in the way; they come first.
    auto it = std::partition_point(m_busy.begin() + std::ptrdiff_t(m_first), m_busy.end(),
                                   [start](const Stretch& s) { return s.end <= start; });
    for (; it != m_busy.end(); ++it) {
        if (it->end <= start)
            continue;
        if (it->start >= start + duration)
            break;
        start = it->end;
    }
    Insert(start, start + duration);
    return start;
}
