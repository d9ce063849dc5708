#pragma once

#include "platform/PolledSerial.h"

#include <cstddef>
#include <cstdint>
#include <functional>

// The far end of a simulated serial line: whatever sits behind the PC's port (the interface
// box and the radio). It hears the PC's bytes as they finish arriving on the wire.
class CSimPeer {
public:
    virtual ~CSimPeer() = default;
    // One byte from the PC has arrived; `sentWith` is the PC's line setting when it was sent
    // (a receiver at another rate would read garbage: that decision is the peer's).
    virtual void OnHostByte(uint8_t byte, const LineSettings& sentWith) = 0;
    // The PC opened or closed its port, or changed its line settings.
    virtual void OnHostOpen(const LineSettings&) {}
    virtual void OnHostClose() {}
    virtual void OnHostLineChange(const LineSettings&) {}
};

// What a peer can do to the line, and its clock. Times are seconds on the line's clock: the
// virtual clock in-process, the monotonic clock on a pseudo-terminal.
class CSimWire {
public:
    virtual ~CSimWire() = default;
    virtual double Now() = 0;
    // Runs `action` when the clock reaches `time` (at once-ish when it already has).
    virtual void At(double time, std::function<void()> action) = 0;
    // Puts bytes on the line to the PC, one after another at the rate of `sentWith`, after
    // whatever is already on the way and no earlier than `notBefore`. A PC listening at
    // another setting receives each byte garbled with a framing error. Returns the time at
    // which the last byte has arrived.
    virtual double SendToHost(const uint8_t* bytes, std::size_t count, const LineSettings& sentWith,
                              double notBefore) = 0;
    // Holds the line in the break state from `start` for `duration` seconds.
    virtual void SendBreak(double start, double duration) = 0;
    // Makes the PC's next error poll report these CE_* flags (from `time` on).
    virtual void RaiseLineError(int flags, double time) = 0;
    // The PC's line setting now.
    virtual LineSettings HostSettings() = 0;
    // The cable to the PC comes out and goes back in: a port the PC has open fails every
    // operation until it is closed and opened again, as a USB adapter's does. Only the
    // in-process wire can do this; elsewhere it does nothing.
    virtual void Unplug() {}
};

// Seconds one character takes on a line with these settings.
double CharacterTime(const LineSettings& settings);
// True when a receiver at `receiver` reads what a sender at `sender` sends correctly (rates
// within 3% of each other, same character size and parity).
bool SettingsCompatible(const LineSettings& sender, const LineSettings& receiver);
// What a receiver at another setting reads for `byte`: the wrong bits, and no stop bit where
// it expects one (a framing error). The one rule every simulated receiver applies.
uint8_t GarbledByte(uint8_t byte);
