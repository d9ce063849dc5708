#pragma once

#include <cstddef>
#include <functional>
#include <map>

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
    double PlaceBytes(double now, double notBefore, std::size_t count, double characterTime,
                      const std::function<void(std::size_t, double)>& arrive);
    void Clear() { m_busy.clear(); }

private:
    std::map<double, double> m_busy;  // start -> end of each reserved stretch
};
