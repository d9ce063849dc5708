#include "codeplug/RideLayout.h"

#include <algorithm>
#include <array>

namespace ride {
namespace {

constexpr std::array<uint16_t, 13> kClassW = {20, 55, 56, 58, 84, 85, 87, 89, 115, 116, 143, 145, 147};
constexpr std::array<uint16_t, 7> kClassX = {51, 91, 109, 110, 155, 158, 181};

constexpr PointerLocation kPointers[] = {
    {16, 0, 46}, {20, 0, 60},
    {49, 48, 40}, {61, 48, 42}, {54, 48, 44}, {85, 48, 46}, {84, 48, 48}, {81, 48, 50},
    {51, 48, 52}, {57, 48, 54}, {59, 48, 56}, {52, 48, 58}, {53, 48, 60}, {60, 48, 62},
    {115, 48, 64}, {181, 48, 76},
    {55, 54, 2}, {56, 55, 4}, {58, 57, 2},
    {62, 61, 2}, {68, 61, 4}, {74, 61, 6},
    {63, 62, 2}, {65, 62, 4}, {142, 62, 14}, {144, 62, 16},
    {71, 68, 2}, {159, 68, 4}, {146, 68, 6},
    {72, 71, 3}, {73, 72, 25},
    {87, 74, 6}, {75, 74, 12}, {116, 74, 15}, {109, 74, 23}, {111, 74, 25}, {155, 74, 31},
    {158, 74, 31},
    {90, 75, 3}, {82, 81, 2}, {83, 82, 3}, {86, 85, 4}, {89, 88, 2},
    {88, 90, 4}, {94, 90, 6}, {97, 90, 6}, {112, 90, 22}, {113, 90, 24}, {114, 90, 26},
    {91, 90, 28},
    {95, 94, 2},
    {132, 112, 2}, {133, 113, 2}, {134, 114, 2},
    {143, 142, 2}, {145, 144, 2}, {147, 146, 2},
};

uint32_t SumBytes(const uint8_t* bytes, std::size_t from, std::size_t to)
{
    uint32_t sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += bytes[i];
    return sum;
}

// The checksum bytes the block should end with; false when it is too short.
bool Compute(uint16_t id, const uint8_t* block, std::size_t size, uint8_t out[2])
{
    BlockClass cls = ClassOf(id);
    if (size < FieldBytes(cls) + ChecksumBytes(cls))
        return false;
    switch (cls) {
    case BlockClass::W: {
        uint16_t value = static_cast<uint16_t>(SumBytes(block, 0, size - 2) + 0xAAAB);
        out[0] = static_cast<uint8_t>(value >> 8);
        out[1] = static_cast<uint8_t>(value);
        return true;
    }
    case BlockClass::X:
        // Bytes 0, 2 and 3 (the length and two bytes after the type) do not count.
        if (size < 5)
            return false;
        out[0] = static_cast<uint8_t>(block[1] + SumBytes(block, 4, size - 1) - 0x55);
        return true;
    case BlockClass::Other:
        out[0] = static_cast<uint8_t>(SumBytes(block, 0, size - 1) - 0x55);
        return true;
    }
    return false;
}

}  // namespace

BlockClass ClassOf(uint16_t id)
{
    if (std::find(kClassW.begin(), kClassW.end(), id) != kClassW.end())
        return BlockClass::W;
    if (std::find(kClassX.begin(), kClassX.end(), id) != kClassX.end())
        return BlockClass::X;
    return BlockClass::Other;
}

uint32_t FieldBytes(BlockClass cls) { return cls == BlockClass::W ? 3 : 2; }

uint32_t SizeOverhead(BlockClass cls)
{
    switch (cls) {
    case BlockClass::W:
        return 4;
    case BlockClass::X:
        return 5;
    case BlockClass::Other:
        return 2;
    }
    return 2;
}

uint32_t ChecksumBytes(BlockClass cls) { return cls == BlockClass::W ? 2 : 1; }

const PointerLocation* FindPointer(uint16_t id)
{
    for (const PointerLocation& p : kPointers)
        if (p.id == id)
            return &p;
    return nullptr;
}

std::vector<uint16_t> KnownIds()
{
    std::vector<uint16_t> ids{kHeaderBlockId};
    for (const PointerLocation& p : kPointers)
        ids.push_back(p.id);
    return ids;
}

bool FixChecksum(uint16_t id, uint8_t* block, std::size_t size)
{
    uint8_t sum[2];
    if (!Compute(id, block, size, sum))
        return false;
    std::size_t n = ChecksumBytes(ClassOf(id));
    for (std::size_t i = 0; i < n; ++i)
        block[size - n + i] = sum[i];
    return true;
}

bool ChecksumOk(uint16_t id, const uint8_t* block, std::size_t size)
{
    uint8_t sum[2];
    if (!Compute(id, block, size, sum))
        return false;
    std::size_t n = ChecksumBytes(ClassOf(id));
    for (std::size_t i = 0; i < n; ++i)
        if (block[size - n + i] != sum[i])
            return false;
    return true;
}

}  // namespace ride
