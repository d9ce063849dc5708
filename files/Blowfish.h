#pragma once

#include <cstddef>
#include <cstdint>

// The block cipher of the installed data files: 64-bit blocks, 16 rounds, ECB. A file block of
// 8 bytes is two 32-bit halves, each stored least significant byte first (byte 0 is the low
// byte of the left half). One context is made per file read and discarded afterwards.
class CBlowfish {
public:
    static constexpr std::size_t kBlockSize = 8;

    // Loads the constant tables and runs the key schedule; the key bytes are used cyclically,
    // so any length of at least 1 works (only the first 72 bytes of a longer key matter). A key
    // of length 0 cannot drive the schedule: it is refused (false) and the context stays
    // unusable, so that every buffer operation on it fails.
    bool Initialize(const uint8_t* key, std::size_t keyLength);
    bool IsReady() const { return m_ready; }

    void EncipherBlock(uint32_t& left, uint32_t& right) const;
    void DecipherBlock(uint32_t& left, uint32_t& right) const;

    // In place, block by block. A length that is not a multiple of 8 is refused: false and the
    // buffer unchanged. A length of 0 succeeds and does nothing.
    bool EncipherBuffer(uint8_t* buffer, std::size_t length) const;
    bool DecipherBuffer(uint8_t* buffer, std::size_t length) const;

    // For tests: the P-array and the S-boxes after the key schedule.
    const uint32_t* PArray() const { return m_p; }
    const uint32_t* SBoxes() const { return m_s; }

private:
    uint32_t F(uint32_t x) const;

    uint32_t m_p[18] = {};
    uint32_t m_s[1024] = {};
    bool m_ready = false;
};
