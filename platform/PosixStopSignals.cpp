#include "platform/StopRequest.h"
#include "platform/StopSignals.h"

#include <csignal>
#include <cstring>

#include <pthread.h>
#include <unistd.h>

static_assert(StopCause::kHangUp == SIGHUP && StopCause::kInterrupt == SIGINT && StopCause::kTerminate == SIGTERM);
static_assert(sizeof(sigset_t) <= 128);

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];
int g_installed = 0;

extern "C" void OnStopSignal(int signal) { TakeStopRequest(signal); }

sigset_t StopSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kSignals)
        sigaddset(&set, signal);
    return set;
}

} // namespace

void SayOnStop(const char* text) { (void)!::write(STDERR_FILENO, text, std::strlen(text)); }

CStopSignals::CStopSignals()
{
    if (g_installed++ != 0)
        return;
    ForgetStopRequest();
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

CStopsToOtherThreads::CStopsToOtherThreads()
{
    sigset_t set = StopSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(m_previous));
}

CStopsToOtherThreads::~CStopsToOtherThreads()
{
    pthread_sigmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(m_previous), nullptr);
}
