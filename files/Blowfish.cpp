#include "files/Blowfish.h"

#include "files/BlowfishTables.h"

#include <cstring>

namespace {

uint32_t LoadHalf(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

void StoreHalf(uint8_t* bytes, uint32_t value)
{
    bytes[0] = uint8_t(value);
    bytes[1] = uint8_t(value >> 8);
    bytes[2] = uint8_t(value >> 16);
    bytes[3] = uint8_t(value >> 24);
}

}  // namespace

uint32_t CBlowfish::F(uint32_t x) const
{
    const uint32_t* s = m_s;
    return ((s[x >> 24] + s[256 + ((x >> 16) & 0xFF)]) ^ s[512 + ((x >> 8) & 0xFF)]) +
           s[768 + (x & 0xFF)];
}

bool CBlowfish::Initialize(const uint8_t* key, std::size_t keyLength)
{
    m_ready = false;
    if (key == nullptr || keyLength == 0)
        return false;
    std::memcpy(m_p, kBlowfishInitP, sizeof m_p);
    std::memcpy(m_s, kBlowfishInitS, sizeof m_s);

    std::size_t index = 0;
    for (uint32_t& p : m_p) {
        uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = word << 8 | key[index];
            index = (index + 1) % keyLength;
        }
        p ^= word;
    }

    uint32_t left = 0, right = 0;
    for (std::size_t i = 0; i < 18; i += 2) {
        EncipherBlock(left, right);
        m_p[i] = left;
        m_p[i + 1] = right;
    }
    for (std::size_t i = 0; i < 1024; i += 2) {
        EncipherBlock(left, right);
        m_s[i] = left;
        m_s[i + 1] = right;
    }
    m_ready = true;
    return true;
}

void CBlowfish::EncipherBlock(uint32_t& left, uint32_t& right) const
{
    uint32_t l = left, r = right;
    for (int i = 0; i < 16; ++i) {
        l ^= m_p[i];
        r ^= F(l);
        uint32_t t = l;
        l = r;
        r = t;
    }
    // Undo the last swap, then whiten with the last two words.
    uint32_t t = l;
    l = r;
    r = t;
    r ^= m_p[16];
    l ^= m_p[17];
    left = l;
    right = r;
}

void CBlowfish::DecipherBlock(uint32_t& left, uint32_t& right) const
{
    uint32_t l = left, r = right;
    for (int i = 17; i > 1; --i) {
        l ^= m_p[i];
        r ^= F(l);
        uint32_t t = l;
        l = r;
        r = t;
    }
    uint32_t t = l;
    l = r;
    r = t;
    r ^= m_p[1];
    l ^= m_p[0];
    left = l;
    right = r;
}

bool CBlowfish::EncipherBuffer(uint8_t* buffer, std::size_t length) const
{
    if (!m_ready || length % kBlockSize != 0)
        return false;
    for (std::size_t at = 0; at < length; at += kBlockSize) {
        uint32_t l = LoadHalf(buffer + at), r = LoadHalf(buffer + at + 4);
        EncipherBlock(l, r);
        StoreHalf(buffer + at, l);
        StoreHalf(buffer + at + 4, r);
    }
    return true;
}

bool CBlowfish::DecipherBuffer(uint8_t* buffer, std::size_t length) const
{
    if (!m_ready || length % kBlockSize != 0)
        return false;
    for (std::size_t at = 0; at < length; at += kBlockSize) {
        uint32_t l = LoadHalf(buffer + at), r = LoadHalf(buffer + at + 4);
        DecipherBlock(l, r);
        StoreHalf(buffer + at, l);
        StoreHalf(buffer + at + 4, r);
    }
    return true;
}
