#include "cli/ProgramCommand.h"

#include "app/CommSettings.h"
#include "app/FormMessages.h"
#include "app/PressJournal.h"
#include "app/UpgradeForm.h"
#include "cli/ProgramReport.h"
#include "errors/ErrorLog.h"
#include "errors/Log.h"
#include "files/ProductLine.h"
#include "link/LinkFlags.h"
#include "link/LinkTrace.h"
#include "platform/SettingsStore.h"
#include "platform/StopRequest.h"
#include "platform/Terminal.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// A recovery takes two presses; one more covers the plan that alternates in the boot state.
constexpr int kMaxPresses = 4;

// What a command holds for its run: the terminal UI installed, the trace and the log file
// switched on when asked for; all put back when it ends.
class CCommandSession {
public:
    CCommandSession(const ProgramOptions& options, const ProgramStreams& io, std::FILE* human)
        : m_ui(new CTerminalUi(human, io.in, io.liveProgress, options.answers))
    {
        m_previousUi = InstallUi(std::unique_ptr<CUiServices>(m_ui));
        if (options.port.trace) {
            m_trace = std::make_unique<CTracePrinter>(io.err);
            m_previousTrace = SetLinkTraceSink(m_trace.get());
        }
        if (!options.port.log.empty()) {
            CwFileLog::SetFilePath(options.port.log);
            CwFileLog::SetFileWanted(true);
            ErrorLog().DropSinks();  // the next line opens the file asked for
            ErrorLog().EnableFileLog(1);
        }
        m_log = !options.port.log.empty();
    }
    ~CCommandSession()
    {
        if (m_trace)
            SetLinkTraceSink(m_previousTrace);
        if (m_log)
            ErrorLog().EnableFileLog(0);
        InstallUi(std::move(m_previousUi));
    }
    CCommandSession(const CCommandSession&) = delete;
    CCommandSession& operator=(const CCommandSession&) = delete;

    CTerminalUi& Ui() { return *m_ui; }

private:
    CTerminalUi* m_ui;
    std::unique_ptr<CUiServices> m_previousUi;
    std::unique_ptr<CTracePrinter> m_trace;
    CLinkTraceSink* m_previousTrace = nullptr;
    bool m_log = false;
};

// Settles the port and echo the command uses: the options, else the saved settings.
bool ResolveComm(const ProgramOptions& options, CCommSettings& saved, CCommSettings& used, std::FILE* err,
                 const char* command)
{
    saved.Load(Settings());
    PortOptions port = options.port;
    if (port.device.empty() && port.port == 0)
        port.port = saved.portNumber;
    if (port.echo.empty())
        port.echo = saved.echoType == 1 ? "on" : "off";
    try {
        ResolvedPort resolved = ResolvePort(port);
        used.portNumber = static_cast<int>(resolved.number);
        used.echoType = resolved.echoMode;
        return true;
    } catch (const CUsageError& e) {
        std::fprintf(err, "tessarin %s: %s\n", command, e.what());
        return false;
    }
}

// Runs `work` on a worker thread while this thread keeps the live progress line's clock moving.
template <class Work>
void RunOnWorker(CTerminalUi& ui, Work work)
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread worker([&] {
        work();
        std::lock_guard<std::mutex> lock(mutex);
        finished = true;
        done.notify_all();
    });
    {
        CStopsToOtherThreads toWorker;
        std::unique_lock<std::mutex> lock(mutex);
        while (!finished) {
            done.wait_for(lock, std::chrono::milliseconds(250));
            if (!finished) {
                lock.unlock();
                ui.Tick();
                lock.lock();
            }
        }
    }
    worker.join();
}

// Appends the press to the journal; a journal that cannot be written is one line on stderr.
void JournalCommandPress(const CUpgradeForm& form, const ProgramOutcome& outcome, PressFacts facts,
                         const std::string& device, std::FILE* err)
{
    facts.portDevice = device;
    if (StopRequested() && outcome.end != ProgramEnd::Updated)
        facts.exitStatus = StopExitStatus(facts.exitStatus);
    std::string problem = JournalPress(form, outcome, facts);
    if (!problem.empty()) {
        std::fprintf(err, "tessarin program: %s\n", problem.c_str());
        std::fflush(err);
    }
}

// Start-up shared by program and plan: the product line, the form's start. Returns 0 when the
// form is ready, else the exit status.
int StartForm(CUpgradeForm& form, std::FILE* human)
{
    SetProductLineNumber(ResolveKitProductLine(form.KitDirectory()));
    bool goOn = form.OnInitialUpdate();
    if (!goOn)
        return CUpgradeForm::ProductLine() == kUnmatchedProductLine ? kExitKitUnusable : kExitCancelled;
    if (!form.HasConfiguration()) {
        std::fprintf(human, "The kit in %s cannot be used: its configuration file is missing or unreadable.\n",
                     form.KitDirectory().string().c_str());
        return kExitKitUnusable;
    }
    std::fprintf(human, "%s\n%s\n%s\n", CUpgradeForm::WindowTitle().c_str(), form.Title().c_str(),
                 form.Description().c_str());
    std::fflush(human);
    return 0;
}

} // namespace

ProgramStreams ConsoleStreams(bool json)
{
    ProgramStreams io;
    io.interactive = IsTerminal(StdStream::In);
    io.liveProgress = IsTerminal(json ? StdStream::Err : StdStream::Out);
    return io;
}

int RunProgram(const ProgramOptions& options, ProgramStreams io)
{
    std::FILE* human = options.json ? io.err : io.out;
    if (!options.answers.yes && !io.interactive) {
        std::fprintf(io.err, "tessarin program: standard input is not a terminal, so the questions of the upgrade "
                             "(bootstrap mode, retries, flash rate) cannot be answered. Run it on a terminal, or "
                             "give --yes to answer OK (and --flash-baud for the flash rate, --retries for how "
                             "often to retry).\n");
        return kExitUsage;
    }
    CCommSettings saved, used;
    if (!ResolveComm(options, saved, used, io.err, "program"))
        return kExitUsage;
    auto started = std::chrono::steady_clock::now();
    // SIGINT, SIGTERM and SIGHUP stop the run at its next safe point; the link is closed and the
    // port given back on the way out, and the user is told what the radio holds.
    CStopSignals stopSignals;
    // A person at the terminal is warned by the first Ctrl-C while stopping would leave the
    // radio unusable; a second one stops.
    SetStopConfirmation(io.interactive);
    CCommandSession session(options, io, human);
    CUpgradeForm form(options.kit, used);
    ProgramOutcome outcome;
    int presses = 0;
    int status = StartForm(form, human);
    if (status == 0) {
        RunOnWorker(session.Ui(), [&] {
            do {
                // The second press of a recovery is this command's own: it says so.
                if (presses > 0)
                    session.Ui().ShowActivity(PressText::kPressingAgain);
                ++presses;
                CPressWatch watch(session.Ui().Recorded(), "command line");
                outcome = form.OnProgram();
                JournalCommandPress(form, outcome, watch.Facts(outcome, used.portNumber), options.port.device, io.err);
            } while (outcome.end == ProgramEnd::PressAgain && presses < kMaxPresses && !StopRequested());
        });
        status = ProgramExitStatus(outcome.end);
        if (!outcome.detail.empty())
            std::fprintf(human, "%s\n", outcome.detail.c_str());
    } else {
        outcome.end = status == kExitCancelled ? ProgramEnd::Cancelled : ProgramEnd::KitUnusable;
    }
    if (StopRequested() && status != kExitUpdated) {
        std::fprintf(human, "tessarin program: stopped on %s with no request cut off; the port was closed with its line "
                            "settings restored and its hold released.\n",
                     StopSignalName());
        status = StopExitStatus(status);
    }
    saved.Save(Settings());
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(human, "tessarin program: %s (exit status %d, %s)\n", ProgramEndName(outcome.end), status,
                 CProgressLine::FormatSeconds(elapsed).c_str());
    std::fflush(human);
    if (options.json)
        PrintProgramJson(io.out, form, outcome, status, presses, session.Ui().Messages(), elapsed);
    return status;
}

int RunPlan(const ProgramOptions& options, ProgramStreams io)
{
    std::FILE* human = options.json ? io.err : io.out;
    CCommSettings saved, used;
    if (!ResolveComm(options, saved, used, io.err, "plan"))
        return kExitUsage;
    CCommandSession session(options, io, human);
    CUpgradeForm form(options.kit, used);
    int status = StartForm(form, human);
    PlanReport report;
    if (status == 0) {
        report = form.DryRun();
        status = report.end == ProgramEnd::Updated ? 0 : ProgramExitStatus(report.end);
        PrintPlanWords(human, form, report);
    } else {
        report.end = status == kExitCancelled ? ProgramEnd::Cancelled : ProgramEnd::KitUnusable;
    }
    if (options.json)
        PrintPlanJson(io.out, form, report, status, session.Ui().Messages());
    return status;
}
