#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The frame format as the radio's firmware handles it: short frames (low nibble of the first
// byte = 1 + data bytes) and long frames (0xFF, opcode, 16-bit count, data), each closed by
// the one's complement of the 8-bit sum of the bytes before it.
namespace radio_frames {

inline uint8_t Checksum(const uint8_t* bytes, std::size_t countBeforeChecksum)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < countBeforeChecksum; ++i)
        sum += bytes[i];
    return static_cast<uint8_t>(0xFF - (sum & 0xFF));
}

// The whole length of a frame from its first bytes; 0 while more bytes are needed to know.
inline std::size_t ExpectedLength(const std::vector<uint8_t>& bytes)
{
    if (bytes.empty())
        return 0;
    if ((bytes[0] & 0x0F) != 0x0F)
        return (bytes[0] & 0x0F) + 2u;
    if (bytes.size() < 4)
        return 0;
    return (static_cast<std::size_t>(bytes[2]) << 8 | bytes[3]) + 4u;
}

// A reply frame: short up to 13 data bytes, long beyond.
inline std::vector<uint8_t> Build(uint8_t opcode, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> frame;
    if (data.size() <= 13) {
        frame = {static_cast<uint8_t>(0xF0 | (data.size() + 1)), opcode};
    } else {
        std::size_t count = data.size() + 1;
        frame = {0xFF, opcode, static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)};
    }
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(Checksum(frame.data(), frame.size()));
    return frame;
}

// The data bytes of a complete frame (after the header, before the checksum).
inline std::vector<uint8_t> Data(const std::vector<uint8_t>& frame)
{
    std::size_t header = (frame[0] & 0x0F) == 0x0F ? 4 : 2;
    if (frame.size() < header + 1)
        return {};
    return std::vector<uint8_t>(frame.begin() + header, frame.end() - 1);
}

// A 24-bit big-endian address at `at` of a request's data.
inline uint32_t Address24(const std::vector<uint8_t>& data, std::size_t at)
{
    return static_cast<uint32_t>(data[at]) << 16 | static_cast<uint32_t>(data[at + 1]) << 8 | data[at + 2];
}

// A number in upper-case hex, `digits` wide, for the trace.
inline std::string Hex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

}  // namespace radio_frames
