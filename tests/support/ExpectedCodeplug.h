#pragma once

// The codeplug an upgrade must leave in a radio, laid out from the kit's image and the radio's
// old codeplug by rules given as data. None of this calls the upgrade engine: the rules are
// written from the layouts' descriptions, so a test that compares a radio with them checks the
// engine's carry-over rather than repeating it.
#include <cstdint>
#include <vector>

// Where a rule takes its bytes: the radio's codeplug before the upgrade, or the kit image as
// programmed.
enum Source { kOld, kNew };

// One step from "the kit image over the radio's old codeplug" to the codeplug expected.
struct Rule {
    enum Kind { kCopy, kSet, kPatch, kKeepSum, kRideSum } kind;
    Source source = kOld;
    uint32_t from = 0;   // copy: source address; keep-sum: first byte summed
    uint32_t count = 0;  // copy, set: bytes
    uint32_t to = 0;     // copy, set, patch: destination; keep-sum: the checksum byte
    uint8_t value = 0;   // set: the byte; patch: the bits cleared
    uint8_t extra = 0;   // patch: the bits set
    bool wide = false;   // ride sum: the class with a 16-bit length and sum
};

inline Rule Copy(Source s, uint32_t from, uint32_t count, uint32_t to) { return {Rule::kCopy, s, from, count, to}; }
inline Rule Fill(uint32_t at, uint32_t count, uint8_t value) { return {Rule::kSet, kOld, 0, count, at, value}; }
inline Rule Set(uint32_t at, uint8_t value) { return Fill(at, 1, value); }
// The byte becomes (byte AND NOT clear) OR set.
inline Rule Patch(uint32_t at, uint8_t clear, uint8_t set) { return {Rule::kPatch, kOld, 0, 0, at, clear, set}; }
// The byte at `at` makes the 8-bit sum of from..to what it is in the kit image.
inline Rule KeepSum(uint32_t from, uint32_t to, uint32_t at) { return {Rule::kKeepSum, kNew, from, to, at}; }
// The pointer-table block at `at` gets the checksum of its class: a wide block (16-bit length
// at its start, size length + 4) ends with the 16-bit sum of its bytes plus 0xAAAB, big-endian;
// a plain block (8-bit length, size length + 2) with the sum of its bytes minus 0x55.
inline Rule RideSum(uint32_t at, bool wide)
{
    Rule r{Rule::kRideSum};
    r.to = at;
    r.wide = wide;
    return r;
}

// The codeplug expected: the old codeplug, the kit image over regionStart..regionEnd, the rules.
std::vector<uint8_t> ExpectedCodeplug(const std::vector<uint8_t>& oldCodeplug, const std::vector<uint8_t>& kitImage,
                                      uint32_t regionStart, uint32_t regionEnd, const std::vector<Rule>& rules);

// The demo radio (sim/profiles/demo.json) with the demo kit (kits/demo, codeplug mode 3): the
// whole image 0x000-0x220 programmed, its own tuning entry, serial number and regional id
// carried over, the demo patch applied.
constexpr uint32_t kDemoRegionEnd = 0x221;
const std::vector<Rule>& DemoRadioRules();
