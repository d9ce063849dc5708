#include "CodeplugFixture.h"

#include "codeplug/CodeplugFactory.h"
#include "codeplug/RideCodeplug.h"
#include "codeplug/RideLayout.h"
#include "codeplug/VORNEcodeplug.h"
#include "files/SRecord.h"
#include "link/LinkFlags.h"

#include <gmock/gmock.h>

namespace {

using ::testing::ElementsAre;

TEST(RideLayoutTest, ChecksumsOfTheThreeClasses)
{
    uint8_t header[7] = {0x05, 0x30, 0x01, 0x02, 0x03, 0x04, 0x00};
    ASSERT_TRUE(ride::FixChecksum(48, header, sizeof header));
    EXPECT_EQ(header[6], 0xEA);

    // Class W: the 16-bit sum plus 0xAAAB; a sum of 0x0100 gives AB AB.
    uint8_t w[6] = {0x00, 0x02, 20, 0xEA, 0x00, 0x00};
    ASSERT_TRUE(ride::FixChecksum(20, w, sizeof w));
    EXPECT_THAT(w, ElementsAre(0x00, 0x02, 20, 0xEA, 0xAB, 0xAB));
    EXPECT_TRUE(ride::ChecksumOk(20, w, sizeof w));

    // Class X: bytes 0, 2 and 3 do not count.
    uint8_t x1[6] = {0x01, 51, 0x00, 0x00, 0x10, 0x00};
    uint8_t x2[6] = {0x77, 51, 0x88, 0x99, 0x10, 0x00};
    ride::FixChecksum(51, x1, sizeof x1);
    ride::FixChecksum(51, x2, sizeof x2);
    EXPECT_EQ(x1[5], static_cast<uint8_t>(51 + 0x10 - 0x55));
    EXPECT_EQ(x2[5], x1[5]);
}

// A pointer-table image: the header block and chains down to blocks 73 and 94.
const char* kRideImage = R"(
size 2048
word 38 0x0200
ride 48 @768 data=80
ride 49 @0x400 data=4 11 22 33 44
ride 61 @0x410 data=8
ride 68 @0x420 data=4
ride 71 @0x430 data=4
ride 72 @0x440 data=28
ride 73 @0x460 data=4 AA BB
ride 74 @0x470 data=14
ride 75 @0x488 data=4
ride 90 @0x490 data=8
ride 94 @0x4A0 data=4
ride 20 @0x500 data=461
)";

class RideTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        image = BuildImage(kRideImage);
        codeplug = CreateCodeplug(2);
        LoadImage(*codeplug, image);
    }
    std::vector<uint8_t> image;
    std::unique_ptr<CCodeplug> codeplug;
};

TEST_F(RideTest, FindsBlocksThroughTheirPointerChains)
{
    EXPECT_EQ(codeplug->GetBlockVector(48), 768u);
    EXPECT_EQ(ErrorText([&] { codeplug->GetBlockVector(73); }), "");
    EXPECT_EQ(codeplug->GetBlockVector(73), 0x460u);
    EXPECT_EQ(codeplug->GetBlockVector(20), 0x500u);
    EXPECT_EQ(codeplug->GetBlockVector(94), 0x4A0u);
    EXPECT_EQ(codeplug->GetBlockVector(97), 0x4A0u);
    EXPECT_EQ(codeplug->GetBlockVector(50), 0u);   // no pointer for it
    EXPECT_EQ(ErrorText([&] { codeplug->GetBlockVector(82); }), "");
    EXPECT_EQ(codeplug->GetBlockVector(82), 0u);   // its base block 81 is absent
    uint8_t buf[600];
    ImageBuffer dest{buf, sizeof buf};
    EXPECT_EQ(codeplug->ReadCpBlock(dest, 50), 1);
    ASSERT_EQ(codeplug->ReadCpBlock(dest, 49), 0);
    EXPECT_EQ(dest.size, 4 + 2 + 1);
    EXPECT_EQ(ErrorText([&] { codeplug->ReadCpBlock(dest, 97); }), "Unexpected Block Type");
    dest.size = sizeof buf;  // the capacity again
    ASSERT_EQ(codeplug->ReadCpBlock(dest, 20), 0);
    EXPECT_EQ(dest.size, 3 + 461 + 2);
}

TEST_F(RideTest, TypeByteMustBeTheId)
{
    std::vector<uint8_t> bytes = image;
    bytes[0x401] = 0x30;
    CRideCodeplug cp;
    LoadImage(cp, bytes);
    uint8_t buf[16];
    ImageBuffer dest{buf, sizeof buf};
    EXPECT_EQ(ErrorText([&] { cp.ReadCpBlock(dest, 49); }), "Unexpected Block Type");
}

TEST_F(RideTest, BlockWrittenBackGetsItsChecksumRecomputed)
{
    uint8_t buf[16];
    ImageBuffer block{buf, sizeof buf};
    ASSERT_EQ(codeplug->ReadCpBlock(block, 49), 0);
    uint8_t field[2];
    codeplug->ReadCpField(field, block, 7, 9, 3, 2);  // list and entry are not used
    EXPECT_THAT(field, ElementsAre(0x22, 0x33));
    const uint8_t value[] = {0x55, 0x66};
    codeplug->WriteCpField(value, block, 0, 0, 3, 2);
    codeplug->WriteCpBlock(block, 49);
    std::vector<uint8_t> after = ImageOf(*codeplug);
    EXPECT_THAT(std::vector<uint8_t>(after.begin() + 0x400, after.begin() + 0x407),
                ElementsAre(0x05, 49, 0x11, 0x55, 0x66, 0x44, static_cast<uint8_t>(0x05 + 49 + 0x11 + 0x55 + 0x66 + 0x44 - 0x55)));
    EXPECT_EQ(ErrorText([&] { codeplug->WriteCpField(value, block, 0, 0, 6, 2); }), "The requested list is out of range");
    ImageBuffer tooSmall{buf, 3};
    EXPECT_NE(ErrorText([&] { codeplug->WriteCpBlock(tooSmall, 49); }), "");
}

TEST_F(RideTest, AdkValuesAreFixedAndTheRegionLength)
{
    ASSERT_TRUE(codeplug->InitRdkPtrs());
    RdkPtrs p{};
    ASSERT_TRUE(codeplug->GetRdkPtrs(p));
    EXPECT_EQ(p.p1, 768u);  // the first region ends at the header block
    EXPECT_EQ(p.p1Copy, 768u);
    EXPECT_EQ(p.p2, 768u);
    EXPECT_EQ(p.l2, 0x200u);
    EXPECT_EQ(p.regionEnd, 768u + 0x200u);
    EXPECT_EQ(p.wordAt9, 0x200u - 16);
}

TEST_F(RideTest, PointerOutsideTheImageIsRefused)
{
    std::vector<uint8_t> bytes = image;
    bytes[768 + 40] = 0x7F;  // block 49's pointer: 0x7F00
    CRideCodeplug cp;
    LoadImage(cp, bytes);
    uint8_t buf[16];
    ImageBuffer dest{buf, sizeof buf};
    EXPECT_EQ(ErrorText([&] { cp.ReadCpBlock(dest, 49); }), "Access out of codeplug");
}

class VorneTest : public ::testing::Test {
protected:
    void SetUp() override { previousLine = GetProductLineNumber(); }
    void TearDown() override { SetProductLineNumber(previousLine); }
    int previousLine = 13;
};

TEST_F(VorneTest, Block139PlaceBySecondCodeCharacterAndFlag)
{
    SetProductLineNumber(3);
    struct Case {
        const char* code;
        int flag;
        uint32_t address, size;
    } cases[] = {{"01", 1, 523, 70}, {"01", 0, 651, 72}, {"02", 1, 651, 72}, {"", 1, 651, 72}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        CVORNEcodeplug cp;
        cp.SetStructure(3, 0);
        cp.SetImageText(nullptr, c.code);
        cp.SetVariantFlag(c.flag);
        EXPECT_EQ(cp.GetBlockVector(139), c.address);
        EXPECT_EQ(cp.GetFixedBlockSize(c.address, 139), c.size);
        EXPECT_EQ(cp.GetBlockVector(140), 0u);
        EXPECT_EQ(cp.GetFixedBlockSize(c.address, 140), 0u);
    }
}

TEST_F(VorneTest, ProductLines11And12GoByTheLayoutMarker)
{
    SetProductLineNumber(11);
    for (bool extended : {true, false}) {
        std::vector<uint8_t> bytes(1024, 0);
        if (extended) {
            bytes[0] = 0x02;
            bytes[1] = 0x80;
        }
        auto cp = CreateCodeplug(3);
        LoadImage(*cp, bytes);
        uint32_t address = cp->GetBlockVector(139);
        EXPECT_EQ(address, extended ? 651u : 523u);
        EXPECT_EQ(cp->GetFixedBlockSize(address, 139), extended ? 72u : 70u);
    }
}

TEST_F(VorneTest, FixChecksumMakesTheBlockSumTo5A)
{
    std::vector<uint8_t> block(70, 0);
    block[0] = 0x10;
    CVORNEcodeplug cp;
    cp.FixChecksum(139, block.data(), 70);
    EXPECT_EQ(block[69], 0x4A);
    EXPECT_TRUE(cp.ChecksumOk(139, block.data(), 70));
}

TEST_F(VorneTest, FieldAtAPlainOffset)
{
    uint8_t bytes[72];
    for (int i = 0; i < 72; ++i)
        bytes[i] = static_cast<uint8_t>(i);
    ImageBuffer block{bytes, 72};
    CVORNEcodeplug cp;
    uint8_t out[2];
    EXPECT_EQ(cp.ReadCpField(out, block, 3, 4, 5, 2), 2);
    EXPECT_THAT(out, ElementsAre(5, 6));
    EXPECT_EQ(ErrorText([&] { cp.ReadCpField(out, block, 0, 0, 71, 2); }), "The requested list is out of range");
}

TEST_F(VorneTest, InitRdkPtrsRefusesMoreDataThanItsWorkingBuffer)
{
    for (uint32_t size : {10000u, 10016u}) {
        SCOPED_TRACE(size);
        // X = 0x0200; Y = X + 0x0010; a table of 4 records of 3 bytes at Y.
        std::vector<uint8_t> bytes(size, 0);
        bytes[0] = 0x02;
        bytes[0x208] = 0x00;
        bytes[0x209] = 0x10;
        bytes[0x211] = 0x00;
        bytes[0x212] = 0x03;
        bytes[0x213] = 0x04;
        std::string text = ImageToSRecords(bytes);
        CVORNEcodeplug cp;
        cp.SetStructure(3, 0);
        cp.SetImageText(text.c_str(), "01");
        bool ok = cp.InitRdkPtrs();
        EXPECT_EQ(ok, size <= 10000);
        RdkPtrs p{};
        EXPECT_EQ(cp.GetRdkPtrs(p), ok);
        if (ok) {
            EXPECT_EQ(p.p1, 0x210u + 12 + 5);
            EXPECT_EQ(p.l1, size - p.p1);
            EXPECT_EQ(p.regionEnd, size - 1);
        }
    }
}

TEST_F(VorneTest, AdkValuesComeFromTheImageTextAsLoaded)
{
    // X = 0x0200; Y = X + 0x0010; a table of 4 records of 3 bytes at Y: P1 = 0x210 + 12 + 5.
    std::vector<uint8_t> bytes(1024, 0);
    bytes[0] = 0x02;
    bytes[0x209] = 0x10;
    bytes[0x212] = 0x03;
    bytes[0x213] = 0x04;
    const std::string text = ImageToSRecords(bytes);
    const std::string copy = text;
    bytes[0x213] = 0x08;  // a table of 8 records: P1 = 0x210 + 24 + 5
    const std::string other = ImageToSRecords(bytes);
    struct Case {
        const char* name;
        const std::string* loaded;    // the text ReadCpFile reads
        const std::string* adkText;   // the text given to SetImageText after loading (null: none)
        uint32_t p1;
    } cases[] = {
        {"the same text", &text, nullptr, 0x210 + 12 + 5},
        {"an equal text elsewhere", &copy, nullptr, 0x210 + 12 + 5},
        {"another text given after loading", &text, &other, 0x210 + 24 + 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CVORNEcodeplug cp;
        cp.SetStructure(3, 0);
        cp.SetImageText(text.c_str(), "01");
        SRecord reader;
        reader.AttachText(c.loaded->c_str());
        ASSERT_EQ(cp.ReadCpFile(reader), 1);
        // A write to the image does not change what the text says.
        const uint8_t zero[2] = {0, 0};
        cp.WriteCpMemory(ImageBuffer{const_cast<uint8_t*>(zero), 2}, 0);
        if (c.adkText)
            cp.SetImageText(c.adkText->c_str(), "01");
        ASSERT_TRUE(cp.InitRdkPtrs());
        RdkPtrs p{};
        ASSERT_TRUE(cp.GetRdkPtrs(p));
        EXPECT_EQ(p.p1, c.p1);
        EXPECT_EQ(p.l1, 1024 - c.p1);
        EXPECT_EQ(p.regionEnd, 1023u);
    }
}

TEST_F(VorneTest, AdkValuesPointingPastTheImageAreRefused)
{
    struct Case {
        const char* name;
        std::vector<std::pair<uint32_t, uint8_t>> bytes;
    } cases[] = {
        {"X past the end", {{0, 0x04}}},
        {"Y past the end", {{0, 0x02}, {0x208, 0x03}}},
        {"the table past the end", {{0, 0x02}, {0x209, 0x10}, {0x212, 0x40}, {0x213, 0x10}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> image(1024, 0);
        for (auto [address, value] : c.bytes)
            image[address] = value;
        const std::string text = ImageToSRecords(image);
        CVORNEcodeplug cp;
        cp.SetStructure(3, 0);
        cp.SetImageText(text.c_str(), "01");
        EXPECT_FALSE(cp.InitRdkPtrs());
        RdkPtrs p{};
        EXPECT_FALSE(cp.GetRdkPtrs(p));
    }
}

TEST(CodeplugFactoryTest, StructureTypeChoosesTheClass)
{
    EXPECT_NE(dynamic_cast<CRideCodeplug*>(CreateCodeplug(2).get()), nullptr);
    EXPECT_NE(dynamic_cast<CVORNEcodeplug*>(CreateCodeplug(3).get()), nullptr);
    for (int type : {0, 1, 4}) {
        auto cp = CreateCodeplug(type);
        EXPECT_EQ(dynamic_cast<CVariantCodeplug*>(cp.get()), nullptr);
        EXPECT_EQ(cp->GetStructure(), type);
    }
}

}  // namespace
