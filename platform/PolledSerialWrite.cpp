#include "platform/FlashWriteMode.h"
#include "platform/PolledSerial.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "platform/PortTimerLoan.h"

#include <algorithm>

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

unsigned CPolledSerial::SendWhole(CTimerCtrl& timer, const uint8_t* data, unsigned count, double limitSeconds)
{
    const double byteTime = GetByteTime();
    timer.SetInterval(byteTime);
    timer.Start();
    unsigned handed = TransmitBytes(data, count);
    while (handed < count) {
        if (timer.Elapsed() > limitSeconds)
            return handed;
        // The driver's buffer is full: room comes as what it holds goes out.
        const unsigned queued = std::max(1u, OutputQueueCount());
        timer.Wait(std::min(queued, count - handed) * byteTime);
        handed += TransmitBytes(data + handed, count - handed);
    }
    // The bytes need this long on the line from the hand-over; a driver that keeps a queue must
    // also have sent them all (bounded, so that a stuck driver cannot hold the write for ever).
    timer.WaitIntervals(static_cast<int>(count));
    if (!AwaitOutputEmpty(timer, std::max(limitSeconds, (count + 2) * byteTime))) {
        const unsigned left = std::min(count, OutputQueueCount());
        return count - left;
    }
    return count;
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
    const unsigned sent = SendWhole(timer, data, count, timeoutMs * 0.001);
    if (sent < count) {
        loan.Release();
        throw CCommError(kCommNoData, "CWinSerial::Write: Timeout after sending out %d bytes", static_cast<int>(sent));
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
    const bool echo = GetEchoMode() == 1;
    // Each chunk goes whole and its echo is collected before the next; without the echo there
    // is nothing to wait for between chunks, and the bytes go whole.
    const unsigned chunkSize = echo ? kEchoChunk : count;
    for (unsigned done = 0; done < count;) {
        const unsigned chunk = std::min(chunkSize, count - done);
        const unsigned sent = SendWhole(timer, data + done, chunk, perByteMs * chunk * 0.001);
        if (sent < chunk) {
            loan.Release();
            throw CCommError(kCommNoData, "CWinSerial::Write: Timeout after sending out %d bytes",
                             static_cast<int>(done + sent));
        }
        const int lastByte = static_cast<int>(done + chunk - 1);
        if (echo) {
            try {
                WaitForQueued(timer, chunk, kEchoChunkTimeoutMs);
            } catch (const CError& error) {
                loan.Release();
                ErrorLog().Log("%s", error.GetText());
                ErrorLog().Log("CWinSerial::Write: Timeout after sending out %d bytes", lastByte);
                throw;
            }
            if (!ReadQueued(m_echoBuffer + done, chunk)) {
                loan.Release();
                ErrorLog().Log("CWinSerial::Write: Read echo byte failed");
                ErrorLog().Log("CWinSerial::Write: Comm read failure after sending out %d bytes", lastByte);
                RaiseReadFailure("CWinSerial::Write", chunk);
            }
        }
        done += chunk;
    }
    loan.Release();
    if (echo)
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
