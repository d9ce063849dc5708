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

// The data bytes of S-record text, by address from 0 (the images here start at 0 and have no
// gaps).
inline std::vector<uint8_t> SRecordBytes(const std::string& text)
{
    SRecord reader;
    reader.AttachText(text.c_str());
    std::vector<uint8_t> bytes(0x10000);
    ImageBuffer buffer{bytes.data(), 0};
    reader.LoadData(buffer, 0x10000);
    reader.Detach();
    bytes.resize(static_cast<std::size_t>(buffer.size));
    return bytes;
}
