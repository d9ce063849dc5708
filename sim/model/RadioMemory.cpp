#include "sim/model/RadioMemory.h"

#include "errors/Error.h"
#include "sim/model/SRecordIo.h"

#include <algorithm>

CRadioMemory::CRadioMemory(uint32_t flashSize) : m_codeplug(kCodeplugSize, 0xFF), m_flash(flashSize, 0xFF) {}

void CRadioMemory::LoadFromProfile(const RadioProfile& profile)
{
    std::fill(m_codeplug.begin(), m_codeplug.end(), profile.codeplugFill);
    if (!profile.codeplugImage.empty()) {
        for (const SimRecord& r : ReadSRecordFile(profile.codeplugImage)) {
            if (r.address + r.data.size() > kCodeplugSize)
                throw CGenError(3, "Simulator profile %s: codeplug image %s has data at %X, beyond the 64 KB codeplug",
                                profile.file.c_str(), profile.codeplugImage.c_str(), r.address);
            std::copy(r.data.begin(), r.data.end(), m_codeplug.begin() + r.address);
        }
    }
    for (const auto& [address, bytes] : profile.codeplugBytes)
        std::copy(bytes.begin(), bytes.end(), m_codeplug.begin() + address);

    std::fill(m_flash.begin(), m_flash.end(), 0xFF);
    if (!profile.flashImage.empty()) {
        for (const SimRecord& r : ReadSRecordFile(profile.flashImage)) {
            uint32_t address = r.address | kFlashBase;
            if (!IsFlash(address, r.data.size()))
                throw CGenError(3, "Simulator profile %s: flash image %s has data at %X, beyond the flash",
                                profile.file.c_str(), profile.flashImage.c_str(), r.address);
            std::copy(r.data.begin(), r.data.end(), m_flash.begin() + (address - kFlashBase));
        }
    } else if (profile.flashInitiallyProgrammed) {
        // The firmware the radio left the factory with: a fixed pseudo-random pattern, never
        // 0xFF, so that every byte reads as programmed.
        uint32_t state = 0x2545F491;
        for (uint8_t& b : m_flash) {
            state = state * 1664525u + 1013904223u;
            b = static_cast<uint8_t>((state >> 24) % 255);
        }
    }
}

uint8_t CRadioMemory::Read(uint32_t address) const
{
    if (address < kCodeplugSize)
        return m_codeplug[address];
    if (IsFlash(address, 1))
        return m_flash[address - kFlashBase];
    return 0xFF;
}

CRadioMemory::WriteResult CRadioMemory::Write(uint32_t address, const uint8_t* bytes, std::size_t count)
{
    if (IsCodeplug(address, count)) {
        std::copy(bytes, bytes + count, m_codeplug.begin() + address);
        return WriteResult::Ok;
    }
    if (!IsFlash(address, count))
        return WriteResult::Unmapped;
    bool verified = true;
    uint8_t* cell = m_flash.data() + (address - kFlashBase);
    for (std::size_t i = 0; i < count; ++i) {
        cell[i] &= bytes[i];
        verified = verified && cell[i] == bytes[i];
    }
    return verified ? WriteResult::Ok : WriteResult::NotErased;
}

void CRadioMemory::WritePartly(uint32_t address, const uint8_t* bytes, std::size_t count)
{
    if (IsCodeplug(address, count) || IsFlash(address, count))
        Write(address, bytes, count);
}

void CRadioMemory::EraseFlash() { std::fill(m_flash.begin(), m_flash.end(), 0xFF); }

bool CRadioMemory::ApplicationPresent(const std::vector<uint32_t>& marks) const
{
    return std::all_of(marks.begin(), marks.end(), [this](uint32_t a) { return IsFlash(a, 1) && Read(a) != 0xFF; });
}
