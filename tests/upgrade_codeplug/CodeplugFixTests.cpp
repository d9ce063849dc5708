// What the codeplug layer must do for the engine: a buffer keeps its capacity across reads,
// the pointer-table cache does not outlive a reprogramming, a look-up that cannot reach the
// radio is not an absent block, and the pointer-table layout's first region ends at 768.
#include "UpgradeTestSupport.h"

#include "codeplug/CodeplugFactory.h"
#include "codeplug/RideCodeplug.h"
#include "link/LinkFlags.h"

#include <gmock/gmock.h>

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

class ProductLineScope {
public:
    explicit ProductLineScope(int line) : m_previous(GetProductLineNumber()) { SetProductLineNumber(line); }
    ~ProductLineScope() { SetProductLineNumber(m_previous); }

private:
    int m_previous;
};

TEST(CodeplugBufferTest, ABufferKeepsItsCapacityAfterAShorterRead)
{
    ProductLineScope line(11);
    // The old codeplug has the basic layout (block 139 of 70 bytes at 523), the new one the
    // extended layout (72 bytes at 651): the block read first must go back whole.
    std::vector<uint8_t> basic = LayoutImage("fixed-basic");
    basic.resize(0x400, 0);
    auto cp = CreateCodeplug(3);
    cp->SetImage(basic.data(), static_cast<uint32_t>(basic.size()));
    uint8_t block[72] = {};
    ImageBuffer buffer{block, sizeof block};
    ASSERT_EQ(cp->ReadCpBlock(buffer, 139), 0);
    EXPECT_EQ(buffer.size, 70);
    cp->GetImage().data[0] = 0x02;
    cp->GetImage().data[1] = 0x80;
    EXPECT_EQ(ErrorText([&] { cp->WriteCpBlock(buffer, 139); }), "");
    EXPECT_EQ(buffer.size, 72);
    const uint8_t* image = cp->GetImage().data;
    EXPECT_EQ(std::vector<uint8_t>(image + 651, image + 651 + 69), std::vector<uint8_t>(block, block + 69));
    uint8_t sum = 0;
    for (uint32_t i = 651; i < 651 + 72; ++i)
        sum = static_cast<uint8_t>(sum + image[i]);
    EXPECT_EQ(sum, 0x5A);
}

TEST(CodeplugBufferTest, OneLargeBufferTakesAnyBlockAfterASmallerOne)
{
    std::vector<uint8_t> adk = LayoutImage("adk");
    CCodeplug cp;
    cp.SetImage(adk.data(), static_cast<uint32_t>(adk.size()));
    std::vector<uint8_t> bytes(2048);
    ImageBuffer buffer{bytes.data(), 2048};
    // Block 3 is a short one, block 6 the longest of the image.
    ASSERT_EQ(cp.ReadCpBlock(buffer, 3), 0);
    int32_t small = buffer.size;
    ASSERT_EQ(ErrorText([&] { EXPECT_EQ(cp.ReadCpBlock(buffer, 6), 0); }), "");
    EXPECT_GT(buffer.size, small);
    ASSERT_EQ(ErrorText([&] { cp.ReadCpEntry(buffer, 0x8000, 0, 0); }), "");
    EXPECT_EQ(BufferCapacity(buffer), 2048u);
}

class RadioLookupTest : public ::testing::Test {
protected:
    void Start(const std::vector<uint8_t>& codeplug, int type)
    {
        RadioProfile p;
        p.name = "look-up test radio";
        p.productLine = 4;
        p.codeplugFill = 0x00;
        p.codeplugBytes = {{0, codeplug}};
        rig = std::make_unique<CSimRadioRig>(scope.Platform(), p);
        cp = CreateCodeplug(type);
        cp->SetLink(1, 1);
        cp->StartCpAccess(0);
    }
    void TearDown() override
    {
        cp.reset();
        rig.reset();
    }
    CSimPlatformScope scope;
    std::unique_ptr<CSimRadioRig> rig;
    std::unique_ptr<CCodeplug> cp;
};

TEST_F(RadioLookupTest, ARadioThatCannotBeReadIsACommunicationErrorNotAnAbsentBlock)
{
    Start(LayoutImage("adk"), 1);
    ASSERT_TRUE(cp->InitRdkPtrs());
    rig->Radio().AddFault(ParseFaultSpec("nack:op=read,count=1000"));
    uint8_t block[512];
    ImageBuffer buffer{block, sizeof block};
    EXPECT_EQ(ErrorText([&] { cp->ReadCpBlock(buffer, 3); }), "General communication error while reading codeplug");
    EXPECT_THAT(scope.LogLines(), Contains(HasSubstr("CCodeplug::GetBlockVector: Read vector (block 3) from radio failed")));
}

TEST_F(RadioLookupTest, PointerTableAddressesAreLookedUpAfreshAfterReprogramming)
{
    std::vector<uint8_t> ride = LayoutImage("ride");
    Start(ride, 2);
    ASSERT_TRUE(cp->InitRdkPtrs());
    EXPECT_EQ(cp->GetBlockVector(20), 0x0400u);
    // The new codeplug keeps block 20 elsewhere.
    rig->Radio().Memory().CodeplugBytes()[60] = 0x05;
    rig->Radio().Memory().CodeplugBytes()[61] = 0x00;
    EXPECT_EQ(cp->GetBlockVector(20), 0x0400u);  // the same codeplug: cached
    ASSERT_TRUE(cp->InitRdkPtrs());
    EXPECT_EQ(cp->GetBlockVector(20), 0x0500u);
}

TEST(RideRegionTest, TheFirstRegionEndsAtTheHeaderBlock)
{
    std::vector<uint8_t> ride = LayoutImage("ride");
    auto cp = CreateCodeplug(2);
    cp->SetImage(ride.data(), static_cast<uint32_t>(ride.size()));
    ASSERT_TRUE(cp->InitRdkPtrs());
    RdkPtrs p{};
    ASSERT_TRUE(cp->GetRdkPtrs(p));
    EXPECT_EQ(p.p1, 768u);
    EXPECT_EQ(p.p1Copy, 768u);
    EXPECT_EQ(p.regionEnd, 768u + 0x9FFu);
}

}  // namespace
