#pragma once

#include <ctime>
#include <memory>

class CLog;
class CSerial;
class CTimerCtrl;

// The single owner of what touches the operating system: the serial port, three timers and
// the log sinks. Everything else borrows them and gives them back; nothing is allocated per
// loan. A refused loan is returned as null and reported by the borrower.
class CPlatform {
public:
    virtual void ReleaseDelayTimer() = 0;
    virtual void ReleasePortTimer() = 0;
    virtual CTimerCtrl* GetDelayTimer() = 0;
    virtual CTimerCtrl* GetPortTimer() = 0;
    virtual ~CPlatform() = default;
    // Sink 0 is the file log "tsErrlog.txt"; other sinks are platform specific (null when
    // the platform has none). The caller owns the result.
    virtual CLog* CreateLog(int sink) = 0;
    virtual CSerial* GetSerial() = 0;
    virtual CTimerCtrl* GetSpareTimer() = 0;
    // Gives the port back and closes it.
    virtual void ReleaseSerial() = 0;
    virtual void ReleaseSpareTimer() = 0;

    // Sleeps, yielding the processor (the simulated platform advances its clock instead).
    virtual void Sleep(unsigned milliseconds) = 0;
    // The calendar time in seconds (the identity mark is taken from it).
    virtual std::time_t CalendarTime() = 0;
    // Seconds on a clock that never jumps, for stamping traces.
    virtual double MonotonicTime() = 0;
};

// The one platform object: made on first use (the POSIX platform) and the same afterwards.
CPlatform* GetPlatform();

// Installs another platform (a test's or the simulator's) and returns the previous one, if
// any. Borrowed objects of the previous platform must have been given back.
std::unique_ptr<CPlatform> InstallPlatform(std::unique_ptr<CPlatform> platform);
