// The pointer-table layout: block 48 bytes 4 to 13 (serial number); block 20 bytes 7 to 103,
// 457 and 459, and block 16 whole (tuning); and for product line 10 with model tag "01" two
// fields moved within the first region before programming.
#include "upgrade/CarryOverPath.h"

#include "codeplug/Codeplug.h"

#include <algorithm>

namespace {

constexpr uint16_t kHeaderBlock = 48;
constexpr uint16_t kTuningBlock = 20;
constexpr uint16_t kTuningBlock16 = 16;
constexpr std::size_t kSerialAt = 4, kSerialLength = 10;
constexpr std::size_t kTuningAt = 7, kTuningLength = 97;
constexpr std::size_t kByte457 = 457, kByte459 = 459;

bool CarriesTuning(int mode) { return mode == 1 || mode == 3; }
bool CarriesSerial(int mode) { return mode == 2 || mode == 3; }
bool MovesFields(const CarryOverRecord& r) { return r.productLine == 10 && r.modelTag == "01"; }

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, std::size_t at, std::size_t count, uint16_t blockId)
{
    if (bytes.size() < at + count)
        throw CGenError(3, "Block %d of the radio's codeplug has %u bytes, too few for its data at %u to %u", blockId,
                        static_cast<unsigned>(bytes.size()), static_cast<unsigned>(at),
                        static_cast<unsigned>(at + count - 1));
    return std::vector<uint8_t>(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + count));
}

void Place(std::vector<uint8_t>& bytes, std::size_t at, const std::vector<uint8_t>& field, uint16_t blockId)
{
    Slice(bytes, at, field.size(), blockId);  // refuses a block too short for the field
    std::copy(field.begin(), field.end(), bytes.begin() + static_cast<long>(at));
}

class CRideCarryOver : public CCarryOverPath {
public:
    using CCarryOverPath::CCarryOverPath;

    void Save(CarryOverRecord& record) override
    {
        if (MovesFields(record)) {
            record.Put("moved-146", ReadRaw(0x146, 1));
            record.Put("moved-12F", ReadRaw(0x12F, 7));
        }
        if (CarriesSerial(record.codeplugMode)) {
            Step(carryover::kReadSerial, [&] {
                record.Put("block48-serial", Slice(ReadBlock(kHeaderBlock), kSerialAt, kSerialLength, kHeaderBlock));
            });
        }
        if (CarriesTuning(record.codeplugMode)) {
            Step(carryover::kReadTuning, [&] {
                std::vector<uint8_t> block20 = ReadBlock(kTuningBlock);
                record.Put("block20-tuning", Slice(block20, kTuningAt, kTuningLength, kTuningBlock));
                record.Put("block20-457", Slice(block20, kByte457, 1, kTuningBlock));
                record.Put("block20-459", Slice(block20, kByte459, 1, kTuningBlock));
                record.Put("block16", ReadBlock(kTuningBlock16));
            });
        }
    }

    void BeforeProgramming(const CarryOverRecord& record) override
    {
        if (!MovesFields(record))
            return;
        WriteRaw(0x144, record.Item("moved-146"));
        WriteRaw(0x136, record.Item("moved-12F"));
    }

    void Restore(const CarryOverRecord& record, std::optional<std::vector<uint8_t>>) override
    {
        // Looks the blocks up afresh: the new codeplug keeps them where it has them.
        if (!m_codeplug.InitRdkPtrs())
            IncorrectCodeplug();
        if (CarriesTuning(record.codeplugMode)) {
            Step(carryover::kRestoreTuning, [&] {
                std::vector<uint8_t> block20 = ReadBlock(kTuningBlock);
                Place(block20, kTuningAt, record.Item("block20-tuning"), kTuningBlock);
                Place(block20, kByte457, record.Item("block20-457"), kTuningBlock);
                Place(block20, kByte459, record.Item("block20-459"), kTuningBlock);
                std::vector<uint8_t> written20 = WriteBlock(kTuningBlock, block20);
                const std::vector<uint8_t>& saved16 = record.Item("block16");
                std::vector<uint8_t> new16 = ReadBlock(kTuningBlock16);
                if (new16.size() != saved16.size())
                    throw CGenError(3, "Block 16 of the new codeplug has %u bytes, the radio's saved block %u: it "
                                       "cannot be written back unchanged",
                                    static_cast<unsigned>(new16.size()), static_cast<unsigned>(saved16.size()));
                std::vector<uint8_t> written16 = WriteBlock(kTuningBlock16, saved16);
                CheckReadBack("tuning data (block 20)", written20, ReadBlock(kTuningBlock));
                CheckReadBack("tuning data (block 16)", written16, ReadBlock(kTuningBlock16));
            });
        }
        if (CarriesSerial(record.codeplugMode)) {
            Step(carryover::kRestoreSerial, [&] {
                std::vector<uint8_t> block48 = ReadBlock(kHeaderBlock);
                Place(block48, kSerialAt, record.Item("block48-serial"), kHeaderBlock);
                std::vector<uint8_t> written = WriteBlock(kHeaderBlock, block48);
                CheckReadBack("serial number data", written, ReadBlock(kHeaderBlock));
            });
        }
    }
};

}  // namespace

std::unique_ptr<CCarryOverPath> CreateRideCarryOver(CCodeplug& codeplug)
{
    return std::make_unique<CRideCarryOver>(codeplug);
}
