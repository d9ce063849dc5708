#include "codeplug/VariantCodeplug.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"

#include <cstring>

namespace {

uint32_t BufferSize(const ImageBuffer& b) { return b.size > 0 ? static_cast<uint32_t>(b.size) : 0; }

// A field must lie within the block held in the buffer.
void CheckPlainField(const ImageBuffer& block, uint32_t offset, uint32_t length, const char* operation)
{
    uint32_t size = BufferSize(block);
    if (block.data && offset <= size && length <= size - offset)
        return;
    ErrorLog().Log("CCodeplug::%s: Field at offset %u of %u bytes lies outside the %u-byte block", operation,
                   offset, length, size);
    throw CGenError(3, "The requested list is out of range");
}

}  // namespace

int CVariantCodeplug::ReadCpFile(SRecord& file)
{
    LoadImage(file);
    ImageLoaded(file);
    m_formatDetermined = InitRdkPtrs() ? 1 : 0;
    return m_formatDetermined;
}

void CVariantCodeplug::ImageLoaded(const SRecord&) {}

int CVariantCodeplug::ReadCpBlock(ImageBuffer& dest, uint16_t blockId)
{
    uint32_t address = GetBlockVector(blockId);
    if (address == 0)
        return 1;
    uint32_t size = GetFixedBlockSize(address, blockId) & 0xFFFF;
    m_blockSize = size;
    CheckCapacity(dest, size, blockId);
    dest.size = static_cast<int32_t>(size);
    ReadCpMemory(dest, address);
    return 0;
}

int CVariantCodeplug::ReadCpField(uint8_t* dest, const ImageBuffer& block, uint32_t, uint32_t, uint32_t offset,
                                  uint32_t length)
{
    CheckPlainField(block, offset, length, "ReadCpField");
    std::memcpy(dest, block.data + offset, length);
    return static_cast<int>(length);
}

int CVariantCodeplug::WriteCpField(const uint8_t* bytes, ImageBuffer& block, uint32_t, uint32_t,
                                   uint32_t offset, uint32_t length)
{
    CheckPlainField(block, offset, length, "WriteCpField");
    std::memcpy(block.data + offset, bytes, length);
    return static_cast<int>(length);
}

void CVariantCodeplug::WriteCpBlock(ImageBuffer& block, uint16_t blockId)
{
    uint32_t address = GetBlockVector(blockId);
    if (address == 0) {
        ErrorLog().Log("CCodeplug::WriteCpBlock: Unable to find codeplug block");
        throw CGenError(3, "Unable to find codeplug block id = %d", blockId);
    }
    uint32_t size = GetFixedBlockSize(address, blockId) & 0xFFFF;
    uint32_t capacity = BufferCapacity(block);
    if (!block.data || capacity < size) {
        ErrorLog().Log("CCodeplug::WriteCpBlock: Block id = %d has %u bytes, the buffer given holds %u", blockId,
                       size, capacity);
        throw CGenError(3, "Codeplug block id = %d has %u bytes, more than the %u bytes given", blockId, size,
                        capacity);
    }
    block.capacity = static_cast<int32_t>(capacity);
    block.size = static_cast<int32_t>(size);
    FixChecksum(blockId, block.data, size);
    WriteCpMemory(block, address);
}

bool CVariantCodeplug::ParseBlockHeader(const uint8_t*, uint32_t, uint32_t) { return true; }
