#include "sim/VirtualClock.h"

#include <algorithm>
#include <limits>

void CVirtualClock::Schedule(double time, std::function<void()> action)
{
    m_events.push(Event{std::max(time, m_now), m_sequence++, std::move(action)});
}

void CVirtualClock::AdvanceTo(double time)
{
    while (!m_events.empty() && m_events.top().time <= time) {
        Event event = m_events.top();
        m_events.pop();
        m_now = std::max(m_now, event.time);
        event.action();
    }
    m_now = std::max(m_now, time);
}

double CVirtualClock::NextEventTime() const
{
    return m_events.empty() ? std::numeric_limits<double>::infinity() : m_events.top().time;
}

void CVirtualClock::RunAll(double limit)
{
    while (!m_events.empty() && m_events.top().time <= limit)
        AdvanceTo(m_events.top().time);
}

void CSimTimer::Start()
{
    m_start = m_clock->Now();
    m_nextTick = m_start;
}

void CSimTimer::Wait(double seconds)
{
    if (seconds > 0)
        m_clock->AdvanceTo(m_clock->Now() + seconds);
}

void CSimTimer::WaitIntervals(int n)
{
    m_nextTick += m_interval * n;
    m_clock->AdvanceTo(m_nextTick);
}
