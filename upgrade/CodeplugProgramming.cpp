// The codeplug stage: save the radio's own data, program the region from the image, restore
// the saved data into the new codeplug.
#include "upgrade/CarryOverPath.h"
#include "upgrade/RadioUpgrade.h"
#include "upgrade/UpgradeTexts.h"

#include "codeplug/CodeplugFactory.h"
#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "files/SRecord.h"
#include "link/LinkFlags.h"
#include "link/VeskComm.h"
#include "platform/Serial.h"
#include "platform/StopRequest.h"
#include "platform/UiServices.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

// What the record of a press is made of, besides what the radio holds.
struct CarryOverSetting {
    CCarryOverStore* store;
    int layout;
    int codeplugMode;
    std::string radioCode;
    std::string modelTag;
    uint32_t imageLength;
};

// The radio's own data into the record (read from the radio on the first attempt of a press,
// kept from it on a retry), and the record on disk before the first programming write.
void SaveCarryOver(const CarryOverSetting& s, CCarryOverPath& path, CarryOverRecord& record)
{
    if (record.valid) {
        if (record.layout != s.layout || record.productLine != GetProductLineNumber() ||
            record.codeplugMode != s.codeplugMode)
            throw CGenError(3, "The carry-over record of this press (layout %d, product line %d, codeplug mode %d) "
                               "does not fit this codeplug",
                            record.layout, record.productLine, record.codeplugMode);
        ErrorLog().Log("CRadioUpgrade::DoProgCp: Carrying over the data read from the radio at %s (%s), not the "
                       "radio's present codeplug",
                       record.created.c_str(), record.RadioText().c_str());
    } else {
        record.items.clear();
        record.layout = s.layout;
        record.productLine = GetProductLineNumber();
        record.codeplugMode = s.codeplugMode;
        record.radioCode = s.radioCode;
        record.identityMark = IdentityMark;
        record.modelTag = s.modelTag;
        record.imageLength = s.imageLength;
        path.Save(record);
        record.valid = true;
    }
    // On disk before the first programming write, with the stage that says so.
    record.stage = PressStage::CodeplugSaved;
    if (s.store) {
        try {
            s.store->Save(record);
        } catch (const CError& e) {
            ErrorLog().Log("%s", e.GetText());
            ErrorLog().Log("CRadioUpgrade::DoProgCp: The radio's own data could not be saved; its codeplug was not "
                           "touched");
            throw;
        }
    }
}

// The programming loop: 32-byte writes from the image over the region, one progress step each.
void ProgramRegion(CCodeplug& codeplug, const uint8_t* image, uint32_t start, uint32_t end, bool progress,
                   const char* logLine, CUpgradeProgress& reports)
{
    for (uint32_t pos = start; pos < end;) {
        if (progress)
            Ui().SendMainFrameMessage(WM_PROGRESS_STEP, 0, 0);
        reports.Step();
        uint32_t n = std::min<uint32_t>(CCodeplug::kChunk, end - pos);
        try {
            codeplug.GetBroker().WriteRequest(pos, n, image + pos);
        } catch (const CError&) {
            ErrorLog().Log("%s", logLine);
            ErrorLog().Log("Write radio codeplug failed at address %X", pos);
            throw;
        }
        pos += n;
    }
}

}  // namespace

void CRadioUpgrade::DoProgCp()
{
    // PrepareUpgrade laid the job out from the image before the radio was touched.
    if (m_codeplugJob.image.empty())
        throw CGenError(3, "Error in calculating the programmable codeplug region");
    const CodeplugJob& job = m_codeplugJob;
    m_progress.Begin(UpgradeStage::Codeplug);

    std::unique_ptr<CCodeplug> codeplug = CreateCodeplug(m_codeplugType);
    codeplug->SetLink(m_portNumber, m_echoMode);
    codeplug->StartCpAccess(0);
    codeplug->GetBroker().Comm().SetPause(2);
    if (m_plan->flashFirmware == 1) {
        if (CSerial* serial = codeplug->GetBroker().Comm().GetSerial())
            serial->SetBaud(m_flashSettings->flashBaud);
    }
    if (m_codeplugType == 3) {
        codeplug->SetImageText(m_codeplugImage->c_str(), m_radioCode);
        Ui().SendMainFrameMessage(WM_STATUS_NOTICE, 4, 0);
        Ui().SetProgressText("Programming Codeplug...");
    }
    std::unique_ptr<CCarryOverPath> path = CreateCarryOverPath(m_codeplugType, *codeplug);

    CarryOverRecord attemptOnly;
    CarryOverRecord& record = m_carryOver ? *m_carryOver : attemptOnly;
    std::string code(m_radioCode, m_radioCode[1] ? 2 : (m_radioCode[0] ? 1 : 0));
    SaveCarryOver({m_carryOverStore, m_codeplugType, m_plan->codeplugMode, code, m_plan->modelTag, job.imageLength}, *path, record);

    m_radioLeft = RadioLeft::CodeplugPartlyWritten;
    MarkUnsafeToStop(kStopLeavesPartCodeplugText);
    path->BeforeProgramming(record);
    ProgramRegion(*codeplug, job.image.data(), job.regionStart, job.regionEnd, m_progressShown, path->ProgrammingLogLine(),
                  m_progress);
    path->Restore(record, std::vector<uint8_t>(job.image.begin(), job.image.begin() + 2));
    // Restored and read back. The record stays, with its data, until the press has finished the
    // radio: a retry of this press, or a later press that finishes it, restores the same data.
    MarkSafeToStop();
    if (m_carryOver == &record)
        RecordStage(PressStage::CodeplugWritten);
}

