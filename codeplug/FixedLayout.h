#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The fixed-address layout (structure type 3): one known block (id 139) at a fixed address,
// whose bytes sum to 0x5A, and three regions of radio memory that each end with a byte making
// the same sum. Which addresses apply depends on whether the layout is the extended one, told
// by the codeplug's first two bytes (CVORNEcodeplug, the inspector and the upgrade form's
// region check all use these).
namespace fixedlayout {

constexpr uint16_t kBlockId = 139;
constexpr uint8_t kSum = 0x5A;
// The first two codeplug bytes of the extended layout.
constexpr uint8_t kMarker0 = 0x02;
constexpr uint8_t kMarker1 = 0x80;
constexpr uint32_t kExtendedAddress = 651;
constexpr uint32_t kBasicAddress = 523;
constexpr uint32_t kExtendedSize = 72;
constexpr uint32_t kBasicSize = 70;

// True when the codeplug's first two bytes mark the extended layout.
constexpr bool IsExtended(uint8_t first, uint8_t second) { return first == kMarker0 && second == kMarker1; }

// A checksummed region: the bytes `from` to `to` sum to kSum; `to` is its checksum byte.
struct Region {
    uint32_t from;
    uint32_t to;
};
// Regions 1, 2 and 3 of the radio memory, as checked before a recovery.
constexpr std::array<Region, 3> Regions(bool extended)
{
    return {Region{0x0015, 0x007A}, Region{0x0136, 0x01FB},
            extended ? Region{0x028B, 0x02D2} : Region{0x020B, 0x0250}};
}

// The last byte := 0x5A minus the sum of the bytes before it.
void FixChecksum(uint8_t* block, std::size_t size);

}  // namespace fixedlayout
