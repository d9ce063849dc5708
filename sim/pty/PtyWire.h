#pragma once

#include "platform/PtyLineState.h"
#include "sim/LineSchedule.h"
#include "sim/SimWire.h"
#include "sim/VirtualClock.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// The far end of a pseudo-terminal on the real monotonic clock: the simulated radio's line
// when the program under test opens a real serial device. It keeps its own slave descriptor
// open (so the program opening and closing the port never leaves the master without a
// partner), publishes the slave's path as a symlink, reads the program's line settings
// through the master (any rate, 553 and 4430 Bd included), paces bytes in both directions at
// the rate the program set, and carries breaks and framing errors in the window-size record
// (see PtyLineState.h), always updated before the data that follows them is written.
//
// Run() is the event loop: one thread, poll() with a deadline, no spinning. Everything the
// peer does happens on that thread; other threads hand work over with Post().
class CPtyWire : public CSimWire {
public:
    CPtyWire();
    ~CPtyWire() override;
    CPtyWire(const CPtyWire&) = delete;
    CPtyWire& operator=(const CPtyWire&) = delete;

    const std::string& SlavePath() const { return m_slavePath; }
    // Publishes the program's end at `link`, a symlink made under a temporary name and renamed
    // into place. Something already at `link` is refused, unless `replace` is given and it is a
    // link. Removed again on destruction, only if it still points at this terminal.
    void Publish(const std::string& link, bool replace = false);
    void SetPeer(CSimPeer* peer) { m_peer = peer; }

    // Runs until `keepRunning` returns false; it is asked at least every 20 ms.
    void Run(const std::function<bool()>& keepRunning);
    // Runs `action` on the loop's thread as soon as it can (thread-safe).
    void Post(std::function<void()> action);
    PtyLineState LineState() const { return m_line; }

    // CSimWire
    double Now() override;
    void At(double time, std::function<void()> action) override;
    double SendToHost(const uint8_t* bytes, std::size_t count, const LineSettings& sentWith, double notBefore) override;
    void SendBreak(double start, double duration) override;
    void RaiseLineError(int flags, double time) override;
    LineSettings HostSettings() override;

private:
    void RunDueEvents();
    void ReadFromProgram();
    void CheckSettings();
    void DeliverToProgram(uint8_t byte, const LineSettings& sentWith);
    void PublishLineState();
    void TakePosted();

    int m_master = -1;
    int m_slave = -1;
    int m_wake[2] = {-1, -1};
    std::string m_slavePath;
    std::string m_link;
    CSimPeer* m_peer = nullptr;
    double m_origin = 0;
    // Actions due at times of the monotonic clock, run by the loop as the clock reaches them.
    CVirtualClock m_events;
    CLineSchedule m_toProgram;
    double m_fromProgramBusyUntil = 0;
    int m_breaksHeld = 0;
    PtyLineState m_line;
    LineSettings m_lastSettings{};
    bool m_haveSettings = false;
    double m_nextSettingsCheck = 0;
    std::mutex m_postedLock;
    std::vector<std::function<void()>> m_posted;
};
