#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Builds S-record lines with their checksums, for tests.
inline std::string SRecordLine(char type, uint32_t address, const std::vector<uint8_t>& data,
                               const char* lineEnd = "\r\n")
{
    const int addressBytes = type == '2' || type == '8' ? 3 : 2;
    const int count = int(data.size()) + addressBytes + 1;
    int sum = count;
    char buffer[16];
    std::string line = "S";
    line += type;
    std::snprintf(buffer, sizeof buffer, "%02X", count);
    line += buffer;
    for (int i = addressBytes - 1; i >= 0; --i) {
        uint8_t b = uint8_t(address >> (8 * i));
        sum += b;
        std::snprintf(buffer, sizeof buffer, "%02X", b);
        line += buffer;
    }
    for (uint8_t b : data) {
        sum += b;
        std::snprintf(buffer, sizeof buffer, "%02X", b);
        line += buffer;
    }
    std::snprintf(buffer, sizeof buffer, "%02X", 0xFF - (sum & 0xFF));
    line += buffer;
    return line + lineEnd;
}

inline std::vector<uint8_t> Sequence(std::size_t count, uint8_t first = 0)
{
    std::vector<uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = uint8_t(first + i);
    return out;
}
