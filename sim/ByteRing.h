#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

// A fixed-size first-in first-out queue of bytes, as a UART driver's input buffer holds them:
// taking and giving bytes never allocates.
template <std::size_t Capacity>
class CByteRing {
public:
    std::size_t Size() const { return m_count; }
    bool Full() const { return m_count == Capacity; }
    void Clear()
    {
        m_head = 0;
        m_count = 0;
    }
    // Adds a byte at the back; a full ring keeps what it holds (the caller checks first).
    void Push(uint8_t byte)
    {
        if (Full())
            return;
        m_bytes[(m_head + m_count) % Capacity] = byte;
        ++m_count;
    }
    // Moves the first `count` bytes (at most Size()) to `dest`.
    void Pop(uint8_t* dest, std::size_t count)
    {
        count = std::min(count, m_count);
        const std::size_t first = std::min(count, Capacity - m_head);
        std::copy_n(m_bytes.begin() + std::ptrdiff_t(m_head), first, dest);
        std::copy_n(m_bytes.begin(), count - first, dest + first);
        m_head = (m_head + count) % Capacity;
        m_count -= count;
    }

private:
    std::array<uint8_t, Capacity> m_bytes{};
    std::size_t m_head = 0;
    std::size_t m_count = 0;
};
