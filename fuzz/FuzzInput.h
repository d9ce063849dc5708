#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads a fuzz input front to back: bytes, numbers and runs of bytes. Past the end every read
// gives zeros, so that a harness never has to test for the end.
class CFuzzInput {
public:
    CFuzzInput(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool Empty() const { return m_at >= m_size; }
    std::size_t Left() const { return m_at < m_size ? m_size - m_at : 0; }
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() << 8 | Byte()); }
    // A value from 0 to `limit`.
    unsigned Below(unsigned limit) { return limit == 0 ? 0 : Word() % (limit + 1); }
    std::vector<uint8_t> Bytes(std::size_t count)
    {
        count = count < Left() ? count : Left();
        std::vector<uint8_t> out(m_data + m_at, m_data + m_at + count);
        m_at += count;
        return out;
    }
    std::string Rest()
    {
        std::string out(reinterpret_cast<const char*>(m_data + m_at), Left());
        m_at = m_size;
        return out;
    }

private:
    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// Stops the run with a message when an invariant of the code under test does not hold (a
// finding, like a sanitizer report).
[[noreturn]] void FuzzFinding(const char* what);
#define FUZZ_EXPECT(condition) \
    do {                       \
        if (!(condition))      \
            FuzzFinding(#condition); \
    } while (0)
