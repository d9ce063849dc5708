#pragma once

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "upgrade/CarryOver.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class CCodeplug;
class CVeskBroker;

// One codeplug layout's rules for carrying a radio's own data over a reprogramming: what is
// read from the radio before the codeplug is programmed, and how it is converted and written
// back afterwards. The engine's codeplug programming and `tessarin carryover restore` both use
// it, so a record saved by one is restored by the same code.
//
// Everything the restore needs comes from the record (layout, product line, codeplug mode,
// radio code, model tag and the saved bytes), never from a radio that may already have been
// reprogrammed. Each step logs its own line when it fails and raises the same error again.
class CCarryOverPath {
public:
    explicit CCarryOverPath(CCodeplug& codeplug) : m_codeplug(codeplug) {}
    virtual ~CCarryOverPath() = default;
    CCarryOverPath(const CCarryOverPath&) = delete;
    CCarryOverPath& operator=(const CCarryOverPath&) = delete;

    // Reads what the record's codeplug mode carries over from the radio into the record's
    // items. Writes nothing to the radio.
    virtual void Save(CarryOverRecord& record) = 0;
    // Writes that belong before the programming loop (none but the pointer-table layout's).
    virtual void BeforeProgramming(const CarryOverRecord&) {}
    // The log line of a failed programming write.
    virtual const char* ProgrammingLogLine() const { return "CRadioUpgrade::DoProgCp: Programming Codeplug"; }
    // Writes the saved data into the reprogrammed radio and reads it back; raises when it does
    // not read back as written. `newMarker`: the new image's first two bytes (the fixed-address
    // layout's generation), taken from the radio when not given.
    virtual void Restore(const CarryOverRecord& record, std::optional<std::vector<uint8_t>> newMarker) = 0;

protected:
    // Runs `step`; when it raises, logs `logLine` and raises the same error again.
    template <typename F>
    static void Step(const char* logLine, F&& step);
    // Raw reads and writes of radio memory through the codeplug's broker.
    std::vector<uint8_t> ReadRaw(uint32_t address, uint32_t count);
    void WriteRaw(uint32_t address, const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> ReadEntry(uint16_t blockId);
    // Reads a block that must exist (raises "Unable to find codeplug block id = %d" when not).
    std::vector<uint8_t> ReadBlock(uint16_t blockId);
    // Writes a whole entry 0 of `blockId` with the radio-side field write.
    void WriteEntry(uint16_t blockId, const std::vector<uint8_t>& entry);
    // Writes a block (its checksum recomputed by the layout); returns the bytes written.
    std::vector<uint8_t> WriteBlock(uint16_t blockId, std::vector<uint8_t> block);
    // After InitRdkPtrs fails on the reprogrammed radio.
    [[noreturn]] void IncorrectCodeplug();
    // Raises when what the radio now holds differs from what was written.
    static void CheckReadBack(const char* what, const std::vector<uint8_t>& wanted, const std::vector<uint8_t>& got);

    CCodeplug& m_codeplug;
};

// Reads `count` bytes of radio memory in 32-byte reads; raises what the exchange raises, and
// CVeskError 3 when the radio returns fewer bytes than asked for.
std::vector<uint8_t> ReadRadioBytes(CVeskBroker& broker, uint32_t address, uint32_t count);

// The rules for a codeplug structure type: 1 the block model, 2 the pointer-table layout, 3
// the fixed-address layout; null for any other type.
std::unique_ptr<CCarryOverPath> CreateCarryOverPath(int layout, CCodeplug& codeplug);

// The log lines of the steps.
namespace carryover {
inline const char kReadSerial[] = "CRadioUpgrade::DoProgCp: Error while reading radio serial number data";
inline const char kReadSerialRegional[] =
    "CRadioUpgrade::DoProgCp: Error while reading radio serial number and regional id data";
inline const char kReadTuning[] = "CRadioUpgrade::DoProgCp: Error while reading radio tuning data";
inline const char kRestoreTuning[] = "CRadioUpgrade::DoProgCp: Error while restoring radio tuning data";
inline const char kRestoreSerial[] = "CRadioUpgrade::DoProgCp: Error while restoring radio serial number data";
}  // namespace carryover

template <typename F>
void CCarryOverPath::Step(const char* logLine, F&& step)
{
    try {
        step();
    } catch (const CError&) {
        ErrorLog().Log("%s", logLine);
        throw;
    }
}
