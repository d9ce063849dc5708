// The block model: entry 0 bytes 0 to 10 (serial number) and 81 (regional id), and the tuning
// entry 0x8000.
#include "upgrade/CarryOverPath.h"

#include "codeplug/Codeplug.h"

namespace {

constexpr uint16_t kSerialBlock = 0;
constexpr uint16_t kTuningBlock = 0x8000;
constexpr std::size_t kSerialLength = 11;
constexpr std::size_t kRegionalId = 81;

bool CarriesTuning(int mode) { return mode == 1 || mode == 3; }
bool CarriesSerial(int mode) { return mode == 2 || mode == 3; }

class CAdkCarryOver : public CCarryOverPath {
public:
    using CCarryOverPath::CCarryOverPath;

    void Save(CarryOverRecord& record) override
    {
        if (CarriesSerial(record.codeplugMode)) {
            Step(carryover::kReadSerialRegional, [&] {
                std::vector<uint8_t> entry = ReadEntry(kSerialBlock);
                if (entry.size() <= kRegionalId)
                    throw CGenError(3, "Entry 0 of the radio's codeplug has %u bytes, too few for its serial number "
                                       "and regional id",
                                    static_cast<unsigned>(entry.size()));
                record.Put("entry0-serial", std::vector<uint8_t>(entry.begin(), entry.begin() + kSerialLength));
                record.Put("entry0-regional", {entry[kRegionalId]});
            });
        }
        if (CarriesTuning(record.codeplugMode))
            Step(carryover::kReadTuning, [&] { record.Put("tuning-entry", ReadEntry(kTuningBlock)); });
    }

    void Restore(const CarryOverRecord& record, std::optional<std::vector<uint8_t>>) override
    {
        if (!m_codeplug.InitRdkPtrs())
            IncorrectCodeplug();
        if (CarriesTuning(record.codeplugMode)) {
            Step(carryover::kRestoreTuning, [&] {
                const std::vector<uint8_t>& tuning = record.Item("tuning-entry");
                WriteEntry(kTuningBlock, tuning);
                std::vector<uint8_t> now = ReadEntry(kTuningBlock);
                now.resize(std::min(now.size(), tuning.size()));
                CheckReadBack("tuning data", tuning, now);
            });
        }
        if (CarriesSerial(record.codeplugMode)) {
            Step(carryover::kReadSerialRegional, [&] {
                const std::vector<uint8_t>& serial = record.Item("entry0-serial");
                const std::vector<uint8_t>& regional = record.Item("entry0-regional");
                std::vector<uint8_t> entry = ReadEntry(kSerialBlock);
                if (entry.size() <= kRegionalId || serial.size() != kSerialLength || regional.size() != 1)
                    throw CGenError(3, "Entry 0 of the new codeplug has %u bytes, too few for the serial number and "
                                       "regional id",
                                    static_cast<unsigned>(entry.size()));
                std::copy(serial.begin(), serial.end(), entry.begin());
                entry[kRegionalId] = regional[0];
                WriteEntry(kSerialBlock, entry);
                CheckReadBack("serial number and regional id", entry, ReadEntry(kSerialBlock));
            });
        }
    }
};

}  // namespace

std::unique_ptr<CCarryOverPath> CreateAdkCarryOver(CCodeplug& codeplug)
{
    return std::make_unique<CAdkCarryOver>(codeplug);
}
