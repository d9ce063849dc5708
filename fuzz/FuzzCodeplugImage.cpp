// The codeplug image decoding of every layout: an image loaded from S-record text (or from
// bytes laid out as S-record text), its ADK values and pointer tables, every block's header,
// lists, entries and fields, the checksum locations, a field write, and the inspector's walk
// over all blocks and checksums.
//
// Input: one selector byte, then the image. Selector bits 0-1: structure type (0 and 1 the ADK
// block model, 2 the pointer-table layout, 3 the fixed-address layout); bit 2: the rest is the
// image's bytes (else S-record text); bit 3: variant flag 1; bit 4: product line 11 (the fixed
// layout finds its block by marker) instead of 13; bit 5: radio code "11" instead of "10".
#include "codeplug/CodeplugFactory.h"
#include "authoring/CodeplugInspector.h"
#include "codeplug/FixedLayout.h"
#include "errors/Error.h"
#include "files/HexText.h"
#include "files/SRecord.h"
#include "fuzz/FuzzInput.h"
#include "link/LinkFlags.h"

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kBlockBuffer = 0x10000 + 8;
constexpr uint32_t kWalk = 3;         // lists and entries tried in each block
constexpr std::size_t kBlocks = 12;   // blocks walked
constexpr uint32_t kInspectedBlocks = 64;  // the largest vector table the inspector walks whole

template <typename F>
void Try(F&& step)
{
    try {
        step();
    } catch (const CError&) {
    }
}

// The buffers of one walk: a block and an entry of the largest size a block can have.
struct Buffers {
    std::vector<uint8_t> block = std::vector<uint8_t>(kBlockBuffer);
    std::vector<uint8_t> entry = std::vector<uint8_t>(kBlockBuffer);
};

void WalkBlock(CCodeplug& cp, uint16_t id, bool variant, Buffers& buffers)
{
    std::vector<uint8_t>& block = buffers.block;
    std::vector<uint8_t>& entry = buffers.entry;
    ImageBuffer whole{block.data(), int32_t(block.size())};
    bool haveBlock = false;
    Try([&] { haveBlock = cp.ReadCpBlock(whole, id) == 0; });
    if (haveBlock)
        FUZZ_EXPECT(whole.size >= 0 && uint32_t(whole.size) <= kBlockBuffer);
    if (!variant)
        Try([&] { BlockChecksumRanges(cp, id); });
    uint8_t field[4] = {};
    for (uint32_t list = 0; list < kWalk; ++list)
        for (uint32_t e = 0; e < kWalk; ++e) {
            if (!variant) {
                ImageBuffer dest{entry.data(), int32_t(entry.size())};
                Try([&] { cp.ReadCpEntry(dest, id, list, e); });
                Try([&] {
                    uint32_t checksum = 0;
                    cp.LocateField(id, list, e, 1, 2, &checksum);
                });
            }
            if (haveBlock) {
                Try([&] { cp.ReadCpField(field, whole, list, e, e, 2); });
                Try([&] { cp.WriteCpField(field, whole, list, e, e, 2); });
            }
        }
    // One field written in the image itself, its checksum byte adjusted.
    const uint8_t bytes[2] = {0x5A, 0xA5};
    Try([&] { cp.WriteCpField(bytes, id, 0, 0, 0, 2); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    CFuzzInput in(data, size);
    const uint8_t selector = in.Byte();
    const int type = (selector & 3) == 0 ? 1 : selector & 3;
    std::string text;
    if (selector & 4) {
        const std::string bytes = in.Rest();
        text = FormatSRecordImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 0, 32);
    } else {
        text = in.Rest();
    }
    SetProductLineNumber(selector & 0x10 ? 11 : 13);

    std::unique_ptr<CCodeplug> cp = CreateCodeplug(type);
    cp->SetImageText(text.c_str(), selector & 0x20 ? "11" : "10");
    cp->SetVariantFlag(selector & 8 ? 1 : 0);
    cp->SetSource(CCodeplug::kImage);
    SRecord reader;
    reader.AttachText(text.c_str());
    bool loaded = false;
    Try([&] {
        cp->ReadCpFile(reader);
        loaded = true;
    });
    reader.Detach();
    if (!loaded)
        return 0;
    FUZZ_EXPECT(cp->GetDataLength() <= cp->GetImageSize());
    Try([&] {
        if (!cp->IsFormatDetermined())
            cp->InitRdkPtrs();
    });
    RdkPtrs ptrs{};
    const bool determined = cp->GetRdkPtrs(ptrs);

    // The inspector walks every block the vector table counts (up to 32,768); a larger table
    // than a real codeplug holds is walked here, its first ids and the special ids only.
    std::vector<CpBlockLine> blocks;
    const bool inspect = type != 1 || !determined || ptrs.blockCount <= kInspectedBlocks;
    if (inspect) {
        Try([&] { blocks = ListCodeplugBlocks(*cp); });
    } else {
        std::vector<uint16_t> ids;
        for (uint16_t id = 0; id < kInspectedBlocks; ++id)
            ids.push_back(id);
        for (uint16_t id = 0x8000; id <= 0x8004; ++id)
            ids.push_back(id);
        for (uint16_t id : ids)
            Try([&] {
                CpBlockLine line;
                line.id = id;
                line.address = cp->GetBlockVector(id);
                if (line.address != 0 && cp->GetBlockInfo(line.address))
                    blocks.push_back(line);
            });
    }
    static Buffers buffers;
    std::size_t walked = 0;
    for (const CpBlockLine& line : blocks) {
        if (!line.problem.empty() || line.address == 0 || ++walked > kBlocks)
            continue;
        const bool variant = type == 2 || (type == 3 && line.id == fixedlayout::kBlockId);
        WalkBlock(*cp, line.id, variant, buffers);
        Try([&] { cp->FindChecksumLocation(line.address, line.address); });
    }
    if (inspect)
        Try([&] { CheckCodeplug(*cp); });
    return 0;
}
