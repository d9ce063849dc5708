// The S-record reader on any text: the first-record check, the counts, reading record by
// record and loading all data bytes, each into buffers of exactly the size the reader asks for.
#include "files/Kit.h"
#include "files/SRecord.h"
#include "fuzz/FuzzInput.h"

#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    SRecord reader;
    reader.AttachText(text);
    reader.CheckFirstRecord();
    FUZZ_EXPECT(reader.Position() == 0);
    const uint32_t records = reader.CountRecords();
    reader.GetEndAddress();
    const uint32_t dataBytes = reader.CountDataBytes();

    // Record by record into a buffer of the 255 bytes the reader promises to stay within.
    auto buffer = std::make_unique<uint8_t[]>(SRecord::kMaxDataBytes);
    uint32_t delivered = 0;
    for (uint32_t i = 0; i <= records + 1; ++i) {
        SRecordData record{buffer.get(), 0, 0};
        reader.ReadNextRecord(record);
        FUZZ_EXPECT(record.length >= 0 && uint32_t(record.length) <= SRecord::kMaxDataBytes);
        delivered += uint32_t(record.length);
    }

    // All data bytes into exactly the room CountDataBytes asks for, then into less.
    reader.Detach();
    reader.AttachText(text);
    std::vector<uint8_t> image(dataBytes);
    ImageBuffer exact{image.data(), 0};
    if (reader.LoadData(exact, dataBytes))
        FUZZ_EXPECT(uint32_t(exact.size) == dataBytes);
    FUZZ_EXPECT(exact.size >= 0 && uint32_t(exact.size) <= dataBytes);
    if (dataBytes > 0) {
        reader.AttachText(text);
        std::vector<uint8_t> smaller(dataBytes - 1);
        ImageBuffer shortBuffer{smaller.data(), 0};
        FUZZ_EXPECT(!reader.LoadData(shortBuffer, dataBytes - 1) || dataBytes == 0);
        FUZZ_EXPECT(uint32_t(shortBuffer.size) <= dataBytes - 1);
    }

    // The same text taken as a C string, and the kit tool's summary of it.
    reader.AttachText(text.c_str());
    reader.CountRecords();
    SummarizeSRecords(text.c_str());
    (void)delivered;
    return 0;
}
