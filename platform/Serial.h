#pragma once

#include <cstdint>

// Line error flags reported by a port's error poll (the values of the classic comm API).
enum : int {
    CE_RXOVER = 0x0001,
    CE_OVERRUN = 0x0002,
    CE_RXPARITY = 0x0004,
    CE_FRAME = 0x0008,
    CE_BREAK = 0x0010,
    CE_TXFULL = 0x0100,
};

// CCommError codes that callers act on: no data before the time-out; an echo that differs
// from what was sent; a device that has gone (a USB adapter unplugged), where nothing on the
// line can work until it is reconnected, so nobody retries it.
enum : int { kCommNoData = 2, kCommEchoMismatch = 11, kCommDeviceGone = 13 };

// The one serial port of the program: blocking, polled byte I/O with time-outs counted in
// character times, optional checking of the interface box's echo on writes, and the line
// services the bootstrap download needs. Time-outs are in milliseconds.
class CSerial {
public:
    CSerial() = default;
    CSerial(const CSerial&) = delete;
    CSerial& operator=(const CSerial&) = delete;

    virtual void PurgeInput() = 0;
    virtual double GetByteTime() = 0;
    virtual ~CSerial() = default;
    virtual uint8_t GetEchoMode() { return m_echoMode; }
    virtual void SetEchoMode(uint8_t mode) { m_echoMode = mode; }
    virtual void OpenPort(unsigned port) = 0;
    virtual void Close() = 0;
    virtual unsigned GetPortNumber() = 0;
    virtual void Read(uint8_t* buffer, unsigned count, unsigned timeoutMs) = 0;
    virtual void Write(const uint8_t* data, unsigned count, unsigned timeoutMs) = 0;
    virtual bool WaitForCommError(int errorMask, unsigned timeoutMs) = 0;
    virtual bool DetectSyncPulse(unsigned timeoutMs) = 0;
    virtual void WaitForBytesUnless(unsigned count, unsigned timeoutMs) = 0;
    virtual void Configure(int baud, int parity, int stopBits, int charSize) = 0;
    virtual int GetStopBits() = 0;
    virtual void SetStopBits(int stopBits) = 0;
    virtual int GetCharSize() = 0;
    virtual void SetCharSize(int charSize) = 0;
    virtual int GetParity() = 0;
    virtual void SetParity(int parity) = 0;
    virtual int GetBaud() = 0;
    virtual void SetBaud(int baud) = 0;

private:
    uint8_t m_echoMode = 0;
};
