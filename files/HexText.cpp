#include "files/HexText.h"

#include <algorithm>
#include <array>

namespace {
constexpr std::array<int8_t, 256> MakeHexDigitValues()
{
    std::array<int8_t, 256> values{};
    for (int c = 0; c < 256; ++c) {
        if (c >= '0' && c <= '9')
            values[c] = static_cast<int8_t>(c - '0');
        else if (c >= 'A' && c <= 'F')
            values[c] = static_cast<int8_t>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            values[c] = static_cast<int8_t>(c - 'a' + 10);
        else
            values[c] = -1;
    }
    return values;
}
} // namespace

constinit const std::array<int8_t, 256> kHexDigitValues = MakeHexDigitValues();

namespace {
// Appends a byte's two upper-case hexadecimal digits.
void AppendHex(std::string& text, unsigned byte)
{
    static const char kDigits[] = "0123456789ABCDEF";
    text += kDigits[(byte >> 4) & 0x0F];
    text += kDigits[byte & 0x0F];
}
} // namespace

std::string BytesToHex(const uint8_t* bytes, std::size_t count)
{
    std::string text;
    text.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i)
        AppendHex(text, bytes[i]);
    return text;
}

namespace {
unsigned AddressBytes(char type)
{
    switch (type) {
    case '2':
    case '8':
        return 3;
    case '3':
    case '7':
        return 4;
    default:
        return 2;
    }
}
} // namespace

std::string FormatSRecord(char type, uint32_t address, const uint8_t* data, std::size_t count)
{
    const unsigned addressBytes = AddressBytes(type);
    const unsigned length = static_cast<unsigned>(count + addressBytes + 1);
    std::string line{'S', type};
    line.reserve(2 * (length + 1) + 4);
    auto put = [&](unsigned byte) { AppendHex(line, byte); };
    unsigned sum = length;
    put(length);
    for (unsigned i = addressBytes; i-- > 0;) {
        unsigned byte = (address >> (8 * i)) & 0xFF;
        sum += byte;
        put(byte);
    }
    for (std::size_t i = 0; i < count; ++i) {
        sum += data[i];
        put(data[i]);
    }
    put(0xFF - (sum & 0xFF));
    line += "\r\n";
    return line;
}

std::string FormatSRecordImage(const uint8_t* bytes, std::size_t count, uint32_t base, std::size_t perRecord)
{
    const char type = base + count > 0x10000 ? '2' : '1';
    std::string text;
    if (perRecord > 0)
        text.reserve((count / perRecord + 1) * (2 * perRecord + 16) + 12);
    for (std::size_t at = 0; at < count; at += perRecord)
        text += FormatSRecord(type, static_cast<uint32_t>(base + at), bytes + at, std::min(perRecord, count - at));
    return text + "S9030000FC\r\n";
}
