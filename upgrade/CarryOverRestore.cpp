#include "upgrade/CarryOverRestore.h"
#include "upgrade/CarryOverPath.h"
#include "upgrade/CodeplugJob.h"
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

// Whether the record names the radio it was saved from and the image its data was carried into
// (a record of format 1 does neither).
bool Checkable(const CarryOverRecord& r)
{
    return r.radio.Known() && !r.fingerprint.empty() && r.regionEnd > r.regionStart;
}

bool DataWrittenBack(PressStage stage) { return stage == PressStage::CodeplugWritten || stage == PressStage::Patching; }

const char* FileName(const CarryOverRecord& r) { return r.file.empty() ? "in memory" : r.file.c_str(); }

}  // namespace

std::string CarryOverAdvice(const CarryOverRecord& r)
{
    const std::string kit = r.kit.empty() ? "the kit it was upgraded with" : "the kit in " + r.kit;
    if (r.LeftWithoutFirmware())
        return "Press Program on that radio with " + kit +
               " to finish its upgrade: it may hold no firmware, so when it answers only in bootstrap mode, confirm "
               "that it is this radio.";
    if (r.valid && r.codeplugMode != 0 && !Checkable(r))
        return "The record does not name the radio it was saved from or the codeplug image its data was carried "
               "into (an earlier version wrote it), so it cannot be checked against a radio and is not restored. "
               "Keep the file: it holds that radio's own tuning and serial-number data.";
    std::string text = "Press Program again on that radio with " + kit + " to finish its upgrade.";
    if (r.valid && r.codeplugMode != 0)
        text += " Or give back only its own data: tessarin carryover restore " + r.file + " --port N";
    return text;
}

CCarryOverRestore::CCarryOverRestore(CCodeplug& codeplug, const CarryOverRecord& record)
    : m_codeplug(codeplug), m_record(record)
{
    SetProductLineNumber(record.productLine);
}

void CCarryOverRestore::CheckRecord(const CarryOverRecord& r)
{
    if (r.codeplugMode == 0)
        throw CGenError(3, "The record %s holds nothing to write back: its upgrade programs no codeplug (codeplug "
                           "mode 0)", FileName(r));
    if (!r.valid)
        throw CGenError(3, "The record %s holds none of the radio's own data: its upgrade ended before the data was "
                           "read (stage %s)", FileName(r), PressStageName(r.stage));
    if (!Checkable(r))
        throw CGenError(3, "The record %s cannot be checked against the radio on the port: it does not name the "
                           "radio it was saved from or the codeplug image its data was carried into", FileName(r));
}

void CCarryOverRestore::CheckIdentity(const RadioIdentity& radio) const
{
    if (!(radio == m_record.radio))
        throw CGenError(3, "The radio on the port is not the radio the record was saved from: the radio is %s, the "
                           "record's is %s", radio.Text().c_str(), m_record.radio.Text().c_str());
}

std::string CCarryOverRestore::Check(const RadioIdentity& radio)
{
    CheckIdentity(radio);
    std::string image = CheckImage();
    return "the " + image + "; the record's " + CheckRadioLayout();
}

std::string CCarryOverRestore::CheckImage()
{
    const CarryOverRecord& r = m_record;
    if (r.regionEnd <= r.regionStart || r.regionEnd > 0x10000)
        throw CGenError(3, "The record's codeplug region %X-%X is not one of a codeplug", r.regionStart, r.regionEnd);
    const uint32_t count = r.regionEnd - r.regionStart;
    // Raw reads: a failure of the link is not taken for a codeplug that differs.
    std::vector<uint8_t> held = ReadRadioBytes(m_codeplug.GetBroker(), r.regionStart, count);
    const std::string fingerprint = RegionFingerprint(held.data(), r.regionStart, count);
    if (fingerprint != r.fingerprint) {
        std::string written;
        if (DataWrittenBack(r.stage))
            written = std::string(". The record's data was already written back into the radio and read back (stage ") +
                      PressStageName(r.stage) + "); pressing Program on the radio with the kit finishes the upgrade";
        throw CGenError(3, "The radio does not hold the codeplug image the record was carried into: its codeplug "
                           "over %X-%X has fingerprint %s, the image's is %s%s", r.regionStart, r.regionEnd,
                        fingerprint.c_str(), r.fingerprint.c_str(), written.c_str());
    }
    char text[96];
    std::snprintf(text, sizeof text, "codeplug image %s over %X-%X", fingerprint.c_str(), r.regionStart, r.regionEnd);
    return text;
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
