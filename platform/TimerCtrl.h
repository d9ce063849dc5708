#pragma once

// A timer lent out by the platform. Times are in seconds. Waits block the calling thread
// until an absolute deadline; WaitIntervals moves its deadline on from the previous one, so a
// loop of WaitIntervals(1) ticks exactly one interval apart whatever work happens between.
class CTimerCtrl {
public:
    virtual ~CTimerCtrl() = default;
    virtual void SetInterval(double seconds) = 0;
    // Records the start time and sets the next tick deadline to it.
    virtual void Start() = 0;
    // Waits the given time from now.
    virtual void Wait(double seconds) = 0;
    // Seconds since the last Start.
    virtual double Elapsed() = 0;
    // Moves the next tick deadline on by n intervals and waits until it is reached; returns at
    // once when that deadline has already passed.
    virtual void WaitIntervals(int n) = 0;
};
