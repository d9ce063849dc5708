#include "sim/model/SimRadio.h"

#include "link/VeskOpcodes.h"
#include "sim/model/RadioFrames.h"

#include <algorithm>
#include <cstdio>

// What the radio does with each request it understood: the work, and the reply it makes. The
// modes that speak frames differ only here: flash writes and erase are the boot code's alone,
// and the boot state answers no status but the power-up status (see sim/README.md).

namespace {

using vesk::kReplyBadWrite;  // data: the address, the reason
using vesk::kReplyGoodWrite;
using vesk::kReplyRead;
using vesk::kReplyStatus;
using vesk::kReplyUnsupported;
constexpr uint8_t kFirmwareVersionSelector = 1;

}  // namespace

CSimRadio::Answer CSimRadio::Execute(const std::vector<uint8_t>& frame, std::string& note)
{
    std::vector<uint8_t> data = radio_frames::Data(frame);
    switch (frame[1]) {
    case vesk::kRequestReset: {
        note = "reset";
        Answer a;
        a.reply = false;
        a.resetAfter = true;
        return a;
    }
    case vesk::kRequestRead: return Read(data, note);
    case vesk::kRequestWrite: return Write(data, note);
    case vesk::kRequestErase: return Erase(data, note);
    case vesk::kRequestStatus: return Status(data, note);
    default: {
        note = "unknown opcode " + radio_frames::Hex(frame[1], 2);
        Answer a;
        a.opcode = kReplyUnsupported;
        a.data = {frame[1]};
        return a;
    }
    }
}

CSimRadio::Answer CSimRadio::Read(const std::vector<uint8_t>& data, std::string& note)
{
    Answer a;
    if (data.size() != 4) {
        note = "malformed read";
        a.opcode = kReplyUnsupported;
        a.data = {vesk::kRequestRead};
        return a;
    }
    uint32_t address = radio_frames::Address24(data, 1);
    note = "read " + std::to_string(data[0]) + " at " + radio_frames::Hex(address, 6);
    a.opcode = kReplyRead;
    a.data = {data[1], data[2], data[3]};
    for (unsigned i = 0; i < data[0]; ++i)
        a.data.push_back(m_memory.Read(address + i));
    return a;
}

CSimRadio::Answer CSimRadio::Write(const std::vector<uint8_t>& data, std::string& note)
{
    Answer a;
    if (data.size() < 3) {
        note = "malformed write";
        a.opcode = kReplyBadWrite;
        a.data = {0, 0, 0, 4};
        return a;
    }
    uint32_t address = radio_frames::Address24(data, 0);
    std::size_t count = data.size() - 3;
    note = "write " + std::to_string(count) + " at " + radio_frames::Hex(address, 6);
    a.opcode = kReplyGoodWrite;
    a.data = {data[0], data[1], data[2]};
    uint8_t reason = 0;
    if (m_memory.IsFlash(address, count) && m_mode != Mode::BootCode) {
        reason = 3;  // only the boot code programs the flash
    } else {
        switch (m_memory.Write(address, data.data() + 3, count)) {
        case CRadioMemory::WriteResult::Ok: break;
        case CRadioMemory::WriteResult::Unmapped: reason = 1; break;
        case CRadioMemory::WriteResult::NotErased: reason = 2; break;
        }
    }
    if (m_memory.IsCodeplug(address, count))
        a.work = m_profile.eepromWritePer32 * static_cast<double>((count + 31) / 32);
    else if (reason != 1)
        a.work = m_profile.flashWritePerByte * static_cast<double>(count);
    if (reason != 0) {
        static const char* const kWhy[] = {"", ": no memory there", ": flash not erased", ": not in boot code"};
        note += std::string(" refused") + kWhy[reason];
        a.opcode = kReplyBadWrite;
        a.data.push_back(reason);
    }
    return a;
}

CSimRadio::Answer CSimRadio::Erase(const std::vector<uint8_t>& data, std::string& note)
{
    Answer a;
    a.opcode = kReplyGoodWrite;
    if (data.size() != 1 || data[0] != vesk::kEraseAllFlash || m_mode != Mode::BootCode) {
        note = m_mode != Mode::BootCode ? "erase refused: not in boot code" : "erase refused: bad argument";
        a.opcode = kReplyBadWrite;
        a.data = {0, 0, 0, static_cast<uint8_t>(m_mode != Mode::BootCode ? 3 : 4)};
        return a;
    }
    note = "erase flash";
    m_memory.EraseFlash();
    m_flashWritesSinceErase = 0;
    ++m_erasesThisRun;
    a.work = m_profile.eraseTime;
    return a;
}

CSimRadio::Answer CSimRadio::Status(const std::vector<uint8_t>& data, std::string& note)
{
    Answer a;
    if (data.size() != 1) {
        note = "malformed status request";
        a.opcode = kReplyUnsupported;
        a.data = {vesk::kRequestStatus};
        return a;
    }
    uint8_t selector = data[0];
    note = "status " + std::to_string(selector);
    auto found = m_profile.status.find(selector);
    if (m_mode == Mode::BootState) {
        // Only the power-up status lives in the boot monitor; it reports the boot state.
        if (selector != 5) {
            note += ": no application to answer";
            a.reply = false;
            return a;
        }
        std::vector<uint8_t> powerUp = found != m_profile.status.end() ? found->second : std::vector<uint8_t>(10, 0);
        if (powerUp.empty())
            powerUp.push_back(0);
        powerUp[0] |= 0x02;
        a.opcode = kReplyStatus;
        a.data = {selector};
        a.data.insert(a.data.end(), powerUp.begin(), powerUp.end());
        return a;
    }
    bool unsupported = found == m_profile.status.end();
    for (uint8_t s : m_profile.unsupportedSelectors)
        unsupported = unsupported || s == selector;
    if (unsupported) {
        note += ": unsupported";
        a.opcode = kReplyUnsupported;
        a.data = {selector};
        return a;
    }
    a.opcode = kReplyStatus;
    a.data = {selector};
    // An application flashed from a kit's firmware image reports that image's version as its
    // software version and identity.
    std::vector<uint8_t> text = found->second;
    if (selector == kFirmwareVersionSelector || selector == 3) {
        std::vector<uint8_t> flashed = FirmwareVersion(text);
        if (flashed != text)
            note += ": version of the flashed image";
        text = std::move(flashed);
    }
    a.data.insert(a.data.end(), text.begin(), text.end());
    return a;
}

std::vector<uint8_t> CSimRadio::FirmwareVersion(const std::vector<uint8_t>& profileText) const
{
    // The application reports the version its flash image carries: an image with the kit's
    // firmware header ("TSFW", size, 8 bytes of version text) says so itself, so that a radio
    // flashed once reports the new version; any other flash keeps the profile's text.
    static const uint8_t kMagic[4] = {'T', 'S', 'F', 'W'};
    for (uint32_t i = 0; i < 4; ++i)
        if (m_memory.Read(CRadioMemory::kFlashBase + i) != kMagic[i])
            return profileText;
    std::vector<uint8_t> version;
    for (uint32_t i = 8; i < 16; ++i) {
        uint8_t byte = m_memory.Read(CRadioMemory::kFlashBase + i);
        if (byte == 0 || byte == 0xFF)
            break;
        version.push_back(byte);
    }
    return version.empty() ? profileText : version;
}
