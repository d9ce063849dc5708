#include "upgrade/Patcher.h"
#include "upgrade/RadioUpgrade.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "platform/StopRequest.h"

// The last stage: the patch entries of the matched radio group, applied to the radio, which
// the patcher resets at the end.
void CRadioUpgrade::DoPatch()
{
    m_progress.Begin(UpgradeStage::Patches);
    CPatcher patcher(m_codeplugType);
    patcher.SetStepHook([this] { m_progress.Step(); });
    if (m_codeplugType == 3)
        patcher.SetImage(m_codeplugImage ? m_codeplugImage->c_str() : nullptr, m_radioCode);
    // After flashing the radio still runs the boot code, at the flash rate.
    int baud = m_plan->flashFirmware == 1 ? m_flashSettings->flashBaud : 9600;
    static const PatchEntries kNone{PatchEntry{kPatchEnd}};
    // Ctrl-C cancels between entries, as the progress window's Cancel does.
    CInterruptibleStage interruptible;
    if (!patcher.UpdateRadio(m_patchEntries ? *m_patchEntries : kNone, m_portNumber, m_echoMode, baud)) {
        ErrorLog().Log("CRadioUpgrade::DoPatch: Patching codeplug data failed!");
        throw CGenError(3, "Patching error");
    }
}
