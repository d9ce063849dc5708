#pragma once

#include "platform/Platform.h"
#include "platform/TimerCtrl.h"

// The port timer borrowed from the platform for one port operation. Release gives it back
// early (before raising, as the port's failure paths do); otherwise the destructor does.
class CPortTimerLoan {
public:
    CPortTimerLoan() : m_timer(GetPlatform()->GetPortTimer()) {}
    ~CPortTimerLoan() { Release(); }
    CPortTimerLoan(const CPortTimerLoan&) = delete;
    CPortTimerLoan& operator=(const CPortTimerLoan&) = delete;

    bool Held() const { return m_timer != nullptr; }
    CTimerCtrl& Timer() const { return *m_timer; }
    void Release()
    {
        if (m_timer != nullptr) {
            m_timer = nullptr;
            GetPlatform()->ReleasePortTimer();
        }
    }

private:
    CTimerCtrl* m_timer;
};
