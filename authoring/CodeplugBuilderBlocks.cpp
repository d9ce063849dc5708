// Placing the blocks of a codeplug description and computing their checksum bytes.
#include "authoring/CodeplugBuilderParts.h"
#include "codeplug/Codeplug.h"
#include "codeplug/RideLayout.h"

#include <algorithm>

namespace cpbuild {

void Builder::Put(uint32_t address, const Bytes& bytes, int line)
{
    RequireImage(line);
    if (address > m_image.size() || bytes.size() > m_image.size() - address)
        throw LineError(line, "bytes at " + std::to_string(address) + " run past the image end");
    std::copy(bytes.begin(), bytes.end(), m_image.begin() + address);
}

void Builder::PutWord(uint32_t address, uint32_t value, int line)
{
    Put(address, Bytes{static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)}, line);
}

void Builder::Claim(uint32_t from, uint32_t size, int line, const std::string& what)
{
    RequireImage(line);
    if (from > m_image.size() || size > m_image.size() - from)
        throw LineError(line, what + " runs past the image end");
    for (uint32_t a = from; a < from + size; ++a) {
        if (m_owner[a] != 0)
            throw LineError(line, what + " overlaps what line " + std::to_string(m_owner[a]) + " laid out");
        m_owner[a] = static_cast<uint32_t>(line);
    }
}

void Builder::SetSum(uint32_t from, uint32_t to, std::optional<uint8_t> target)
{
    uint8_t sum = 0;
    for (uint32_t a = from; a < to; ++a)
        sum = static_cast<uint8_t>(sum + m_image[a]);
    m_image[to] = static_cast<uint8_t>(target.value_or(m_sum) - sum);
}

void Builder::LayOut(const AdkBlock& b)
{
    int line = b.line;
    uint32_t s = b.entrySize;
    uint32_t A = b.address;
    bool bits = b.flags & 0x02;
    bool blockCk = b.flags & 0x80;
    std::vector<Range> inner;
    uint32_t blockSize = 0;
    if (b.lists == AdkBlock::None) {
        bool wide = b.flags & 0x01;
        bool entryCk = b.flags & 0x40;
        uint32_t header = wide ? 4 : 3;
        uint32_t q = b.quantity ? *b.quantity : static_cast<uint32_t>(b.entries[0].size());
        if (q > 255 || (!wide && s > 255) || s > 0xFFFF)
            throw LineError(line, "entry size or quantity too large for the header");
        uint32_t dataSize = bits ? (q * s + 7) / 8 : q * (s + entryCk);
        uint32_t size = header + dataSize + blockCk;
        blockSize = size;
        Claim(A, size, line, "block " + std::to_string(b.id));
        m_image[A] = b.flags;
        if (wide) {
            PutWord(A + 1, s, line);
            m_image[A + 3] = static_cast<uint8_t>(q);
        } else {
            m_image[A + 1] = static_cast<uint8_t>(s);
            m_image[A + 2] = static_cast<uint8_t>(q);
        }
        if (b.data) {
            if (b.data->size() > dataSize)
                throw LineError(line, "data longer than the block's entries");
            Put(A + header, *b.data, line);
        } else {
            if (bits)
                throw LineError(line, "entries whose sizes count bits are given as data");
            for (uint32_t e = 0; e < q; ++e) {
                uint32_t at = A + header + e * (s + entryCk);
                if (e < b.entries[0].size()) {
                    Bytes entry = b.entries[0][e];
                    if (entry.size() > s)
                        throw LineError(line, "entry " + std::to_string(e) + " longer than the entry size");
                    entry.resize(s, 0);
                    Put(at, entry, line);
                }
                if (entryCk)
                    inner.push_back({at, at + s, std::nullopt});
            }
        }
        if (blockCk)
            inner.push_back({A, A + size - 1, std::nullopt});
    } else {
        if (b.flags & 0x01 || b.entryFlags & 0x01)
            throw LineError(line, "list blocks with 16-bit sizes are not laid out by the builder");
        if (bits || b.data)
            throw LineError(line, "list blocks are given as entries");
        bool entryCk = b.entryFlags & 0x40;
        bool listCk = b.flags & 0x40;
        uint32_t n = static_cast<uint32_t>(b.entries.size());
        uint32_t q0 = static_cast<uint32_t>(b.entries[0].size());
        uint32_t stride = s + entryCk;
        uint32_t L = b.lists == AdkBlock::Fixed ? q0 * stride : 0;
        if (n > 255 || q0 > 255 || s > 255 || L > 255)
            throw LineError(line, "list size, list count, entry size or quantity too large for the header");
        uint32_t size;
        if (b.lists == AdkBlock::Fixed) {
            for (const auto& list : b.entries)
                if (list.size() != q0)
                    throw LineError(line, "lists of fixed size must hold the same number of entries");
            size = n * L + 6 + (entryCk ? q0 : 0) + (listCk ? n : 0) + blockCk;
        } else {
            size = 5 + blockCk;
            for (const auto& list : b.entries)
                size += 1 + static_cast<uint32_t>(list.size()) * stride + listCk;
        }
        blockSize = size;
        Claim(A, size, line, "block " + std::to_string(b.id));
        Put(A, Bytes{static_cast<uint8_t>(b.flags | 0x04), static_cast<uint8_t>(L), static_cast<uint8_t>(n),
                     b.entryFlags, static_cast<uint8_t>(s), static_cast<uint8_t>(q0)},
            line);
        uint32_t position = A + 6;
        for (uint32_t l = 0; l < n; ++l) {
            const auto& list = b.entries[l];
            if (list.size() > 255)
                throw LineError(line, "a list holds more than 255 entries");
            uint32_t listStart = position;
            if (b.lists == AdkBlock::Varying && l > 0) {
                m_image[position - 1] = static_cast<uint8_t>(list.size());
                listStart = position - 1;
            }
            for (const Bytes& e : list) {
                Bytes entry = e;
                if (entry.size() > s)
                    throw LineError(line, "an entry is longer than the entry size");
                entry.resize(s, 0);
                Put(position, entry, line);
                if (entryCk)
                    inner.push_back({position, position + s, std::nullopt});
                position += stride;
            }
            if (listCk) {
                inner.push_back({l == 0 ? A + 6 : listStart, position, std::nullopt});
                position += 1;
            }
            if (b.lists == AdkBlock::Varying)
                position += 1;  // the next list's quantity byte
        }
        if (blockCk)
            inner.push_back({A, A + size - 1, std::nullopt});
    }
    m_inner.insert(m_inner.end(), inner.begin(), inner.end());
    m_adkBlocks[b.id] = A;
    PlacedBlock placed{line, A, blockSize, {}};
    // The block checksum covers the header, which no field write changes: the model is asked
    // about the entry and list ranges. A block whose lists and entries both carry checksums
    // keeps only its list checksums right in the model: its entry ranges are not compared.
    bool listAndEntrySums = b.lists != AdkBlock::None && (b.flags & 0x40) && (b.entryFlags & 0x40);
    for (const Range& r : inner)
        if (r.from != A && !(listAndEntrySums && r.to - r.from == s))
            placed.inner.push_back(r);
    m_placed.push_back(placed);
}

void Builder::LayOutRide(RideBlock& b, const Bytes& given, int line)
{
    ride::BlockClass cls = ride::ClassOf(b.id);
    uint32_t fields = ride::FieldBytes(cls);
    uint32_t size = fields + b.size + ride::ChecksumBytes(cls);
    if (size < ride::SizeOverhead(cls))
        throw LineError(line, "a block of this class needs at least 2 data bytes");
    uint32_t length = size - ride::SizeOverhead(cls);
    if (length > (cls == ride::BlockClass::W ? 0xFFFFu : 0xFFu))
        throw LineError(line, "the block is too long for its length field");
    if (given.size() > b.size)
        throw LineError(line, "more bytes than data=");
    Claim(b.address, size, line, "block " + std::to_string(b.id));
    if (cls == ride::BlockClass::W)
        Put(b.address, Bytes{static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), static_cast<uint8_t>(b.id)}, line);
    else
        Put(b.address, Bytes{static_cast<uint8_t>(length), static_cast<uint8_t>(b.id)}, line);
    Bytes data = given;
    data.resize(b.size, 0);
    Put(b.address + fields, data, line);
    b.size = size;
    m_ride.push_back(b);
}

void Builder::FillPointers()
{
    std::map<uint16_t, uint32_t> placed;
    for (const RideBlock& b : m_ride)
        placed[b.id] = b.address;
    std::map<uint32_t, uint32_t> written;  // pointer location -> address
    for (const RideBlock& b : m_ride) {
        if (b.id == ride::kHeaderBlockId) {
            if (b.address != ride::kHeaderBlockAddress)
                throw LineError(b.line, "block 48 lies at 768");
            continue;
        }
        const ride::PointerLocation* p = ride::FindPointer(b.id);
        if (!p)
            throw LineError(b.line, "the layout has no pointer for block " + std::to_string(b.id));
        uint32_t location = p->offset;
        if (p->baseId != 0) {
            auto base = placed.find(p->baseId);
            if (base == placed.end())
                throw LineError(b.line, "block " + std::to_string(b.id) + " is found through block " +
                                            std::to_string(p->baseId) + ", which is not laid out");
            location += base->second;
        }
        auto prior = written.find(location);
        if (prior != written.end() && prior->second != b.address)
            throw LineError(b.line, "another block's pointer is kept at the same place");
        written[location] = b.address;
        PutWord(location, b.address, b.line);
    }
}

void Builder::FillAdk()
{
    const Adk& a = *m_adk;
    if (!(a.p1 > 0 && a.p1 < a.p2 && a.p2 + 8 <= m_image.size() && a.p2 + a.l2 < m_image.size() &&
          a.p3 + 2 <= m_image.size()))
        throw LineError(a.line, "the ADK pointers do not fit the image (0 < p1 < p2, p2 + l2 inside)");
    PutWord(0, a.p1, a.line);
    PutWord(9, a.word9, a.line);
    PutWord(a.p1, a.p2 - a.p1, a.line);
    Put(a.p2, Bytes{static_cast<uint8_t>(a.flag ? 0x04 : 0x00), 0}, a.line);
    PutWord(a.p2 + 2, a.l2, a.line);
    PutWord(a.p2 + 4, a.word4, a.line);
    PutWord(a.p2 + 6, a.p3, a.line);
    uint32_t count = 0;
    for (const auto& [id, address] : m_adkBlocks)
        if (id < 0x8000)
            count = std::max<uint32_t>(count, id + 1u);
    count = a.count.value_or(count);
    PutWord(a.p3, count, a.line);
    for (uint32_t id = 0; id < count; ++id) {
        auto it = m_adkBlocks.find(static_cast<uint16_t>(id));
        PutWord(a.p3 + 2 + 2 * id, it == m_adkBlocks.end() ? 0 : it->second, a.line);
    }
}

void Builder::CheckWithModel() const
{
    if (m_placed.empty())
        return;
    CCodeplug model;
    const uint32_t limit = static_cast<uint32_t>(m_image.size());
    for (const PlacedBlock& p : m_placed) {
        if (!model.ParseBlockHeader(m_image.data(), p.address, limit))
            throw LineError(p.line, "the codeplug model cannot decode the block laid out here");
        uint32_t size = model.CurrentBlock().blockSize;
        if (size != p.size)
            throw LineError(p.line, "the codeplug model sizes this block at " + std::to_string(size) +
                                        " bytes, the builder laid out " + std::to_string(p.size));
        for (const Range& r : p.inner) {
            uint32_t kept = model.FindChecksumLocation(r.from, p.address, false);
            if (kept != r.to)
                throw LineError(p.line, "the codeplug model keeps the checksum of the bytes at " +
                                            std::to_string(r.from) + " at " + std::to_string(kept) +
                                            ", the builder at " + std::to_string(r.to));
        }
    }
}

}  // namespace cpbuild
