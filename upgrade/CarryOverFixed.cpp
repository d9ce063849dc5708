// The fixed-address layout: the tuning entry 0x8000 and block 139 (serial number and regional
// data), converted between the basic and the extended generation of the layout for product
// lines 11 and 12, moved field by field for radio codes whose second character is "1".
#include "upgrade/CarryOverPath.h"
#include "upgrade/FixedConversion.h"

#include "codeplug/Codeplug.h"

namespace {

constexpr uint16_t kTuningBlock = 0x8000;
constexpr uint16_t kSecondBlock = 0x8003;
constexpr uint16_t kBlock139 = 139;

bool CarriesTuning(int mode) { return mode == 1 || mode == 3; }

class CFixedCarryOver : public CCarryOverPath {
public:
    using CCarryOverPath::CCarryOverPath;

    const char* ProgrammingLogLine() const override
    {
        return "CRadioUpgrade::DoProgCp: Programming internal region of the codeplug";
    }

    void Save(CarryOverRecord& record) override
    {
        // Outside the logged steps, as the radio is first looked at.
        std::vector<uint8_t> marker = ReadRaw(0, 2);
        record.Put("old-marker", marker);
        if (record.productLine == 3) {
            record.Put("bytes-2D3", ReadRaw(0x2D3, 8));
            record.Put("byte-2A9", ReadRaw(0x2A9, 1));
        }
        if (!CarriesTuning(record.codeplugMode))
            return;
        Step(carryover::kReadTuning, [&] {
            record.Put("tuning-entry", ReadEntry(kTuningBlock));
            if (fixedconv::ByMarker(record.productLine)) {
                bool extended = fixedconv::IsExtended(marker);
                record.Put("header-h3", ReadRaw(extended ? 0x280 : 0x200, 3));
                record.Put("header-h8", ReadRaw(extended ? 0x283 : 0x203, 8));
                if (record.productLine == 11)
                    record.Put("byte-N", ReadRaw(0x179, 1));
            }
            m_codeplug.SetVariantFlag(1);
            std::vector<uint8_t> block;
            try {
                block = ReadBlock(kBlock139);
            } catch (...) {
                m_codeplug.SetVariantFlag(0);
                throw;
            }
            m_codeplug.SetVariantFlag(0);
            record.Put("block139", block);
        });
    }

    void Restore(const CarryOverRecord& record, std::optional<std::vector<uint8_t>> newMarker) override
    {
        if (!CarriesTuning(record.codeplugMode))
            return;
        Step(carryover::kRestoreTuning, [&] {
            if (fixedconv::ByMarker(record.productLine))
                RestoreByMarker(record, newMarker ? *newMarker : ReadRaw(0, 2));
            else
                RestoreByCode(record);
        });
    }

private:
    // Product lines 11 and 12: the tuning entry widened or narrowed between the generations,
    // the band letter's tuning byte, the header bytes and the old block 139 carried into the
    // new one.
    void RestoreByMarker(const CarryOverRecord& record, const std::vector<uint8_t>& newMarker)
    {
        fixedconv::Case c = fixedconv::CaseOf(record.Item("old-marker"), newMarker);
        std::vector<uint8_t> newBlock = ReadBlock(kBlock139);
        fixedconv::Input in{record.productLine, record.codeplugMode, c,
                            record.Item("tuning-entry"), record.Item("header-h3"), record.Item("header-h8"),
                            record.Has("byte-N") ? record.Item("byte-N") : std::vector<uint8_t>{},
                            record.Item("block139"), newBlock};
        fixedconv::Output out = fixedconv::Convert(in);

        std::vector<uint8_t> entry = ReadEntry(kTuningBlock);
        std::copy(out.tuning.begin(), out.tuning.begin() + static_cast<long>(std::min(out.tuning.size(), entry.size())),
                  entry.begin());
        WriteEntry(kTuningBlock, entry);
        std::vector<uint8_t> second;
        if (out.writeByteN) {
            second = ReadEntry(kSecondBlock);
            if (second.size() <= fixedconv::kByteNAt)
                throw CGenError(3, "Entry 0x8003 of the new codeplug has %u bytes, too few for byte %u",
                                static_cast<unsigned>(second.size()), static_cast<unsigned>(fixedconv::kByteNAt));
            second[fixedconv::kByteNAt] = out.byteN;
            WriteEntry(kSecondBlock, second);
        }
        for (const auto& [address, bytes] : out.headers)
            WriteRaw(address, bytes);
        std::vector<uint8_t> written = WriteBlock(kBlock139, out.block139);

        CheckReadBack("tuning data", entry, ReadEntry(kTuningBlock));
        if (out.writeByteN)
            CheckReadBack("tuning data (entry 0x8003)", second, ReadEntry(kSecondBlock));
        for (const auto& [address, bytes] : out.headers)
            CheckReadBack("header bytes", bytes, ReadRaw(address, static_cast<uint32_t>(bytes.size())));
        CheckReadBack("block 139", written, ReadBlock(kBlock139));
    }

    // Other product lines: the bytes at 0x2D3 (product line 3), the tuning entry, moved field
    // by field for a radio code "?1", and the serial number and regional fields of block 139.
    void RestoreByCode(const CarryOverRecord& record)
    {
        if (record.productLine == 3 && record.Item("byte-2A9").at(0) >= 7)
            WriteRaw(0x2D3, record.Item("bytes-2D3"));
        std::vector<uint8_t> tuning = record.Item("tuning-entry");
        if (fixedconv::MovesTuningFields(record.radioCode))
            tuning = fixedconv::MoveTuningFields(tuning, ReadEntry(kTuningBlock));
        WriteEntry(kTuningBlock, tuning);
        std::vector<uint8_t> block = fixedconv::CarrySerialFields(record.Item("block139"), ReadBlock(kBlock139));
        std::vector<uint8_t> written = WriteBlock(kBlock139, block);

        if (record.productLine == 3 && record.Item("byte-2A9").at(0) >= 7)
            CheckReadBack("bytes at 0x2D3", record.Item("bytes-2D3"), ReadRaw(0x2D3, 8));
        std::vector<uint8_t> now = ReadEntry(kTuningBlock);
        now.resize(std::min(now.size(), tuning.size()));
        CheckReadBack("tuning data", tuning, now);
        CheckReadBack("block 139", written, ReadBlock(kBlock139));
    }
};

}  // namespace

std::unique_ptr<CCarryOverPath> CreateFixedCarryOver(CCodeplug& codeplug)
{
    return std::make_unique<CFixedCarryOver>(codeplug);
}
