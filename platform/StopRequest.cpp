#include "platform/StopRequest.h"

#include "errors/Error.h"
#include "platform/StopSignals.h"

#include <atomic>
#include <csignal>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

std::atomic<bool> g_confirm{false};
std::atomic<const char*> g_unsafeWarning{nullptr};
std::atomic<bool> g_warned{false};
std::atomic<int> g_interruptible{0};
std::atomic<bool> g_interrupt{false};

constexpr char kInterruptNote[] = "\nStopping after the patch entry being applied.\n";

} // namespace

// Only what a signal handler may do: atomics and SayOnStop().
void TakeStopRequest(int signal)
{
    if (signal == StopCause::kInterrupt && g_interruptible.load() > 0) {
        g_interrupt = true;
        SayOnStop(kInterruptNote);
        return;
    }
    const char* warning = g_unsafeWarning.load();
    if (signal == StopCause::kInterrupt && g_confirm.load() && warning != nullptr && !g_warned.exchange(true)) {
        SayOnStop("\n");
        SayOnStop(warning);
        SayOnStop("\n");
        return;
    }
    g_stopSignal = signal;
}

void ForgetStopRequest() { g_stopSignal = 0; }

bool StopRequested() { return g_stopSignal != 0; }

int StopSignal() { return g_stopSignal; }

const char* StopSignalName()
{
    switch (g_stopSignal) {
    case StopCause::kInterrupt: return "SIGINT";
    case StopCause::kTerminate: return "SIGTERM";
    case StopCause::kHangUp: return "SIGHUP";
    default: return "a stop request";
    }
}

void RequestStop(int signal) { TakeStopRequest(signal); }

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
