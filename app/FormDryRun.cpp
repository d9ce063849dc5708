// A dry run: what a Program press would do with the attached radio, found without writing to it.
#include "app/FormMessages.h"
#include "app/UpgradeForm.h"
#include "app/WorkflowFlags.h"
#include "errors/Error.h"
#include "link/LinkFlags.h"

PlanReport CUpgradeForm::DryRun()
{
    PlanReport report;
    m_outcome = ProgramOutcome{};
    m_dryRunNotes.clear();
    if (!m_configLoaded) {
        ShowError(FormText::kNoConfiguration);
        report.end = ProgramEnd::KitUnusable;
        return report;
    }
    // A dry run leaves the recovery plan's alternation as it found it.
    uint8_t planToggle = PlanToggle;
    try {
        m_failureKind = ProgramEnd::LinkFailed;
        if (ReachRadio() && VerifyRadio(true)) {
            if (NothingPlannedForRunningRadio())
                Fail(ProgramEnd::Refused, "the kit plans no upgrade for this radio while its application runs");
            else if (CheckPowerUp())
                Fail(ProgramEnd::Updated);
        }
    } catch (const CError& error) {
        ShowLinkError(error);
        CloseLink();
        Fail(m_failureKind, m_failureKind == ProgramEnd::Refused ? m_refusalDetail : std::string(error.GetText()));
    }
    PlanToggle = planToggle;
    report.end = m_outcome.end;
    report.detail = m_outcome.detail;
    report.planned = m_outcome.planned && report.end == ProgramEnd::Updated;
    report.bootState = BootState == 1;
    report.plan = m_plan;
    report.entryIndex = m_entryIndex;
    report.codeplugFile = m_codeplugFile;
    report.codeplugImage = m_codeplugImage;
    report.patchEntries = m_patchEntries;
    report.asksFlashRate = m_askFlashRate && m_flashFirmware && !m_rateDialogShown;
    m_config.FindNthBlock("RADIO_GROUP_REGION", m_groupIndex);
    for (int i = 0; i < 3; ++i)
        m_config.GetField(i + 2, 1, report.bootcodeFiles[i]);
    report.notes = m_dryRunNotes;
    return report;
}
