#pragma once

#include "platform/TimerCtrl.h"

#include <cstdint>
#include <functional>
#include <vector>

// Simulated time. Nothing happens by itself: time moves only when someone waits (a timer,
// a sleep), and everything scheduled up to the new time runs first, in time order (ties in
// the order scheduled). So a test sees exactly the time-outs the code under test expects,
// deterministically and in microseconds of real time.
class CVirtualClock {
public:
    double Now() const { return m_now; }
    // Runs `action` when the clock reaches `time` (at the next advance if already due).
    void Schedule(double time, std::function<void()> action);
    // Runs every action due up to `time`, then sets the clock to it.
    void AdvanceTo(double time);
    void AdvanceBy(double seconds) { AdvanceTo(m_now + seconds); }
    // Runs whatever is scheduled, however far ahead, until nothing is left (or `limit`).
    void RunAll(double limit = 1e9);
    bool Idle() const { return m_events.empty(); }
    // When the next scheduled action is due (infinity when none is).
    double NextEventTime() const;

private:
    struct Event {
        double time;
        uint64_t sequence;
        std::function<void()> action;
        bool operator>(const Event& other) const
        {
            return time != other.time ? time > other.time : sequence > other.sequence;
        }
    };
    // Takes the earliest event off the queue.
    Event PopNext();

    double m_now = 0;
    uint64_t m_sequence = 0;
    // A heap with the earliest event at its front; an event is moved out of it when it runs,
    // never copied.
    std::vector<Event> m_events;
};

// A timer on the virtual clock: waiting advances the clock to the deadline.
class CSimTimer : public CTimerCtrl {
public:
    explicit CSimTimer(CVirtualClock* clock) : m_clock(clock) {}
    void SetInterval(double seconds) override { m_interval = seconds; }
    void Start() override;
    void Wait(double seconds) override;
    double Elapsed() override { return m_clock->Now() - m_start; }
    void WaitIntervals(int n) override;

private:
    CVirtualClock* m_clock;
    double m_interval = 0;
    double m_start = 0;
    double m_nextTick = 0;
};
