// Reading and writing blocks, entries and fields, in the source and in a caller's buffer.
#include "codeplug/Codeplug.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"

#include <algorithm>
#include <cstring>

namespace {

const char kOutOfRange[] = "The requested list is out of range";
const char kNoChecksum[] = "Unable to determine data checksum location";

// Decoding a block held in a caller's buffer reads its bytes from there; afterwards the
// source is the place again.
class BlockBytesScope {
public:
    explicit BlockBytesScope(const uint8_t*& bytes) : m_bytes(bytes) {}
    ~BlockBytesScope() { m_bytes = nullptr; }
    BlockBytesScope(const BlockBytesScope&) = delete;
    BlockBytesScope& operator=(const BlockBytesScope&) = delete;

private:
    const uint8_t*& m_bytes;
};

uint32_t BufferSize(const ImageBuffer& b) { return b.size > 0 ? static_cast<uint32_t>(b.size) : 0; }

}  // namespace

void CCodeplug::EnsureFormat(const char* failure)
{
    if (!m_formatDetermined && !InitRdkPtrs())
        throw CGenError(3, "%s", failure);
}

uint32_t CCodeplug::FindBlockOrRaise(uint16_t blockId, const char* logLine)
{
    uint32_t address = GetBlockVector(blockId);
    if (address == 0) {
        ErrorLog().Log("%s", logLine);
        throw CGenError(3, "Unable to find codeplug block id = %d", blockId);
    }
    if (!GetBlockInfo(address))
        throw CGenError(3, "Read block header failed");
    return address;
}

void CCodeplug::CheckCapacity(ImageBuffer& dest, uint32_t needed, uint16_t blockId) const
{
    uint32_t capacity = BufferCapacity(dest);
    if (dest.data && capacity >= needed) {
        // The length read goes to `size`; what the buffer holds stays known.
        dest.capacity = static_cast<int32_t>(capacity);
        return;
    }
    ErrorLog().Log("CCodeplug::ReadCpBlock: Block id = %d needs %u bytes, the buffer holds %u", blockId,
                   needed, capacity);
    throw CGenError(3, "Codeplug block id = %d needs %u bytes, more than the %u-byte buffer holds", blockId,
                    needed, capacity);
}

void CCodeplug::CheckRequest(const char* operation, uint32_t list, uint32_t entry, bool field,
                             uint32_t offset, uint32_t length)
{
    bool ok = (m_hasLists ? list < m_listCount : list == 0) && entry < m_entryQty;
    if (field)
        ok = ok && offset <= m_entrySize && length <= m_entrySize - offset;
    // A list of varying length holds its own quantity of entries; an entry beyond it would
    // lie in the next list.
    if (ok && m_hasLists && m_listSize == 0)
        ok = entry < ListQuantity(list) && !m_listOfsFailed;
    if (ok)
        return;
    if (!field) {
        ErrorLog().Log("CCodeplug::ReadCpEntry: Requested list = %d and entry = %d, Actual list qty = %d "
                       "and entry qty = %d",
                       list, entry, m_listCount, m_entryQty);
    } else {
        ErrorLog().Log("CCodeplug::%s: Requested list = %d, entry = %d and field offset = %d", operation, list,
                       entry, offset);
        ErrorLog().Log("CCodeplug::%s: Actual list qty = %d, entry qty = %d and entry size = %d", operation,
                       m_listCount, m_entryQty, m_entrySize);
    }
    throw CGenError(3, kOutOfRange);
}

int CCodeplug::ReadCpBlock(ImageBuffer& dest, uint16_t blockId)
{
    EnsureFormat("Unable to determine external codeplug format");
    uint32_t address = GetBlockVector(blockId);
    if (address == 0)
        return 1;
    if (!GetBlockInfo(address))
        throw CGenError(3, "Read block header failed");
    CheckCapacity(dest, m_blockSize, blockId);
    LoggedRead(address, dest.data, m_blockSize, "CCodeplug::ReadCpBlock: Read radio codeplug failed at address %X");
    dest.size = static_cast<int32_t>(m_blockSize);
    return 0;
}

void CCodeplug::ReadCpEntry(ImageBuffer& dest, uint16_t blockId, uint32_t list, uint32_t entry)
{
    EnsureFormat("Unable to determine external codeplug format");
    uint32_t block = FindBlockOrRaise(blockId, "CCodeplug::ReadCpBlock: Unable to find codeplug block");
    CheckRequest("ReadCpEntry", list, entry, false, 0, 0);
    uint32_t address = FieldAddress(block, list, entry, 0);
    CheckCapacity(dest, m_entrySize, blockId);
    LoggedRead(address, dest.data, m_entrySize, "CCodeplug::ReadCpEntry: Read radio codeplug failed at address %X");
    dest.size = static_cast<int32_t>(m_entrySize);
}

int CCodeplug::ReadCpField(uint8_t* dest, const ImageBuffer& block, uint32_t list, uint32_t entry,
                           uint32_t offset, uint32_t length)
{
    BlockBytesScope scope(m_blockBytes);
    if (!ParseBlockHeader(block.data, 0, BufferSize(block)))
        throw CGenError(3, "Read block header failed");
    CheckRequest("ReadCpField", list, entry, true, offset, length);
    uint32_t address = FieldAddress(0, list, entry, offset);
    if (address > BufferSize(block) || length > BufferSize(block) - address)
        throw CGenError(3, kOutOfRange);
    std::memcpy(dest, block.data + address, length);
    return static_cast<int>(length);
}

void CCodeplug::WriteCpBlock(ImageBuffer& block, uint16_t blockId)
{
    EnsureFormat("Unable to determine codeplug format");
    uint32_t address = FindBlockOrRaise(blockId, "CCodeplug::WriteCpBlock: Unable to find codeplug block");
    if (!block.data || BufferCapacity(block) < m_blockSize) {
        ErrorLog().Log("CCodeplug::WriteCpBlock: Block id = %d has %u bytes, the buffer given holds %u", blockId,
                       m_blockSize, BufferCapacity(block));
        throw CGenError(3, "Codeplug block id = %d has %u bytes, more than the %u bytes given", blockId,
                        m_blockSize, BufferCapacity(block));
    }
    block.capacity = static_cast<int32_t>(BufferCapacity(block));
    block.size = static_cast<int32_t>(m_blockSize);
    LoggedWrite(address, block.data, m_blockSize, "CCodeplug::WriteCpBlock: Write radio codeplug failed at address %X");
}

uint32_t CCodeplug::LocateField(uint16_t blockId, uint32_t list, uint32_t entry, uint32_t offset,
                                uint32_t length, uint32_t* checksum)
{
    EnsureFormat("Unable to determine codeplug format");
    uint32_t block = FindBlockOrRaise(blockId, "CCodeplug::WriteCpField: Unable to find codeplug block");
    CheckRequest("WriteCpField", list, entry, true, offset, length);
    uint32_t address = FieldAddress(block, list, entry, offset);
    if (checksum) {
        *checksum = FindChecksumLocation(address, block);
        if (*checksum > address && *checksum - address < length)
            *checksum = 0;
    }
    return address;
}

int CCodeplug::WriteCpField(const uint8_t* bytes, uint16_t blockId, uint32_t list, uint32_t entry,
                            uint32_t offset, uint32_t length)
{
    // Any source but an image is written through the radio path below.
    if (m_source != kImage && length > kMaxRadioFieldLength) {
        ErrorLog().Log("CCodeplug::WriteCpField: A field of %u bytes exceeds the %u bytes kept for the old bytes",
                       length, kMaxRadioFieldLength);
        throw CGenError(3,
                        "A field of %u bytes is too long to write to the radio in one piece (at most %u bytes); "
                        "write it in parts",
                        length, kMaxRadioFieldLength);
    }
    uint32_t checksum = 0;
    uint32_t address = LocateField(blockId, list, entry, offset, length, &checksum);
    if (checksum == 0) {
        ErrorLog().Log("CCodeplug::WriteCpField: Unable to determine data checksum location");
        throw CGenError(3, kNoChecksum);
    }
    if (m_source == kImage)
        ApplyFieldToImage(m_image.data, m_imageSize, address, checksum, bytes, length);
    else
        WriteFieldToRadio(address, checksum, bytes, length);
    return static_cast<int>(length);
}

int CCodeplug::WriteCpField(const uint8_t* bytes, ImageBuffer& block, uint32_t list, uint32_t entry,
                            uint32_t offset, uint32_t length)
{
    BlockBytesScope scope(m_blockBytes);
    uint32_t size = BufferSize(block);
    if (!ParseBlockHeader(block.data, 0, size))
        throw CGenError(3, "Read block header failed");
    CheckRequest("WriteCpField", list, entry, true, offset, length);
    uint32_t address = FieldAddress(0, list, entry, offset);
    // The checksum byte must be the block's own: the regions' bytes are not in the buffer.
    uint32_t checksum = FindChecksumLocation(address, 0, false);
    if (checksum == 0 || checksum >= size || (checksum > address && checksum - address < length)) {
        ErrorLog().Log("CCodeplug::WriteCpField: Unable to determine data checksum location");
        throw CGenError(3, kNoChecksum);
    }
    ApplyFieldToImage(block.data, size, address, checksum, bytes, length);
    return static_cast<int>(length);
}

void CCodeplug::ApplyFieldToImage(uint8_t* base, uint32_t limit, uint32_t address, uint32_t checksum,
                                  const uint8_t* bytes, uint32_t length)
{
    if (!base || address > limit || length > limit - address || checksum >= limit)
        throw CGenError(3, "Access out of codeplug");
    uint8_t sum = base[checksum];
    for (uint32_t i = 0; i < length; ++i) {
        sum = static_cast<uint8_t>(sum + base[address + i] - bytes[i]);
        base[address + i] = bytes[i];
    }
    base[checksum] = sum;
}

void CCodeplug::WriteFieldToRadio(uint32_t address, uint32_t checksum, const uint8_t* bytes, uint32_t length)
{
    uint8_t old[kMaxRadioFieldLength];
    uint32_t at = address;
    try {
        for (uint32_t done = 0; done < length; done += kChunk) {
            at = address + done;
            SourceRead(at, old + done, std::min(kChunk, length - done));
        }
        for (uint32_t done = 0; done < length; done += kChunk) {
            at = address + done;
            SourceWrite(at, bytes + done, std::min(kChunk, length - done));
        }
        at = checksum;
        uint8_t sum;
        SourceRead(checksum, &sum, 1);
        for (uint32_t i = 0; i < length; ++i)
            sum = static_cast<uint8_t>(sum + old[i] - bytes[i]);
        SourceWrite(checksum, &sum, 1);
    } catch (const CError& e) {
        ErrorLog().Log("%s", e.GetText());
        ErrorLog().Log("CCodeplug::WriteCpField: Write radio codeplug failed at address %X", at);
        throw CGenError(3, "General communication error while writing codeplug");
    }
}
