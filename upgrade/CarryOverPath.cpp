#include "upgrade/CarryOverPath.h"

#include "codeplug/Codeplug.h"

#include <algorithm>

namespace {
constexpr uint32_t kEntryBuffer = 1024;
constexpr uint32_t kBlockBuffer = 0x10000;
}  // namespace

std::unique_ptr<CCarryOverPath> CreateAdkCarryOver(CCodeplug& codeplug);
std::unique_ptr<CCarryOverPath> CreateRideCarryOver(CCodeplug& codeplug);
std::unique_ptr<CCarryOverPath> CreateFixedCarryOver(CCodeplug& codeplug);

std::unique_ptr<CCarryOverPath> CreateCarryOverPath(int layout, CCodeplug& codeplug)
{
    switch (layout) {
    case 1:
        return CreateAdkCarryOver(codeplug);
    case 2:
        return CreateRideCarryOver(codeplug);
    case 3:
        return CreateFixedCarryOver(codeplug);
    default:
        return nullptr;
    }
}

std::vector<uint8_t> ReadRadioBytes(CVeskBroker& broker, uint32_t address, uint32_t count)
{
    std::vector<uint8_t> bytes(count);
    for (uint32_t done = 0; done < count;) {
        uint32_t n = std::min<uint32_t>(CCodeplug::kChunk, count - done);
        unsigned got = broker.ReadRequest(address + done, static_cast<uint8_t>(n), bytes.data() + done);
        if (got != n)
            throw CVeskError(3, "The radio returned %u of the %u bytes asked for at address %X", got, n, address + done);
        done += n;
    }
    return bytes;
}

std::vector<uint8_t> CCarryOverPath::ReadRaw(uint32_t address, uint32_t count)
{
    return ReadRadioBytes(m_codeplug.GetBroker(), address, count);
}

void CCarryOverPath::WriteRaw(uint32_t address, const std::vector<uint8_t>& bytes)
{
    for (uint32_t done = 0; done < bytes.size();) {
        uint32_t n = std::min<uint32_t>(CCodeplug::kChunk, static_cast<uint32_t>(bytes.size()) - done);
        m_codeplug.GetBroker().WriteRequest(address + done, n, bytes.data() + done);
        done += n;
    }
}

std::vector<uint8_t> CCarryOverPath::ReadEntry(uint16_t blockId)
{
    std::vector<uint8_t> bytes(kEntryBuffer);
    ImageBuffer buffer{bytes.data(), static_cast<int32_t>(bytes.size())};
    m_codeplug.ReadCpEntry(buffer, blockId, 0, 0);
    bytes.resize(static_cast<std::size_t>(buffer.size));
    return bytes;
}

std::vector<uint8_t> CCarryOverPath::ReadBlock(uint16_t blockId)
{
    std::vector<uint8_t> bytes(kBlockBuffer);
    ImageBuffer buffer{bytes.data(), static_cast<int32_t>(bytes.size())};
    if (m_codeplug.ReadCpBlock(buffer, blockId) != 0)
        throw CGenError(3, "Unable to find codeplug block id = %d", blockId);
    bytes.resize(static_cast<std::size_t>(buffer.size));
    return bytes;
}

void CCarryOverPath::WriteEntry(uint16_t blockId, const std::vector<uint8_t>& entry)
{
    m_codeplug.WriteCpField(entry.data(), blockId, 0, 0, 0, static_cast<uint32_t>(entry.size()));
}

std::vector<uint8_t> CCarryOverPath::WriteBlock(uint16_t blockId, std::vector<uint8_t> block)
{
    std::size_t held = block.size();
    block.resize(std::max<std::size_t>(held, kBlockBuffer), 0);
    ImageBuffer buffer{block.data(), static_cast<int32_t>(held), static_cast<int32_t>(block.size())};
    m_codeplug.WriteCpBlock(buffer, blockId);
    block.resize(static_cast<std::size_t>(buffer.size));
    return block;
}

void CCarryOverPath::IncorrectCodeplug()
{
    m_codeplug.StopCpAccess(0);
    throw CGenError(3, "incorrect codeplug loaded into radio");
}

void CCarryOverPath::CheckReadBack(const char* what, const std::vector<uint8_t>& wanted, const std::vector<uint8_t>& got)
{
    if (wanted == got)
        return;
    std::size_t at = 0;
    while (at < wanted.size() && at < got.size() && wanted[at] == got[at])
        ++at;
    ErrorLog().Log("CRadioUpgrade::DoProgCp: %s read back differs from what was written at byte %u", what,
                   static_cast<unsigned>(at));
    throw CGenError(3, "The radio's %s did not read back as written; its saved data is kept for a retry", what);
}
