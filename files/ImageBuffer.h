#pragma once

#include <cstdint>

// A caller's byte buffer and a byte count: filled by SRecord::LoadData, and the codeplug image
// of the codeplug layer.
struct ImageBuffer {
    uint8_t* data = nullptr;
    int32_t size = 0;
    // The bytes `data` can hold when that is more than `size`: a codeplug read sets `size` to
    // the length it read and keeps the buffer's capacity here, so that the same buffer can
    // later take a longer block. 0: `size` is the capacity.
    int32_t capacity = 0;
};

// The bytes a buffer can hold: its capacity, or its size when that is more.
inline uint32_t BufferCapacity(const ImageBuffer& b)
{
    int32_t n = b.capacity > b.size ? b.capacity : b.size;
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}

// One data record as SRecord::ReadNextRecord delivers it; `data` is the caller's buffer of at
// least 255 bytes.
struct SRecordData {
    uint8_t* data = nullptr;
    int32_t length = 0;
    uint32_t address = 0;
};
