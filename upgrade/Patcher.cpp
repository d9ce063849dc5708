#include "upgrade/Patcher.h"

#include "codeplug/CodeplugFactory.h"
#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "link/VeskComm.h"
#include "platform/Serial.h"
#include "platform/StopRequest.h"
#include "platform/UiServices.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

// The entries before the end entry (or all of them when the end entry is missing).
uint32_t CountEntries(const PatchEntries& entries)
{
    auto end = std::find_if(entries.begin(), entries.end(), [](const PatchEntry& e) { return e.kind == kPatchEnd; });
    return static_cast<uint32_t>(end - entries.begin());
}

uint16_t BlockIdOf(const PatchEntry& e) { return static_cast<uint16_t>(e.a * 256 + e.b); }

// The progress window's Cancel, or Ctrl-C on the command line: either ends the entries after
// the one being applied. Both requests are taken.
bool CancelAsked()
{
    bool cancel = Ui().TestAndResetCancelEvent();
    bool interrupt = TakeInterruptRequest();
    return cancel || interrupt;
}

}  // namespace

CPatcher::CPatcher(int codeplugType) : m_codeplug(CreateCodeplug(codeplugType)) {}

CPatcher::~CPatcher() = default;

void CPatcher::SetImage(const char* imageText, const char* radioCode)
{
    m_codeplug->SetImageText(imageText, radioCode);
}

bool CPatcher::UpdateRadio(const PatchEntries& entries, int port, uint8_t echoMode, int baud)
{
    uint32_t count = CountEntries(entries);
    m_codeplug->SetLink(port, echoMode);
    try {
        m_codeplug->StartCpAccess(0);
        if (CSerial* serial = m_codeplug->GetBroker().Comm().GetSerial())
            serial->SetBaud(baud);
        m_codeplug->GetBroker().Comm().SetPause(2);
    } catch (const CError& e) {
        ErrorLog().Log("%s", e.GetText());
        ErrorLog().Log("CPatcher::UpdateRadio: Unable to access the radio's codeplug");
        return false;
    }
    if (!m_codeplug->InitRdkPtrs())
        return false;
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kBlockBufferSize]());
    if (!block) {
        ErrorLog().Log("CPatcher::UpdateRadio: Unable to allocate buffer for storing data");
        return false;
    }
    Ui().SendMainFrameMessage(WM_PROGRESS_OPEN, count, 1);
    bool ok;
    try {
        ok = RunEntries(entries, block.get(), count);
    } catch (const CError& e) {
        ErrorLog().Log("%s", e.GetText());
        Ui().MessageBox(e.GetText(), "Error", MB_OK | MB_ICONSTOP);
        ok = false;
    }
    block.reset();
    Ui().SendMainFrameMessage(WM_PROGRESS_CLOSE, 0, 0);
    m_codeplug->StopCpAccess(1);
    return ok;
}

bool CPatcher::RunEntries(const PatchEntries& entries, uint8_t* blockBytes, uint32_t count)
{
    ImageBuffer block{blockBytes, static_cast<int32_t>(kBlockBufferSize)};
    bool blockRead = false;
    bool ok = true;
    char reply[kReplyBufferSize] = {};
    uint32_t replyFilled = 0;  // bytes of `reply` that a status reply filled
    for (uint32_t i = 0; i < count; ++i) {
        const PatchEntry& e = entries[i];
        bool stop = false;
        switch (e.kind) {
        case kPatchVerify: {
            if (e.a != m_lastStatusId) {
                std::memset(reply, 0, sizeof reply);
                replyFilled = m_codeplug->GetBroker().RadioStatusRequest(e.a, reply, sizeof reply);
            }
            // A byte that no reply filled cannot confirm the radio's type.
            if (e.b >= replyFilled || static_cast<uint8_t>(reply[e.b]) != (e.c & 0xFF)) {
                ErrorLog().Log("Verification of radio type failed");
                ok = false;
                stop = true;
            }
            break;
        }
        case kPatchReadBlock:
            block.size = static_cast<int32_t>(kBlockBufferSize);
            if (m_codeplug->ReadCpBlock(block, BlockIdOf(e)) == 1) {
                // The radio has no such block: its modify and write entries do not apply.
                blockRead = false;
                StepDone();
                if (CancelAsked()) {
                    ErrorLog().Log("CPatcher::UpdateRadio: Operation Interrupted");
                    return false;
                }
                while (i + 1 < count && entries[i + 1].kind != kPatchReadBlock)
                    ++i;
                continue;
            }
            blockRead = true;
            break;
        case kPatchModify: {
            if (!blockRead)
                throw CGenError(3, "Patch entry %u changes a block before any block was read", i + 1);
            uint8_t byte = 0;
            uint32_t offset = e.c & 0xFF;
            m_codeplug->ReadCpField(&byte, block, e.a, e.b, offset, 1);
            byte = static_cast<uint8_t>((byte & ~e.d) | e.e);
            m_codeplug->WriteCpField(&byte, block, e.a, e.b, offset, 1);
            break;
        }
        case kPatchWriteBlock:
            // Writing a buffer that holds no block read from this radio would destroy a block.
            if (!blockRead)
                throw CGenError(3, "Patch entry %u writes a block before any block was read", i + 1);
            m_codeplug->WriteCpBlock(block, BlockIdOf(e));
            break;
        default:
            stop = true;
            break;
        }
        StepDone();
        if (CancelAsked()) {
            ErrorLog().Log("CPatcher::UpdateRadio: Operation Interrupted");
            return false;
        }
        if (stop)
            break;
    }
    return ok;
}

void CPatcher::StepDone()
{
    Ui().SendMainFrameMessage(WM_PROGRESS_STEP, 0, 0);
    if (m_stepHook)
        m_stepHook();
}
