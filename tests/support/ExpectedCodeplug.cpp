#include "tests/support/ExpectedCodeplug.h"

#include <algorithm>

namespace {

uint8_t Sum(const std::vector<uint8_t>& bytes, uint32_t from, uint32_t to)
{
    uint8_t sum = 0;
    for (uint32_t a = from; a <= to; ++a)
        sum = static_cast<uint8_t>(sum + bytes[a]);
    return sum;
}

void ApplyRideSum(std::vector<uint8_t>& m, uint32_t at, bool wide)
{
    if (wide) {
        uint32_t size = ((static_cast<uint32_t>(m[at]) << 8) | m[at + 1]) + 4;
        uint32_t sum = 0;
        for (uint32_t i = 0; i < size - 2; ++i)
            sum += m[at + i];
        sum = (sum + 0xAAAB) & 0xFFFF;
        m[at + size - 2] = static_cast<uint8_t>(sum >> 8);
        m[at + size - 1] = static_cast<uint8_t>(sum);
    } else {
        uint32_t size = m[at] + 2u;
        m[at + size - 1] = static_cast<uint8_t>(Sum(m, at, at + size - 2) - 0x55);
    }
}

}  // namespace

std::vector<uint8_t> ExpectedCodeplug(const std::vector<uint8_t>& oldCodeplug, const std::vector<uint8_t>& kitImage,
                                      uint32_t regionStart, uint32_t regionEnd, const std::vector<Rule>& rules)
{
    std::vector<uint8_t> programmed(0x10000, 0);  // the image as the engine's buffer holds it
    std::copy(kitImage.begin(), kitImage.end(), programmed.begin());
    std::vector<uint8_t> m = oldCodeplug;
    std::copy(programmed.begin() + regionStart, programmed.begin() + regionEnd, m.begin() + regionStart);
    for (const Rule& r : rules) {
        switch (r.kind) {
        case Rule::kCopy: {
            const std::vector<uint8_t>& from = r.source == kOld ? oldCodeplug : programmed;
            std::copy(from.begin() + r.from, from.begin() + r.from + r.count, m.begin() + r.to);
            break;
        }
        case Rule::kSet:
            std::fill(m.begin() + r.to, m.begin() + r.to + r.count, r.value);
            break;
        case Rule::kPatch:
            m[r.to] = static_cast<uint8_t>((m[r.to] & ~r.value) | r.extra);
            break;
        case Rule::kKeepSum: {
            uint8_t others = static_cast<uint8_t>(Sum(m, r.from, r.count) - m[r.to]);
            m[r.to] = static_cast<uint8_t>(Sum(programmed, r.from, r.count) - others);
            break;
        }
        case Rule::kRideSum:
            ApplyRideSum(m, r.to, r.wide);
            break;
        }
    }
    return m;
}

const std::vector<Rule>& DemoRadioRules()
{
    // The block model of kits/demo-codeplug.cpd: the tuning entry (block 0x8000) at 0x20, its
    // 64 data bytes at 0x23, protected by region 1's byte 0xFF; entry 0 of block 0 at 0x110
    // (data 0x113: serial number in bytes 0-10, regional id in byte 81; block checksum 0x173);
    // block 3 at 0x180 (entry 0's first byte 0x183 gets the patch's low nibble 5; checksum
    // 0x18B).
    static const std::vector<Rule> rules{
        Copy(kOld, 0x23, 64, 0x23),
        KeepSum(0x000, 0x0FF, 0x0FF),
        Copy(kOld, 0x113, 11, 0x113),
        Copy(kOld, 0x113 + 81, 1, 0x113 + 81),
        KeepSum(0x110, 0x173, 0x173),
        Patch(0x183, 0x0F, 0x05),
        KeepSum(0x180, 0x18B, 0x18B),
    };
    return rules;
}
