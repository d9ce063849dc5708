#include "link/VeskBroker.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "link/LinkFlags.h"
#include "link/VeskOpcodes.h"
#include "platform/UiServices.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kEraseReplyTimeoutMs = 20000;
constexpr unsigned kReadReplySkip = 3;

constexpr const char kRecoveryPrompt[] =
    "Error detected.\nPlease press OK to recover the radio or press CANCEL to exit the recovery "
    "function.\nIf problem still persists, please send the radio to service center.";

void PutAddress(uint8_t* out, uint32_t address)
{
    out[0] = static_cast<uint8_t>(address >> 16);
    out[1] = static_cast<uint8_t>(address >> 8);
    out[2] = static_cast<uint8_t>(address);
}

// Puts the exchange's reply time-out back however the erase ends.
class CReplyTimeoutScope {
public:
    CReplyTimeoutScope(CVeskComm& comm, int timeoutMs) : m_comm(comm), m_saved(comm.GetReplyTimeout())
    {
        m_comm.SetReplyTimeout(timeoutMs);
    }
    ~CReplyTimeoutScope() { m_comm.SetReplyTimeout(m_saved); }
    CReplyTimeoutScope(const CReplyTimeoutScope&) = delete;
    CReplyTimeoutScope& operator=(const CReplyTimeoutScope&) = delete;

private:
    CVeskComm& m_comm;
    int m_saved;
};
} // namespace

CVeskBroker::CVeskBroker()
{
    m_comm.SetAttempts(4);
    m_comm.SetAckTimeout(100);
    m_comm.SetReplyTimeout(750);
    m_comm.SetPerByteTimeout(250);
    m_comm.SetPause(10);
}

CVeskBroker::~CVeskBroker()
{
    if (m_linkOpen == 1)
        CloseLink();
}

void CVeskBroker::OpenLink(int port, uint8_t echoMode)
{
    m_comm.OpenPort(port, echoMode);
    m_linkOpen = 1;
}

void CVeskBroker::CloseLink()
{
    m_comm.ClosePort();
    m_linkOpen = 0;
}

bool CVeskBroker::IsRecoveryProductLine() const
{
    int line = GetProductLineNumber();
    return line == 11 || line == 12;
}

void CVeskBroker::Exchange(bool expectReply)
{
    int result = m_comm.SendCommand(m_message, expectReply);
    m_message.GetInfo(m_replyInfo);
    CheckResult(result);
}

void CVeskBroker::CheckResult(int result)
{
    switch (result) {
    case 0:
        return;
    case 1:
        throw CVeskError(1, "Received NACK from external device");
    case 4:
        throw CVeskError(4, "Reply from external device contained checksum error");
    case 5:
        if (!IsRecoveryProductLine())
            throw CVeskError(5, "Timeout occurred while sending VESK command");
        if (RecoveryPending == 1 && RecoveryNoticeShown == 1) {
            TimeoutDeferred = 1;
            return;
        }
        if (Ui().MessageBox(kRecoveryPrompt, "Error", MB_OKCANCEL | MB_ICONHAND) == IDOK)
            RecoverRequested = 1;
        else
            RecoverDeclined = 1;
        return;
    default:
        // A wrong reply: the opcode check that follows reports it.
        return;
    }
}

void CVeskBroker::RefuseReply(const char* text)
{
    ErrorLog().LogBytes(m_message.GetFrame(), m_message.GetFrameLength());
    throw CVeskError(3, "%s", text);
}

unsigned CVeskBroker::ReadRequest(uint32_t address, uint8_t count, uint8_t* destination)
{
    uint8_t data[4] = {count};
    PutAddress(data + 1, address);
    m_message.Build(vesk::kRequestRead, data, sizeof data, 0);
    Exchange(true);
    // A reply without the three leading bytes carries nothing to deliver.
    if (m_replyInfo.opcode != vesk::kReplyRead || m_replyInfo.dataLength < kReadReplySkip) {
        ErrorLog().Log("CVeskBroker::ReadRequest: Read from address %X did not receive correct Read "
                       "Reply from radio",
                       address);
        RefuseReply("No reply from radio.");
    }
    unsigned carried = m_replyInfo.dataLength - kReadReplySkip;
    unsigned copied = std::min<unsigned>(carried, count);
    if (copied > 0)
        std::memcpy(destination, m_message.GetData() + kReadReplySkip, copied);
    return copied;
}

void CVeskBroker::WriteRequest(uint32_t address, unsigned length, const uint8_t* source)
{
    if (length > kMaxWriteLength)
        throw CGenError(3, "A radio write carries at most %u bytes, not %u", kMaxWriteLength, length);
    uint8_t data[CVeskMessage::kMaxData];
    PutAddress(data, address);
    if (length > 0)
        std::memcpy(data + 3, source, length);
    m_message.Build(vesk::kRequestWrite, data, static_cast<uint16_t>(length + 3), 2);
    Exchange(true);
    if (m_replyInfo.opcode != vesk::kReplyGoodWrite) {
        ErrorLog().Log("CVeskBroker::WriteRequest: Write to ddress %X did not receive Good Write Reply",
                       address);
        RefuseReply("Did not received Good Write Reply for VESK Write Request");
    }
}

void CVeskBroker::EraseFlashRequest()
{
    m_message.BuildOneByte(vesk::kRequestErase, vesk::kEraseAllFlash);
    {
        CReplyTimeoutScope longReply(m_comm, kEraseReplyTimeoutMs);
        Exchange(true);
    }
    if (m_replyInfo.opcode != vesk::kReplyGoodWrite) {
        ErrorLog().Log("CVeskBroker::WriteRequest: Erase flash did not receive Good Write Reply");
        RefuseReply("Did not received Good Write Reply for VESK Erase Flash Request");
    }
}

void CVeskBroker::ResetRadioRequest()
{
    m_message.BuildNoData(vesk::kRequestReset);
    Exchange(false);
}

unsigned CVeskBroker::RadioStatusRequest(uint8_t selector, char* destination, unsigned bufferSize)
{
    m_message.BuildOneByte(vesk::kRequestStatus, selector);
    Exchange(true);
    if (m_replyInfo.opcode == vesk::kReplyUnsupported) {
        unsigned zeros = std::min(kStatusZeroFill, bufferSize);
        std::memset(destination, 0, zeros);
        return zeros;
    }
    const uint8_t* data = m_message.GetData();
    unsigned dataLength = m_replyInfo.dataLength;
    bool good = m_replyInfo.opcode == vesk::kReplyStatus && dataLength >= 1 && data[0] == selector;
    if (!good) {
        if ((IsRecoveryProductLine() && RecoverRequested == 1) || TimeoutDeferred == 1) {
            RecoverRequested = 1;
            TimeoutDeferred = 0;
        } else if (RecoverDeclined == 0 && RecoveryPending == 0) {
            ErrorLog().Log("CVeskBroker::RadioStatusRequest: Did not receive good Radio Status reply "
                           "for VESK Radio Status Request");
            RefuseReply("Did not receive good Radio Status reply for VESK Radio Status Request");
        }
    }
    if (bufferSize == 0)
        return 0;
    unsigned text = dataLength > 0 ? dataLength - 1 : 0;
    unsigned copied = std::min(text, bufferSize - 1);
    if (copied > 0)
        std::memcpy(destination, data + 1, copied);
    destination[copied] = '\0';
    return copied;
}
