#pragma once

#include "codeplug/VariantCodeplug.h"

#include <map>

// The pointer-table layout: block 48 at 768, every other block found through a chain of
// 16-bit pointers; each block has a length field, a type byte equal to its id and a checksum
// of its class. Addresses found are cached for the life of the object (one codeplug only).
class CRideCodeplug : public CVariantCodeplug {
public:
    ~CRideCodeplug() override;
    uint32_t GetBlockVector(uint16_t blockId) override;
    bool InitRdkPtrs() override;
    // Reads the length field and the type byte; raises "Unexpected Block Type" when the type
    // byte is not the id. Result: the block size.
    uint32_t GetFixedBlockSize(uint32_t address, uint16_t blockId) override;
    void FixChecksum(uint16_t blockId, uint8_t* block, uint32_t size) override;
    bool ChecksumOk(uint16_t blockId, const uint8_t* block, uint32_t size) override;

private:
    std::map<uint16_t, uint32_t> m_cache;
    uint32_t m_cacheCount = 0;
};
