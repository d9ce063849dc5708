#pragma once

#include <csignal>
#include <signal.h>

// The stop signals (SIGINT, SIGTERM, SIGHUP) at their default action for one test, and the
// dispositions the test program inherited given back afterwards. A test of signal handling
// sets what it needs itself: started under `nohup` (SIGHUP ignored) or from a shell's
// `trap '' INT` (SIGINT ignored), it must see the same as from a plain terminal.
class CDefaultStopSignals {
public:
    CDefaultStopSignals()
    {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < 3; ++i)
            sigaction(kSignals[i], &action, &m_inherited[i]);
    }
    ~CDefaultStopSignals()
    {
        for (int i = 0; i < 3; ++i)
            sigaction(kSignals[i], &m_inherited[i], nullptr);
    }
    CDefaultStopSignals(const CDefaultStopSignals&) = delete;
    CDefaultStopSignals& operator=(const CDefaultStopSignals&) = delete;

    // The signal's action as it is now (SIG_DFL, SIG_IGN or a handler), left unchanged.
    static void (*Disposition(int signal))(int)
    {
        struct sigaction now {};
        sigaction(signal, nullptr, &now);
        return now.sa_handler;
    }

private:
    static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction m_inherited[3] {};
};
