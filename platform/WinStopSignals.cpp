#include "platform/StopRequest.h"
#include "platform/StopSignals.h"

#include <atomic>
#include <cstring>

#include <windows.h>

namespace {
int g_installed = 0;
// Set once the handlers are removed again: a closing console waits for it, so that the port
// is given back before the system ends the process.
HANDLE g_finished = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
        TakeStopRequest(StopCause::kInterrupt);
        return TRUE;
    case CTRL_BREAK_EVENT:
        TakeStopRequest(StopCause::kTerminate);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        TakeStopRequest(StopCause::kHangUp);
        // The process ends when this returns (the system allows about five seconds): the
        // work stops at its next safe point meanwhile and the port is closed.
        if (g_finished != nullptr)
            WaitForSingleObject(g_finished, 4500);
        return TRUE;
    default:
        return FALSE;
    }
}
} // namespace

void SayOnStop(const char* text)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

CStopSignals::CStopSignals()
{
    if (g_installed++ != 0)
        return;
    ForgetStopRequest();
    if (g_finished == nullptr)
        g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    else
        ResetEvent(g_finished);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

CStopSignals::~CStopSignals()
{
    if (--g_installed != 0)
        return;
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    if (g_finished != nullptr)
        SetEvent(g_finished);
}

// Console events arrive on a thread of their own: no thread needs to keep them off.
CStopsToOtherThreads::CStopsToOtherThreads() = default;
CStopsToOtherThreads::~CStopsToOtherThreads() = default;
