#include "platform/FlashWriteMode.h"
#include "platform/PolledSerial.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "platform/PortTimerLoan.h"

// Writing: the plain write with its echo read, the block-echo write used while flashing, and
// the sync pulse detection of the bootstrap.

namespace {
constexpr unsigned kEchoChunk = 5;
constexpr unsigned kEchoChunkTimeoutMs = 6000;
constexpr unsigned kSyncPulseBaud = 300;
constexpr int kSyncPulseTries = 3;

bool BlockEchoRate(int baud) { return baud == 9600 || baud == 19200 || baud == 38400; }

bool LooksLikeSyncPulse(uint8_t byte)
{
    return byte == 0xC0 || byte == 0xE0 || byte == 0xF8 || byte == 0xFC || byte == 0xFE;
}
} // namespace

bool CPolledSerial::SendByte(CTimerCtrl& timer, uint8_t byte, double limitSeconds)
{
    while (!TransmitChar(byte)) {
        if (timer.Elapsed() > limitSeconds)
            return false;
        // Give the driver one character time to make room.
        timer.Wait(GetByteTime());
    }
    return true;
}

void CPolledSerial::CompareEcho(const uint8_t* data, unsigned count) const
{
    for (unsigned i = 0; i < count; ++i) {
        if (m_echoBuffer[i] != data[i])
            throw CCommError(kCommEchoMismatch, "CWinSerial::Write: Echo byte %d does not match transmitted character",
                             static_cast<int>(i));
    }
}

void CPolledSerial::Write(const uint8_t* data, unsigned count, unsigned timeoutMs)
{
    if (count == 0)
        return;
    if (GetEchoMode() == 1 && count > kEchoBufferSize) {
        // The echo of a longer write would not fit the echo buffer.
        throw CGenError(3, "CWinSerial::Write: %u bytes are too many for one write with echo on (at most %u)",
                        count, kEchoBufferSize);
    }
    if (ReadAndClearErrors() & CE_BREAK) {
        if (!WaitForBreakEnd(CE_BREAK, timeoutMs))
            throw CCommError(10, "CWinSerial::Write: Timeout while waiting for break condition to terminate");
        PurgeInput();
    }
    // Bytes an earlier write left in the driver are still on their way: they are not purged.
    if (FlashWriteMode == 1 && BlockEchoRate(m_live.baud))
        BlockEchoWrite(data, count, timeoutMs);
    else
        PlainWrite(data, count, timeoutMs);
}

void CPolledSerial::PlainWrite(const uint8_t* data, unsigned count, unsigned timeoutMs)
{
    CPortTimerLoan loan;
    if (!loan.Held())
        throw CGenError(1);
    CTimerCtrl& timer = loan.Timer();
    timer.Start();
    for (unsigned i = 0; i < count; ++i) {
        if (!SendByte(timer, data[i], timeoutMs * 0.001)) {
            loan.Release();
            throw CCommError(kCommNoData, "CWinSerial::Write: Timeout after sending out %d bytes", static_cast<int>(i));
        }
    }
    // Whatever transmission left of the time-out goes to the echo; never less than nothing,
    // so the echo still gets its inter-byte allowance.
    double leftMs = timeoutMs - timer.Elapsed() * 1000.0;
    const unsigned timeLeft = leftMs > 0 ? static_cast<unsigned>(leftMs) : 0;
    loan.Release();
    if (GetEchoMode() == 1) {
        Read(m_echoBuffer, count, timeLeft);
        CompareEcho(data, count);
    }
}

void CPolledSerial::BlockEchoWrite(const uint8_t* data, unsigned count, unsigned timeoutMs)
{
    const unsigned perByteMs = timeoutMs / count;
    CPortTimerLoan loan;
    if (!loan.Held())
        throw CGenError(1);
    // The echo waits tick on the timer this write already holds.
    CTimerCtrl& timer = loan.Timer();
    for (unsigned i = 0; i < count; ++i) {
        timer.Start();
        if (!SendByte(timer, data[i], perByteMs * 0.001)) {
            loan.Release();
            throw CCommError(kCommNoData, "CWinSerial::Write: Timeout after sending out %d bytes", static_cast<int>(i));
        }
        const unsigned sent = i + 1;
        unsigned chunk = 0;
        if (sent % kEchoChunk == 0)
            chunk = kEchoChunk;
        else if (sent == count)
            chunk = count % kEchoChunk;
        if (chunk == 0 || GetEchoMode() != 1)
            continue;
        try {
            WaitForQueued(timer, chunk, kEchoChunkTimeoutMs);
        } catch (const CError& error) {
            loan.Release();
            ErrorLog().Log("%s", error.GetText());
            ErrorLog().Log("CWinSerial::Write: Timeout after sending out %d bytes", static_cast<int>(i));
            throw;
        }
        if (!ReadQueued(m_echoBuffer + (sent - chunk), chunk)) {
            loan.Release();
            ErrorLog().Log("CWinSerial::Write: Read echo byte failed");
            ErrorLog().Log("CWinSerial::Write: Comm read failure after sending out %d bytes", static_cast<int>(i));
            RaiseReadFailure("CWinSerial::Write", chunk);
        }
    }
    loan.Release();
    if (GetEchoMode() == 1)
        CompareEcho(data, count);
}

bool CPolledSerial::DetectSyncPulse(unsigned timeoutMs)
{
    const int savedBaud = GetBaud();
    try {
        SetBaud(kSyncPulseBaud);
        bool pulse = false;
        for (int attempt = 0; attempt < kSyncPulseTries && !pulse; ++attempt) {
            PurgeInput();
            uint8_t byte = 0;
            Read(&byte, 1, timeoutMs);
            pulse = LooksLikeSyncPulse(byte);
        }
        SetBaud(savedBaud);
        return pulse;
    } catch (const CError& error) {
        if (GetBaud() != savedBaud) {
            try {
                SetBaud(savedBaud);
            } catch (const CError& restoreError) {
                ErrorLog().Log("%s", restoreError.GetText());
            }
        }
        ErrorLog().Log("%s", error.GetText());
        throw CGenError(3, "General Communication Error");
    }
}
