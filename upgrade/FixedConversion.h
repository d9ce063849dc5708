#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// How the fixed-address layout's saved data is converted into a new codeplug. Pure functions
// of the saved bytes and of what the new codeplug holds; they raise CGenError 3 when the bytes
// are too short for the conversion.
namespace fixedconv {

// The byte of entry 0x8003 that product line 11 carries (byte N, read from 0x179).
constexpr std::size_t kByteNAt = 64;

// Product lines 11 and 12 tell the layout's generation by its first two bytes.
bool ByMarker(int productLine);
// True for the extended generation's marker 0x02 0x80.
bool IsExtended(const std::vector<uint8_t>& marker);

enum class Case { BasicToExtended, ExtendedToBasic, ExtendedToExtended };
// An old basic codeplug is always taken as going to the extended generation.
Case CaseOf(const std::vector<uint8_t>& oldMarker, const std::vector<uint8_t>& newMarker);

struct Input {
    int productLine;
    int codeplugMode;
    Case conversion;
    std::vector<uint8_t> tuning;    // the old tuning entry T
    std::vector<uint8_t> h3, h8;    // the old header bytes
    std::vector<uint8_t> byteN;     // product line 11: the byte read from 0x179
    std::vector<uint8_t> oldBlock;  // the old block 139 B, as read (70 or 72 bytes)
    std::vector<uint8_t> newBlock;  // block 139 of the new codeplug O
};

struct Output {
    std::vector<uint8_t> tuning;  // the new tuning entry (92 or 98 bytes, or T unchanged)
    bool writeByteN = false;
    uint8_t byteN = 0;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> headers;  // raw writes: address, bytes
    std::vector<uint8_t> block139;  // 72 bytes; the layout writes as many as its block holds
};

Output Convert(const Input& in);

// Radio codes whose second character is "1" keep their tuning fields at other places in the
// new entry.
bool MovesTuningFields(const std::string& radioCode);
// The new entry with the old entry's fields put at their new places.
std::vector<uint8_t> MoveTuningFields(const std::vector<uint8_t>& oldEntry, std::vector<uint8_t> newEntry);
// The new block 139 with the old block's serial number (4-13), regional bytes (64-68) and
// byte 59.
std::vector<uint8_t> CarrySerialFields(const std::vector<uint8_t>& oldBlock, std::vector<uint8_t> newBlock);

}  // namespace fixedconv
