// The Program press up to the engine runs: the link, the boot-state probe and region checks of
// the product lines with a recovery mode, the identity mark, verification, the power-up check
// and the flash rate choice.
#include "app/FormMessages.h"
#include "app/UpgradeForm.h"
#include "app/WorkflowFlags.h"
#include "codeplug/FixedLayout.h"
#include "errors/Error.h"
#include "files/ProductLine.h"
#include "link/LinkFlags.h"
#include "platform/FlashWriteMode.h"
#include "platform/Platform.h"
#include "platform/UiServices.h"

namespace {

constexpr uint32_t kIdentityMarkAddress = 0x3FF0;
constexpr uint8_t kPowerUpSelector = 5;
constexpr uint8_t kLevelSelector = 16;
constexpr uint8_t kPowerUpFaultMask = 0x12;
constexpr uint8_t kBootStateBit = 0x02;
constexpr unsigned kCheckingNotice = 3;
constexpr unsigned kNoticeEnd = 0;

} // namespace

ProgramOutcome CUpgradeForm::OnProgram()
{
    // The first press of a recovery left the radio waiting for this one: said before the
    // checks of the link and the radio begin.
    if (RecoveryPending == 1 && RecoveryNoticeShown == 1)
        Ui().ShowActivity(PressText::kSecondRecoveryPress);
    m_outcome = ProgramOutcome{};
    m_linkFailureCause.clear();
    ResetPressFlags();
    m_finishing = false;
    m_pressRecorded = false;
    m_recordFileUsed.clear();
    m_carryOver = CarryOverRecord{};
    m_identity = RadioIdentity{};
    m_radioVersion.clear();
    m_radioRelease.clear();
    m_radioLevel = -1;
    m_lastFailure.clear();
    m_codeplugJob = CodeplugJob{};
    if (!m_configLoaded) {
        ShowError(FormText::kNoConfiguration);
        Fail(ProgramEnd::KitUnusable, "no usable configuration file in " + m_kitDirectory.string());
        return m_outcome;
    }
    bool answered = false;  // the radio has answered on the line in this press
    try {
        m_failureKind = ProgramEnd::LinkFailed;
        if (!ReachRadio()) {
            if (m_outcome.end != ProgramEnd::LinkFailed || !m_linkFailureCause.empty() ||
                !OfferFinishWithoutFirmware() || !CheckKitPart())
                return m_outcome;
        } else {
            answered = true;
            WriteIdentityMark();
            if (!VerifyRadio(false))
                return m_outcome;
            if (RecoveryNoticeShown == 1)
                RecoveryPending = 0;
            if (!m_finishing && NothingPlannedForRunningRadio()) {
                Fail(ProgramEnd::Refused, "the kit plans no upgrade for this radio while its application runs");
                return m_outcome;
            }
            if (!CheckKitPart() || !CheckPowerUp())
                return m_outcome;
        }
        if (!PrepareFlashing())
            return m_outcome;
        if (!RecordPress())
            return m_outcome;
        RunAttempts();
        EndPressRecord();
    } catch (const CError& error) {
        // The identity mark write, the status requests outside the guarded steps and the port
        // loan of the attempt loop end the press as the other link errors do.
        ShowLinkError(error);
        CloseLink();
        Fail(m_outcome.engineRuns > 0 ? ProgramEnd::EngineFailed : m_failureKind);
        if (m_outcome.engineRuns > 0) {
            EndPressRecord();
        } else if (!answered && m_failureKind == ProgramEnd::LinkFailed && OfferFinishWithoutFirmware()) {
            // No radio answered: the technician confirmed that it is one a recorded press left
            // without firmware.
            if (CheckKitPart() && PrepareFlashing() && RecordPress()) {
                RunAttempts();
                EndPressRecord();
            }
        }
    }
    return m_outcome;
}

void CUpgradeForm::ResetPressFlags()
{
    FlashWriteMode = 0;
    SkipWriteReplyCheck = 0;
    VerifyBypass = 0;
}

bool CUpgradeForm::CheckKitPart()
{
    if (m_codeplugMode != 0 && !CheckCodeplugJob())
        return false;
    return !m_flashFirmware || CheckFirmwareImages();
}

bool CUpgradeForm::CheckCodeplugJob()
{
    try {
        m_codeplugJob = PrepareCodeplugJob(m_plan, m_codeplugImage, m_codeplugType, m_radioCode);
        return true;
    } catch (const CError& error) {
        Box(FormText::kInvalidDataFile, FormText::kInvalidOperation, MB_OK | MB_ICONSTOP);
        Fail(ProgramEnd::KitUnusable, std::string(error.GetText()) +
                                          " (refused before anything but the identity mark was written to the radio)");
        return false;
    }
}

bool CUpgradeForm::PrepareFlashing()
{
    if (!(m_flashFirmware || m_codeplugMode != 0 || m_applyPatches))
        return true;
    m_flashSettings.loaderKind = 1;
    if (!m_flashFirmware)
        return true;
    if (m_askFlashRate && !m_rateDialogShown) {
        switch (ChooseFlashRate()) {
        case RateChoice::Chosen:
            break;
        case RateChoice::NotChosen:
            Fail(ProgramEnd::Cancelled, "the flash rate was not chosen; nothing was written but the identity mark");
            return false;
        case RateChoice::BootcodeUnusable:
            Fail(ProgramEnd::KitUnusable, "the boot code for the chosen flash rate cannot be used");
            return false;
        }
    }
    return CheckBootcode();
}

bool CUpgradeForm::OpenLink()
{
    try {
        m_broker.OpenLink(m_settings.portNumber, m_settings.EchoMode());
        return true;
    } catch (const CError& error) {
        m_linkFailureCause = m_broker.Comm().OpenFailureCause();
        // The port's own words say why (permission, no such device, held by another program).
        ShowError(m_linkFailureCause.empty() ? std::string(error.GetText())
                                             : std::string(error.GetText()) + "\n" + m_linkFailureCause);
        CloseLink();
        Fail(ProgramEnd::LinkFailed, m_linkFailureCause);
        return false;
    }
}

void CUpgradeForm::CloseLink()
{
    if (m_broker.Comm().IsOpen())
        m_broker.Comm().ClosePort();
    m_broker.SetLinkOpen(0);
}

// Steps before anything is written: the link, the boot state of the recovery product lines,
// the region checks in the boot state, the level status request.
bool CUpgradeForm::ReachRadio()
{
    // The region faults describe the radio of this press only.
    RegionFault1 = RegionFault2 = RegionFault3 = 0;
    if (!OpenLink())
        return false;
    bool recoveryLine = HasRecoveryMode(ProductLine());
    if (recoveryLine) {
        try {
            uint8_t first = 0;
            m_broker.ReadRequest(0x0000, 1, &first);
            char level[2] = {};
            m_broker.RadioStatusRequest(kLevelSelector, level, sizeof level);
        } catch (const CError& error) {
            ShowLinkError(error);
            CloseLink();
            RecoverRequested = 0;
            Fail(ProgramEnd::LinkFailed);
            return false;
        }
        if (RecoverRequested == 1)
            BootState = 1;
        if (RecoverDeclined == 0 && RecoverRequested == 0)
            ProbeBootState();
    }
    if (RecoverDeclined == 1) {
        CloseLink();
        RecoverDeclined = 0;
        Fail(ProgramEnd::Cancelled, "the radio's recovery was declined");
        return false;
    }
    if (BootState == 1) {
        Ui().SendMainFrameMessage(WM_STATUS_NOTICE, kCheckingNotice, 0);
        CheckRadioRegions();
        Ui().SendMainFrameMessage(WM_STATUS_NOTICE, kNoticeEnd, 0);
    }
    if (RegionFault1 == 1 || RegionFault3 == 1 || (recoveryLine && RegionFault2 == 1)) {
        Box(FormText::kRegionCorruption, FormText::kError, MB_OK | MB_ICONINFORMATION);
        CloseLink();
        Fail(ProgramEnd::Refused);
        return false;
    }
    if (BootState == 0) {
        char level[2] = {};
        m_broker.RadioStatusRequest(kLevelSelector, level, sizeof level);
    }
    return true;
}

void CUpgradeForm::ProbeBootState()
{
    BootState = 0;
    char status[2] = {};
    m_broker.RadioStatusRequest(kPowerUpSelector, status, sizeof status);
    if (static_cast<uint8_t>(status[0]) & kBootStateBit)
        BootState = 1;
}

bool CUpgradeForm::CheckRegion(uint32_t first, uint32_t last)
{
    uint8_t sum = 0;
    for (uint32_t address = first; address < last; ++address) {
        uint8_t byte = 0;
        m_broker.ReadRequest(address, 1, &byte);
        sum = static_cast<uint8_t>(sum + byte);
    }
    uint8_t check = 0;
    m_broker.ReadRequest(last, 1, &check);
    return check == static_cast<uint8_t>(fixedlayout::kSum - sum);
}

void CUpgradeForm::CheckRadioRegions()
{
    RegionFault1 = RegionFault2 = RegionFault3 = 0;
    uint8_t first = 0;
    uint8_t second = 0;
    m_broker.ReadRequest(0x0000, 1, &first);
    m_broker.ReadRequest(0x0001, 1, &second);
    const bool extended = fixedlayout::IsExtended(first, second);
    const auto regions = fixedlayout::Regions(extended);
    const auto faulty = [&](const fixedlayout::Region& r) { return CheckRegion(r.from, r.to) ? 0 : 1; };
    // The basic layout gives up on region 3 once both others are bad; the extended one reads
    // region 2 only while region 1 is good.
    RegionFault1 = faulty(regions[0]);
    if (!extended) {
        RegionFault2 = faulty(regions[1]);
        if (RegionFault1 && RegionFault2)
            return;
    } else if (!RegionFault1) {
        RegionFault2 = faulty(regions[1]);
    }
    RegionFault3 = faulty(regions[2]);
}

void CUpgradeForm::WriteIdentityMark()
{
    IdentityMark = static_cast<uint8_t>(GetPlatform()->CalendarTime() % 100);
    m_broker.WriteRequest(kIdentityMarkAddress, 1, &IdentityMark);
}

bool CUpgradeForm::NothingPlannedForRunningRadio() const
{
    return HasRecoveryMode(ProductLine()) && BootState == 0 && m_askFlashRate == 0;
}

bool CUpgradeForm::CheckPowerUp()
{
    char status[10] = {};
    if (m_codeplugMode != 0 || m_applyPatches == 1) {
        try {
            m_broker.OpenLink(m_settings.portNumber, m_settings.EchoMode());
            if (HasRecoveryMode(ProductLine()) && RecoverRequested == 0)
                m_broker.RadioStatusRequest(kPowerUpSelector, status, sizeof status);
            CloseLink();
        } catch (const CError&) {
            Box(FormText::kPowerUpUnverified, FormText::kError, MB_OK | MB_ICONSTOP);
            CloseLink();
            Fail(ProgramEnd::LinkFailed);
            return false;
        }
    }
    if ((static_cast<uint8_t>(status[0]) & kPowerUpFaultMask) != 0 && BootState != 1) {
        Box(FormText::kHardwareProblem, FormText::kError, MB_OK | MB_ICONSTOP);
        Fail(ProgramEnd::Refused);
        return false;
    }
    return true;
}
