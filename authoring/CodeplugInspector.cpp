#include "authoring/CodeplugInspector.h"

#include "codeplug/FixedLayout.h"
#include "codeplug/RideLayout.h"
#include "codeplug/VariantCodeplug.h"
#include "errors/Error.h"
#include "platform/StopRequest.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace {

std::string Format(const char* format, auto... args)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

std::vector<uint16_t> AdkIds(CCodeplug& codeplug)
{
    std::vector<uint16_t> ids;
    RdkPtrs ptrs{};
    if (codeplug.GetStructure() == 3) {
        ids.push_back(fixedlayout::kBlockId);
    } else if (codeplug.GetRdkPtrs(ptrs)) {
        for (uint32_t id = 0; id < ptrs.blockCount && id < 0x8000; ++id)
            ids.push_back(static_cast<uint16_t>(id));
    }
    for (uint16_t id = 0x8000; id <= 0x8004; ++id)
        if (codeplug.GetStructure() != 3 || id == 0x8000 || id == 0x8003)
            ids.push_back(id);
    return ids;
}

std::string HeaderDetail(const CCodeplug::BlockInfo& b)
{
    return Format("flags 0x%02X lists %u entries %u entry size %u", b.flags, b.listCount, b.entryQty, b.entrySize);
}

void AddRange(std::vector<CpRange>& out, uint32_t from, uint32_t to, std::string label)
{
    out.push_back(CpRange{from, to, std::move(label)});
}

}  // namespace

bool IsVariantBlock(const CCodeplug& codeplug, uint16_t id)
{
    return codeplug.GetStructure() == 2 || (codeplug.GetStructure() == 3 && id == fixedlayout::kBlockId);
}

uint32_t VariantChecksumBytes(const CCodeplug& codeplug, uint16_t id)
{
    return codeplug.GetStructure() == 2 ? ride::ChecksumBytes(ride::ClassOf(id)) : 1;
}

std::string FormatBlockId(uint16_t id) { return id & 0x8000 ? Format("0x%04X", id) : std::to_string(id); }

uint8_t SumCodeplugRange(CCodeplug& codeplug, uint32_t from, uint32_t to)
{
    if (to < from)
        throw CGenError(3, "The range 0x%04X..0x%04X is empty", from, to);
    // A corrupt header can give a range as long as the address space: it is read a piece at
    // a time, so that one leaving the codeplug fails at its end instead of first allocating
    // all of it (or, from 0 to the last address, wrapping round to nothing).
    uint8_t piece[256];
    uint8_t sum = 0;
    for (uint64_t at = from; at <= to; at += sizeof piece) {
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(sizeof piece, uint64_t(to) - at + 1));
        codeplug.ReadCpMemory(piece, static_cast<uint32_t>(at), count);
        for (uint32_t i = 0; i < count; ++i)
            sum = static_cast<uint8_t>(sum + piece[i]);
    }
    return sum;
}

std::vector<CpBlockLine> ListCodeplugBlocks(CCodeplug& codeplug)
{
    std::vector<CpBlockLine> lines;
    std::vector<uint16_t> ids = codeplug.GetStructure() == 2 ? ride::KnownIds() : AdkIds(codeplug);
    std::map<uint32_t, uint16_t> seen;
    for (uint16_t id : ids) {
        CpBlockLine line;
        line.id = id;
        try {
            line.address = codeplug.GetBlockVector(id);
            if (line.address == 0)
                continue;
            // Some pointer-table ids share their pointer: the block there is the other id's.
            auto other = seen.find(line.address);
            if (codeplug.GetStructure() == 2 && other != seen.end()) {
                line.problem = "the block of id " + FormatBlockId(other->second);
                lines.push_back(line);
                continue;
            }
            seen[line.address] = id;
            if (IsVariantBlock(codeplug, id)) {
                line.size = codeplug.GetFixedBlockSize(line.address, id) & 0xFFFF;
                if (codeplug.GetStructure() == 2) {
                    ride::BlockClass cls = ride::ClassOf(id);
                    line.detail = cls == ride::BlockClass::W   ? "class W"
                                  : cls == ride::BlockClass::X ? "class X"
                                                               : "class other";
                } else {
                    line.detail = "fixed block";
                }
            } else if (codeplug.GetBlockInfo(line.address)) {
                line.size = codeplug.CurrentBlock().blockSize;
                line.detail = HeaderDetail(codeplug.CurrentBlock());
            } else {
                line.problem = "unreadable: block header";
            }
        } catch (const CError& e) {
            if (StopRequested())
                throw;  // a stop ends the look, it is no unreadable part of the codeplug
            line.problem = std::string("unreadable: ") + e.GetText();
        }
        lines.push_back(line);
    }
    return lines;
}

// The ranges are found with the model's own operations (FieldAddress, ListQuantity,
// ListDataSize), so the inspector checks what the model reads and writes.
std::vector<CpRange> BlockChecksumRanges(CCodeplug& codeplug, uint16_t id)
{
    std::vector<CpRange> out;
    uint32_t A = codeplug.GetBlockVector(id);
    if (A == 0 || !codeplug.GetBlockInfo(A))
        return out;
    CCodeplug::BlockInfo b = codeplug.CurrentBlock();
    std::string name = "block " + FormatBlockId(id);
    // An entry's checksum byte follows its bytes (entries sized in bits have none).
    bool entrySums = b.entryChecksums && !b.bitSizes;
    uint32_t lists = b.hasLists ? b.listCount : 1;
    for (uint32_t l = 0; l < lists; ++l) {
        std::string list = b.hasLists ? Format("list %u of ", l) : std::string();
        uint32_t quantity = codeplug.ListQuantity(l);
        uint32_t first = codeplug.FieldAddress(A, l, 0, 0);
        if (entrySums)
            for (uint32_t e = 0; e < quantity; ++e) {
                uint32_t start = codeplug.FieldAddress(A, l, e, 0);
                AddRange(out, start, start + b.entrySize, Format("entry %u of ", e) + list + name);
            }
        if (b.hasLists && b.listChecksums) {
            // A list of varying length after the first begins with its quantity byte.
            uint32_t from = (b.listSize == 0 && l > 0) ? first - 1 : first;
            AddRange(out, from, first + codeplug.ListDataSize(l) - 1, list + name);
        }
    }
    if (b.blockChecksum)
        AddRange(out, A, A + b.blockSize - 1, name);
    return out;
}

namespace {

struct RangeSum {
    CpRange range;
    bool read;
    uint8_t sum;
    std::string error;
};

RangeSum SumRange(CCodeplug& codeplug, const CpRange& r)
{
    // A corrupt header can give thousands of ranges outside the image: each is refused as
    // reading it would refuse it, without raising the error.
    if (r.from <= r.to && codeplug.ImageRefusesUpTo(r.to)) {
        const CGenError refusal(3, "%s", CCodeplug::kOutsideImage);
        if (StopRequested())
            throw refusal;  // a stop ends the look, it is no unreadable part of the codeplug
        return {r, false, 0, refusal.GetText()};
    }
    try {
        return {r, true, SumCodeplugRange(codeplug, r.from, r.to), ""};
    } catch (const CError& e) {
        if (StopRequested())
            throw;  // a stop ends the look, it is no unreadable part of the codeplug
        return {r, false, 0, e.GetText()};
    }
}

// The sum most of the ranges make; on a tie 0x00 or 0x5A, the usual sums, go first.
uint8_t MostCommonSum(const std::vector<RangeSum>& sums)
{
    std::map<uint8_t, int> counts;
    for (const RangeSum& s : sums)
        if (s.read)
            ++counts[s.sum];
    auto rank = [&](uint8_t sum) { return counts[sum] * 4 + (sum == 0x00 ? 2 : sum == 0x5A ? 1 : 0); };
    uint8_t best = 0;
    for (auto [sum, count] : counts)
        if (rank(sum) > rank(best))
            best = sum;
    return best;
}

void CheckVariantBlock(CCodeplug& codeplug, std::vector<CpCheckLine>& out, uint16_t id)
{
    auto& variant = static_cast<CVariantCodeplug&>(codeplug);
    std::string name = "block " + FormatBlockId(id);
    try {
        uint32_t address = variant.GetBlockVector(id);
        if (address == 0)
            return;
        uint32_t size = variant.GetFixedBlockSize(address, id) & 0xFFFF;
        std::vector<uint8_t> bytes(size);
        variant.ReadCpMemory(bytes.data(), address, size);
        bool ok = variant.ChecksumOk(id, bytes.data(), size);
        std::vector<uint8_t> fixed = bytes;
        variant.FixChecksum(id, fixed.data(), size);
        std::string detail = Format("0x%04X, %u bytes: checksum ", address, size);
        uint32_t n = VariantChecksumBytes(codeplug, id);
        for (uint32_t i = size - n; i < size; ++i)
            detail += Format("%02X", bytes[i]);
        detail += ", wanted ";
        for (uint32_t i = size - n; i < size; ++i)
            detail += Format("%02X", fixed[i]);
        out.push_back({name, address + size - 1, ok, detail});
    } catch (const CError& e) {
        if (StopRequested())
            throw;  // a stop ends the look, it is no unreadable part of the codeplug
        out.push_back({name, 0, false, e.GetText()});
    }
}

}  // namespace

std::vector<CpCheckLine> CheckCodeplug(CCodeplug& codeplug, std::optional<uint8_t> sum, uint8_t* sumUsed)
{
    std::vector<CpCheckLine> out;
    int type = codeplug.GetStructure();
    if (type == 2) {
        std::set<uint32_t> seen;
        for (uint16_t id : ride::KnownIds()) {
            uint32_t address = 0;
            try {
                address = codeplug.GetBlockVector(id);
            } catch (const CError& e) {
                if (StopRequested())
                    throw;  // a stop ends the look, it is no unreadable part of the codeplug
                out.push_back({"block " + FormatBlockId(id), 0, false, e.GetText()});
                continue;
            }
            if (address != 0 && seen.insert(address).second)
                CheckVariantBlock(codeplug, out, id);
        }
        return out;
    }
    std::vector<CpRange> ranges;
    for (uint16_t id : AdkIds(codeplug)) {
        if (type == 3 && id == fixedlayout::kBlockId) {
            CheckVariantBlock(codeplug, out, id);
            continue;
        }
        try {
            for (const CpRange& r : BlockChecksumRanges(codeplug, id))
                ranges.push_back(r);
        } catch (const CError& e) {
            if (StopRequested())
                throw;  // a stop ends the look, it is no unreadable part of the codeplug
            out.push_back({"block " + FormatBlockId(id), 0, false, e.GetText()});
        }
    }
    RdkPtrs p{};
    if (type == 3) {
        // The regions the upgrade form checks before a recovery.
        uint8_t head[2];
        codeplug.ReadCpMemory(head, 0, 2);
        int n = 0;
        for (const fixedlayout::Region& r : fixedlayout::Regions(fixedlayout::IsExtended(head[0], head[1])))
            ranges.push_back({r.from, r.to, "region " + std::to_string(++n)});
    } else if (codeplug.GetRdkPtrs(p) && type != 0 && p.p1 > 0 && p.p2 > p.p1) {
        ranges.push_back({0, p.p1 - 1, "region 1"});
        ranges.push_back({p.p1, p.p2 - 1, "region 2"});
        if (p.regionFlag)
            ranges.push_back({p.p2, p.p2 + p.l2, "region 3"});
    }
    std::vector<RangeSum> sums;
    for (const CpRange& r : ranges)
        sums.push_back(SumRange(codeplug, r));
    // The fixed-address layout's ranges sum to 0x5A; the block model does not say which sum its
    // ranges make, so the one most of them make is taken unless the caller names one.
    uint8_t target = type == 3 ? fixedlayout::kSum : sum.value_or(MostCommonSum(sums));
    if (sumUsed)
        *sumUsed = target;
    for (const RangeSum& s : sums) {
        if (!s.read)
            out.push_back({s.range.label, s.range.to, false, s.error});
        else
            out.push_back({s.range.label, s.range.to, s.sum == target,
                           Format("0x%04X..0x%04X sums to 0x%02X, wanted 0x%02X", s.range.from, s.range.to, s.sum,
                                  target)});
    }
    return out;
}
