#pragma once

#include "platform/PolledSerial.h"
#include "sim/ByteRing.h"
#include "sim/LineSchedule.h"
#include "sim/PendingBytes.h"
#include "sim/SimWire.h"
#include "sim/VirtualClock.h"

#include <cstdint>

// The PC's serial port wired in-process to a simulated far end on the virtual clock. Bytes
// take one character time each on the wire in each direction, one after another; a byte sent
// at settings the receiver does not share arrives garbled with a framing error; breaks and
// line errors show in the error polls as a UART driver reports them. It is also the wire the
// far end (a CSimPeer) uses.
class CSimSerial : public CPolledSerial, public CSimWire {
public:
    CSimSerial() = default;
    ~CSimSerial() override;

    void Attach(CVirtualClock* clock, CSimPeer* peer);
    CSimPeer* Peer() const { return m_peer; }

    // Faults of the PC's side: the adapter unplugged (an open device raises the error of a
    // device that has gone, as EIO does; it cannot be opened), and a single device read that
    // fails with no error flag.
    void SetUnplugged(bool unplugged) { m_unplugged = unplugged; }
    void FailNextRead() { m_failNextRead = true; }
    // The size of the driver's input buffer; bytes beyond it are lost with CE_RXOVER.
    static constexpr std::size_t kInputBufferSize = 4096;
    // The size of the driver's output buffer; a write beyond it is taken in part.
    static constexpr unsigned kOutputBufferSize = 4096;

    // CSimWire
    double Now() override { return m_clock->Now(); }
    void At(double time, std::function<void()> action) override;
    double SendToHost(const uint8_t* bytes, std::size_t count, const LineSettings& sentWith,
                      double notBefore) override;
    void SendBreak(double start, double duration) override;
    void RaiseLineError(int flags, double time) override;
    LineSettings HostSettings() override { return m_settings; }
    void Unplug() override { m_pulledWhileOpen = m_deviceOpen; }
    // Whether the program has the port open now (tests: given back on every stop).
    bool DeviceOpen() const { return m_deviceOpen; }

protected:
    void OpenDevice(unsigned port) override;
    void CloseDevice() override;
    bool ApplyLineSettings(const LineSettings& settings) override;
    unsigned TransmitBytes(const uint8_t* data, unsigned count) override;
    unsigned InputQueueCount() override;
    unsigned OutputQueueCount() override;
    bool ReadQueued(uint8_t* buffer, unsigned count) override;
    int ReadAndClearErrors() override;
    void PurgeDevice(bool receive, bool transmit) override;

private:
    void Deliver(uint8_t byte, const LineSettings& sentWith);
    // The clock events of a byte's arrival at either end: they take it from m_onTheWire.
    void ArriveAtPeer(uint32_t slot);
    void ArriveAtHost(uint32_t slot);
    // The device is gone: unplugged now, or pulled out while open and not yet reopened.
    bool Gone() const { return m_unplugged || m_pulledWhileOpen; }

    CVirtualClock* m_clock = nullptr;
    CSimPeer* m_peer = nullptr;
    bool m_deviceOpen = false;
    bool m_unplugged = false;
    bool m_pulledWhileOpen = false;
    bool m_failNextRead = false;
    LineSettings m_settings;
    CByteRing<kInputBufferSize> m_input;
    int m_errors = 0;
    int m_breaksHeld = 0;
    double m_toPeerBusyUntil = 0;
    CLineSchedule m_toHost;
    unsigned m_bytesInFlight = 0;
    uint64_t m_transmitGeneration = 0;
    CPendingBytes m_onTheWire;
};
