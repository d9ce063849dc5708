// The patcher against the demo radio (block model: block 0 at 0x110, blocks 1 and 2 absent,
// block 3 at 0x180 with entry 0 = A3 00 00 00 at 0x183 and its checksum byte at 0x18B).
#include "UpgradeTestSupport.h"

#include "link/LinkFlags.h"
#include "platform/UiServices.h"
#include "sim/model/RadioProfile.h"
#include "upgrade/Patcher.h"

#include <gmock/gmock.h>

#include <algorithm>

namespace {

using ::testing::Contains;

// The scripted UI that also presses Cancel when the given progress step arrives.
class CCancellingUi : public CScriptedUi {
public:
    intptr_t SendMainFrameMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override
    {
        if (message == WM_PROGRESS_STEP && ++steps == cancelAtStep)
            SetCancelEvent();
        return CScriptedUi::SendMainFrameMessage(message, wParam, lParam);
    }
    int steps = 0;
    int cancelAtStep = 0;
};

PatchEntry E(uint32_t kind, uint8_t a = 0, uint8_t b = 0, uint16_t c = 0, uint8_t d = 0, uint8_t e = 0)
{
    return PatchEntry{kind, a, b, c, d, e};
}

struct PatchCase {
    const char* name;
    PatchEntries entries;
    int cancelAtStep;
    bool result;
    uint8_t byte183;  // entry 0 byte 0 of block 3 afterwards
    int steps;
    const char* logLine;  // a line the run must log ("" for none in particular)
};

const PatchCase kCases[] = {
    {"AbsentBlockSkipsItsGroupAndTheNextGroupRuns",
     {E(0x20, 0, 1), E(0x30, 0, 0, 0, 0xFF, 0x11), E(0x50, 0, 1), E(0x20, 0, 3), E(0x30, 0, 0, 0, 0x0F, 0x05),
      E(0x50, 0, 3), E(0x99)},
     0, true, 0xA5, 4, ""},
    // Block id a x 256 + b: 0x0103 is not block 3, and the demo radio has no such block.
    {"HighByteOfTheBlockIdNamesAnotherBlock",
     {E(0x20, 1, 3), E(0x30, 0, 0, 0, 0xFF, 0x11), E(0x50, 1, 3), E(0x20, 0, 3), E(0x30, 0, 0, 0, 0x0F, 0x05),
      E(0x50, 0, 3), E(0x99)},
     0, true, 0xA5, 4, ""},
    {"ModifyClearsTheMaskThenSetsTheValue",
     {E(0x20, 0, 3), E(0x30, 0, 0, 0, 0xF0, 0x60), E(0x50, 0, 3), E(0x99)}, 0, true, 0x63, 3, ""},
    {"UnknownKindEndsTheRunWithSuccessAfterItsStep",
     {E(0x20, 0, 3), E(0x30, 0, 0, 0, 0x0F, 0x05), E(0x40), E(0x50, 0, 3), E(0x99)}, 0, true, 0xA3, 3, ""},
    {"CancelDuringTheLastEntryFailsAlthoughEveryEntryWasApplied",
     {E(0x20, 0, 3), E(0x30, 0, 0, 0, 0x0F, 0x05), E(0x50, 0, 3), E(0x99)}, 3, false, 0xA5, 3,
     "CPatcher::UpdateRadio: Operation Interrupted"},
    {"VerifyPassesOnTheRadioCodeAndItsPresentReply",
     {E(0x10, 4, 0, 'P'), E(0x10, 255, 1, '5'), E(0x20, 0, 3), E(0x30, 0, 0, 0, 0x0F, 0x05), E(0x50, 0, 3), E(0x99)},
     0, true, 0xA5, 5, ""},
    {"VerifyWrongValueStopsBeforeAnyChange",
     {E(0x10, 4, 0, 'Q'), E(0x20, 0, 3), E(0x30, 0, 0, 0, 0x0F, 0x05), E(0x50, 0, 3), E(0x99)}, 0, false, 0xA3, 1,
     "Verification of radio type failed"},
    {"VerifyOfAReplyNotYetRequestedFails",
     {E(0x10, 255, 0, 0), E(0x20, 0, 3), E(0x30, 0, 0, 0, 0x0F, 0x05), E(0x50, 0, 3), E(0x99)}, 0, false, 0xA3, 1,
     "Verification of radio type failed"},
    {"VerifyBeyondTheReplyFails",
     {E(0x10, 4, 29, 0), E(0x20, 0, 3), E(0x30, 0, 0, 0, 0x0F, 0x05), E(0x50, 0, 3), E(0x99)}, 0, false, 0xA3, 1,
     "Verification of radio type failed"},
    {"WriteBeforeAnyReadIsRefused", {E(0x50, 0, 3), E(0x99)}, 0, false, 0xA3, 0, ""},
    {"EndEntryFirstDoesNothingButTheReset", {E(0x99)}, 0, true, 0xA3, 0, ""},
};

class PatcherTest : public ::testing::TestWithParam<PatchCase> {
protected:
    PatcherTest() : rig(scope.Platform(), LoadRadioProfile(std::string(TESSARIN_SOURCE_DIR) + "/sim/profiles/demo.json"))
    {
        auto ui = std::make_unique<CCancellingUi>();
        cancelling = ui.get();
        scopeUi = InstallUi(std::move(ui));
    }
    ~PatcherTest() override { InstallUi(std::move(scopeUi)); }

    CSimPlatformScope scope;
    CSimRadioRig rig;
    CCancellingUi* cancelling = nullptr;
    std::unique_ptr<CUiServices> scopeUi;
};

TEST_P(PatcherTest, EntriesActOnTheRadio)
{
    const PatchCase& c = GetParam();
    cancelling->cancelAtStep = c.cancelAtStep;
    std::vector<uint8_t> before = rig.Radio().Memory().Codeplug();
    CPatcher patcher(1);
    EXPECT_EQ(patcher.UpdateRadio(c.entries, 1, 1, 9600), c.result);
    std::vector<uint8_t> after = rig.Radio().Memory().Codeplug();
    EXPECT_EQ(after[0x183], c.byte183);
    // The block's checksum byte keeps the block's sum whatever was changed.
    uint8_t sumBefore = 0, sumAfter = 0;
    for (uint32_t a = 0x180; a <= 0x18B; ++a) {
        sumBefore = static_cast<uint8_t>(sumBefore + before[a]);
        sumAfter = static_cast<uint8_t>(sumAfter + after[a]);
    }
    EXPECT_EQ(sumAfter, sumBefore);
    EXPECT_EQ(cancelling->steps, c.steps);
    if (*c.logLine) {
        EXPECT_THAT(scope.LogLines(), Contains(std::string(c.logLine)));
    }
    // The radio is reset at the end in every case that got access.
    bool reset = false;
    for (const auto& e : rig.Radio().Trace().Of("frame"))
        reset = reset || (e.bytes.size() > 1 && e.bytes[1] == 0x10);
    EXPECT_TRUE(reset);
}

INSTANTIATE_TEST_SUITE_P(Cases, PatcherTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PatcherFailureTest, ALookupTheRadioDoesNotAnswerIsAnErrorNotAnAbsentBlock)
{
    CSimPlatformScope scope;
    CSimRadioRig rig(scope.Platform(), LoadRadioProfile(std::string(TESSARIN_SOURCE_DIR) + "/sim/profiles/demo.json"));
    CPatcher patcher(1);
    FaultRule rule;
    rule.kind = FaultKind::Nack;
    rule.op = FaultOp::Read;
    rule.nth = 5;  // after the four reads of the ADK values
    rule.count = 1000;
    rig.Radio().AddFault(rule);
    PatchEntries entries{E(0x20, 0, 3), E(0x30, 0, 0, 0, 0x0F, 0x05), E(0x50, 0, 3), E(0x99)};
    EXPECT_FALSE(patcher.UpdateRadio(entries, 1, 1, 9600));
    ASSERT_FALSE(scope.Ui().boxes.empty());
    EXPECT_EQ(scope.Ui().boxes.back().text, "General communication error while reading codeplug");
    EXPECT_EQ(scope.Ui().boxes.back().caption, "Error");
}

}  // namespace
