// Decoding the block model: the ADK pointers, block vectors, block headers, and the
// offsets and checksum locations within a block.
#include "codeplug/Codeplug.h"
#include "codeplug/FixedLayout.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"

namespace {
uint32_t Word(const uint8_t* p) { return (static_cast<uint32_t>(p[0]) << 8) | p[1]; }

// Logs why the ADK values could not be determined; false.
bool RefuseAdk(const CError& e)
{
    ErrorLog().Log("%s", e.GetText());
    ErrorLog().Log("CCodeplug::InitRdkPtrs: Initialization of ADK codeplug format failed");
    return false;
}

// Logs why a byte could not be read; false.
bool LogFailure(const CError& e)
{
    ErrorLog().Log("%s", e.GetText());
    return false;
}
}  // namespace

bool CCodeplug::InitRdkPtrs()
{
    if (m_structure == 0) {
        m_formatDetermined = 1;
        return true;
    }
    try {
        if (!DecodeAdk())
            return false;
    } catch (const CError& e) {
        return RefuseAdk(e);
    }
    m_formatDetermined = 1;
    return true;
}

bool CCodeplug::ReadAdkBytes(uint32_t address, uint8_t* dest, uint32_t count)
{
    if (m_source == kImage && !InImage(address, count))
        return RefuseAdk(CGenError(3, "%s", kOutsideImage));
    SourceRead(address, dest, count);
    return true;
}

bool CCodeplug::DecodeAdk()
{
    // An image that does not hold what the values point at is refused without raising an
    // error; the radio's reads raise theirs (InitRdkPtrs logs them alike).
    uint8_t head[11];
    uint8_t b[8];
    if (!ReadAdkBytes(0, head, sizeof head))
        return false;
    uint32_t p1 = Word(head);
    uint32_t word9 = Word(head + 9);
    if (m_source == kImage && m_imageSize < p1)
        return RefuseAdk(CGenError(3, "The first region boundary %X lies beyond the image", p1));
    if (!ReadAdkBytes(p1, b, 2))
        return false;
    uint32_t l1 = Word(b);
    uint32_t p2 = p1 + l1;
    if (m_source == kImage && m_imageSize < p2)
        return RefuseAdk(CGenError(3, "The second region boundary %X lies beyond the image", p2));
    if (!ReadAdkBytes(p2, b, 8))
        return false;
    uint32_t flag = (b[0] & 0x04) ? 1 : 0;
    uint32_t l2 = Word(b + 2);
    uint32_t end = p2 + l2;
    if (m_source == kImage) {
        if (end >= m_imageSize)
            return RefuseAdk(CGenError(3, "The region end %X lies beyond the image", end));
    } else if (flag) {
        end += 1;
    }
    uint32_t wordP2Plus4 = Word(b + 4);
    uint32_t p3 = Word(b + 6);
    if (!ReadAdkBytes(p3, b, 2))
        return false;
    m_p1 = p1;
    m_p1Copy = p1;
    m_l1 = l1;
    m_p2 = p2;
    m_l2 = l2;
    m_regionEnd = end;
    m_regionFlag = flag;
    m_word9 = word9;
    m_wordP2Plus4 = wordP2Plus4;
    m_blockCount = Word(b);
    m_vectorTable = p3 + 2;
    return true;
}

uint32_t CCodeplug::GetBlockVector(uint16_t blockId)
{
    try {
        uint8_t b[2];
        if (blockId & 0x8000) {
            if (blockId > 0x8004)
                return 0;
            SourceRead(11 + 2u * (blockId - 0x8000u), b, 2);
            return Word(b);
        }
        if (m_structure == 3) {
            if (blockId != fixedlayout::kBlockId)
                return 0;
            SourceRead(0, b, 2);
            return fixedlayout::IsExtended(b[0], b[1]) ? fixedlayout::kExtendedAddress : fixedlayout::kBasicAddress;
        }
        if (blockId >= m_blockCount)
            return 0;
        SourceRead(m_vectorTable + 2u * blockId, b, 2);
        return Word(b);
    } catch (const CError& e) {
        // An image whose table points outside it is refused, not taken as an absent block.
        if (m_source == kImage)
            throw;
        ErrorLog().Log("%s", e.GetText());
        ErrorLog().Log("CCodeplug::GetBlockVector: Read vector (block %d) from radio failed", blockId);
        // Not "absent": a caller that skips what is absent would skip it and report success.
        throw CGenError(3, "General communication error while reading codeplug");
    }
}

uint32_t CCodeplug::GetFixedBlockSize(uint32_t, uint16_t blockId)
{
    if (blockId != fixedlayout::kBlockId)
        return 0;
    uint8_t b[2];
    ReadCpMemory(b, 0, 2);
    return fixedlayout::IsExtended(b[0], b[1]) ? fixedlayout::kExtendedSize : fixedlayout::kBasicSize;
}

void CCodeplug::ClearBlock()
{
    m_entrySize = m_entryQty = m_listSize = m_listCount = m_blockSize = 0;
    m_entryChecksums = m_listChecksums = m_blockChecksum = m_bitSizes = m_wideSizes = 0;
    m_hasLists = false;
    m_flags = m_entryFlags = 0;
}

bool CCodeplug::DecodeHeader(const uint8_t* w, uint32_t avail)
{
    ClearBlock();
    if (avail < 1)
        return false;
    uint8_t flags = w[0];
    uint32_t need;
    if (flags & 0x04) {
        uint32_t h = (flags & 0x01) ? 4 : 3;
        if (avail < h + 1)
            return false;
        uint8_t entryFlags = w[h];
        need = h + ((entryFlags & 0x01) ? 4 : 3);
        if (avail < need)
            return false;
        m_listSize = (flags & 0x01) ? Word(w + 1) : w[1];
        m_listCount = w[h - 1];
        m_entrySize = (entryFlags & 0x01) ? Word(w + h + 1) : w[h + 1];
        m_entryQty = w[need - 1];
        m_entryFlags = entryFlags;
        m_hasLists = true;
    } else {
        need = (flags & 0x01) ? 4 : 3;
        if (avail < need)
            return false;
        m_entrySize = (flags & 0x01) ? Word(w + 1) : w[1];
        m_entryQty = w[need - 1];
        m_entryFlags = flags;
    }
    m_flags = flags;
    m_bitSizes = (flags & 0x02) ? 1 : 0;
    m_listChecksums = (flags & 0x40) ? 1 : 0;
    m_blockChecksum = (flags & 0x80) ? 1 : 0;
    m_wideSizes = (m_entryFlags & 0x01) ? 1 : 0;
    m_entryChecksums = (m_entryFlags & 0x40) ? 1 : 0;
    return true;
}

bool CCodeplug::ParseBlockHeader(const uint8_t* data, uint32_t address, uint32_t limit)
{
    m_blockBytes = data;
    m_blockBytesLimit = limit;
    m_blockAddress = address;
    uint32_t avail = (data && address < limit) ? limit - address : 0;
    if (!DecodeHeader(avail ? data + address : nullptr, avail)) {
        ErrorLog().Log("CCodeplug::GetBlockInfo: Block header at %X lies outside the codeplug", address);
        return false;
    }
    if (!CalcBlkSize())
        return false;
    if (m_blockSize > limit - address) {
        ErrorLog().Log("CCodeplug::GetBlockInfo: Block at %X of %u bytes runs past the end of the codeplug",
                       address, m_blockSize);
        return false;
    }
    return true;
}

bool CCodeplug::GetBlockInfo(uint32_t address)
{
    if (address == 2) {
        ErrorLog().Log("CCodeplug::GetBlockInfo: Accessing non-standard block");
        return false;
    }
    if (m_source == kImage)
        return CCodeplug::ParseBlockHeader(m_image.data, address, m_imageSize);
    m_blockBytes = nullptr;
    m_blockAddress = address;
    try {
        uint8_t w[8] = {};
        SourceRead(address, w, 4);
        uint32_t avail = 4;
        if (w[0] & 0x04) {
            uint32_t h = (w[0] & 0x01) ? 4 : 3;
            SourceRead(address + h, w + h, 4);
            avail = h + 4;
        }
        DecodeHeader(w, avail);
    } catch (const CError& e) {
        ErrorLog().Log("%s", e.GetText());
        ErrorLog().Log("CCodeplug::GetBlockInfo: Unable to read external device to get block information");
        return false;
    }
    return CalcBlkSize();
}

bool CCodeplug::ReadQuantity(uint32_t address, uint8_t& quantity)
{
    if (m_blockBytes ? address >= m_blockBytesLimit : m_source == kImage && !InImage(address, 1))
        return LogFailure(CGenError(3, "%s", kOutsideImage));
    if (m_blockBytes) {
        quantity = m_blockBytes[address];
        return true;
    }
    try {
        SourceRead(address, &quantity, 1);
    } catch (const CError& e) {
        return LogFailure(e);
    }
    return true;
}

bool CCodeplug::CalcBlkSize()
{
    uint32_t s = m_entrySize;
    uint32_t q = m_entryQty;
    uint32_t tail = m_blockChecksum ? 1 : 0;
    if (!m_hasLists) {
        uint32_t data = m_bitSizes ? (q * s + 7) / 8 : q * (s + m_entryChecksums);
        m_blockSize = data + (m_wideSizes ? 4 : 3) + tail;
        return true;
    }
    if (m_listSize > 0) {
        m_blockSize = m_listCount * m_listSize + 6 + (m_entryChecksums ? q : 0) +
                      (m_listChecksums ? m_listCount : 0) + tail;
        return true;
    }
    uint32_t size = 5;
    uint32_t position = 5;
    for (uint32_t list = 0; list < m_listCount; ++list) {
        uint8_t quantity;
        if (!ReadQuantity(m_blockAddress + position, quantity)) {
            ErrorLog().Log("CCodeplug::CalcBlkSize: Read entry quantity for list %d failed", list);
            return false;
        }
        const uint32_t qty = quantity;
        uint32_t data = m_bitSizes ? (qty * s + 7) / 8 : qty * (s + m_entryChecksums);
        uint32_t occupied = 1 + data + m_listChecksums;
        size += occupied;
        position += occupied;
    }
    m_blockSize = size + tail;
    return true;
}

uint32_t CCodeplug::EntryOffset(uint32_t entry) const
{
    if (m_bitSizes)
        return (entry * m_entrySize + 7) / 8;
    return entry * (m_entrySize + m_entryChecksums);
}

uint32_t CCodeplug::ListBytes(uint32_t quantity) const
{
    uint32_t data = m_bitSizes ? (quantity * m_entrySize + 7) / 8 : quantity * m_entrySize;
    return (m_entryChecksums ? quantity : 0) + data + m_listChecksums;
}

uint32_t CCodeplug::DataStart() const
{
    if (m_hasLists)
        return 6;
    return m_wideSizes ? 4 : 3;
}

bool CCodeplug::LocateList(uint32_t list, uint32_t& offset, uint32_t& quantity)
{
    offset = 0;
    quantity = m_entryQty;
    if (!m_hasLists)
        return true;
    if (m_listSize > 0) {
        offset = list * (m_listSize + m_listChecksums);
        return true;
    }
    for (uint32_t l = 0; l < list; ++l) {
        offset += ListBytes(quantity);
        uint8_t q;
        if (!ReadQuantity(m_blockAddress + 6 + offset, q)) {
            ErrorLog().Log("CCodeplug::CalcListOfs: Read entry quantity for list %d failed", l + 1);
            offset = quantity = 0;
            return false;
        }
        quantity = q;
        offset += 1;
    }
    return true;
}

uint32_t CCodeplug::CalcListOfs(uint32_t list)
{
    uint32_t offset, quantity;
    m_listOfsFailed = !LocateList(list, offset, quantity);
    return offset;
}

uint32_t CCodeplug::ListQuantity(uint32_t list)
{
    uint32_t offset, quantity;
    m_listOfsFailed = !LocateList(list, offset, quantity);
    return quantity;
}

uint32_t CCodeplug::ListDataSize(uint32_t list) { return ListBytes(ListQuantity(list)); }

uint32_t CCodeplug::FieldAddress(uint32_t blockAddress, uint32_t list, uint32_t entry, uint32_t offset)
{
    uint32_t listOffset = CalcListOfs(list);
    if (m_listOfsFailed)
        throw CGenError(3, "General communication error while reading codeplug");
    return blockAddress + listOffset + EntryOffset(entry) + offset + DataStart();
}

uint32_t CCodeplug::FindChecksumInRegions(uint32_t address) const
{
    if (address < m_p1)
        return m_p1 - 1;
    if (address < m_p2)
        return m_p2 - 1;
    if (m_regionFlag && address <= m_p2 + m_l2)
        return m_p2 + m_l2;
    return 0;
}

uint32_t CCodeplug::FindChecksumLocation(uint32_t address, uint32_t blockAddress, bool useRegions)
{
    uint32_t d = address - blockAddress;
    uint32_t found = 0;
    uint32_t stride = m_entrySize + 1;
    if (m_hasLists) {
        if (address < blockAddress + 6) {
            found = 0;
        } else if (m_listChecksums) {
            for (uint32_t l = 0; l < m_listCount && !found; ++l) {
                uint32_t o, quantity;
                if (!LocateList(l, o, quantity))
                    break;
                if (d < o + ListBytes(quantity) + 6)
                    found = blockAddress + o + ListBytes(quantity) + 5;
            }
        } else if (m_entryChecksums) {
            for (uint32_t l = 0; l < m_listCount && !found; ++l) {
                uint32_t o, quantity;
                if (!LocateList(l, o, quantity))
                    break;
                uint32_t start = 6 + o;
                if (d < start || d >= start + ListBytes(quantity))
                    continue;
                uint32_t x = start;
                for (uint32_t e = 0; e < quantity && !found; ++e) {
                    x += stride;
                    if (x > d)
                        found = blockAddress + x - 1;
                }
            }
        } else if (m_blockChecksum) {
            found = blockAddress + m_blockSize - 1;
        } else if (useRegions) {
            found = FindChecksumInRegions(address);
        }
    } else {
        uint32_t header = m_wideSizes ? 4 : 3;
        if (address < blockAddress + header) {
            found = 0;
        } else if (m_entryChecksums) {
            for (uint32_t e = 0; e < m_entryQty && !found; ++e) {
                uint32_t x = EntryOffset(e) + stride + header;
                if (x > d)
                    found = blockAddress + x - 1;
            }
        } else if (m_blockChecksum) {
            found = blockAddress + m_blockSize - 1;
        } else if (useRegions) {
            found = FindChecksumInRegions(address);
        }
    }
    if (found == address)
        found = 0;
    m_checksumLocation = found;
    return found;
}

CCodeplug::BlockInfo CCodeplug::CurrentBlock() const
{
    return BlockInfo{m_blockAddress,   m_entrySize,     m_entryQty,         m_listSize,
                     m_listCount,      m_hasLists,      m_entryChecksums != 0, m_listChecksums != 0,
                     m_blockChecksum != 0, m_bitSizes != 0, m_wideSizes != 0, m_blockSize,
                     m_flags,          m_entryFlags};
}
