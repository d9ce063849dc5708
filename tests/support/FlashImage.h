#pragma once

#include "files/SRecord.h"

#include <cstdint>
#include <string>
#include <vector>

// The flash of `size` bytes as firmware S-record text leaves it (erased bytes 0xFF elsewhere;
// the flash starts at 0x400000).
inline std::vector<uint8_t> FlashImage(const std::string& firmwareText, uint32_t size)
{
    std::vector<uint8_t> flash(size, 0xFF);
    SRecord reader;
    reader.AttachText(firmwareText);
    uint8_t bytes[SRecord::kMaxDataBytes + 1] = {};
    SRecordData record{bytes, 0, 0};
    while (reader.ReadNextRecord(record) || record.length != 0) {
        uint32_t offset = (record.address | 0x400000) - 0x400000;
        for (int32_t i = 0; i < record.length && offset + i < size; ++i)
            flash[offset + i] = bytes[i];
    }
    return flash;
}
