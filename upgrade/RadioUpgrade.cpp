#include "upgrade/RadioUpgrade.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "files/SRecord.h"
#include "platform/StopRequest.h"
#include "platform/UiServices.h"
#include "upgrade/CarryOver.h"
#include "upgrade/UpgradeTexts.h"

#include <exception>

uint8_t IdentityMark = 0;

CRadioUpgrade::CRadioUpgrade() = default;
CRadioUpgrade::~CRadioUpgrade() = default;

void CRadioUpgrade::SetPort(int portNumber, uint8_t echoMode)
{
    m_portNumber = portNumber;
    m_echoMode = echoMode;
}
void CRadioUpgrade::SetPlan(const UpgradePlan& plan) { m_plan = &plan; }
void CRadioUpgrade::SetJob(FlashSettings& settings, const std::string& codeplugImage,
                           const PatchEntries& patchEntries, int codeplugType,
                           const std::string& keySource)
{
    m_flashSettings = &settings;
    m_codeplugImage = &codeplugImage;
    m_patchEntries = &patchEntries;
    m_codeplugType = codeplugType;
    m_keySource = &keySource;
}
void CRadioUpgrade::SetSerial(CSerial* serial) { m_serial = serial; }
void CRadioUpgrade::SetRadioCode(const char* code)
{
    m_radioCode[0] = code[0];
    m_radioCode[1] = code[1];
}
void CRadioUpgrade::SetCarryOver(CarryOverRecord* record, CCarryOverStore* store)
{
    m_carryOver = record;
    m_carryOverStore = store;
}

int CRadioUpgrade::UpgradeRadio()
{
    m_result = kUpgradeBootcodeFailed;
    ErrorLog().Clear();
    if (!m_plan || !m_flashSettings || !m_codeplugImage || !m_patchEntries || !m_keySource) {
        ErrorLog().Log("CRadioUpgrade::UpgradeRadio: The engine was started without its plan or job");
        m_result = kUpgradeInvalidDataFile;
        return m_result;
    }
    m_progress.Start(ForecastWork());
    try {
        if (!StopRequested() && m_plan->flashFirmware == 1 && !PrepareFirmware()) {
            MarkSafeToStop();
            LogStop();
            m_progress.Finish();
            return m_result;
        }
        if (!StopRequested() && !RunPrepareUpgrade()) {
            m_progress.Finish();
            return m_result;
        }
        if (!StopRequested()) {
            OpenCountedProgress();
            RunStages();
        }
    } catch (const std::exception& e) {
        // Nothing below raises these on purpose (running out of memory does); the run ends at the
        // stage it reached, like any other failure.
        ErrorLog().Log("CRadioUpgrade::UpgradeRadio: %s", e.what());
    }
    MarkSafeToStop();
    if (m_progressShown)
        Ui().SendMainFrameMessage(WM_PROGRESS_CLOSE, 0, 0);
    m_progress.Finish();
    LogStop();
    return m_result;
}

void CRadioUpgrade::RecordStage(PressStage stage, bool mustSave)
{
    if (!m_carryOver || !m_carryOverStore || m_carryOver->file.empty())
        return;
    m_carryOver->stage = stage;
    try {
        m_carryOverStore->Save(*m_carryOver);
    } catch (const CError& e) {
        ErrorLog().Log("%s", e.GetText());
        ErrorLog().Log("CRadioUpgrade::RecordStage: The record of the upgrade could not be brought to stage %s",
                       PressStageName(stage));
        if (mustSave)
            throw;
    }
}

void CRadioUpgrade::LogStop() const
{
    if (StopRequested() && m_result != kUpgradeSucceeded)
        ErrorLog().Log("CRadioUpgrade::UpgradeRadio: Stopped on %s. %s", StopSignalName(), RadioLeftText().c_str());
}

std::string CRadioUpgrade::RadioLeftText() const
{
    const bool kept = m_carryOver && m_carryOverStore && !m_carryOver->file.empty();
    return DescribeRadioLeft(m_radioLeft, kept ? m_carryOver->file : std::string());
}

bool CRadioUpgrade::RunPrepareUpgrade()
{
    try {
        PrepareUpgrade();
        return true;
    } catch (const CError& e) {
        ErrorLog().Log("%s", e.GetText());
        m_failureText = std::string("kit images: ") + e.GetText();
        m_result = kUpgradeInvalidDataFile;
        return false;
    }
}

void CRadioUpgrade::OpenCountedProgress()
{
    long total = static_cast<long>(m_patchCount) + m_codeplugChunks + m_firmwareRecords;
    if (total <= 0)
        return;
    m_progressShown = true;
    Ui().SetProgressText(kProgrammingFlashText);
    Ui().SendMainFrameMessage(WM_PROGRESS_OPEN, static_cast<uintptr_t>(total), 0);
}

void CRadioUpgrade::RunStages()
{
    // Between two stages is a safe point for a stop.
    constexpr const char* kBeforeStage = "before the next stage of the upgrade began";
    try {
        if (m_plan->flashFirmware == 1 && m_firmwareLoaded) {
            FlashFirmware();
            m_radioLeft = RadioLeft::FirmwareWritten;
            MarkSafeToStop();
            RecordStage(PressStage::FirmwareWritten);
            Ui().SendMainFrameMessage(WM_STATUS_NOTICE, 3, 0);
        }
        m_result = kUpgradeCodeplugFailed;
        if (m_plan->codeplugMode != 0) {
            ThrowIfStopRequested(kBeforeStage);
            DoProgCp();
            m_radioLeft = RadioLeft::CodeplugWritten;
        }
        m_result = kUpgradePatchFailed;
        if (m_plan->applyPatches == 1) {
            ThrowIfStopRequested(kBeforeStage);
            m_radioLeft = RadioLeft::PatchesPartlyApplied;
            RecordStage(PressStage::Patching);
            DoPatch();
        }
        m_result = kUpgradeSucceeded;
        m_radioLeft = RadioLeft::Upgraded;
    } catch (const CError& e) {
        ErrorLog().Log("%s", e.GetText());
        static const char* const kStages[] = {"firmware", "codeplug programming", "patches"};
        m_failureText = std::string(m_result >= 0 && m_result <= 2 ? kStages[m_result] : "upgrade") + ": " + e.GetText();
    }
}

void CRadioUpgrade::PrepareUpgrade()
{
    if (m_plan->flashFirmware == 1) {
        SRecord reader;
        reader.AttachText(m_flashSettings->firmwareText);
        if (!reader.CheckFirstRecord())
            throw CGenError(3, "Read firmware S-Record file failed");
        m_firmwareRecords = static_cast<int>(reader.CountRecords());
        reader.Detach();
    }
    if (m_plan->codeplugMode != 0)
        CountCodeplugChunks();
    if (m_plan->applyPatches == 1)
        m_patchCount = CountPatchEntries(*m_patchEntries);
}

int CountPatchEntries(const PatchEntries& entries)
{
    int count = 0;
    for (const PatchEntry& entry : entries) {
        if (entry.kind == kPatchEnd)
            break;
        ++count;
    }
    return count;
}

UpgradeWork CRadioUpgrade::ForecastWork() const
{
    UpgradeWork work;
    work.plan = *m_plan;
    work.bootstrapBaud = m_flashSettings->portBaud > 0 ? m_flashSettings->portBaud : work.bootstrapBaud;
    work.flashBaud = m_flashSettings->flashBaud > 0 ? m_flashSettings->flashBaud : work.flashBaud;
    if (m_plan->flashFirmware == 1) {
        SRecord bootcode;
        bootcode.AttachText(m_flashSettings->bootcodeText);
        work.bootcodeBytes = bootcode.CheckFirstRecord() ? bootcode.CountDataBytes() : 0;
        bootcode.Detach();
        // Until the flash size has chosen the image, the kit's largest stands for it.
        ImageCounts firmware = m_firmwareLoaded ? CountImage(m_flashSettings->firmwareText)
                                                : m_flashSettings->firmwareForecast;
        work.firmwareRecords = firmware.records;
        work.firmwareBytes = firmware.dataBytes;
    }
    if (m_plan->codeplugMode != 0) {
        try {
            CodeplugJob job = m_codeplugJob.image.empty()
                                  ? PrepareCodeplugJob(*m_plan, *m_codeplugImage, m_codeplugType, m_radioCode)
                                  : m_codeplugJob;
            work.codeplugChunks = static_cast<uint32_t>(job.chunks);
            work.codeplugBytes = job.regionEnd - job.regionStart;
        } catch (const CError&) {
            // PrepareUpgrade says what is wrong with the image, in its place in the run.
        }
    }
    if (m_plan->applyPatches == 1)
        work.patchEntries = static_cast<uint32_t>(CountPatchEntries(*m_patchEntries));
    return work;
}

void CRadioUpgrade::CountCodeplugChunks()
{
    m_codeplugJob = PrepareCodeplugJob(*m_plan, *m_codeplugImage, m_codeplugType, m_radioCode);
    m_regionStart = m_codeplugJob.regionStart;
    m_regionEnd = m_codeplugJob.regionEnd;
    m_codeplugChunks = m_codeplugJob.chunks;
}
