#include "link/VeskComm.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "link/LinkFlags.h"
#include "link/LinkTrace.h"
#include "link/VeskOpcodes.h"
#include "platform/FlashWriteMode.h"
#include "platform/Platform.h"
#include "platform/Serial.h"
#include "platform/StopRequest.h"
#include "platform/TimerCtrl.h"

#include <cstring>

namespace {
constexpr unsigned kResyncSleepMs = 1000;
constexpr unsigned kResyncTimeoutMs = 500;
// At most this many bytes are taken off the line while it settles: more than the longest
// answer a radio gives to one request.
constexpr unsigned kSettleByteLimit = 2048;
} // namespace

CVeskComm::CVeskComm() = default;

CVeskComm::~CVeskComm()
{
    if (m_serial != nullptr)
        ClosePort();
}

void CVeskComm::OpenPort(int port, uint8_t echoMode)
{
    if (m_serial != nullptr)
        ClosePort();
    CPlatform* platform = GetPlatform();
    CSerial* serial = platform->GetSerial();
    if (serial == nullptr)
        throw CGenError(2);
    m_openFailureCause.clear();
    try {
        m_portNumber = port;
        serial->SetEchoMode(echoMode);
        serial->Configure(9600, 0, 0, 8);
        serial->OpenPort(static_cast<unsigned>(port));
    } catch (const CError& error) {
        ErrorLog().Log("%s", error.GetText());
        m_openFailureCause = error.GetText();
        // Give the port back so that the next attempt can borrow it again.
        serial->Close();
        platform->ReleaseSerial();
        m_portNumber = 0;
        throw CGenError(3, "Unable to open communication port");
    }
    m_serial = serial;
}

void CVeskComm::ClosePort()
{
    if (m_serial != nullptr) {
        m_serial->Close();
        GetPlatform()->ReleaseSerial();
        m_serial = nullptr;
    }
    m_portNumber = 0;
}

void CVeskComm::LoadRequest(const CVeskMessage& message)
{
    m_working.CopyFrom(message);
    m_working.GetInfo(m_requestInfo);
}

int CVeskComm::SendCommand(CVeskMessage& message, bool expectReply)
{
    if (m_serial == nullptr)
        throw CGenError(2);
    int left = m_attempts;
    LoadRequest(message);
    while (left > 0) {
        // The safe point: a stop asked for by a signal ends here, between frames.
        ThrowIfStopRequested("before the next request was sent: every request before it was "
                             "completed and none was cut off");
        bool retry = left < m_attempts;
        if (retry)
            ErrorLog().Log("CVeskComm::SendCommand: Request failed! Retry number = %d",
                           m_attempts - left);
        try {
            if (retry && m_echoFailed && FlashWriteMode != 1)
                AwaitQuietLine();
            m_echoFailed = false;
            m_serial->PurgeInput();
            if (retry && FlashWriteMode == 1) {
                Resynchronise();
                LoadRequest(message);
            }
            Attempt(expectReply);
            message.CopyFrom(m_working);
            return 0;
        } catch (const CGenError&) {
            throw;
        } catch (const CCommError& error) {
            m_echoFailed = error.GetCode() == kCommEchoMismatch;
            if (error.GetCode() != kCommDeviceGone) {
                HandleFailedAttempt(error);
                --left;
                continue;
            }
            // Nothing on the line can work until the device is reconnected: no retry.
            ErrorLog().Log("%s", error.GetText());
            throw;
        } catch (const CError& error) {
            HandleFailedAttempt(error);
            --left;
        }
    }
    ErrorLog().Log("CVeskComm::SendCommand: Retry exhuasted, so exit request");
    return m_lastError;
}

void CVeskComm::HandleFailedAttempt(const CError& error)
{
    LogFailure(error);
    const char* text = error.GetText();
    TraceLinkEvent(LinkTraceEvent::AttemptFailed, reinterpret_cast<const uint8_t*>(text), std::strlen(text));
    m_lastError = dynamic_cast<const CCommError*>(&error) != nullptr ? 5 : error.GetCode();
}

void CVeskComm::Attempt(bool expectReply)
{
    m_phase = 1;
    const uint8_t* frame = m_working.GetFrame();
    unsigned length = m_working.GetFrameLength();
    TraceLinkEvent(LinkTraceEvent::Request, frame, length);
    m_serial->Write(frame, length, length * static_cast<unsigned>(m_perByteTimeout));

    m_phase = 2;
    uint8_t ack = 0;
    m_serial->Read(&ack, 1, static_cast<unsigned>(m_ackTimeout));
    TraceLinkEvent(LinkTraceEvent::Ack, &ack, 1);
    if (ack == vesk::kNegativeAck)
        throw CVeskError(1, "Receive Negative Ack from external device");

    if (expectReply)
        ReceiveReply();
    if (m_pause != 0)
        Pause();
}

void CVeskComm::AwaitQuietLine()
{
    // Only the echo was wrong: the radio may well have taken the request and be answering
    // it. A retry sent into that answer collides with it, and every attempt left fails the
    // same way; let the answer go by first. The line is quiet once no byte has come for as
    // long as an acknowledgement and a reply may take.
    const unsigned quietMs = static_cast<unsigned>(m_ackTimeout + m_replyTimeout);
    uint8_t byte = 0;
    for (unsigned taken = 0; taken < kSettleByteLimit; ++taken) {
        try {
            m_serial->Read(&byte, 1, quietMs);
        } catch (const CCommError& error) {
            if (error.GetCode() == kCommNoData)
                return;
            throw;
        }
    }
}

void CVeskComm::Resynchronise()
{
    GetPlatform()->Sleep(kResyncSleepMs);
    m_serial->PurgeInput();
    m_phase = 1;
    TraceLinkEvent(LinkTraceEvent::ResyncRequest, vesk::kResync, sizeof vesk::kResync);
    m_serial->Write(vesk::kResync, sizeof vesk::kResync, kResyncTimeoutMs);
    m_phase = 2;
    uint8_t answer = 0;
    m_serial->Read(&answer, 1, kResyncTimeoutMs);
    TraceLinkEvent(LinkTraceEvent::ResyncAnswer, &answer, 1);
    if (answer != vesk::kResyncAnswer)
        throw CVeskError(1, "Not receive Ack from external device");
}

void CVeskComm::ReadReply(unsigned count, unsigned timeoutMs)
{
    m_serial->Read(m_receiveBuffer + m_receivedCount, count, timeoutMs);
    m_receivedCount += static_cast<int>(count);
}

void CVeskComm::ReceiveReply()
{
    m_phase = 3;
    m_receivedCount = 0;
    m_replyComplete = false;
    const unsigned perByte = static_cast<unsigned>(m_perByteTimeout);
    ReadReply(1, static_cast<unsigned>(m_replyTimeout));
    unsigned rest = 0;
    if (CVeskMessage::IsLongForm(m_receiveBuffer[0])) {
        ReadReply(3, 3 * perByte);
        rest = static_cast<unsigned>(m_receiveBuffer[2]) << 8 | m_receiveBuffer[3];
        // A count of 0 cannot be a message, and a longer frame than the receive buffer (which
        // is smaller than the message buffer) cannot be stored: refuse both unread.
        if (rest == 0 || 4 + rest > kReceiveBufferSize)
            throw CVeskError(4, "The VESK reply message is corrupted");
    } else {
        rest = (m_receiveBuffer[0] & 0x0Fu) + 1;
    }
    ReadReply(rest, rest * perByte);
    m_replyComplete = true;
    TraceLinkEvent(LinkTraceEvent::Reply, m_receiveBuffer, static_cast<std::size_t>(m_receivedCount));

    if (!CVeskMessage::VerifyChecksum(m_receiveBuffer))
        throw CVeskError(4, "The VESK reply message is corrupted");
    m_working.Parse(m_receiveBuffer);
    if (SkipWriteReplyCheck == 0 && FlashWriteMode == 1 && m_working.GetOpcode() != vesk::kReplyGoodWrite)
        throw CVeskError(3, "Did not received Good Write Reply for VESK Write Request");
}

void CVeskComm::Pause()
{
    CPlatform* platform = GetPlatform();
    CTimerCtrl* timer = platform->GetDelayTimer();
    if (timer == nullptr)
        throw CGenError(1);
    timer->Start();
    timer->Wait(m_pause * 0.001);
    platform->ReleaseDelayTimer();
}

void CVeskComm::LogFailure(const CError& error)
{
    CErrorLog& log = ErrorLog();
    log.Log("%s", error.GetText());
    switch (m_phase) {
    case 1:
        log.Log("CVeskComm::SendCommand: Encountered the above error while sending the following message");
        log.LogBytes(m_working.GetFrame(), m_working.GetFrameLength());
        break;
    case 2:
        if (dynamic_cast<const CCommError*>(&error) != nullptr)
            log.Log("CVeskComm::SendCommand: Encountered the above error while getting ack");
        break;
    case 3:
        log.Log("CVeskComm::SendCommand: Encountered the above error while getting reply");
        if (m_receivedCount > 0) {
            if (!m_replyComplete)
                TraceLinkEvent(LinkTraceEvent::PartialReply, m_receiveBuffer,
                               static_cast<std::size_t>(m_receivedCount));
            log.LogBytes(m_receiveBuffer, static_cast<std::size_t>(m_receivedCount));
        }
        break;
    default:
        break;
    }
}
