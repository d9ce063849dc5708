#include "platform/StopRequest.h"

#include "errors/Error.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];
int g_installed = 0;

std::atomic<bool> g_confirm{false};
std::atomic<const char*> g_unsafeWarning{nullptr};
std::atomic<bool> g_warned{false};
std::atomic<int> g_interruptible{0};
std::atomic<bool> g_interrupt{false};

constexpr char kInterruptNote[] = "\nStopping after the patch entry being applied.\n";

void Say(const char* text) { (void)!::write(STDERR_FILENO, text, std::strlen(text)); }

// Only what a signal handler may do: atomics and write().
void TakeSignal(int signal)
{
    if (signal == SIGINT && g_interruptible.load() > 0) {
        g_interrupt = true;
        Say(kInterruptNote);
        return;
    }
    const char* warning = g_unsafeWarning.load();
    if (signal == SIGINT && g_confirm.load() && warning != nullptr && !g_warned.exchange(true)) {
        Say("\n");
        Say(warning);
        Say("\n");
        return;
    }
    g_stopSignal = signal;
}

extern "C" void OnStopSignal(int signal) { TakeSignal(signal); }

} // namespace

CStopSignals::CStopSignals()
{
    if (g_installed++ != 0)
        return;
    g_stopSignal = 0;
    struct sigaction action{};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a wait is cut short and the stop seen sooner
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &action, &g_previous[i]);
}

CStopSignals::~CStopSignals()
{
    if (--g_installed != 0)
        return;
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &g_previous[i], nullptr);
}

bool StopRequested() { return g_stopSignal != 0; }

int StopSignal() { return g_stopSignal; }

const char* StopSignalName()
{
    switch (g_stopSignal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a stop request";
    }
}

void RequestStop(int signal) { TakeSignal(signal); }

void ClearStopRequest()
{
    g_stopSignal = 0;
    g_warned = false;
}

void SetStopConfirmation(bool on) { g_confirm = on; }

void MarkUnsafeToStop(const char* warning)
{
    g_warned = false;
    g_unsafeWarning = warning;
}

void MarkSafeToStop()
{
    g_unsafeWarning = nullptr;
    g_warned = false;
}

CInterruptibleStage::CInterruptibleStage()
{
    ++g_interruptible;
    g_interrupt = false;
}

CInterruptibleStage::~CInterruptibleStage()
{
    --g_interruptible;
    g_interrupt = false;
}

bool TakeInterruptRequest() { return g_interrupt.exchange(false); }

void ThrowIfStopRequested(const char* where)
{
    if (StopRequested())
        throw CGenError(3, "Stopped on %s %s", StopSignalName(), where);
}

int StopExitStatus(int otherwise) { return StopRequested() ? 128 + StopSignal() : otherwise; }
