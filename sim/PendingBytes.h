#pragma once

#include "platform/PolledSerial.h"

#include <cstdint>
#include <vector>

// The bytes on their way along a simulated wire, each kept in a numbered slot from the moment
// it is sent until the clock event of its arrival takes it. The event carries only the slot's
// number, so scheduling a byte does not allocate; freed slots are used again.
class CPendingBytes {
public:
    struct Byte {
        uint8_t value = 0;
        LineSettings sentWith;
        uint64_t generation = 0;  // the sender's transmit generation when it was sent
    };

    uint32_t Put(const Byte& byte)
    {
        if (m_free.empty()) {
            m_slots.push_back(byte);
            return static_cast<uint32_t>(m_slots.size() - 1);
        }
        const uint32_t slot = m_free.back();
        m_free.pop_back();
        m_slots[slot] = byte;
        return slot;
    }
    Byte Take(uint32_t slot)
    {
        m_free.push_back(slot);
        return m_slots[slot];
    }

private:
    std::vector<Byte> m_slots;
    std::vector<uint32_t> m_free;
};
