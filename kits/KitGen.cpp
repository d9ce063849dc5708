// Makes the demo kit's plain images, deterministically: firmware for a flash size, boot code for
// a flash rate, and the demo codeplug image. Every image is S-record text with CR LF line ends
// that ends with an S9 record.
//
//   tessarin-kitgen firmware SIZE_KB OUT    S2 records of 32 bytes from 0x400000
//   tessarin-kitgen bootcode RATE OUT       S1 records of 32 bytes from 0x0000
//   tessarin-kitgen codeplug OUT            S1 records of 16 bytes from 0x0000
#include "files/HexText.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kFlashBase = 0x400000;
constexpr uint32_t kProbeReserve = 64 * 1024;  // the last 64 KB, where the size probe writes
const char kFirmwareVersion[8] = {'R', '0', '2', '.', '0', '5', 0, 0};

// A small deterministic generator, so that images are the same on every build.
class Filler {
public:
    explicit Filler(uint32_t seed) : m_state(seed ? seed : 1) {}
    uint8_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return uint8_t(m_state >> 8);
    }

private:
    uint32_t m_state;
};

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

// Firmware: "TSFW", the flash size (32-bit big-endian), the version text (8 bytes), then code
// filler up to the last 64 KB of the flash.
std::string Firmware(uint32_t sizeKb)
{
    const uint32_t size = sizeKb * 1024;
    std::vector<uint8_t> bytes = {'T', 'S', 'F', 'W'};
    PutBigEndian(bytes, size);
    bytes.insert(bytes.end(), kFirmwareVersion, kFirmwareVersion + 8);
    Filler filler(size);
    while (bytes.size() < size - kProbeReserve)
        bytes.push_back(filler.Next());
    return FormatSRecordImage(bytes.data(), bytes.size(), kFlashBase, 32);
}

// Boot code: "TSBC" and the flash rate it talks at (32-bit big-endian), then 1,016 filler bytes.
std::string Bootcode(uint32_t rate)
{
    std::vector<uint8_t> bytes = {'T', 'S', 'B', 'C'};
    PutBigEndian(bytes, rate);
    Filler filler(rate);
    while (bytes.size() < 1024)
        bytes.push_back(filler.Next());
    return FormatSRecordImage(bytes.data(), bytes.size(), 0x0000, 32);
}

void Put16(std::vector<uint8_t>& image, uint32_t at, uint32_t value)
{
    image[at] = uint8_t(value >> 8);
    image[at + 1] = uint8_t(value);
}

// Sets the checksum byte at `last` so that the 8-bit sum of [first, last] is 0.
void Seal(std::vector<uint8_t>& image, uint32_t first, uint32_t last)
{
    uint8_t sum = 0;
    for (uint32_t at = first; at < last; ++at)
        sum = uint8_t(sum + image[at]);
    image[last] = uint8_t(0x100 - sum);
}

// The demo codeplug in the ADK block layout (see kits/README.md).
std::string Codeplug()
{
    constexpr uint32_t p1 = 0x0100, p2 = 0x0200, l2 = 0x0020, p3 = 0x0208;
    std::vector<uint8_t> image(p2 + l2 + 1, 0);
    Put16(image, 0x0000, p1);
    Put16(image, 0x0009, 0x0001);
    Put16(image, 0x000B, 0x0020);  // block 0x8000: the tuning entry
    // Block 0x8000 at 0x0020: no lists, 8-bit sizes, one entry of 64 bytes.
    image[0x20] = 0x00;
    image[0x21] = 0x40;
    image[0x22] = 0x01;
    for (uint32_t i = 0; i < 0x40; ++i)
        image[0x23 + i] = uint8_t(0x10 + 3 * i);
    Put16(image, p1, p2 - p1);  // L1
    // Block 0 at 0x0110: one entry of 96 bytes and a block checksum byte. Bytes 0-10 hold the
    // serial number, byte 81 the regional id.
    const uint32_t b0 = 0x0110;
    image[b0] = 0x80;
    image[b0 + 1] = 0x60;
    image[b0 + 2] = 0x01;
    std::memcpy(&image[b0 + 3], "DEMO0000001", 11);
    for (uint32_t i = 11; i < 0x60; ++i)
        image[b0 + 3 + i] = uint8_t(i);
    image[b0 + 3 + 81] = 0x05;
    Seal(image, b0, b0 + 3 + 0x60);
    // Block 3 at 0x0180: two entries of 4 bytes and a block checksum byte (the patched block).
    const uint32_t b3 = 0x0180;
    const uint8_t block3[] = {0x80, 0x04, 0x02, 0xA3, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    std::memcpy(&image[b3], block3, sizeof block3);
    Seal(image, b3, b3 + sizeof block3);
    // The block vectors region from P2: checksummed (flag 0x04), L2, P3; four vectors.
    image[p2] = 0x04;
    Put16(image, p2 + 2, l2);
    Put16(image, p2 + 6, p3);
    Put16(image, p3, 4);
    Put16(image, p3 + 2, b0);
    Put16(image, p3 + 8, b3);
    Seal(image, 0, p1 - 1);
    Seal(image, p1, p2 - 1);
    Seal(image, p2, p2 + l2);
    return FormatSRecordImage(image.data(), image.size(), 0x0000, 16);
}

int Usage()
{
    std::fputs("usage: tessarin-kitgen firmware SIZE_KB OUT | bootcode RATE OUT | codeplug OUT\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    const std::string kind = argv[1];
    std::string text;
    const char* out = argv[argc - 1];
    if (kind == "firmware" && argc == 4)
        text = Firmware(uint32_t(std::strtoul(argv[2], nullptr, 10)));
    else if (kind == "bootcode" && argc == 4)
        text = Bootcode(uint32_t(std::strtoul(argv[2], nullptr, 10)));
    else if (kind == "codeplug" && argc == 3)
        text = Codeplug();
    else
        return Usage();
    const std::string temp = std::string(out) + ".tmp";
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file || std::fwrite(text.data(), 1, text.size(), file) != text.size() || std::fclose(file) != 0 ||
        std::rename(temp.c_str(), out) != 0) {
        std::fprintf(stderr, "tessarin-kitgen: cannot write %s\n", out);
        return 1;
    }
    return 0;
}
