#include "upgrade/Bootstrap.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "platform/Platform.h"
#include "platform/Serial.h"
#include "platform/StopRequest.h"

#include <algorithm>
#include <typeinfo>

namespace {

constexpr int kSyncAttempts = 3;
constexpr int kBootstrapLooks = 2;
constexpr unsigned kK4ChunkBytes = 10;
constexpr unsigned kFL0BlockBytes = 8;
constexpr unsigned kFL0AnswerBytes = 16;
constexpr uint8_t kSyncAnswer = 0xFF;
// A held break would keep the quiet-line wait going for ever; after this many looks (each up to
// 5 ms, about two seconds in all) the attempt is spent instead.
constexpr int kQuietLineLooks = 400;

void Sleep(unsigned ms) { GetPlatform()->Sleep(ms); }

// A CGenError of the port passes through; a device that has gone says so itself; any other error
// of the port is logged and the caller raises its own.
void PassThroughOrLog(const CError& error)
{
    if (typeid(error) == typeid(CGenError))
        throw;
    if (typeid(error) == typeid(CCommError) && error.GetCode() == kCommDeviceGone)
        throw;
    ErrorLog().Log("%s", error.GetText());
}

}  // namespace

void CBootstrap::Reset()
{
    m_serial = nullptr;
    m_loaderType = kUnknown;
}

uint8_t CBootstrap::SyncCharForBaud(int baud)
{
    switch (baud) {
    case 553:
        return 0xFF;
    case 1800:
        return 0xFD;
    case 2400:
        return 0xFD;
    case 3600:
        return 0xFF;
    case 4430:
        return 0xF0;
    case 4800:
        return 0xFD;
    default:
        return 0;
    }
}

uint8_t CBootstrap::GetSyncChar() { return SyncCharForBaud(m_serial->GetBaud()); }

void CBootstrap::SendBootcode(const uint8_t* code, unsigned length)
{
    if (m_loaderType == kUnknown)
        DetectLoader();
    if (m_loaderType == kFL0)
        FL0_Send_Bootcode(code, length);
    else if (m_loaderType == kK4)
        K4_Send_Bootcode(code, length);
    else
        throw CGenError(3, "Unknown bootstrap loader type %d", m_loaderType);
}

void CBootstrap::DetectLoader()
{
    if (!m_serial->WaitForCommError(CE_BREAK, 1000)) {
        m_loaderType = kK4;
        return;
    }
    for (int check = 0; check < 5; ++check) {
        Sleep(30);
        if (!m_serial->WaitForCommError(CE_BREAK, 200)) {
            m_loaderType = kK4;
            return;
        }
    }
    m_loaderType = kFL0;
}

unsigned CBootstrap::K4_Send_Bootcode(const uint8_t* code, unsigned length)
{
    const double charMs = m_serial->GetByteTime() * 1000.0;
    const unsigned chunkTimeout = static_cast<unsigned>((charMs + 2.0) * 10.0);
    const uint8_t sync = GetSyncChar();
    if (sync == 0) {
        ErrorLog().Log("Bootstrap::K4_Send_Bootcode: Bootstrap download baudrate is not set correctly");
        throw CGenError(3, "Bootstrap baudrate is not set correctly");
    }
    try {
        m_serial->Write(&sync, 1, 10);
    } catch (const CError& e) {
        PassThroughOrLog(e);
        ErrorLog().Log("Bootstrap::K4_Send_Bootcode: Write sync character failed");
        throw CGenError(3, "Write sync character failed");
    }
    Told(0);
    unsigned chunks = 0;
    for (unsigned offset = 0; offset < length; offset += kK4ChunkBytes) {
        // Between two chunks is a safe point for a stop.
        ThrowIfStopRequested("while the boot code was being sent");
        const unsigned count = std::min(kK4ChunkBytes, length - offset);
        try {
            m_serial->Write(code + offset, count, chunkTimeout);
        } catch (const CError& e) {
            PassThroughOrLog(e);
            ErrorLog().Log("Bootstrap::K4_Send_Bootcode: Sending bootcode at address %X failed", offset);
            throw CGenError(3, "Sending bootcode failed");
        }
        ++chunks;
        Told(chunks);
    }
    return chunks;
}

void CBootstrap::FL0_Send_Bootcode(const uint8_t* code, unsigned length)
{
    const unsigned padded = (length + kFL0BlockBytes - 1) / kFL0BlockBytes * kFL0BlockBytes;
    const uint8_t sync = GetSyncChar();
    if (sync == 0) {
        ErrorLog().Log("Bootstrap::FL0_Send_Bootcode: Bootstrap download baudrate is not set correctly");
        throw CGenError(3, "Bootstrap baudrate is not set correctly");
    }
    FL0_Sync(sync);
    Told(0);

    const uint8_t echoMode = m_serial->GetEchoMode();
    m_serial->SetEchoMode(0);
    const double charMs = m_serial->GetByteTime() * 1000.0;
    const unsigned blockTimeout = static_cast<unsigned>((charMs * 20.0 + 1.0) * 8.0);
    for (unsigned offset = 0; offset < padded; offset += kFL0BlockBytes) {
        // Between two blocks is a safe point for a stop.
        if (StopRequested()) {
            m_serial->SetEchoMode(echoMode);
            ThrowIfStopRequested("while the boot code was being sent");
        }
        // The last block of a code whose length is not a multiple of 8 is completed with zeros.
        uint8_t block[kFL0BlockBytes] = {};
        std::copy_n(code + offset, std::min(kFL0BlockBytes, length - offset), block);
        uint8_t answer[kFL0AnswerBytes] = {};
        try {
            m_serial->Write(block, kFL0BlockBytes, blockTimeout);
            m_serial->Read(answer, kFL0AnswerBytes, blockTimeout * 2);
        } catch (const CError& e) {
            PassThroughOrLog(e);
            ErrorLog().Log("CBootstrap::FL0_Send_Bootcode: Sending bootcode at address %X failed", offset);
            throw CGenError(3, "Sending bootcode failed");
        }
        if (!std::equal(block, block + kFL0BlockBytes, answer)) {
            m_serial->SetEchoMode(echoMode);
            throw CGenError(3, "Bootcode verification failed");
        }
        Told(offset / kFL0BlockBytes + 1);
    }
    m_serial->SetEchoMode(echoMode);
}

bool CBootstrap::SeeBootstrapPulse()
{
    for (int look = 0; look < kBootstrapLooks; ++look) {
        if (m_serial->WaitForCommError(CE_BREAK, 70)) {
            Sleep(15);
            if (!m_serial->WaitForCommError(CE_BREAK, 5))
                return true;  // a short break pulse
        } else if (m_serial->DetectSyncPulse(2000)) {
            return true;
        }
    }
    return false;
}

void CBootstrap::WaitForQuietLine()
{
    for (int look = 0; m_serial->WaitForCommError(CE_BREAK, 5); ++look) {
        if (look >= kQuietLineLooks)
            throw CCommError(10, "CBootstrap::FL0_Sync: The line stays in break");
        // The poll returns at once while a break is held: let time pass before looking again,
        // or the loop spins (and a clock that only moves when someone waits never moves).
        Sleep(1);
    }
}

bool CBootstrap::ReadSyncAnswer()
{
    uint8_t answer = 0;
    try {
        m_serial->Read(&answer, 1, 100);
    } catch (const CError& e) {
        PassThroughOrLog(e);
        return false;
    }
    return answer == kSyncAnswer;
}

void CBootstrap::FL0_Sync(uint8_t sync)
{
    for (int spent = 0;;) {
        if (!SeeBootstrapPulse()) {
            ErrorLog().Log("Bootstrap::FL0_Send_Bootcode: Could not detect radio in bootstrap mode");
            throw CGenError(3, "Could not detect radio in bootstrap mode");
        }
        bool sent = true;
        try {
            WaitForQuietLine();
            m_serial->PurgeInput();
            m_serial->Write(&sync, 1, 100);
        } catch (const CError& e) {
            PassThroughOrLog(e);
            sent = false;
        }
        if (sent && ReadSyncAnswer())
            return;
        ++spent;
        if (spent >= kSyncAttempts) {
            if (!sent) {
                ErrorLog().Log("Bootstrap::FL0_Send_Bootcode: Write bootstrap sync character failed");
                throw CGenError(3, "Write bootstrap sync character failed");
            }
            ErrorLog().Log("Bootstrap::FL0_Send_Bootcode: Read bootstrap sync character failed");
            throw CGenError(3, "Read bootstrap sync character failed");
        }
        ErrorLog().Log("Bootstrap::FL0_Send_Bootcode: Retry sending sync character!! Retry %d", spent);
    }
}
