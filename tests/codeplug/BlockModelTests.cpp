#include "CodeplugFixture.h"

#include "files/SRecord.h"
#include "sim/SimPlatform.h"

#include <functional>

#include <gmock/gmock.h>

#include <cstdio>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct FieldCase {
    const char* name;
    const char* block;  // the block's description (its id is 5, unless a special id is given)
    uint16_t id;
    uint32_t list, entry, offset, length;
    uint32_t fieldAddress;
    uint32_t checksumAt;
    uint32_t blockSize;
};

constexpr uint32_t A = 0x100;

const FieldCase kFieldCases[] = {
    {"plain entries, region checksum", "block 5 @0x100 esize=4\nentry 11 12 13 14\nentry 21 22 23 24\nentry 31 32 33 34\nend",
     5, 0, 2, 1, 2, A + 12, 0x3FF, 15},
    {"block checksum", "block 5 @0x100 esize=4 flags=0x80\nentry 11 12 13 14\nentry 21 22 23 24\nentry 31 32 33 34\nend",
     5, 0, 2, 1, 2, A + 12, A + 15, 16},
    {"entry checksums", "block 5 @0x100 esize=4 flags=0x40\nentry 11 12 13 14\nentry 21 22 23 24\nend",
     5, 0, 1, 0, 1, A + 3 + 5, A + 3 + 5 + 4, 13},
    {"16-bit entry size", "block 5 @0x100 esize=2 flags=0x81\nentry 11 12\nentry 21 22\nend",
     5, 0, 1, 1, 1, A + 4 + 2 + 1, A + 8, 9},
    {"lists of varying length 2, 0, 1", "block 5 @0x100 esize=3 lists=varying\nlist\nentry 11 12 13\nentry 21 22 23\nlist\nlist\nentry 31 32 33\nend",
     5, 2, 0, 0, 3, A + 6 + 8, 0x3FF, 5 + 7 + 1 + 4},
    {"fixed lists with list checksums", "block 5 @0x100 esize=2 flags=0x40 lists=fixed\nlist\nentry 11 12\nentry 21 22\nlist\nentry 31 32\nentry 41 42\nend",
     5, 1, 1, 1, 1, A + 6 + 5 + 2 + 1, A + 6 + 5 + 4, 2 * 4 + 6 + 2},
    {"fixed lists with entry checksums", "block 5 @0x100 esize=2 eflags=0x40 flags=0x80 lists=fixed\nlist\nentry 11 12\nentry 21 22\nlist\nentry 31 32\nentry 41 42\nend",
     5, 1, 1, 0, 2, A + 6 + 6 + 3, A + 6 + 6 + 3 + 2, 2 * 6 + 6 + 2 + 1},
    {"varying lists with list checksums", "block 5 @0x100 esize=1 flags=0xC0 lists=varying\nlist\nentry 11\nentry 12\nlist\nentry 21\nentry 22\nend",
     5, 1, 1, 0, 1, A + 6 + 3 + 1 + 1, A + 6 + 3 + 1 + 2, 5 + 4 + 4 + 1},
    {"special block in region 1", "block 0x8000 @0x18 esize=8\nentry 01 02 03 04 05 06 07 08\nend",
     0x8000, 0, 0, 2, 4, 0x18 + 3 + 2, 0x3F, 11},
};

class FieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldTest, WritesTheFieldAndKeepsItsChecksumSumming)
{
    const FieldCase& c = GetParam();
    std::vector<uint8_t> before = BuildImage(std::string(kAdkFrame) + c.block);
    CCodeplug codeplug;
    LoadImage(codeplug, before);

    uint8_t block[256];
    ImageBuffer buffer{block, sizeof block};
    ASSERT_EQ(codeplug.ReadCpBlock(buffer, c.id), 0);
    EXPECT_EQ(static_cast<uint32_t>(buffer.size), c.blockSize);

    std::vector<uint8_t> field(c.length);
    for (uint32_t i = 0; i < c.length; ++i)
        field[i] = static_cast<uint8_t>(before[c.fieldAddress + i] + 1);
    EXPECT_EQ(codeplug.WriteCpField(field.data(), c.id, c.list, c.entry, c.offset, c.length), int(c.length));

    std::vector<uint8_t> after = ImageOf(codeplug);
    std::vector<uint32_t> expected;
    for (uint32_t i = 0; i < c.length; ++i)
        expected.push_back(c.fieldAddress + i);
    expected.push_back(c.checksumAt);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Differences(before, after), expected);
    EXPECT_EQ(after[c.checksumAt], static_cast<uint8_t>(before[c.checksumAt] - c.length));

    // The same field read from the block held in a buffer.
    std::vector<uint8_t> read(c.length);
    ASSERT_EQ(codeplug.ReadCpBlock(buffer, c.id), 0);
    codeplug.ReadCpField(read.data(), buffer, c.list, c.entry, c.offset, c.length);
    EXPECT_EQ(read, field);
}

INSTANTIATE_TEST_SUITE_P(Layouts, FieldTest, ::testing::ValuesIn(kFieldCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

class BlockModelTest : public ::testing::Test {
protected:
    void Load(const std::string& blocks)
    {
        image = BuildImage(std::string(kAdkFrame) + blocks);
        LoadImage(codeplug, image);
    }
    std::vector<uint8_t> image;
    CCodeplug codeplug;
};

TEST_F(BlockModelTest, AdkValuesComeFromTheStructure)
{
    Load("block 3 @0x100 esize=1\nentry 01\nend");
    RdkPtrs p{};
    EXPECT_FALSE(codeplug.GetRdkPtrs(p));
    ASSERT_TRUE(codeplug.InitRdkPtrs());
    ASSERT_TRUE(codeplug.GetRdkPtrs(p));
    EXPECT_EQ(p.regionEnd, 0x3FFu);
    EXPECT_EQ(p.vectorTable, 0x92u);
    EXPECT_EQ(p.blockCount, 4u);
    EXPECT_EQ(p.wordAtP2Plus4, 0x5678u);
    EXPECT_EQ(p.wordAt9, 0x1234u);
    EXPECT_EQ(p.p2, 0x80u);
    EXPECT_EQ(p.p1, 0x40u);
    EXPECT_EQ(p.l2, 0x37Fu);
    EXPECT_EQ(p.l1, 0x40u);
    EXPECT_EQ(p.p1Copy, 0x40u);
    EXPECT_EQ(p.regionFlag, 1u);
}

TEST_F(BlockModelTest, SpecialIdsReadTheirWordsAndOthersAreAbsent)
{
    Load("word 15 0x0123\nblock 3 @0x100 esize=1\nentry 01\nend");
    ASSERT_TRUE(codeplug.InitRdkPtrs());
    EXPECT_EQ(codeplug.GetBlockVector(0x8002), 0x0123u);
    EXPECT_EQ(codeplug.GetBlockVector(0x8005), 0u);
    EXPECT_EQ(codeplug.GetBlockVector(3), 0x100u);
    EXPECT_EQ(codeplug.GetBlockVector(4), 0u);  // id == N
    uint8_t buf[64];
    ImageBuffer dest{buf, sizeof buf};
    EXPECT_EQ(codeplug.ReadCpBlock(dest, 4), 1);
    EXPECT_EQ(codeplug.ReadCpBlock(dest, 2), 1);  // in the table but 0
    EXPECT_EQ(ErrorText([&] { codeplug.ReadCpEntry(dest, 4, 0, 0); }), "Unable to find codeplug block id = 4");
}

TEST_F(BlockModelTest, WritingTwoBytesRaisesTheChecksumByTheirDifference)
{
    Load("block 0 @0x100 esize=2 flags=0x80\nentry 11 22\nend");
    uint8_t checksum = image[0x100 + 5];
    const uint8_t field[] = {0x10, 0x20};
    codeplug.WriteCpField(field, 0, 0, 0, 0, 2);
    EXPECT_EQ(ImageOf(codeplug)[0x105], static_cast<uint8_t>(checksum + 3));
}

TEST_F(BlockModelTest, RequestsOutsideTheBlockAreRefused)
{
    Load("block 0 @0x100 esize=4\nentry 01 02 03 04\nentry 05 06 07 08\nend\n"
         "block 1 @0x120 esize=1 lists=varying\nlist\nentry 01\nentry 02\nlist\nend");
    uint8_t field[8] = {};
    struct Case {
        uint16_t id;
        uint32_t list, entry, offset, length;
    } cases[] = {
        {0, 1, 0, 0, 1},  // list 1 in a block without lists
        {0, 0, 2, 0, 1},  // entry beyond the quantity
        {0, 0, 1, 3, 2},  // field beyond the entry
        {1, 2, 0, 0, 1},  // list beyond the count
        {1, 1, 0, 0, 1},  // list 1 is empty: entry 0 would lie past it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "block " << c.id << " list " << c.list << " entry " << c.entry);
        EXPECT_EQ(ErrorText([&] { codeplug.WriteCpField(field, c.id, c.list, c.entry, c.offset, c.length); }),
                  "The requested list is out of range");
    }
    EXPECT_EQ(ImageOf(codeplug), image);
}

TEST_F(BlockModelTest, EntryReadCopiesTheEntryOfItsList)
{
    Load("block 0 @0x100 esize=3 lists=varying\nlist\nentry 11 12 13\nentry 21 22 23\nlist\nlist\nentry 31 32 33\nend");
    uint8_t buf[8];
    ImageBuffer dest{buf, sizeof buf};
    codeplug.ReadCpEntry(dest, 0, 2, 0);
    EXPECT_EQ(dest.size, 3);
    EXPECT_THAT(std::vector<uint8_t>(buf, buf + 3), ElementsAre(0x31, 0x32, 0x33));
    ImageBuffer small{buf, 2};
    EXPECT_THAT(ErrorText([&] { codeplug.ReadCpEntry(small, 0, 0, 1); }), HasSubstr("more than the 2-byte buffer"));
}

TEST_F(BlockModelTest, BufferFormKeepsTheBlockChecksumAndNeedsOne)
{
    Load("block 0 @0x100 esize=2 flags=0x80\nentry 11 22\nentry 33 44\nend\n"
         "block 1 @0x120 esize=2\nentry 11 22\nend");
    uint8_t buf[32];
    ImageBuffer block{buf, sizeof buf};
    ASSERT_EQ(codeplug.ReadCpBlock(block, 0), 0);
    const uint8_t field[] = {0x12};
    codeplug.WriteCpField(field, block, 0, 1, 1, 1);
    EXPECT_EQ(buf[3 + 3], 0x12);
    EXPECT_EQ(Sum(std::vector<uint8_t>(buf, buf + block.size), 0, block.size - 1), 0x00);

    // Without a checksum of its own, a block in a buffer has none to adjust: the region's
    // byte is not in the buffer.
    ImageBuffer plain{buf, sizeof buf};
    ASSERT_EQ(codeplug.ReadCpBlock(plain, 1), 0);
    EXPECT_EQ(ErrorText([&] { codeplug.WriteCpField(field, plain, 0, 0, 0, 1); }),
              "Unable to determine data checksum location");
    // A buffer too short for the header it starts with.
    ImageBuffer cut{buf, 2};
    EXPECT_EQ(ErrorText([&] { codeplug.WriteCpField(field, cut, 0, 0, 0, 1); }), "Read block header failed");
}

void PutWord(std::vector<uint8_t>& image, uint32_t address, uint32_t value)
{
    image[address] = static_cast<uint8_t>(value >> 8);
    image[address + 1] = static_cast<uint8_t>(value);
}

TEST_F(BlockModelTest, PointersOutsideTheImageAreRefused)
{
    struct Case {
        const char* name;
        std::vector<std::pair<uint32_t, uint32_t>> words;
        uint16_t id;
        const char* error;
    } cases[] = {
        {"vector past the end", {{0x92, 0xFFF0}}, 0, "Read block header failed"},
        {"header cut by the end", {{0x92, 0x3FE}}, 0, "Read block header failed"},
        {"block running past the end", {{0x92, 0x3F8}}, 0, "Read block header failed"},
        {"vector table past the end", {{0x86, 0x3F0}, {0x3F0, 0x100}}, 0x10, "Access out of codeplug"},
        {"special block past the end", {{11, 0x400}}, 0x8000, "Read block header failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = BuildImage(std::string(kAdkFrame) + "block 0 @0x100 esize=4 flags=0x80\nentry 01 02 03 04\nend\n");
        for (auto [address, value] : c.words)
            PutWord(bytes, address, value);
        bytes[0x3F8] = 0x00;  // a header there: 8 entries of 8 bytes, 67 bytes in all
        bytes[0x3F9] = 0x08;
        bytes[0x3FA] = 0x08;
        CCodeplug cp;
        LoadImage(cp, bytes);
        uint8_t buf[128];
        ImageBuffer dest{buf, sizeof buf};
        EXPECT_EQ(ErrorText([&] { cp.ReadCpBlock(dest, c.id); }), c.error);
        EXPECT_EQ(ErrorText([&] { cp.WriteCpField(buf, c.id, 0, 0, 0, 1); }), c.error);
        EXPECT_EQ(ImageOf(cp), bytes);
    }
}

TEST_F(BlockModelTest, AdkPointersOutsideTheImageLeaveTheFormatUndetermined)
{
    const std::pair<uint32_t, uint32_t> patches[] = {{0, 0x500}, {0x40, 0x400}, {0x82, 0x380}, {0x86, 0x3FF}};
    for (auto [address, value] : patches) {
        SCOPED_TRACE(address);
        std::vector<uint8_t> bytes = BuildImage(kAdkFrame);
        PutWord(bytes, address, value);
        CCodeplug cp;
        LoadImage(cp, bytes);
        EXPECT_FALSE(cp.InitRdkPtrs());
        uint8_t buf[16];
        ImageBuffer dest{buf, sizeof buf};
        EXPECT_EQ(ErrorText([&] { cp.ReadCpBlock(dest, 0); }), "Unable to determine external codeplug format");
        EXPECT_EQ(ErrorText([&] { cp.WriteCpField(buf, 0, 0, 0, 0, 1); }), "Unable to determine codeplug format");
    }
}

std::string OneByteRecordAt(uint32_t address)
{
    char line[32];
    unsigned sum = 4 + ((address >> 8) & 0xFF) + (address & 0xFF) + 0xAB;
    std::snprintf(line, sizeof line, "S104%04XAB%02X\r\n", address & 0xFFFF, 0xFF - (sum & 0xFF));
    return line;
}

TEST(CodeplugFileTest, ImageSizeFollowsTheEndAddressInSizeClasses)
{
    struct Case {
        uint32_t lastByte;
        uint32_t size;
    } cases[] = {{0, 4096}, {4095, 4096}, {4096, 8192}, {8192, 16384}, {20000, 32768}, {39999, 40000}, {40000, 40016}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lastByte);
        std::string text = OneByteRecordAt(c.lastByte) + "S9030000FC\r\n";
        SRecord file;
        file.AttachText(text.c_str());
        CCodeplug codeplug;
        codeplug.SetStructure(0, 0);
        EXPECT_EQ(codeplug.ReadCpFile(file), int((c.size + 31) / 32));
        EXPECT_EQ(codeplug.GetImageSize(), c.size);
        EXPECT_EQ(codeplug.GetSource(), CCodeplug::kImage);
    }
}

TEST(CodeplugFileTest, MoreDataThanTheImageHoldsIsRefused)
{
    // Records at the same address: the end address says 16 bytes, the data are 8 KB.
    std::string text;
    for (int i = 0; i < 600; ++i)
        text += "S1130000000102030405060708090A0B0C0D0E0F74\r\n";
    text += "S9030000FC\r\n";
    SRecord file;
    file.AttachText(text.c_str());
    CCodeplug codeplug;
    EXPECT_EQ(ErrorText([&] { codeplug.ReadCpFile(file); }), "Error in reading codeplug file");
}

TEST(CodeplugFileTest, LoadsAnAdkImageAndDeterminesItsFormat)
{
    std::vector<uint8_t> bytes = BuildImage(std::string(kAdkFrame) + "block 0 @0x100 esize=1\nentry 42\nend");
    std::string text = ImageToSRecords(bytes);
    SRecord file;
    file.AttachText(text.c_str());
    CCodeplug codeplug;
    EXPECT_EQ(codeplug.ReadCpFile(file), 4096 / 32);
    EXPECT_TRUE(codeplug.IsFormatDetermined());
    uint8_t buf[8];
    ImageBuffer dest{buf, sizeof buf};
    codeplug.ReadCpEntry(dest, 0, 0, 0);
    EXPECT_EQ(buf[0], 0x42);
}

}  // namespace

namespace {

TEST(CodeplugLogTest, RefusalsLogTheirLines)
{
    CSimPlatformScope scope;
    std::vector<uint8_t> image = BuildImage(std::string(kAdkFrame) + "block 0 @0x100 esize=4 flags=0x80\nentry 01 02 03 04\nentry 05 06 07 08\nend");
    uint8_t buf[32] = {};
    struct Case {
        const char* name;
        std::function<void(CCodeplug&)> call;
        std::vector<std::string> lines;
        const char* error;
    } cases[] = {
        {"field list out of range", [&](CCodeplug& cp) { cp.WriteCpField(buf, 0, 1, 0, 0, 1); },
         {"CCodeplug::WriteCpField: Requested list = 1, entry = 0 and field offset = 0",
          "CCodeplug::WriteCpField: Actual list qty = 0, entry qty = 2 and entry size = 4"},
         "The requested list is out of range"},
        {"buffer field out of range",
         [&](CCodeplug& cp) {
             ImageBuffer block{buf, sizeof buf};
             cp.ReadCpBlock(block, 0);
             cp.ReadCpField(buf, block, 0, 0, 3, 2);
         },
         {"CCodeplug::ReadCpField: Requested list = 0, entry = 0 and field offset = 3",
          "CCodeplug::ReadCpField: Actual list qty = 0, entry qty = 2 and entry size = 4"},
         "The requested list is out of range"},
        {"entry out of range",
         [&](CCodeplug& cp) {
             ImageBuffer dest{buf, sizeof buf};
             cp.ReadCpEntry(dest, 0, 0, 5);
         },
         {"CCodeplug::ReadCpEntry: Requested list = 0 and entry = 5, Actual list qty = 0 and entry qty = 2"},
         "The requested list is out of range"},
        {"entry of an absent block",
         [&](CCodeplug& cp) {
             ImageBuffer dest{buf, sizeof buf};
             cp.ReadCpEntry(dest, 7, 0, 0);
         },
         {"CCodeplug::ReadCpBlock: Unable to find codeplug block"}, "Unable to find codeplug block id = 7"},
        {"field of an absent block", [&](CCodeplug& cp) { cp.WriteCpField(buf, 0x8004, 0, 0, 0, 1); },
         {"CCodeplug::WriteCpField: Unable to find codeplug block"}, "Unable to find codeplug block id = 32772"},
        {"write of an absent block",
         [&](CCodeplug& cp) {
             ImageBuffer block{buf, sizeof buf};
             cp.WriteCpBlock(block, 3);
         },
         {"CCodeplug::WriteCpBlock: Unable to find codeplug block"}, "Unable to find codeplug block id = 3"},
        {"non-standard block", [&](CCodeplug& cp) { EXPECT_FALSE(cp.GetBlockInfo(2)); },
         {"CCodeplug::GetBlockInfo: Accessing non-standard block"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CCodeplug cp;
        LoadImage(cp, image);
        std::size_t before = scope.LogLines().size();
        EXPECT_EQ(ErrorText([&] { c.call(cp); }), c.error);
        std::vector<std::string> all = scope.LogLines();
        std::vector<std::string> logged(all.begin() + static_cast<long>(before), all.end());
        EXPECT_EQ(logged, c.lines);
    }
}

}  // namespace
