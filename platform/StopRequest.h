#pragma once

// A stop asked for from outside (Ctrl-C, a closed terminal, a service manager): SIGINT, SIGTERM
// and SIGHUP only set a process-wide flag; the work stops at its next safe point, never in the
// middle of a frame, and the usual clean-up runs (the link is closed, the port's line settings
// restored and its hold released).
//
// Safe points: the command exchange checks before each request it sends (CVeskComm raises
// the stop as a CGenError, which no retry swallows); a long operation that waits or loops
// without sending (the engine between stages and records, a retry prompt, the workflow
// before a Program press goes on) checks StopRequested() itself and stops the same way,
// telling the user what state the radio was left in.

// What asked for the stop, numbered as the POSIX signals are (the exit status adds 128). On
// Windows Ctrl-C is the interrupt, Ctrl-Break the termination and closing the console the
// hang-up.
namespace StopCause {
inline constexpr int kHangUp = 1;
inline constexpr int kInterrupt = 2;
inline constexpr int kTerminate = 15;
} // namespace StopCause

// Installs the handlers while it lives (restoring the previous ones afterwards); a stop asked
// for before is forgotten.
class CStopSignals {
public:
    CStopSignals();
    ~CStopSignals();
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;
};

// Keeps the stop requests off the calling thread while it lives, so that they reach the
// worker threads: a question waiting for its answer on the terminal there is then cut short
// and the stop seen at once. (Where stops arrive on a thread of their own, as on Windows,
// it has nothing to do.)
class CStopsToOtherThreads {
public:
    CStopsToOtherThreads();
    ~CStopsToOtherThreads();
    CStopsToOtherThreads(const CStopsToOtherThreads&) = delete;
    CStopsToOtherThreads& operator=(const CStopsToOtherThreads&) = delete;

private:
    alignas(8) unsigned char m_previous[128];  // the thread's signal mask before
};

bool StopRequested();
// The signal that asked (0 when none).
int StopSignal();
// "SIGINT", "SIGTERM", "SIGHUP", or "a stop request".
const char* StopSignalName();
// As a signal would (tests, and a front end's own Stop): the marks above are heeded.
void RequestStop(int signal);
void ClearStopRequest();
// Raises the stop as CGenError 3 when one was asked for. `where` says what was not begun
// ("before the next request was sent").
void ThrowIfStopRequested(const char* where);
// Stages that a stop would leave the radio unusable in (its flash erased and not yet written, its
// codeplug being reprogrammed). While one is marked and confirmation is on (a person at a
// terminal), the first SIGINT only prints `warning` to standard error; a second one stops.
// SIGTERM and SIGHUP stop at once. `warning` must outlive the mark (a string literal).
void SetStopConfirmation(bool on);
void MarkUnsafeToStop(const char* warning);
void MarkSafeToStop();

// A stage that can end early by itself after its current step (the patch entries): while it
// runs, SIGINT asks it to, instead of stopping the program. TakeInterruptRequest() tells the
// stage (and forgets the request).
class CInterruptibleStage {
public:
    CInterruptibleStage();
    ~CInterruptibleStage();
    CInterruptibleStage(const CInterruptibleStage&) = delete;
    CInterruptibleStage& operator=(const CInterruptibleStage&) = delete;
};
bool TakeInterruptRequest();

// The exit status of a command that ended on a stop: 128 plus the signal's number (130 for
// Ctrl-C), else `otherwise`.
int StopExitStatus(int otherwise);
