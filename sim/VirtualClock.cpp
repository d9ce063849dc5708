#include "sim/VirtualClock.h"

#include <algorithm>
#include <functional>
#include <limits>

void CVirtualClock::Schedule(double time, std::function<void()> action)
{
    m_events.push_back(Event{std::max(time, m_now), m_sequence++, std::move(action)});
    std::push_heap(m_events.begin(), m_events.end(), std::greater<Event>());
}

CVirtualClock::Event CVirtualClock::PopNext()
{
    std::pop_heap(m_events.begin(), m_events.end(), std::greater<Event>());
    Event event = std::move(m_events.back());
    m_events.pop_back();
    return event;
}

void CVirtualClock::AdvanceTo(double time)
{
    while (!m_events.empty() && m_events.front().time <= time) {
        Event event = PopNext();
        m_now = std::max(m_now, event.time);
        event.action();
    }
    m_now = std::max(m_now, time);
}

double CVirtualClock::NextEventTime() const
{
    return m_events.empty() ? std::numeric_limits<double>::infinity() : m_events.front().time;
}

void CVirtualClock::RunAll(double limit)
{
    while (!m_events.empty() && m_events.front().time <= limit)
        AdvanceTo(m_events.front().time);
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
