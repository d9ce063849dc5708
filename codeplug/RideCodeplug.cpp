#include "codeplug/RideCodeplug.h"
#include "codeplug/RideLayout.h"

#include "errors/Error.h"

CRideCodeplug::~CRideCodeplug()
{
    m_cache.clear();
    m_cacheCount = 0;
}

uint32_t CRideCodeplug::GetBlockVector(uint16_t blockId)
{
    if (blockId == ride::kHeaderBlockId)
        return ride::kHeaderBlockAddress;
    auto cached = m_cache.find(blockId);
    if (cached != m_cache.end())
        return cached->second;
    const ride::PointerLocation* pointer = ride::FindPointer(blockId);
    if (!pointer)
        return 0;
    uint32_t location = pointer->offset;
    if (pointer->baseId != 0) {
        uint32_t base = GetBlockVector(pointer->baseId);
        if (base == 0)
            return 0;
        location += base;
    }
    uint8_t word[2];
    ReadCpMemory(word, location, 2);
    uint32_t address = (static_cast<uint32_t>(word[0]) << 8) | word[1];
    m_cache[blockId] = address;
    m_cacheCount = static_cast<uint32_t>(m_cache.size());
    return address;
}

bool CRideCodeplug::InitRdkPtrs()
{
    // Block addresses found so far belong to the codeplug as it was: after a reprogramming
    // blocks can lie elsewhere, and writing to their old places would destroy data.
    m_cache.clear();
    m_cacheCount = 0;
    uint8_t word[2];
    try {
        ReadCpMemory(word, ride::kRegionLengthAddress, 2);
    } catch (const CError&) {
        return false;
    }
    uint32_t length = (static_cast<uint32_t>(word[0]) << 8) | word[1];
    // The first region ends where the header block begins, at 768: the boundary the
    // codeplug modes program below (mode 1) or from (mode 2).
    m_p1 = ride::kHeaderBlockAddress;
    m_p1Copy = ride::kHeaderBlockAddress;
    m_l1 = 0;
    m_p2 = ride::kHeaderBlockAddress;
    m_regionFlag = m_blockCount = m_vectorTable = m_wordP2Plus4 = 0;
    m_l2 = length;
    m_regionEnd = ride::kHeaderBlockAddress + length;
    m_word9 = length - 16;
    m_formatDetermined = 1;
    return true;
}

uint32_t CRideCodeplug::GetFixedBlockSize(uint32_t address, uint16_t blockId)
{
    ride::BlockClass cls = ride::ClassOf(blockId);
    uint8_t head[3];
    ReadCpMemory(head, address, ride::FieldBytes(cls));
    uint32_t length;
    uint8_t type;
    if (cls == ride::BlockClass::W) {
        length = (static_cast<uint32_t>(head[0]) << 8) | head[1];
        type = head[2];
    } else {
        length = head[0];
        type = head[1];
    }
    if (type != blockId)
        throw CGenError(3, "Unexpected Block Type");
    return length + ride::SizeOverhead(cls);
}

void CRideCodeplug::FixChecksum(uint16_t blockId, uint8_t* block, uint32_t size)
{
    ride::FixChecksum(blockId, block, size);
}

bool CRideCodeplug::ChecksumOk(uint16_t blockId, const uint8_t* block, uint32_t size)
{
    return ride::ChecksumOk(blockId, block, size);
}
