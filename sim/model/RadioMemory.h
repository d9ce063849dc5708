#pragma once

#include "sim/model/RadioProfile.h"

#include <cstdint>
#include <string>
#include <vector>

// The radio's memory as the link sees it: a 64 KB codeplug EEPROM at 0x000000 (kept across
// resets and bootstrap; the identity mark lives at 0x3FF0 in it) and flash of 128, 256 or
// 512 KB at 0x400000. EEPROM bytes are simply overwritten; flash programming can only clear
// bits, and only an erase brings them back to 0xFF. Every other address is unmapped: reads
// give 0xFF, writes fail.
class CRadioMemory {
public:
    static constexpr uint32_t kCodeplugSize = 0x10000;
    static constexpr uint32_t kFlashBase = 0x400000;

    // How a write went.
    enum class WriteResult { Ok, Unmapped, NotErased };

    explicit CRadioMemory(uint32_t flashSize);
    // Fills memory as the profile describes the radio at delivery.
    void LoadFromProfile(const RadioProfile& profile);

    uint8_t Read(uint32_t address) const;
    // Writes `count` bytes (all or nothing for unmapped ranges; a flash write that would need
    // to set a bit clears what it can and reports NotErased, as a program-and-verify does).
    WriteResult Write(uint32_t address, const uint8_t* bytes, std::size_t count);
    // Programs only the first `count` bytes of a write: what a power loss leaves behind.
    void WritePartly(uint32_t address, const uint8_t* bytes, std::size_t count);
    void EraseFlash();

    bool IsCodeplug(uint32_t address, std::size_t count) const { return address + count <= kCodeplugSize; }
    bool IsFlash(uint32_t address, std::size_t count) const
    {
        return address >= kFlashBase && address + count <= kFlashBase + m_flash.size();
    }
    // True when none of the marked flash bytes is erased: the boot ROM starts the application.
    bool ApplicationPresent(const std::vector<uint32_t>& marks) const;

    const std::vector<uint8_t>& Codeplug() const { return m_codeplug; }
    const std::vector<uint8_t>& Flash() const { return m_flash; }
    std::vector<uint8_t>& CodeplugBytes() { return m_codeplug; }

private:
    std::vector<uint8_t> m_codeplug;
    std::vector<uint8_t> m_flash;
};
