#pragma once

#include "platform/Serial.h"

class CTimerCtrl;

#include <cstdint>
#include <string>

// Line settings of a port: parity 0 none / 1 odd / 2 even; stop bits 0 one / 1 one and a
// half / 2 two; character size in data bits.
struct LineSettings {
    int baud = 9600;
    int parity = 0;
    int stopBits = 0;
    int charSize = 8;
};

// The port's behaviour, written once over a handful of device primitives: waiting for bytes
// in character times, reads, the plain and the block-echo write with the echo check, error
// polls, break waits, sync pulse detection and the setters that purge. CPosixSerial supplies
// the primitives on termios, the simulator's port on its simulated wire.
class CPolledSerial : public CSerial {
public:
    CPolledSerial() = default;

    void PurgeInput() override;
    double GetByteTime() override;
    ~CPolledSerial() override = default;
    void OpenPort(unsigned port) override;
    void Close() override;
    unsigned GetPortNumber() override;
    void Read(uint8_t* buffer, unsigned count, unsigned timeoutMs) override;
    void Write(const uint8_t* data, unsigned count, unsigned timeoutMs) override;
    bool WaitForCommError(int errorMask, unsigned timeoutMs) override;
    bool DetectSyncPulse(unsigned timeoutMs) override;
    void WaitForBytesUnless(unsigned count, unsigned timeoutMs) override;
    void Configure(int baud, int parity, int stopBits, int charSize) override;
    int GetStopBits() override;
    void SetStopBits(int stopBits) override;
    int GetCharSize() override;
    void SetCharSize(int charSize) override;
    int GetParity() override;
    void SetParity(int parity) override;
    int GetBaud() override;
    // Waits (bounded by the time the queued bytes take at the current rate) until the bytes
    // written so far have left, then changes the rate.
    void SetBaud(int baud) override;

    // The most bytes one write may carry while echo mode is on.
    static constexpr unsigned kEchoBufferSize = 1024;
    // Port numbers name COM1 to COM99.
    static constexpr unsigned kMaxPortNumber = 99;

    // Raises the CCommError for a set of CE_* flags (the first matching flag wins).
    [[noreturn]] static void RaiseForErrorFlags(int flags);
    // Raises the CCommError of a device that has gone (kCommDeviceGone): `device` names it,
    // `what` says which operation found out.
    [[noreturn]] static void RaiseDeviceGone(const std::string& device, const char* what);
    // How messages name port `port` on `device`: "com3 (/dev/ttyUSB0)", or the device alone
    // when the user gave it by its path.
    static std::string PortName(unsigned port, const std::string& device);

protected:
    // Device primitives. Each raises a CCommError only where noted, and any of them raises
    // RaiseDeviceGone's error when the device has gone (unplugged); otherwise it reports
    // failure through its result.
    // Opens the device for port number `port` exclusively; raises CCommError code 1 when it
    // cannot be opened (the text says why and what to do).
    virtual void OpenDevice(unsigned port) = 0;
    virtual void CloseDevice() = 0;
    // Applies the settings to the device; false when the device refuses them.
    virtual bool ApplyLineSettings(const LineSettings& settings) = 0;
    // Hands up to `count` bytes to the driver in one call (a non-blocking write on POSIX; on
    // Windows WriteFile, bounded by the port's write time-out); returns how many it took, 0
    // when it cannot take any yet.
    virtual unsigned TransmitBytes(const uint8_t* data, unsigned count) = 0;
    virtual unsigned InputQueueCount() = 0;
    // Bytes the driver still holds for sending (TIOCOUTQ; ClearCommError's output count). A
    // device that cannot tell (a pseudo-terminal) says 0: the wait for a write to leave then
    // rests on the time its bytes need at the line rate.
    virtual unsigned OutputQueueCount() = 0;
    // Takes `count` bytes from the input queue; false when the device read fails.
    virtual bool ReadQueued(uint8_t* buffer, unsigned count) = 0;
    // The CE_* flags raised since the previous call.
    virtual int ReadAndClearErrors() = 0;
    // Sleeps until input is queued or `seconds` have passed, for a device that can tell when
    // input arrives: Arrived, TimeUp, or Unsupported when it cannot (the wait then looks at the
    // input queue on its timer instead).
    enum class InputWait { Arrived, TimeUp, Unsupported };
    virtual InputWait BlockUntilInput(double seconds)
    {
        (void)seconds;
        return InputWait::Unsupported;
    }
    virtual void PurgeDevice(bool receive, bool transmit) = 0;

    const LineSettings& LiveSettings() const { return m_live; }

private:
    // Applies `settings` as the live line; raises CCommError 12 with `failureText` when the
    // device refuses them (or the port is closed), else purges both directions.
    void ChangeLiveSettings(const LineSettings& settings, const char* failureText);
    // Waits until `count` bytes are queued, ticking on `timer` (already borrowed).
    void WaitForQueued(CTimerCtrl& timer, unsigned count, unsigned timeoutMs);
    // Polls the error flags every 2 ms until some flag in `mask` is set (`wantSet`) or none
    // is (`!wantSet`); false when the time-out passes first.
    bool PollErrorFlags(int mask, unsigned timeoutMs, bool wantSet);
    bool WaitForBreakEnd(int mask, unsigned timeoutMs);
    void DrainOutput();
    // Writes `count` bytes to the driver whole (in one call unless its buffer is full) and
    // waits until they have left: the character times they need from the hand-over, then the
    // driver's output queue empty. Starts `timer`; returns how many bytes have gone, `count`
    // unless `limitSeconds` passed first. A time-out that follows counts from the last byte
    // leaving, as it would on a UART fed one byte at a time.
    unsigned SendWhole(CTimerCtrl& timer, const uint8_t* data, unsigned count, double limitSeconds);
    // Sleeps until the driver's output queue is empty, looking again after the time what it
    // holds needs; false when `limitSeconds` on `timer` pass first.
    bool AwaitOutputEmpty(CTimerCtrl& timer, double limitSeconds);
    void PlainWrite(const uint8_t* data, unsigned count, unsigned timeoutMs);
    void BlockEchoWrite(const uint8_t* data, unsigned count, unsigned timeoutMs);
    // Raises the echo mismatch error at the first byte of the echo buffer that differs.
    void CompareEcho(const uint8_t* data, unsigned count) const;
    // After a failed device read: raises the error for the flags set, or code 9 when none is.
    [[noreturn]] void RaiseReadFailure(const char* what, unsigned count);

    LineSettings m_pending;
    LineSettings m_live;
    bool m_configured = false;
    unsigned m_portNumber = 0;
    bool m_open = false;
    uint8_t m_echoBuffer[kEchoBufferSize] = {};
};
