#pragma once

#include "platform/Platform.h"

// Lending of the platform's members, shared by every platform: the port and the timers are
// held by value and lent by pointer; a loan only adjusts a count or a flag.
template <class SerialT, class TimerT>
class CLendingPlatform : public CPlatform {
public:
    void ReleaseDelayTimer() override { --m_delayTimerUses; }
    void ReleasePortTimer() override { --m_portTimerUses; }
    CTimerCtrl* GetDelayTimer() override { return Lend(m_delayTimerUses, m_delayTimer); }
    CTimerCtrl* GetPortTimer() override { return Lend(m_portTimerUses, m_portTimer); }
    CSerial* GetSerial() override
    {
        if (m_serialLent)
            return nullptr;
        m_serialLent = 1;
        return &m_serial;
    }
    CTimerCtrl* GetSpareTimer() override
    {
        if (m_spareTimerLent)
            return nullptr;
        m_spareTimerLent = 1;
        return &m_spareTimer;
    }
    void ReleaseSerial() override
    {
        m_serialLent = 0;
        m_serial.Close();
    }
    void ReleaseSpareTimer() override { m_spareTimerLent = 0; }

    SerialT& Serial() { return m_serial; }

protected:
    template <class... Args>
    explicit CLendingPlatform(Args&&... timerArgs)
        : m_spareTimer(timerArgs...), m_delayTimer(timerArgs...), m_portTimer(timerArgs...)
    {
    }

private:
    TimerT* Lend(int& uses, TimerT& timer)
    {
        if (uses > 0)
            return nullptr;
        ++uses;
        return &timer;
    }

    int m_delayTimerUses = 0;
    int m_portTimerUses = 0;
    SerialT m_serial;
    TimerT m_spareTimer;
    TimerT m_delayTimer;
    TimerT m_portTimer;
    int m_serialLent = 0;
    int m_spareTimerLent = 0;
};
