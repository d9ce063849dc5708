// The codeplug on the simulated radio, in-process on the virtual clock.
#include "CodeplugFixture.h"

#include "codeplug/CodeplugFactory.h"
#include "codeplug/RideCodeplug.h"
#include "files/SRecord.h"
#include "link/LinkFlags.h"
#include "sim/SimPlatform.h"
#include "sim/model/SimRig.h"

#include <gmock/gmock.h>

#include <fstream>
#include <sstream>

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

std::string LayoutPath(const char* name) { return std::string(TESSARIN_LAYOUTS_DIR) + "/" + name + ".s19"; }

std::vector<uint8_t> LayoutBytes(const char* name)
{
    std::ifstream in(LayoutPath(name), std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    SRecord reader;
    reader.AttachText(text.c_str());
    std::vector<uint8_t> bytes(0x10000);
    ImageBuffer buffer{bytes.data(), 0};
    reader.LoadData(buffer, 0x10000);
    bytes.resize(static_cast<std::size_t>(buffer.size));
    return bytes;
}

RadioProfile ProfileWith(const std::vector<uint8_t>& codeplug, int productLine = 4)
{
    RadioProfile p;
    p.name = "codeplug test radio";
    p.productLine = productLine;
    p.codeplugFill = 0x00;
    p.codeplugBytes = {{0, codeplug}};
    return p;
}

class RadioCodeplugTest : public ::testing::Test {
protected:
    void Start(const std::vector<uint8_t>& codeplug, int type = 1, int productLine = 4)
    {
        previousLine = GetProductLineNumber();
        SetProductLineNumber(productLine);
        image = codeplug;
        rig = std::make_unique<CSimRadioRig>(scope.Platform(), ProfileWith(codeplug, productLine));
        cp = CreateCodeplug(type);
        cp->SetLink(1, 1);
        cp->StartCpAccess(0);
    }
    void TearDown() override
    {
        cp.reset();
        rig.reset();
        SetProductLineNumber(previousLine);
    }
    std::vector<uint8_t> Memory(uint32_t from, uint32_t count)
    {
        std::vector<uint8_t> out;
        for (uint32_t a = from; a < from + count; ++a)
            out.push_back(rig->Radio().Memory().Read(a));
        return out;
    }
    // The requests the radio heard: opcode and data length, and how many of them.
    std::vector<std::vector<uint8_t>> Requests(uint8_t opcode)
    {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& e : rig->Radio().Trace().Of("frame"))
            if (e.bytes.size() > 2 && e.bytes[1] == opcode)
                out.push_back(e.bytes);
        return out;
    }

    CSimPlatformScope scope;
    std::unique_ptr<CSimRadioRig> rig;
    std::unique_ptr<CCodeplug> cp;
    std::vector<uint8_t> image;
    int previousLine = 13;
};

TEST_F(RadioCodeplugTest, AdkValuesFromTheRadioAddTheRegionChecksumByte)
{
    Start(LayoutBytes("adk"));
    ASSERT_TRUE(cp->InitRdkPtrs());
    RdkPtrs fromRadio{};
    ASSERT_TRUE(cp->GetRdkPtrs(fromRadio));
    CCodeplug onImage;
    LoadImage(onImage, image);
    ASSERT_TRUE(onImage.InitRdkPtrs());
    RdkPtrs fromImage{};
    onImage.GetRdkPtrs(fromImage);
    EXPECT_EQ(fromRadio.regionEnd, fromImage.regionEnd + 1);
    EXPECT_EQ(fromRadio.vectorTable, fromImage.vectorTable);
    EXPECT_EQ(fromRadio.blockCount, fromImage.blockCount);
    EXPECT_EQ(fromRadio.p1, fromImage.p1);
    EXPECT_EQ(fromRadio.p2, fromImage.p2);
    EXPECT_EQ(Requests(0x11).size(), 4u);  // 11 bytes at 0, L1, the P2 record, N
}

TEST_F(RadioCodeplugTest, BlocksAndEntriesReadInRequestsOf32Bytes)
{
    Start(LayoutBytes("adk"));
    uint8_t buf[512];
    for (uint16_t id : {0, 3, 4, 6, 9, 0x8000}) {
        SCOPED_TRACE(id);
        ImageBuffer dest{buf, sizeof buf};
        ASSERT_EQ(cp->ReadCpBlock(dest, id), 0);
        CCodeplug onImage;
        LoadImage(onImage, image);
        uint8_t expected[512];
        ImageBuffer want{expected, sizeof expected};
        ASSERT_EQ(onImage.ReadCpBlock(want, id), 0);
        ASSERT_EQ(dest.size, want.size);
        EXPECT_EQ(std::vector<uint8_t>(buf, buf + dest.size), std::vector<uint8_t>(expected, expected + want.size));
    }
    for (const auto& request : Requests(0x11))
        EXPECT_LE(request[2], 32) << "a read asked for more than 32 bytes";
    // Block 6 holds 293 bytes: 10 reads after the header.
    rig->Radio().Trace().Clear();
    ImageBuffer dest{buf, sizeof buf};
    cp->ReadCpBlock(dest, 6);
    EXPECT_EQ(Requests(0x11).size(), 1u + 1u + 10u);  // vector, header, data
}

TEST_F(RadioCodeplugTest, FieldWriteKeepsTheChecksumOnTheRadio)
{
    Start(LayoutBytes("adk"));
    struct Case {
        uint16_t id;
        uint32_t list, entry, offset;
        std::vector<uint8_t> bytes;
        uint32_t address, checksum;
    } cases[] = {
        {1, 0, 2, 1, {0xEE, 0xDD}, 0x200 + 3 + 10 + 1, 0x200 + 3 + 10 + 4},
        {3, 2, 0, 0, {0x01, 0x02, 0x03}, 0x240 + 6 + 8 + 2, 0x240 + 6 + 8 + 2 + 3},
        {9, 0, 1, 0, {0x55}, 0x3C0 + 3 + 2, 0x7FF},
        {0x8000, 0, 0, 60, {1, 2, 3, 4}, 0x20 + 3 + 60, 0x20 + 67},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        std::vector<uint8_t> before = Memory(0, 0x800);
        cp->WriteCpField(c.bytes.data(), c.id, c.list, c.entry, c.offset, static_cast<uint32_t>(c.bytes.size()));
        std::vector<uint8_t> after = Memory(0, 0x800);
        std::vector<uint32_t> expected;
        for (uint32_t i = 0; i < c.bytes.size(); ++i)
            if (before[c.address + i] != c.bytes[i])
                expected.push_back(c.address + i);
        expected.push_back(c.checksum);
        EXPECT_EQ(Differences(before, after), expected);
        EXPECT_EQ(std::vector<uint8_t>(after.begin() + c.address, after.begin() + c.address + c.bytes.size()), c.bytes);
    }
    // Every checksum still holds on the radio.
    CCodeplug onImage;
    LoadImage(onImage, Memory(0, 0x800));
    ASSERT_TRUE(onImage.InitRdkPtrs());
    for (const auto& request : Requests(0x17))
        EXPECT_LE(request.size(), 4u + 3u + 32u + 1u) << "a write carried more than 32 bytes";
}

TEST_F(RadioCodeplugTest, FieldLongerThanTheSpaceForItsOldBytesIsRefusedBeforeAnyWrite)
{
    std::vector<uint8_t> codeplug = BuildImage(
        "size 0x1000\nadk p1=0x40 p2=0x80 l2=0xF7F p3=0x90\nblock 0 @0x100 esize=0x0500 flags=0x81\nentry 01\nend");
    Start(codeplug);
    std::vector<uint8_t> field(1025, 0xAB);
    // Every source that is not an image takes the radio path, and so the guard.
    for (int source : {int(CCodeplug::kRadio), 2, -1}) {
        cp->SetSource(source);
        EXPECT_THAT(ErrorText([&] { cp->WriteCpField(field.data(), 0, 0, 0, 0, 1025); }),
                    HasSubstr("too long to write to the radio"))
            << "source " << source;
    }
    cp->SetSource(CCodeplug::kRadio);
    EXPECT_TRUE(Requests(0x17).empty());
    EXPECT_EQ(Memory(0, 0x1000), codeplug);
    // 1024 bytes still go, in 32 writes and one for the checksum byte.
    EXPECT_EQ(cp->WriteCpField(field.data(), 0, 0, 0, 0, 1024), 1024);
    EXPECT_EQ(Requests(0x17).size(), 32u + 1u);
    EXPECT_EQ(Sum(Memory(0, 0x1000), 0x80, 0xFFF), 0x00);
}

TEST_F(RadioCodeplugTest, ReadFailureIsLoggedWithItsAddressAndRaisedAsCommunicationError)
{
    Start(LayoutBytes("adk"));
    ASSERT_TRUE(cp->InitRdkPtrs());
    // The block's data: after the four reads of the ADK values, its vector and header.
    rig->Radio().AddFault(ParseFaultSpec("nack:op=read,nth=7,count=100"));
    uint8_t buf[64];
    ImageBuffer dest{buf, sizeof buf};
    EXPECT_EQ(ErrorText([&] { cp->ReadCpBlock(dest, 2); }), "General communication error while reading codeplug");
    EXPECT_THAT(scope.LogLines(), Contains(HasSubstr("CCodeplug::ReadCpBlock: Read radio codeplug failed at address 220")));
}

TEST_F(RadioCodeplugTest, StopWithResetSendsTheResetRequest)
{
    Start(LayoutBytes("adk"));
    cp->StopCpAccess(1);
    EXPECT_EQ(Requests(0x10).size(), 1u);
}

TEST_F(RadioCodeplugTest, RideChainsAreCachedAndBlocksWrittenWithTheirChecksum)
{
    Start(LayoutBytes("ride"), 2);
    EXPECT_EQ(cp->GetBlockVector(73), 0x06A0u);
    std::size_t reads = Requests(0x11).size();
    EXPECT_EQ(reads, 5u);  // 61, 68, 71, 72, 73
    EXPECT_EQ(cp->GetBlockVector(72), 0x0680u);
    EXPECT_EQ(cp->GetBlockVector(73), 0x06A0u);
    EXPECT_EQ(Requests(0x11).size(), reads);

    uint8_t buf[600];
    ImageBuffer block{buf, sizeof buf};
    ASSERT_EQ(cp->ReadCpBlock(block, 20), 0);
    const uint8_t serial[] = {0x10, 0x20, 0x30};
    cp->WriteCpField(serial, block, 0, 0, 457, 3);
    cp->WriteCpBlock(block, 20);
    std::vector<uint8_t> written = Memory(0x400, static_cast<uint32_t>(block.size));
    EXPECT_EQ(std::vector<uint8_t>(written.begin() + 457, written.begin() + 460), std::vector<uint8_t>(serial, serial + 3));
    CRideCodeplug check;
    EXPECT_TRUE(check.ChecksumOk(20, written.data(), static_cast<uint32_t>(written.size())));
}

TEST_F(RadioCodeplugTest, FixedLayoutBlock139ByTheRadiosMarker)
{
    Start(LayoutBytes("fixed-extended"), 3, 11);
    uint8_t buf[72];
    ImageBuffer block{buf, sizeof buf};
    ASSERT_EQ(cp->ReadCpBlock(block, 139), 0);
    EXPECT_EQ(block.size, 72);
    EXPECT_EQ(buf[17], 'K');
    buf[4] = 'X';
    cp->WriteCpBlock(block, 139);
    EXPECT_EQ(Sum(Memory(0, 0x400), 651, 651 + 71), 0x5A);
    EXPECT_EQ(Memory(651 + 4, 1)[0], 'X');
    // The tuning entry through its special id.
    uint8_t entry[1024];
    ImageBuffer tuning{entry, sizeof entry};
    cp->SetImageText(nullptr, "");
    EXPECT_EQ(ErrorText([&] { cp->ReadCpEntry(tuning, 0x8000, 0, 0); }), "Unable to determine external codeplug format");
}

}  // namespace
