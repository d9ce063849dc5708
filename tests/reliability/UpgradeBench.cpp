#include "tests/reliability/UpgradeBench.h"

#include "app/CommSettings.h"
#include "app/UpgradeForm.h"
#include "app/WorkflowFlags.h"
#include "files/ProductLine.h"
#include "link/LinkFlags.h"
#include "platform/FlashWriteMode.h"
#include "platform/Platform.h"
#include "sim/model/SimRig.h"

#include <memory>

namespace {

// Thrown from the virtual clock when a run reaches its time bound. It is no error object and
// no standard exception, so nothing under test catches it on the way out.
struct RunOverTime {};

// The technician: OK to every prompt and to every retry offered, up to a limit.
class CTechnicianUi : public CScriptedUi {
public:
    int MessageBox(const std::string& text, const std::string& caption, unsigned style) override
    {
        boxes.push_back({text, caption, style});
        bool retryQuestion = (style & MB_OKCANCEL) != 0 && caption == "Error";
        if (retryQuestion && ++m_retries > CUpgradeBench::kMaxRetries)
            return IDCANCEL;
        return IDOK;
    }
    int AskFlashRate(int) override { return 115200; }

private:
    int m_retries = 0;
};

// The real engine, with the loader kind of its flash settings set to detection.
class CDetectingEngine : public CUpgradeEngine {
public:
    CDetectingEngine() : m_engine(MakeRadioUpgradeEngine()) {}
    void SetPort(int portNumber, uint8_t echoMode) override { m_engine->SetPort(portNumber, echoMode); }
    void SetPlan(const UpgradePlan& plan) override { m_engine->SetPlan(plan); }
    void SetJob(FlashSettings& settings, const std::string& codeplugImage, const PatchEntries& patchEntries,
                int codeplugType, const std::string& keySource) override
    {
        settings.loaderKind = 0;
        m_engine->SetJob(settings, codeplugImage, patchEntries, codeplugType, keySource);
    }
    void SetSerial(CSerial* serial) override { m_engine->SetSerial(serial); }
    void SetRadioCode(const char* code) override { m_engine->SetRadioCode(code); }
    void SetCarryOver(CarryOverRecord* record, CCarryOverStore* store) override { m_engine->SetCarryOver(record, store); }
    int UpgradeRadio() override { return m_engine->UpgradeRadio(); }
    std::string FirmwareFile() const override { return m_engine->FirmwareFile(); }

private:
    std::unique_ptr<CUpgradeEngine> m_engine;
};

} // namespace

CUpgradeBench::CUpgradeBench(std::filesystem::path kitDirectory, std::filesystem::path stateDirectory)
    : m_kit(std::move(kitDirectory)), m_state(std::move(stateDirectory))
{
}

BenchRun CUpgradeBench::Run(const RadioProfile& profile, const std::vector<FaultRule>& faults, double limitSeconds,
                            bool detectLoader) const
{
    BenchRun run;
    std::error_code ignored;
    std::filesystem::remove_all(m_state, ignored);
    ResetWorkflowFlags();
    // A fresh run of the program: no flag is left over from an earlier failed run.
    FlashWriteMode = 0;
    SkipWriteReplyCheck = 0;

    CSimPlatformScope scope;
    scope.Platform().SetCalendarStart(1'700'000'042);
    auto* ui = new CTechnicianUi;
    std::unique_ptr<CUiServices> scopeUi = InstallUi(std::unique_ptr<CUiServices>(ui));
    {
        CSimRadioRig rig(scope.Platform(), profile);
        rig.Radio().SetAutoBootstrap(true);
        for (const FaultRule& rule : faults)
            rig.Radio().AddFault(rule);
        run.codeplugBefore = rig.Radio().Memory().Codeplug();

        SetProductLineNumber(ResolveKitProductLine(m_kit));
        CCommSettings comm;
        {
            CUpgradeForm form(m_kit, comm);
            form.SetCarryOverDirectory(m_state);
            if (detectLoader)
                form.SetEngineFactory([] { return std::unique_ptr<CUpgradeEngine>(new CDetectingEngine); });
            form.OnInitialUpdate();
            CVirtualClock& clock = scope.Clock();
            const double start = clock.Now();
            clock.Schedule(start + limitSeconds, [] { throw RunOverTime{}; });
            try {
                for (int press = 0; press < kMaxPresses; ++press) {
                    if (press > 0) {
                        rig.Radio().PowerCycle(false);
                        clock.AdvanceBy(kBetweenPresses);
                    }
                    run.presses.push_back(form.OnProgram());
                    ProgramEnd end = run.presses.back().end;
                    if (end == ProgramEnd::Updated || end == ProgramEnd::Refused || end == ProgramEnd::KitUnusable)
                        break;
                }
            } catch (const RunOverTime&) {
                run.overTime = true;
            }
            run.seconds = clock.Now() - start;
        }
        for (const auto& entry : rig.Radio().Trace().Entries())
            if (entry.what == "fault" && entry.note.find("reply dropped") == std::string::npos &&
                entry.note.find("power lost after") == std::string::npos)
                ++run.faultsFired;
        run.codeplug = rig.Radio().Memory().Codeplug();
        run.flash = rig.Radio().Memory().Flash();
        run.trace = rig.Radio().Trace().Entries();
    }
    run.boxes = ui->boxes;
    InstallUi(std::move(scopeUi));
    ResetWorkflowFlags();
    SetProductLineNumber(kUnmatchedProductLine);
    std::filesystem::remove_all(m_state, ignored);
    return run;
}
