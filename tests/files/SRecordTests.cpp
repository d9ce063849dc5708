#include "files/SRecord.h"

#include "SRecordText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace {

const std::string kEnd = "S9030000FC\r\n";

std::vector<uint8_t> Load(SRecord& reader, uint32_t capacity, bool* ok = nullptr)
{
    std::vector<uint8_t> buffer(capacity + 16, 0xEE);
    ImageBuffer image{buffer.data(), 0};
    bool result = reader.LoadData(image, capacity);
    if (ok)
        *ok = result;
    EXPECT_TRUE(std::all_of(buffer.begin() + capacity, buffer.end(), [](uint8_t b) { return b == 0xEE; }))
        << "LoadData wrote past its capacity";
    buffer.resize(std::size_t(image.size));
    return buffer;
}

// How each kind of text reads: records counted, end address, data bytes, first record check.
struct TextCase {
    const char* name;
    std::string text;
    uint32_t records;
    uint32_t endAddress;
    std::size_t dataBytes;
    bool firstChecks;
};

std::vector<TextCase> TextCases()
{
    const std::string a = SRecordLine('1', 0x0000, Sequence(16));
    const std::string b = SRecordLine('1', 0x0010, Sequence(16, 16));
    const std::string aLf = SRecordLine('1', 0x0000, Sequence(16), "\n");
    const std::string bLf = SRecordLine('1', 0x0010, Sequence(16, 16), "\n");
    std::string lower = a + b + kEnd;
    for (std::size_t i = 0; i < lower.size(); ++i)
        if (lower[i] != 'S')
            lower[i] = char(std::tolower(static_cast<unsigned char>(lower[i])));
    std::string badSum = a;
    badSum[badSum.size() - 3] = badSum[badSum.size() - 3] == '0' ? '1' : '0';
    return {
        {"two S1 records, CRLF", a + b + kEnd, 2, 0x20, 32, true},
        {"two S1 records, LF", aLf + bLf + "S9030000FC\n", 2, 0x20, 32, true},
        {"lower-case digits", lower, 2, 0x20, 32, true},
        {"terminator alone", kEnd, 0, 0, 0, false},
        {"no terminator loses the last record", a + b, 1, 0x10, 16, true},
        {"S2 records", SRecordLine('2', 0x400000, Sequence(32)) + SRecordLine('2', 0x400020, Sequence(8)) + kEnd,
         2, 0x4000 + 9, 40, true},
        {"non-contiguous addresses pack back to back",
         SRecordLine('1', 0x1000, Sequence(4)) + SRecordLine('1', 0x3000, Sequence(4, 4)) + kEnd, 2, 0x3004, 8, true},
        {"header record first", SRecordLine('0', 0, Sequence(3)) + a + kEnd, 2, 0x10, 16, false},
        {"bad checksum in the first record", badSum + b + kEnd, 2, 0x20, 32, false},
        {"records back to back", a.substr(0, a.size() - 2) + b + kEnd, 0, 0, 0, false},
        {"empty text", "", 0, 0, 0, false},
        {"largest record", SRecordLine('2', 0x10, Sequence(251)) + kEnd, 1, 252, 251, true},
    };
}

TEST(SRecord, ReadsEachKindOfText)
{
    for (const TextCase& c : TextCases()) {
        SCOPED_TRACE(c.name);
        SRecord reader;
        reader.AttachText(c.text.c_str());
        EXPECT_EQ(reader.CheckFirstRecord(), c.firstChecks);
        EXPECT_EQ(reader.Position(), 0u);
        EXPECT_EQ(reader.CountRecords(), c.records);
        EXPECT_EQ(reader.GetEndAddress(), c.endAddress);
        EXPECT_EQ(reader.Position(), 0u);
        EXPECT_EQ(reader.CountDataBytes(), c.dataBytes);
        EXPECT_EQ(Load(reader, 4096).size(), c.dataBytes);
        reader.Detach();
    }
}

TEST(SRecord, ChecksAndCountsFollowTheTextAttachedInAnyOrder)
{
    // One reader for every text in turn, asked in the opposite order and from a position
    // inside the text: each answer is the text's own.
    SRecord reader;
    uint8_t data[256] = {};
    for (const TextCase& c : TextCases()) {
        SCOPED_TRACE(c.name);
        reader.AttachText(c.text);
        SRecordData record{data, 0, 0};
        reader.ReadNextRecord(record);
        EXPECT_EQ(reader.CountDataBytes(), c.dataBytes);
        EXPECT_EQ(reader.GetEndAddress(), c.endAddress);
        EXPECT_EQ(reader.CountRecords(), c.records);
        EXPECT_EQ(reader.CheckFirstRecord(), c.firstChecks);
        EXPECT_EQ(reader.Position(), 0u);
    }
}

TEST(SRecord, TextLengthenedInPlaceIsCountedAgain)
{
    const std::string a = SRecordLine('1', 0x0000, Sequence(16));
    const std::string b = SRecordLine('1', 0x0010, Sequence(16, 16));
    std::string text = a + kEnd + std::string(b.size(), '\0');
    SRecord reader;
    reader.AttachText(text.c_str());
    EXPECT_EQ(reader.CountRecords(), 1u);
    text.replace(a.size(), b.size() + kEnd.size(), b + kEnd);
    EXPECT_EQ(reader.CountRecords(), 2u);
    EXPECT_EQ(reader.CountDataBytes(), 32u);
}

TEST(SRecord, RecordByRecordWithAddressesThenTheClearedRecord)
{
    const std::string text = SRecordLine('1', 0x0100, Sequence(3)) +
                             SRecordLine('2', 0x40ABCD, Sequence(2, 9)) + kEnd;
    SRecord reader;
    reader.AttachText(text);
    uint8_t data[256] = {};
    SRecordData record{data, 0, 0};
    ASSERT_TRUE(reader.ReadNextRecord(record));
    EXPECT_EQ(record.address, 0x0100u);
    EXPECT_EQ(record.length, 3);
    EXPECT_EQ(data[2], 2);
    ASSERT_TRUE(reader.ReadNextRecord(record));
    EXPECT_EQ(record.address, 0x40ABCDu);
    EXPECT_EQ(record.length, 2);
    EXPECT_EQ(data[0], 9);
    EXPECT_FALSE(reader.ReadNextRecord(record));
    EXPECT_EQ(record.length, 0);
    EXPECT_EQ(record.address, 0u);
    EXPECT_EQ(data[0], 0);
}

TEST(SRecord, OtherRecordTypesLeaveTheRecordUntouched)
{
    const std::string text = SRecordLine('1', 0x0000, Sequence(4)) + "S5030002FA\r\n" +
                             SRecordLine('1', 0x0004, Sequence(4, 4)) + kEnd;
    SRecord reader;
    reader.AttachText(text);
    uint8_t data[256] = {};
    SRecordData record{data, 0, 0};
    ASSERT_TRUE(reader.ReadNextRecord(record));
    EXPECT_FALSE(reader.ReadNextRecord(record));
    EXPECT_EQ(record.length, 4);
    EXPECT_EQ(record.address, 0u);
    ASSERT_TRUE(reader.ReadNextRecord(record));
    EXPECT_EQ(record.address, 4u);
    // The count record is counted but carries no data and no end address.
    EXPECT_EQ(reader.CountRecords(), 3u);
    EXPECT_EQ(reader.GetEndAddress(), 8u);
    EXPECT_EQ(Load(reader, 64), Sequence(8));
}

TEST(SRecord, BadChecksumIsReportedOnlyByTheRecordReaders)
{
    std::string bad = SRecordLine('1', 0x0000, Sequence(4));
    bad[bad.size() - 3] ^= 1;
    const std::string text = bad + kEnd;
    SRecord reader;
    reader.AttachText(text);
    uint8_t data[256] = {};
    SRecordData record{data, 0, 0};
    EXPECT_FALSE(reader.ReadNextRecord(record));
    EXPECT_EQ(record.length, 4);  // filled all the same
    reader.Detach();
    reader.AttachText(text);
    EXPECT_EQ(Load(reader, 64), Sequence(4));
}

TEST(SRecord, LoadDataStopsAtItsCapacity)
{
    const std::string text = SRecordLine('1', 0, Sequence(16)) + SRecordLine('1', 16, Sequence(16, 16)) + kEnd;
    struct Case {
        uint32_t capacity;
        bool ok;
        std::size_t loaded;
    } cases[] = {{32, true, 32}, {31, false, 31}, {16, false, 16}, {0, false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.capacity);
        SRecord reader;
        reader.AttachText(text);
        bool ok = true;
        const std::vector<uint8_t> all = Sequence(32);
        EXPECT_EQ(Load(reader, c.capacity, &ok), std::vector<uint8_t>(all.begin(), all.begin() + long(c.loaded)));
        EXPECT_EQ(ok, c.ok);
    }
}

TEST(SRecord, LoadDataStartsAtTheReadPosition)
{
    const std::string text = SRecordLine('1', 0, Sequence(4)) + SRecordLine('1', 4, Sequence(4, 4)) + kEnd;
    SRecord reader;
    reader.AttachText(text);
    uint8_t data[256];
    SRecordData record{data, 0, 0};
    ASSERT_TRUE(reader.ReadNextRecord(record));
    EXPECT_EQ(Load(reader, 64), Sequence(4, 4));
}

TEST(SRecord, RecordsBackToBackAreRefused)
{
    const std::string a = SRecordLine('1', 0, Sequence(4), "");
    const std::string text = SRecordLine('1', 0x10, Sequence(4)) + a + SRecordLine('1', 4, Sequence(4)) + kEnd;
    SRecord reader;
    reader.AttachText(text);
    EXPECT_FALSE(reader.CheckFirstRecord());
    bool ok = true;
    Load(reader, 64, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(reader.Malformed());
}

TEST(SRecord, DetachForgetsTheText)
{
    const std::string text = SRecordLine('1', 0, Sequence(4)) + kEnd;
    SRecord reader;
    EXPECT_FALSE(reader.CheckFirstRecord());
    reader.AttachText(text);
    EXPECT_TRUE(reader.CheckFirstRecord());
    reader.Detach();
    EXPECT_FALSE(reader.CheckFirstRecord());
    EXPECT_EQ(reader.CountRecords(), 0u);
}

}  // namespace
