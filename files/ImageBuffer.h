#pragma once

#include <cstdint>

// A caller's byte buffer and a byte count: filled by SRecord::LoadData, and the codeplug image
// of the codeplug layer.
struct ImageBuffer {
    uint8_t* data = nullptr;
    int32_t size = 0;
};

// One data record as SRecord::ReadNextRecord delivers it; `data` is the caller's buffer of at
// least 255 bytes.
struct SRecordData {
    uint8_t* data = nullptr;
    int32_t length = 0;
    uint32_t address = 0;
};
