#pragma once

#include "upgrade/UpgradePlan.h"

#include <cstdint>
#include <string>
#include <vector>

// What the codeplug stage of a plan will write, worked out from the kit alone before the radio
// is touched: the image laid out by radio address, the region the plan's codeplug mode
// programs, and a fingerprint of that region (which tells later whether a radio holds it).
//
// The upgrade form runs this right after matching, so that a kit whose codeplug part cannot be
// used is refused while the radio is still as it was; the engine runs it again for its own
// stage. Every rule about a usable codeplug job lives here.
struct CodeplugJob {
    std::vector<uint8_t> image;  // the image buffer (32 KB, 16 KB for the fixed-address layout)
    uint32_t imageLength = 0;    // data bytes the image holds
    uint32_t regionStart = 0;
    uint32_t regionEnd = 0;      // one past the last programmed byte
    int chunks = 0;              // 32-byte programming writes over the region
    std::string fingerprint;     // of the image's bytes over the region; see RegionFingerprint

    uint32_t Capacity() const { return static_cast<uint32_t>(image.size()); }
};

// The image buffer of a codeplug structure type.
uint32_t CodeplugImageCapacity(int codeplugType);

// Lays out the codeplug job of `plan` (whose codeplugMode is 1, 2 or 3). Raises CGenError 3 with
// a sentence saying what is wrong when the codeplug mode, the structure type, the image (none,
// unreadable, larger than its buffer, no derivable region) cannot be used. `radioCode`: the two
// characters of the radio code (the fixed-address layout reads its values with it).
CodeplugJob PrepareCodeplugJob(const UpgradePlan& plan, const std::string& imageText, int codeplugType,
                               const char radioCode[2]);

// A fingerprint of `count` bytes: 16 hexadecimal digits (64-bit FNV-1a over the bytes, then
// over the start address and length, so that the same bytes at another place differ).
std::string RegionFingerprint(const uint8_t* bytes, uint32_t start, uint32_t count);
