// Whole upgrades of the simulated radios with the test kits made for them: firmware, codeplug
// and patches, in-process on the virtual clock. Each ends with the radio's codeplug compared
// byte for byte with what it must hold: the radio's old codeplug, the kit image over the
// programmed region, and the radio's own data carried over by the rules written out below as
// data (addresses taken from the kit images and the radios' codeplug descriptions).
#include "UpgradeFixture.h"

#include <gmock/gmock.h>

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

const uint8_t kC = 'C', kA = 'A';

// Pointer-table layout. Kit: block 48 at 0x300, 16 at 0x400 (23 bytes), 20 at 0x500, 49 at
// 0x700. Product line 10 radio: the fields at 0x12F and 0x146 moved; codeplug mode 2 keeps
// the first region and carries the serial number only.
const std::vector<Rule> kRidePl10Rules = {
    Copy(kOld, 0x146, 1, 0x144), Copy(kOld, 0x12F, 7, 0x136),
    Copy(kOld, 0x300 + 4, 10, 0x300 + 4), RideSum(0x300, false),
    Patch(0x700 + 4, 0x0F, 0x05), RideSum(0x700, false),
};
// Product line 8 radio: block 16 at 0x390, block 20 at 0x800.
const std::vector<Rule> kRidePl8Rules = {
    Copy(kOld, 0x800 + 7, 97, 0x500 + 7), Copy(kOld, 0x800 + 457, 1, 0x500 + 457),
    Copy(kOld, 0x800 + 459, 1, 0x500 + 459), RideSum(0x500, true),
    Copy(kOld, 0x390, 23, 0x400), RideSum(0x400, false),
    Copy(kOld, 0x300 + 4, 10, 0x300 + 4), RideSum(0x300, false),
    Patch(0x700 + 4, 0x0F, 0x05), RideSum(0x700, false),
};

// Fixed-address layout: tuning entry data at 0x18 (block 0x15..0x7A extended, 0x15..0x74
// basic), entry 0x8003 byte 64 at 0x179 (block 0x136..0x1FB), H3/H8 at 0x200/0x203 (basic) or
// 0x280/0x283 (extended), block 139 at 0x20B (70 bytes) or 0x28B (72 bytes).
// Product line 11, basic radio to the extended kit image, band "K", tuning byte 180 at 82:
// widened (41-46 zero), 180 + 37 = 217 stored at old offset 88 (new 94).
const std::vector<Rule> kFixedPl11Rules = {
    Copy(kOld, 0x18, 41, 0x18), Fill(0x18 + 41, 6, 0), Copy(kOld, 0x18 + 41, 51, 0x18 + 47), Set(0x18 + 94, 217),
    KeepSum(0x15, 0x7A, 0x7A),
    Copy(kOld, 0x179, 1, 0x179), KeepSum(0x136, 0x1FB, 0x1FB),
    Copy(kOld, 0x200, 3, 0x280), Copy(kOld, 0x203, 8, 0x283), Fill(0x285, 2, 0), Set(0x289, 0x02), Set(0x28A, 0xD3),
    Copy(kOld, 0x20B, 70, 0x28B), Copy(kNew, 0x28B + 30, 2, 0x28B + 30), Copy(kNew, 0x28B + 33, 12, 0x28B + 33),
    Copy(kNew, 0x28B + 47, 10, 0x28B + 47), Set(0x28B + 1, 0), Set(0x28B + 2, kC), Fill(0x28B + 69, 2, 0),
    KeepSum(0x28B, 0x2D2, 0x2D2),
    Patch(0x28B + 20, 0xF0, 0x90), KeepSum(0x28B, 0x2D2, 0x2D2),
};
// Product line 12, extended radio to the basic kit image, codeplug mode 1 (region below
// 0x327): narrowed, tuning byte 150 (old 88) + 37 = 187 stored at old 82 (new 76); H3 and H8
// unchanged to 0x200 and 0x203.
const std::vector<Rule> kFixedPl12Rules = {
    Copy(kOld, 0x18, 41, 0x18), Copy(kOld, 0x18 + 47, 51, 0x18 + 41), Set(0x18 + 76, 187),
    KeepSum(0x15, 0x74, 0x74),
    Copy(kOld, 0x280, 3, 0x200), Copy(kOld, 0x283, 8, 0x203),
    Copy(kOld, 0x28B, 69, 0x20B), Copy(kNew, 0x20B + 30, 2, 0x20B + 30), Copy(kNew, 0x20B + 33, 12, 0x20B + 33),
    Copy(kNew, 0x20B + 47, 10, 0x20B + 47), Set(0x20B + 1, 0), Set(0x20B + 2, kA), KeepSum(0x20B, 0x250, 0x250),
    Patch(0x20B + 20, 0xF0, 0x90), KeepSum(0x20B, 0x250, 0x250),
};
// Product line 3 (radio code V3): the old tuning entry unchanged, block 139 fields 4-13,
// 64-68 and 59, and the 8 bytes at 0x2D3 because the byte at 0x2A9 is 7.
const std::vector<Rule> kFixedPl3Rules = {
    Copy(kOld, 0x18, 98, 0x18), KeepSum(0x15, 0x7A, 0x7A),
    Copy(kOld, 0x28B + 4, 10, 0x28B + 4), Copy(kOld, 0x28B + 64, 5, 0x28B + 64), Copy(kOld, 0x28B + 59, 1, 0x28B + 59),
    KeepSum(0x28B, 0x2D2, 0x2D2), Copy(kOld, 0x2D3, 8, 0x2D3),
    Patch(0x28B + 20, 0xF0, 0x90), KeepSum(0x28B, 0x2D2, 0x2D2),
};
// The same radio with 0x2A9 = 6 (0x2A9 is byte 30 of its old block 139 at 0x28B): the 8
// bytes at 0x2D3 stay as the kit image has them.
const std::vector<Rule> kFixedPl3LowRules = {
    Copy(kOld, 0x18, 98, 0x18), KeepSum(0x15, 0x7A, 0x7A),
    Copy(kOld, 0x28B + 4, 10, 0x28B + 4), Copy(kOld, 0x28B + 64, 5, 0x28B + 64), Copy(kOld, 0x28B + 59, 1, 0x28B + 59),
    KeepSum(0x28B, 0x2D2, 0x2D2),
    Patch(0x28B + 20, 0xF0, 0x90), KeepSum(0x28B, 0x2D2, 0x2D2),
};
// Product line 7 (radio code S1): tuning fields moved to their new places; block 139 read at
// 523 (70 bytes), its fields carried into the block at 651.
const std::vector<Rule> kFixedPl7Rules = {
    Copy(kOld, 0x18 + 1, 40, 0x18 + 1), Copy(kOld, 0x18 + 41, 2, 0x18 + 47), Copy(kOld, 0x18 + 43, 1, 0x18 + 50),
    Copy(kOld, 0x18 + 44, 1, 0x18 + 49), Copy(kOld, 0x18 + 45, 47, 0x18 + 51), KeepSum(0x15, 0x7A, 0x7A),
    Copy(kOld, 0x20B + 4, 10, 0x28B + 4), Copy(kOld, 0x20B + 64, 5, 0x28B + 64), Copy(kOld, 0x20B + 59, 1, 0x28B + 59),
    KeepSum(0x28B, 0x2D2, 0x2D2),
    Patch(0x28B + 20, 0xF0, 0x90), KeepSum(0x28B, 0x2D2, 0x2D2),
};

const KitCase kCases[] = {
    DemoKitCase(),
    {"ride-pl10", "ride-pl10", "cp_ride", "TessarinTestKit-ride-pl10", 10, 2, 2, "X1", "01", 0x300, 0x1100,
     kRidePl10Rules},
    {"ride-pl8", "ride-pl8", "cp_ride", "TessarinTestKit-ride-pl8", 8, 2, 3, "B8", "STD", 0, 0x1100, kRidePl8Rules},
    {"fixed-pl11", "fixed-pl11", "cp_fixed_ext", "TessarinTestKit-fixed-pl11", 11, 3, 3, "L1", "STD", 0, 1024,
     kFixedPl11Rules},
    {"fixed-pl12", "fixed-pl12", "cp_fixed_basic", "TessarinTestKit-fixed-pl12", 12, 3, 1, "F2", "STD", 0, 0x327,
     kFixedPl12Rules},
    {"fixed-pl3", "fixed-pl3", "cp_fixed_ext", "TessarinTestKit-fixed-pl3", 3, 3, 3, "V3", "STD", 0, 1024,
     kFixedPl3Rules},
    {"fixed-pl3", "fixed-pl3", "cp_fixed_ext", "TessarinTestKit-fixed-pl3", 3, 3, 3, "V3", "STD", 0, 1024,
     kFixedPl3LowRules, {{0x2A9, 6, 0x2D2}}, "_byte_2A9_is_6"},
    {"fixed-pl7", "fixed-pl7", "cp_fixed_ext", "TessarinTestKit-fixed-pl7", 7, 3, 3, "S1", "STD", 0, 1024,
     kFixedPl7Rules},
};

class WholeUpgradeTest : public ::testing::TestWithParam<KitCase> {};

// The record stays on disk until the caller's press is over (a later press may still finish
// it); it says that the radio's own data is back.
void ExpectRestoredRecord(KitRun& run)
{
    ASSERT_EQ(run.store.List().size(), 1u);
    PressStage stage = CCarryOverStore::Load(run.store.List()[0]).stage;
    EXPECT_TRUE(stage == PressStage::CodeplugWritten || stage == PressStage::Patching) << PressStageName(stage);
}

TEST_P(WholeUpgradeTest, FirmwareCodeplugAndPatchesLeaveTheExpectedCodeplug)
{
    KitRun run(GetParam());
    std::vector<uint8_t> expected = run.Expected();
    run.plan.flashFirmware = 1;
    run.PrepareBootstrap();
    ASSERT_EQ(run.Run(), kUpgradeSucceeded) << run.LogText();
    EXPECT_EQ(run.engine->GetRegionStart(), GetParam().regionStart);
    EXPECT_EQ(run.engine->GetRegionEnd(), GetParam().regionEnd);
    ExpectCodeplug(run.Codeplug(), expected);
    ExpectRestoredRecord(run);
}

TEST_P(WholeUpgradeTest, CarryOverSurvivesAPowerLossInTheProgrammingLoop)
{
    KitRun run(GetParam());
    std::vector<uint8_t> expected = run.Expected();
    FaultRule loss;
    loss.kind = FaultKind::PowerLoss;
    loss.op = FaultOp::CodeplugWrite;
    loss.nth = 3;  // within the loop: nothing is written before it but the moved fields
    loss.seconds = 60;  // longer than the exchange keeps trying
    run.Radio().AddFault(loss);
    EXPECT_EQ(run.Run(), kUpgradeCodeplugFailed);
    ASSERT_TRUE(run.record.valid);
    ASSERT_EQ(run.store.List().size(), 1u) << "the radio's data is on disk while it is not restored";
    CarryOverRecord onDisk = CCarryOverStore::Load(run.store.List()[0]);
    EXPECT_EQ(onDisk.items, run.record.items);
    run.Clock().AdvanceBy(61);  // the radio is back
    // The retry finds a partly reprogrammed radio; the record brings its own data back.
    ASSERT_EQ(run.Run(), kUpgradeSucceeded) << run.LogText();
    ExpectCodeplug(run.Codeplug(), expected);
    ExpectRestoredRecord(run);
    EXPECT_THAT(run.Log(), Contains(HasSubstr("Carrying over the data read from the radio at")));
}

// The engine fails at the first write of the restore (the radio refuses it every time it is
// tried): the record stays on disk, and the restore of `tessarin carryover restore` finishes the
// job on the radio as it is.
TEST_P(WholeUpgradeTest, ASavedRecordIsRestoredIntoTheReprogrammedRadio)
{
    KitCase c = GetParam();
    c.rules.resize(c.rules.size() - 2);  // the last two rules are the patch's: no patches here
    KitRun run(c);
    run.plan.applyPatches = 0;
    run.RecordAsTheForm(ReportedIdentity(c));
    std::vector<uint8_t> expected = run.Expected();
    run.RefuseCodeplugWrite(run.ProgrammingWrites() + 1);
    ASSERT_EQ(run.Run(), kUpgradeCodeplugFailed);
    ASSERT_EQ(run.store.List().size(), 1u);
    EXPECT_NE(run.Codeplug(), expected);

    CarryOverRecord saved = CCarryOverStore::Load(run.store.List()[0]);
    EXPECT_EQ(saved.layout, c.codeplugType);
    EXPECT_EQ(saved.productLine, c.productLine);
    EXPECT_EQ(saved.codeplugMode, c.codeplugMode);
    EXPECT_EQ(saved.radioCode, c.radioCode);
    EXPECT_EQ(run.RestoreRecord(saved), "");
    ExpectCodeplug(run.Codeplug(), expected);
}

INSTANTIATE_TEST_SUITE_P(Kits, WholeUpgradeTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return KitCase::Name(info.param); });

}  // namespace
