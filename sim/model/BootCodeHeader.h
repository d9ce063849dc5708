#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The header that the kits' boot code carries, so that the simulated radio knows the rate the
// code talks at once it runs: the ASCII characters "TSBC", then the rate as a 32-bit
// big-endian number. The rest of the code is the program.
namespace boot_code_header {

constexpr std::size_t kSize = 8;
constexpr uint8_t kMagic[4] = {'T', 'S', 'B', 'C'};
// Rates a boot code may talk at.
constexpr uint32_t kLowestRate = 300;
constexpr uint32_t kHighestRate = 1000000;

// The header for code that talks at `rate`.
inline std::vector<uint8_t> Make(uint32_t rate)
{
    return {kMagic[0], kMagic[1], kMagic[2], kMagic[3], static_cast<uint8_t>(rate >> 24),
            static_cast<uint8_t>(rate >> 16), static_cast<uint8_t>(rate >> 8), static_cast<uint8_t>(rate)};
}

// The rate the code talks at; 0 when it has no header or a rate out of range.
inline uint32_t RateOf(const std::vector<uint8_t>& code)
{
    if (code.size() < kSize)
        return 0;
    for (std::size_t i = 0; i < 4; ++i)
        if (code[i] != kMagic[i])
            return 0;
    const uint32_t rate = static_cast<uint32_t>(code[4]) << 24 | static_cast<uint32_t>(code[5]) << 16 |
                          static_cast<uint32_t>(code[6]) << 8 | code[7];
    return rate >= kLowestRate && rate <= kHighestRate ? rate : 0;
}

}  // namespace boot_code_header
