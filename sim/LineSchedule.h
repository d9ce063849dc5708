#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// The line from the far end to the PC carries one character at a time. The box's echo and
// the radio's answers share it: each byte takes the earliest free gap from the time it may
// start, so a reply promised for later does not hold up an echo now. A byte looped back by
// the box may start in the past: it arrives as the PC's own byte finishes.
class CLineSchedule {
public:
    // Reserves `duration` seconds from `earliest` on (or after what already holds the line);
    // returns the start. `now` lets stretches that have ended be forgotten.
    double Reserve(double now, double earliest, double duration);
    // Places `count` characters of `characterTime` one after another from `notBefore` (at the
    // earliest one character time before `now`) and
    // calls `arrive(i, time)` with the time each has fully arrived; returns the last time.
    template <typename Arrive>
    double PlaceBytes(double now, double notBefore, std::size_t count, double characterTime, Arrive&& arrive)
    {
        // Nothing starts earlier than a byte looped back as it arrives.
        double time = std::max(notBefore, now - characterTime);
        for (std::size_t i = 0; i < count; ++i) {
            time = Reserve(now, time, characterTime) + characterTime;
            arrive(i, time);
        }
        return time;
    }
    void Clear()
    {
        m_busy.clear();
        m_first = 0;
    }

private:
    struct Stretch {
        double start;
        double end;
    };
    // Drops the stretches that ended by `now` (a prefix: stretches never overlap, so their
    // ends ascend with their starts).
    void Forget(double now);
    // Records a stretch; one that starts where another does replaces it.
    void Insert(double start, double end);

    // The reserved stretches in order of their start, from m_first on; those before it have
    // ended and are forgotten. One buffer for the whole line: reserving a character does not
    // allocate.
    std::vector<Stretch> m_busy;
    std::size_t m_first = 0;
};
