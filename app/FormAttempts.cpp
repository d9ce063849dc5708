// The attempt loop of a Program press: the bootstrap prompts, one engine run per attempt, and
// what each result code tells the user.
#include "app/DirectoryScope.h"
#include "app/FormMessages.h"
#include "app/UpgradeForm.h"
#include "app/WorkflowFlags.h"
#include "errors/Error.h"
#include "files/ProductLine.h"
#include "link/LinkFlags.h"
#include "platform/Platform.h"
#include "platform/Serial.h"
#include "platform/StopRequest.h"
#include "platform/UiServices.h"

namespace {

constexpr int kBootstrapBaud = 2400;

enum : int { kFirstAttempt = 0, kRetry = 1, kLoopDone = 2 };

// Gives the bootstrap port back to the platform when the attempt is over, whoever ends it.
class CPortLoan {
public:
    CPortLoan() = default;
    ~CPortLoan() { Release(); }
    CPortLoan(const CPortLoan&) = delete;
    CPortLoan& operator=(const CPortLoan&) = delete;

    CSerial* Take(int portNumber, uint8_t echoMode)
    {
        m_serial = GetPlatform()->GetSerial();
        if (m_serial == nullptr)
            throw CGenError(2);
        m_serial->SetEchoMode(echoMode);
        m_serial->Configure(kBootstrapBaud, 0, 0, 8);
        m_serial->OpenPort(static_cast<unsigned>(portNumber));
        return m_serial;
    }
    void Release()
    {
        if (m_serial != nullptr)
            GetPlatform()->ReleaseSerial();
        m_serial = nullptr;
    }

private:
    CSerial* m_serial = nullptr;
};

} // namespace

namespace {

// Whether the radio, as an engine run left it, cannot be used until the upgrade is finished.
bool LeftUnusable(RadioLeft left)
{
    return left == RadioLeft::FlashErased || left == RadioLeft::CodeplugPartlyWritten;
}

} // namespace

void CUpgradeForm::RunAttempts()
{
    m_attemptState = kFirstAttempt;
    // The radio's own data is saved once per press (or was by the press this one finishes) and
    // restored from the press record on every retry.
    for (;;) {
        if (StopRequested()) {
            // Before the next attempt began (a stop during a retry question, say): nothing of it
            // reached the radio.
            Fail(m_outcome.engineRuns > 0 ? ProgramEnd::EngineFailed : ProgramEnd::Cancelled,
                 std::string("stopped on ") + StopSignalName() + " before the next attempt began");
            return;
        }
        std::unique_ptr<CUpgradeEngine> engine = m_engineFactory();
        m_flashSettings.portBaud = kBootstrapBaud;
        CPortLoan port;
        if (m_flashFirmware == 1) {
            CSerial* serial = port.Take(m_settings.portNumber, m_settings.EchoMode());
            if (m_attemptState == kFirstAttempt) {
                if (Box(FormText::kBootstrapFirst, FormText::kNote, MB_OKCANCEL | MB_ICONINFORMATION) == IDCANCEL) {
                    RecoveryNoticeShown = 0;
                    Fail(ProgramEnd::Cancelled, "cancelled at the bootstrap prompt; nothing was written but the identity mark");
                    return;
                }
                RecoveryPending = 1;
            } else {
                Box(FormText::kBootstrapRetry, FormText::kNote, MB_OK | MB_ICONINFORMATION);
            }
            engine->SetSerial(serial);
        }
        m_flashSettings.firmwareText.clear();
        engine->SetPort(m_settings.portNumber, m_settings.EchoMode());
        engine->SetPlan(m_plan);
        engine->SetJob(m_flashSettings, m_codeplugImage, m_patchEntries, m_codeplugType, m_dataFileKey);
        engine->SetRadioCode(m_radioCode);
        engine->SetCarryOver(&m_carryOver, &m_carryOverStore);
        int result = 0;
        {
            CDirectoryScope kit(m_kitDirectory);
            ++m_outcome.engineRuns;
            m_outcome.flashBaud = m_flashFirmware ? m_flashSettings.flashBaud : 0;
            result = engine->UpgradeRadio();
        }
        if (!engine->FirmwareFile().empty() && engine->FirmwareFile() != m_outcome.firmwareFile) {
            m_outcome.firmwareFile = engine->FirmwareFile();
            Ui().ShowRadio(RadioLine());  // the flash size is known now
        }
        m_lastFailure = result == kUpgradeSucceeded ? std::string() : engine->FailureText();
        if (!m_lastFailure.empty())
            m_outcome.detail = "failed at " + m_lastFailure;
        m_outcome.engineResult = result;
        port.Release();
        const bool stopped = StopRequested() && result != kUpgradeSucceeded;
        if (stopped && !LeftUnusable(engine->GetRadioLeft())) {
            // Ended on a stop at a safe point that leaves the radio usable: the link is closed
            // and the port given back; the user is told what the radio holds.
            Fail(ProgramEnd::EngineFailed,
                 std::string("stopped on ") + StopSignalName() + ". " + engine->RadioLeftText());
            RecoverRequested = 0;
            VerifyBypass = 0;
            return;
        }
        // A stop that leaves the radio without firmware or with a part-programmed codeplug ends
        // like a failure of that stage: the technician is asked to retry or cancel.
        ActOnResult(result);
        if (stopped) {
            if (m_attemptState == kRetry) {
                ClearStopRequest();
            } else {
                Fail(ProgramEnd::EngineFailed,
                     std::string("stopped on ") + StopSignalName() + ". " + engine->RadioLeftText());
            }
        }
        engine.reset();
        if (m_attemptState == kLoopDone) {
            RecoverRequested = 0;
            VerifyBypass = 0;
            return;
        }
    }
}

void CUpgradeForm::ActOnResult(int result)
{
    bool recoveryLine = HasRecoveryMode(ProductLine());
    switch (result) {
    case kUpgradeSucceeded:
        if (recoveryLine && BootState == 1 && RecoveryPending == 0) {
            Box(FormText::kPressAgain, FormText::kNote, MB_OK | MB_ICONINFORMATION);
            BootState = 0;
            RecoveryPending = 1;
            RecoveryNoticeShown = 1;
            Fail(ProgramEnd::PressAgain);
        } else {
            Box(FormText::kUpdateSuccessful, FormText::kNote, MB_OK | MB_ICONINFORMATION);
            RecoveryPending = 0;
            Fail(ProgramEnd::Updated);
        }
        m_attemptState = kLoopDone;
        return;
    case kUpgradeInvalidDataFile:
    case kUpgradeBootcodeFailed:
        if (result == kUpgradeInvalidDataFile || m_attemptState == kFirstAttempt) {
            if (result == kUpgradeInvalidDataFile) {
                Box(FormText::kInvalidDataFile, FormText::kInvalidOperation, MB_OK | MB_ICONSTOP);
                Fail(ProgramEnd::KitUnusable);
            } else {
                Box(FormText::kFlashNotStarted, FormText::kInitializationError, MB_OK | MB_ICONSTOP);
                Fail(ProgramEnd::EngineFailed, "flashing could not be started; the radio's flash is unchanged");
            }
            if (recoveryLine)
                RecoveryPending = 0;
            m_attemptState = kLoopDone;
            return;
        }
        RetryChoice(Box(FormText::kFlashNotStartedRetry, FormText::kError, MB_OKCANCEL | MB_ICONSTOP));
        return;
    case kUpgradeFlashSizeFailed:
        RetryChoice(Box(FormText::kFlashSizeFailed, FormText::kError, MB_OKCANCEL | MB_ICONSTOP));
        return;
    default:
        RetryChoice(Box(FormText::kUpdateError, FormText::kError, MB_OKCANCEL | MB_ICONSTOP));
        return;
    }
}

void CUpgradeForm::RetryChoice(int answer)
{
    if (answer == IDOK) {
        m_attemptState = kRetry;
        return;
    }
    if (HasRecoveryMode(ProductLine()))
        RecoveryPending = 0;
    Fail(ProgramEnd::EngineFailed, "the upgrade was cancelled after it had started" +
                                       (m_lastFailure.empty() ? std::string() : " (failed at " + m_lastFailure + ")") +
                                       "; the radio may be inoperable");
    m_attemptState = kLoopDone;
}
