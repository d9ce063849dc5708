// The two-press recovery of the product lines whose radios can lose their application: the
// codeplug pass from the boot state, then the firmware pass.
#include "app/FormMessages.h"
#include "app/WorkflowFlags.h"
#include "link/LinkFlags.h"
#include "tests/app/WorkflowFixture.h"

#include <array>
#include <utility>
#include <vector>

using namespace FormText;

namespace {

const std::string kRecoveryKit = RecoveryKitConfigText();

} // namespace

TEST_F(WorkflowTest, RecoveryTakesTwoPressesCodeplugThenFirmware)
{
    kit.SetConfig(kRecoveryKit);
    Attach(Profile("recovery-pl11"));
    ASSERT_TRUE(Start());
    ASSERT_EQ(CUpgradeForm::ProductLine(), 11);

    // First press: the link times out, the user asks for recovery; the codeplug is programmed.
    ScriptedUi().answers.assign({IDOK});
    ProgramOutcome first = Form().OnProgram();
    std::vector<std::string> boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].rfind("Error: ", 0), 0u) << "the link's recovery prompt";
    EXPECT_EQ(boxes[1], std::string("NOTE: ") + kPressAgain);
    EXPECT_EQ(first.end, ProgramEnd::PressAgain);
    EXPECT_TRUE(ScriptedUi().activities.empty()) << "the first press is an ordinary one";
    ASSERT_EQ(engine.runs, 1);
    EXPECT_EQ(engine.plans[0].flashFirmware, 0);
    EXPECT_EQ(engine.plans[0].codeplugMode, 3);
    EXPECT_EQ(engine.plans[0].modelTag, "REC");
    EXPECT_FALSE(engine.hadSerial[0]);
    EXPECT_EQ(ScriptedUi().flashRateQuestions, 0);
    EXPECT_EQ(BootState, 0);
    EXPECT_EQ(RecoveryPending, 1);
    EXPECT_EQ(RecoveryNoticeShown, 1);
    EXPECT_EQ(RecoverRequested, 0);
    // The identity mark went into the codeplug although the radio runs no application.
    EXPECT_EQ(CodeplugByte(0x3FF0), IdentityMark);

    // Second press: the radio still answers from its boot state; time-outs are forgiven and the
    // firmware is flashed (with the codeplug) after the bootstrap prompt.
    ProgramOutcome second = Form().OnProgram();
    EXPECT_EQ(ScriptedUi().activities, std::vector<std::string>{PressText::kSecondRecoveryPress})
        << "the second press says what it does before its checks begin";
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{std::string("NOTE: ") + kBootstrapFirst,
                                                      std::string("NOTE: ") + kUpdateSuccessful}));
    EXPECT_EQ(second.end, ProgramEnd::Updated);
    ASSERT_EQ(engine.runs, 2);
    EXPECT_EQ(engine.plans[1].flashFirmware, 1);
    EXPECT_EQ(engine.plans[1].codeplugMode, 3);
    EXPECT_TRUE(engine.hadSerial[1]);
    EXPECT_EQ(ScriptedUi().flashRateQuestions, 1);
    EXPECT_EQ(RecoveryPending, 0);
}

TEST_F(WorkflowTest, RecoveryDeclinedEndsWithoutMessage)
{
    kit.SetConfig(kRecoveryKit);
    Attach(Profile("recovery-pl11"));
    ASSERT_TRUE(Start());
    ScriptedUi().answers.assign({IDCANCEL});
    ProgramOutcome outcome = Form().OnProgram();
    EXPECT_EQ(TakeBoxes().size(), 1u) << "only the link's recovery prompt";
    EXPECT_EQ(outcome.end, ProgramEnd::Cancelled);
    EXPECT_EQ(RecoverDeclined, 0);
    EXPECT_EQ(engine.runs, 0);
}

namespace {

// A region of radio memory rewritten whole: good sums to 0x5A with its last byte, bad does not.
std::pair<uint32_t, std::vector<uint8_t>> Region(uint32_t from, uint32_t to, bool good)
{
    std::vector<uint8_t> bytes(to - from, 0x00);
    bytes.push_back(good ? 0x5A : 0x00);
    return {from, bytes};
}

struct RegionCase {
    const char* name;
    bool extended;
    std::array<bool, 3> good;    // regions 1, 2 and 3 as the radio holds them
    std::array<int, 3> faults;   // RegionFault1..3 as the check reports them
};

} // namespace

// The boot state's region check reads region 2 of the extended layout only while region 1 is
// good, and region 3 of the basic layout only while one of the others is; any fault refuses.
TEST_F(WorkflowTest, CorruptRegionInTheBootStateIsRefused)
{
    const RegionCase cases[] = {
        {"extended, region 1 bad", true, {false, false, true}, {1, 0, 0}},
        {"extended, region 3 bad", true, {true, true, false}, {0, 0, 1}},
        {"basic, regions 1 and 2 bad", false, {false, false, false}, {1, 1, 0}},
        {"basic, region 3 bad", false, {true, true, false}, {0, 0, 1}},
    };
    for (const RegionCase& c : cases) {
        SCOPED_TRACE(c.name);
        kit.SetConfig(kRecoveryKit);
        RadioProfile profile = Profile("recovery-pl11");
        profile.codeplugBytes.push_back({0x0000, {uint8_t(c.extended ? 0x02 : 0x00), uint8_t(c.extended ? 0x80 : 0x00)}});
        profile.codeplugBytes.push_back(Region(0x0015, 0x007A, c.good[0]));
        profile.codeplugBytes.push_back(Region(0x0136, 0x01FB, c.good[1]));
        profile.codeplugBytes.push_back(c.extended ? Region(0x028B, 0x02D2, c.good[2]) : Region(0x020B, 0x0250, c.good[2]));
        Attach(profile);
        ASSERT_TRUE(Start());
        ScriptedUi().answers.assign({IDOK});
        ProgramOutcome outcome = Form().OnProgram();
        std::vector<std::string> boxes = TakeBoxes();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[1], std::string("Error: ") + kRegionCorruption);
        EXPECT_EQ(ScriptedUi().boxes.back().style, MB_OK | MB_ICONINFORMATION);
        EXPECT_EQ(outcome.end, ProgramEnd::Refused);
        EXPECT_EQ((std::array<int, 3>{RegionFault1, RegionFault2, RegionFault3}), c.faults);
        EXPECT_EQ(engine.runs, 0);
    }
}
