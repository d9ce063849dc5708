// Makes the demo kit's plain images, deterministically: firmware for a flash size, boot code for
// a flash rate, and the demo codeplug image. Every image is S-record text with CR LF line ends
// that ends with an S9 record.
//
//   tessarin-kitgen firmware SIZE_KB OUT    S2 records of 32 bytes from 0x400000
//   tessarin-kitgen bootcode RATE OUT       S1 records of 32 bytes from 0x0000
//   tessarin-kitgen codeplug DESCRIPTION OUT  the codeplug builder's image of a description,
//                                            S1 records of 16 bytes from 0x0000
#include "authoring/CodeplugBuilder.h"
#include "errors/Error.h"
#include "files/HexText.h"
#include "platform/AtomicFile.h"
#include "sim/model/BootCodeHeader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
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

// Boot code: the header that names the flash rate it talks at, then 1,016 filler bytes.
std::string Bootcode(uint32_t rate)
{
    std::vector<uint8_t> bytes = boot_code_header::Make(rate);
    Filler filler(rate);
    while (bytes.size() < 1024)
        bytes.push_back(filler.Next());
    return FormatSRecordImage(bytes.data(), bytes.size(), 0x0000, 32);
}

// A codeplug image laid out by the codeplug builder from its description (for the demo kit,
// kits/demo-codeplug.cpd), as S1 records of 16 bytes.
std::string Codeplug(const char* descriptionPath)
{
    std::ifstream in(descriptionPath, std::ios::binary);
    if (!in)
        throw std::runtime_error(std::string("cannot read ") + descriptionPath);
    std::ostringstream description;
    description << in.rdbuf();
    std::vector<uint8_t> image = CCodeplugBuilder().Build(description.str());
    return FormatSRecordImage(image.data(), image.size(), 0x0000, 16);
}

int Usage()
{
    std::fputs("usage: tessarin-kitgen firmware SIZE_KB OUT | bootcode RATE OUT | codeplug DESCRIPTION OUT\n",
               stderr);
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
    else if (kind == "codeplug" && argc == 4) {
        try {
            text = Codeplug(argv[2]);
        } catch (const std::runtime_error& e) {
            std::fprintf(stderr, "tessarin-kitgen: %s: %s\n", argv[2], e.what());
            return 1;
        }
    } else
        return Usage();
    try {
        WriteFileAtomically(out, text);
    } catch (const CError& error) {
        std::fprintf(stderr, "tessarin-kitgen: %s\n", error.GetText());
        return 1;
    }
    return 0;
}
