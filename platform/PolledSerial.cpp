#include "platform/PolledSerial.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "platform/PortTable.h"
#include "platform/PortTimerLoan.h"

#include <algorithm>
#include <cstdint>

int FlashWriteMode = 0;

namespace {
// One stop bit, one and a half, two: the stored values 0, 1 and 2.
double StopBitLength(int stopBits)
{
    switch (stopBits) {
    case 1:
        return 1.5;
    case 2:
        return 2.0;
    default:
        return 1.0;
    }
}
} // namespace

void CPolledSerial::RaiseForErrorFlags(int flags)
{
    if (flags & CE_BREAK)
        throw CCommError(10, "Break detected while accessing communication port");
    if (flags & CE_FRAME)
        throw CCommError(7, "Framing error detected while accessing communication port");
    if (flags & CE_OVERRUN)
        throw CCommError(8, "Overrun detected while accessing communication port");
    if (flags & CE_RXPARITY)
        throw CCommError(6, "Parity error detected while accessing communication port");
    if (flags & CE_RXOVER)
        throw CCommError(5, "Communication port input buffer overflow");
    if (flags & CE_TXFULL)
        throw CCommError(4, "Communication port output buffer overflow");
    throw CCommError(9, "Unknown IO error occured while accessing communication port");
}

void CPolledSerial::RaiseDeviceGone(const std::string& device, const char* what)
{
    throw CCommError(kCommDeviceGone,
                     "The serial device %s has gone while %s: reconnect it (is the USB cable plugged in?), "
                     "then try again",
                     device.c_str(), what);
}

std::string CPolledSerial::PortName(unsigned port, const std::string& device)
{
    // A device given by its path is named by that path alone: its number is only this run's.
    if (PortTable().GivenByPath(port))
        return device;
    return "com" + std::to_string(port) + " (" + device + ")";
}

void CPolledSerial::RaiseReadFailure(const char* what, unsigned count)
{
    int flags = ReadAndClearErrors();
    if (flags == 0) {
        // A failed read without a line error is still a failure: the bytes were not read.
        ErrorLog().Log("%s: reading %u queued bytes failed without a line error", what, count);
    }
    RaiseForErrorFlags(flags);
}

void CPolledSerial::PurgeInput() { PurgeDevice(true, false); }

double CPolledSerial::GetByteTime()
{
    double bits = 1.0 + m_live.charSize + StopBitLength(m_live.stopBits);
    if (m_live.parity == 1 || m_live.parity == 2)
        bits += 1.0;
    return bits / m_live.baud;
}

void CPolledSerial::OpenPort(unsigned port)
{
    if (m_portNumber != 0)
        Close();
    if (port < 1 || port > kMaxPortNumber)
        throw CCommError(1, "CWinSerial::Open: Unable to open com%u: port numbers run from 1 to %u", port,
                         kMaxPortNumber);
    m_portNumber = port;
    OpenDevice(port);
    m_open = true;
    if (!ApplyLineSettings(m_pending))
        throw CCommError(12, "CWinSerial::OpenPort: SetCommState returned false");
    m_live = m_pending;
    PurgeDevice(true, true);
}

void CPolledSerial::Close()
{
    if (m_open)
        CloseDevice();
    m_open = false;
    m_portNumber = 0;
}

unsigned CPolledSerial::GetPortNumber() { return m_portNumber; }

void CPolledSerial::WaitForBytesUnless(unsigned count, unsigned timeoutMs)
{
    if (count == 0)
        return;
    CPortTimerLoan loan;
    if (!loan.Held()) {
        ErrorLog().Log("CWinSerial::WaitForBytesUnless: Allocating timer to wait for bytes %d bytes",
                       static_cast<int>(count));
        throw CGenError(1);
    }
    WaitForQueued(loan.Timer(), count, timeoutMs);
}

void CPolledSerial::WaitForQueued(CTimerCtrl& timer, unsigned count, unsigned timeoutMs)
{
    const double byteTime = GetByteTime();
    // Whole character times in the time-out (held below the top of the range, so that a
    // huge time-out at a fast rate cannot overflow the count).
    const double wholeTimes = timeoutMs * 0.001 / byteTime;
    constexpr unsigned kMostTimes = 0xFFFFFFFEu;
    const unsigned byteTimes = wholeTimes >= kMostTimes ? kMostTimes : static_cast<unsigned>(wholeTimes);
    unsigned idleLimit = (byteTimes + 1) / count;
    if (idleLimit == 0)
        idleLimit = 1;

    const auto timedOut = [idleLimit](unsigned queued) {
        ErrorLog().Log("Number of byteTime timeout = %d", static_cast<int>(idleLimit));
        if (queued == 0)
            throw CCommError(kCommNoData, "CWinSerial::WaitForBytesUnless: No data received when timeout");
        throw CCommError(3, "CWinSerial::WaitForBytesUnless: Timeout after receiving %d bytes",
                         static_cast<int>(queued));
    };

    // The timer ticks in quarter character times: a byte that is due is looked for again a
    // quarter of a character time later, not a whole one, so a reply or an echo is taken soon
    // after its last byte comes.
    constexpr unsigned kLooksPerByte = 4;
    timer.SetInterval(byteTime / kLooksPerByte);
    const uint64_t idleLimitLooks = static_cast<uint64_t>(idleLimit) * kLooksPerByte;
    unsigned queued = InputQueueCount();
    // Whether the queue has just been seen to gain its first byte: the rest then come one
    // character time after another from now.
    bool firstJustCame = false;
    if (queued == 0) {
        // Nothing in yet (an acknowledgement or a reply still on its way): a device that can
        // tell sleeps until the first byte or the time-out, rather than looking every character
        // time, and the character times below count from that byte.
        const InputWait first = BlockUntilInput(idleLimit * byteTime);
        if (first == InputWait::TimeUp)
            timedOut(InputQueueCount());
        if (first == InputWait::Arrived) {
            queued = InputQueueCount();
            firstJustCame = true;
        }
    }
    timer.Start();
    unsigned seen = queued;
    uint64_t idle = 0;
    while (queued < count) {
        if (idle >= idleLimitLooks)
            timedOut(queued);
        // The missing bytes cannot all be in before this many character times: sleep until then
        // (or until the idle limit), not one look at a time. When nothing has come yet, or the
        // first byte has just come, the rest come in step from now. Bytes found waiting came
        // at some time since the last look, so the last missing one may be due within a
        // character time: it is looked for a quarter of one later.
        const unsigned missing = count - queued;
        const bool inStepFromNow = queued == 0 || firstJustCame;
        const uint64_t due = inStepFromNow ? static_cast<uint64_t>(missing) * kLooksPerByte
                                           : static_cast<uint64_t>(missing - 1) * kLooksPerByte + 1;
        firstJustCame = false;
        const uint64_t looks = std::min(due, idleLimitLooks - idle);
        timer.WaitIntervals(static_cast<int>(std::min<uint64_t>(looks, INT32_MAX)));
        queued = InputQueueCount();
        idle += looks;
        if (queued != seen) {
            seen = queued;
            idle = 0;
        }
    }
}

void CPolledSerial::Read(uint8_t* buffer, unsigned count, unsigned timeoutMs)
{
    if (count == 0)
        return;
    if (timeoutMs > 250ULL * count && timeoutMs > 60000) {
        ErrorLog().Log("Timeout is too big, timeout = %d", static_cast<int>(timeoutMs));
        throw CGenError(3, "Timeout specified is too big");
    }
    WaitForBytesUnless(count, timeoutMs);
    if (!ReadQueued(buffer, count))
        RaiseReadFailure("CWinSerial::Read", count);
}

bool CPolledSerial::PollErrorFlags(int mask, unsigned timeoutMs, bool wantSet)
{
    CPortTimerLoan loan;
    if (!loan.Held())
        throw CGenError(1);
    CTimerCtrl& timer = loan.Timer();
    timer.Start();
    int flags = ReadAndClearErrors();
    for (;;) {
        if (((flags & mask) != 0) == wantSet)
            return true;
        timer.Wait(0.002);
        if (timer.Elapsed() > timeoutMs * 0.001)
            return false;
        flags = ReadAndClearErrors();
    }
}

bool CPolledSerial::WaitForCommError(int errorMask, unsigned timeoutMs)
{
    return PollErrorFlags(errorMask, timeoutMs, true);
}

bool CPolledSerial::WaitForBreakEnd(int mask, unsigned timeoutMs)
{
    return PollErrorFlags(mask, timeoutMs, false);
}

void CPolledSerial::Configure(int baud, int parity, int stopBits, int charSize)
{
    m_pending = LineSettings{baud, parity, stopBits, charSize};
    m_configured = true;
}

void CPolledSerial::ChangeLiveSettings(const LineSettings& settings, const char* failureText)
{
    if (!m_open || !ApplyLineSettings(settings))
        throw CCommError(12, "%s", failureText);
    m_live = settings;
    PurgeDevice(true, true);
}

int CPolledSerial::GetStopBits() { return m_live.stopBits; }

void CPolledSerial::SetStopBits(int stopBits)
{
    LineSettings settings = m_live;
    settings.stopBits = (stopBits == 1 || stopBits == 2) ? stopBits : 0;
    ChangeLiveSettings(settings, "CWinSerial::SetStopBits: SetCommState returned false");
}

int CPolledSerial::GetCharSize() { return m_live.charSize; }

void CPolledSerial::SetCharSize(int charSize)
{
    LineSettings settings = m_live;
    settings.charSize = charSize;
    ChangeLiveSettings(settings, "CWinSerial::SetCharSize: SetCommState returned false");
}

int CPolledSerial::GetParity() { return m_live.parity; }

void CPolledSerial::SetParity(int parity)
{
    LineSettings settings = m_live;
    settings.parity = parity;
    ChangeLiveSettings(settings, "WinSerial::SetParity: SetCommState returned false");
}

int CPolledSerial::GetBaud() { return m_live.baud; }

bool CPolledSerial::AwaitOutputEmpty(CTimerCtrl& timer, double limitSeconds)
{
    const double byteTime = GetByteTime();
    unsigned queued = OutputQueueCount();
    while (queued > 0) {
        const double left = limitSeconds - timer.Elapsed();
        if (left <= 0)
            return false;
        timer.Wait(std::min(queued * byteTime, left));
        queued = OutputQueueCount();
    }
    return true;
}

void CPolledSerial::DrainOutput()
{
    unsigned queued = m_open ? OutputQueueCount() : 0;
    if (queued == 0)
        return;
    CPortTimerLoan loan;
    if (!loan.Held())
        throw CGenError(1);
    CTimerCtrl& timer = loan.Timer();
    // What is queued takes this long at the old rate; one character more for the byte in the
    // shift register. Bounded, so that a stuck driver cannot hold the change for ever.
    const double byteTime = GetByteTime();
    const double limit = (queued + 2) * byteTime;
    timer.Start();
    if (!AwaitOutputEmpty(timer, limit))
        ErrorLog().Log("CWinSerial::SetBaud: %u bytes were still queued for transmission after %.0f ms",
                       OutputQueueCount(), limit * 1000.0);
    // The last byte leaves the shift register.
    timer.Wait(byteTime);
}

void CPolledSerial::SetBaud(int baud)
{
    // Bytes on their way out (the boot code's last chunk, the last frame before a rate change)
    // go at the rate they were written at.
    DrainOutput();
    LineSettings settings = m_live;
    settings.baud = baud;
    ChangeLiveSettings(settings, "CWinSerial::SetBaud: SetCommState returned false");
}
