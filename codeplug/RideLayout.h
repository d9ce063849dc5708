#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The pointer-table layout: blocks without self-describing headers, found by following
// 16-bit pointers from the header block at 768, each with a length field, a type byte equal
// to its id and a checksum whose form depends on the id's class.
namespace ride {

constexpr uint16_t kHeaderBlockId = 48;
constexpr uint32_t kHeaderBlockAddress = 768;
// Where the layout's length word lives (the end of its region is 768 plus that word).
constexpr uint32_t kRegionLengthAddress = 38;

enum class BlockClass { W, X, Other };

BlockClass ClassOf(uint16_t id);
// Bytes of the length field and the type byte before the block's data: 3 for class W, 2
// otherwise.
uint32_t FieldBytes(BlockClass cls);
// Block size = length + this: 4 (W), 5 (X) or 2.
uint32_t SizeOverhead(BlockClass cls);
// Bytes taken by the checksum at the block's end: 2 for class W, 1 otherwise.
uint32_t ChecksumBytes(BlockClass cls);

// Where the pointer to a block is found: at a fixed address (base 0), or at an offset from
// the address of another block.
struct PointerLocation {
    uint16_t id;
    uint16_t baseId;  // 0: `offset` is an absolute address
    uint16_t offset;
};
// The location for `id`, or null when the layout has no pointer for it (the header block
// 48 has none: it lies at 768).
const PointerLocation* FindPointer(uint16_t id);
// Every id the layout can hold, header block first.
std::vector<uint16_t> KnownIds();

// Computes the checksum of a block of `size` bytes held in `block` and stores it in its last
// byte (two for class W). Returns false when the block is too short to hold the checksum.
bool FixChecksum(uint16_t id, uint8_t* block, std::size_t size);
// True when the checksum stored in the block's last byte(s) is right.
bool ChecksumOk(uint16_t id, const uint8_t* block, std::size_t size);

}  // namespace ride
