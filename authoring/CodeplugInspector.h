#pragma once

#include "codeplug/Codeplug.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the service commands show of a codeplug: its blocks, one line each, and every checksum
// byte the layout defines, verified. Works on any source of the codeplug object.

struct CpBlockLine {
    uint16_t id = 0;
    uint32_t address = 0;
    uint32_t size = 0;
    std::string detail;  // flags, lists, entries, entry size; or the pointer-table class
    std::string problem; // why the block could not be decoded, empty when it could
};

struct CpCheckLine {
    std::string what;   // "entry 2 of block 5", "region 1", ...
    uint32_t location;  // the checksum byte
    bool ok;
    std::string detail; // the sum found and the sum wanted
};

// The blocks of the codeplug, by the layout of its structure type.
std::vector<CpBlockLine> ListCodeplugBlocks(CCodeplug& codeplug);
// Every checksum of the codeplug. The fixed-address layout's ranges sum to 0x5A; the block
// model's ranges (regions, blocks, lists, entries) must all make one sum: `sum` when given,
// else the one most of them make. `sumUsed` receives the sum checked against.
std::vector<CpCheckLine> CheckCodeplug(CCodeplug& codeplug, std::optional<uint8_t> sum = std::nullopt,
                                       uint8_t* sumUsed = nullptr);
// The 8-bit sum of a range of the codeplug, `to` included.
uint8_t SumCodeplugRange(CCodeplug& codeplug, uint32_t from, uint32_t to);
// The ranges (first byte, checksum byte) that the entry, list and block checksums of the
// current block protect, innermost first; `label` receives a name for each.
struct CpRange {
    uint32_t from;
    uint32_t to;
    std::string label;
};
std::vector<CpRange> BlockChecksumRanges(CCodeplug& codeplug, uint16_t blockId);
// True when the block has no header of the block model: it is read whole and its fields lie at
// plain offsets (every block of the pointer-table layout, block 139 of the fixed-address one).
bool IsVariantBlock(const CCodeplug& codeplug, uint16_t id);
// The bytes at the end of such a block that hold its checksum.
uint32_t VariantChecksumBytes(const CCodeplug& codeplug, uint16_t id);
// "0x8000" for the special ids, decimal otherwise.
std::string FormatBlockId(uint16_t id);
