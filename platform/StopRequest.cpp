#include "platform/StopRequest.h"

#include "errors/Error.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];
int g_installed = 0;

extern "C" void OnStopSignal(int signal) { g_stopSignal = signal; }

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

void RequestStop(int signal) { g_stopSignal = signal; }

void ClearStopRequest() { g_stopSignal = 0; }

void ThrowIfStopRequested(const char* where)
{
    if (StopRequested())
        throw CGenError(3, "Stopped on %s %s", StopSignalName(), where);
}

int StopExitStatus(int otherwise) { return StopRequested() ? 128 + StopSignal() : otherwise; }
