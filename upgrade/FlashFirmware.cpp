// The flashing stage: second erase, then one write per firmware record.
#include "upgrade/RadioUpgrade.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "files/SRecord.h"
#include "link/VeskBroker.h"
#include "platform/FlashWriteMode.h"
#include "platform/Serial.h"
#include "platform/UiServices.h"
#include "upgrade/UpgradeTexts.h"

#include <typeinfo>

namespace {
constexpr uint32_t kFlashBase = 0x400000;
constexpr int kFlashReplyTimeoutMs = 1000;
constexpr int kFlashWriteAttempts = 9;
constexpr int kNormalAttempts = 4;
}  // namespace

void CRadioUpgrade::FlashFirmware()
{
    m_result = kUpgradeFlashFailed;
    SRecord reader;
    reader.AttachText(m_flashSettings->firmwareText);
    Ui().SendMainFrameMessage(WM_STATUS_NOTICE, 2, 0);
    Ui().SetProgressText(kErasingFlashText);

    CVeskBroker broker;
    try {
        broker.Comm().SetPause(0);
        broker.Comm().SetReplyTimeout(kFlashReplyTimeoutMs);
        broker.OpenLink(m_portNumber, m_echoMode);
        broker.Comm().GetSerial()->SetBaud(m_flashSettings->flashBaud);
        broker.EraseFlashRequest();

        Ui().SetProgressText(kProgrammingFlashText);
        m_progress.Begin(UpgradeStage::Firmware);
        FlashWriteMode = 1;
        broker.Comm().SetAttempts(kFlashWriteAttempts);
        WriteRecords(reader, broker);
        FlashWriteMode = 0;
        broker.Comm().SetAttempts(kNormalAttempts);
        reader.Detach();

        if (m_plan->codeplugMode == 0 && m_plan->applyPatches == 0)
            broker.ResetRadioRequest();
        broker.CloseLink();
    } catch (const CError& e) {
        // FlashWriteMode stays on: the next attempt's identity read skips the write reply check.
        reader.Detach();
        broker.CloseLink();
        Ui().SendMainFrameMessage(WM_STATUS_NOTICE, 3, 0);
        if (typeid(e) != typeid(CGenError))
            throw;
        ErrorLog().Log("%s", e.GetText());
        throw CGenError(3, "General communication error occurred while downloading firmware");
    }
}

void CRadioUpgrade::WriteRecords(SRecord& reader, CVeskBroker& broker)
{
    // A record of another type than S1 or S2 leaves the last record as it was, and that record
    // is written again; the cleared record (length 0) ends the data.
    uint8_t bytes[SRecord::kMaxDataBytes + 1] = {};
    SRecordData record{bytes, 0, 0};
    for (;;) {
        reader.ReadNextRecord(record);
        if (record.length == 0 && bytes[0] == 0)
            break;
        broker.WriteRequest(record.address | kFlashBase, record.length, record.data);
        if (m_progressShown)
            Ui().SendMainFrameMessage(WM_PROGRESS_STEP, 0, 0);
        m_progress.Step();
    }
}
