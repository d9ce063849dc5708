#include "upgrade/CarryOverRestore.h"
#include "upgrade/CarryOverPath.h"
#include "upgrade/FixedConversion.h"

#include "codeplug/Codeplug.h"
#include "errors/Error.h"
#include "files/HexText.h"
#include "link/LinkFlags.h"

#include <algorithm>

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) { return BytesToHex(bytes.data(), bytes.size()); }

std::vector<uint8_t> ReadBytes(CCodeplug& codeplug, uint32_t address, uint32_t count)
{
    std::vector<uint8_t> bytes(count);
    codeplug.ReadCpMemory(bytes.data(), address, count);
    return bytes;
}

uint32_t Size(CCodeplug& codeplug, bool entry, uint16_t id)
{
    std::vector<uint8_t> bytes(0x10000);
    ImageBuffer buffer{bytes.data(), static_cast<int32_t>(bytes.size())};
    if (entry) {
        codeplug.ReadCpEntry(buffer, id, 0, 0);
    } else if (codeplug.ReadCpBlock(buffer, id) != 0) {
        throw CGenError(3, "The radio's codeplug has no block %d", id);
    }
    return static_cast<uint32_t>(buffer.size);
}

void NeedSize(CCodeplug& codeplug, bool entry, uint16_t id, const CarryOverRecord& r, const char* item,
              bool exact, std::string& found)
{
    uint32_t size = Size(codeplug, entry, id);
    char text[64];
    std::snprintf(text, sizeof text, "%s %s%X of %u bytes", found.empty() ? "" : ",", entry ? "entry 0x" : "block 0x",
                  id, size);
    found += text;
    if (!r.Has(item))
        return;
    uint32_t saved = static_cast<uint32_t>(r.Item(item).size());
    if (exact ? size != saved : size < saved)
        throw CGenError(3, "The radio's %s 0x%X has %u bytes, the record's saved data %u: the radio does not have "
                           "the codeplug layout the record was saved from",
                        entry ? "entry" : "block", id, size, saved);
}

}  // namespace

CCarryOverRestore::CCarryOverRestore(CCodeplug& codeplug, const CarryOverRecord& record)
    : m_codeplug(codeplug), m_record(record)
{
    SetProductLineNumber(record.productLine);
}

std::string CCarryOverRestore::CheckRadioLayout()
{
    const CarryOverRecord& r = m_record;
    bool tuning = r.codeplugMode == 1 || r.codeplugMode == 3;
    bool serial = r.codeplugMode == 2 || r.codeplugMode == 3;
    std::string found;
    switch (r.layout) {
    case 1:
        if (!m_codeplug.InitRdkPtrs())
            throw CGenError(3, "The radio's codeplug has no block model structure (layout 1)");
        if (tuning)
            NeedSize(m_codeplug, true, 0x8000, r, "tuning-entry", false, found);
        if (serial && Size(m_codeplug, true, 0) <= 81)
            throw CGenError(3, "Entry 0 of the radio's codeplug is too short for the serial number and regional id");
        break;
    case 2:
        if (!m_codeplug.InitRdkPtrs())
            throw CGenError(3, "The radio's codeplug cannot be read as the pointer-table layout (layout 2)");
        NeedSize(m_codeplug, false, 48, r, "", false, found);
        if (tuning) {
            NeedSize(m_codeplug, false, 20, r, "", false, found);
            NeedSize(m_codeplug, false, 16, r, "block16", true, found);
        }
        break;
    case 3: {
        std::vector<uint8_t> marker = ReadBytes(m_codeplug, 0, 2);
        found = std::string("marker ") + Hex(marker) + (fixedconv::IsExtended(marker) ? " (extended)" : " (basic)");
        if (r.imageLength == 0 || r.imageLength > 0x4000)
            throw CGenError(3, "The record does not say how long the radio's new codeplug image is");
        // The layout's ADK values come from image text: the radio's codeplug is that image now.
        std::vector<uint8_t> image = ReadBytes(m_codeplug, 0, r.imageLength);
        m_imageText = FormatSRecordImage(image.data(), image.size(), 0, 32);
        m_codeplug.SetImageText(m_imageText.c_str(), r.radioCode.c_str());
        if (!m_codeplug.InitRdkPtrs())
            throw CGenError(3, "The radio's codeplug cannot be read as the fixed-address layout (layout 3)");
        if (tuning) {
            NeedSize(m_codeplug, true, 0x8000, r, fixedconv::ByMarker(r.productLine) ? "" : "tuning-entry",
                     false, found);
            NeedSize(m_codeplug, false, 139, r, "", false, found);
        }
        break;
    }
    default:
        throw CGenError(3, "The record names layout %d, which this program does not know", r.layout);
    }
    return "layout " + std::to_string(r.layout) + ": " + found;
}

void CCarryOverRestore::Restore()
{
    std::unique_ptr<CCarryOverPath> path = CreateCarryOverPath(m_record.layout, m_codeplug);
    if (!path)
        throw CGenError(3, "The record names layout %d, which this program does not know", m_record.layout);
    path->Restore(m_record, std::nullopt);
}
