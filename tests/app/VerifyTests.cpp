// Verification and matching of the radio against the kit: every refusal with its message, and
// what lets a radio through.
#include "app/FormMessages.h"
#include "app/WorkflowFlags.h"
#include "link/LinkFlags.h"
#include "tests/app/WorkflowFixture.h"

#include <functional>

using namespace FormText;

namespace {

std::vector<uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

std::string Err(const char* text) { return std::string("Error: ") + text; }
std::string Note(const char* text) { return std::string("NOTE: ") + text; }

struct Case {
    const char* name;
    std::function<void(RadioProfile&)> radio;
    std::function<std::string(std::string)> config;
    std::vector<int> answers;
    std::vector<std::string> boxes;
    ProgramEnd end;
    // What the outcome's detail says of a refusal: the check, what the radio reported, what
    // the kit expected.
    std::vector<std::string> detailSays = {};
};

} // namespace

TEST_F(WorkflowTest, VerificationAndMatchingTable)
{
    auto same = [](std::string text) { return text; };
    auto none = [](RadioProfile&) {};
    const std::vector<Case> cases = {
        {"demo radio upgraded", none, same, {}, {Note(kBootstrapFirst), Note(kUpdateSuccessful)}, ProgramEnd::Updated},
        {"configuration of another version",
         none,
         [](std::string t) { return Replace(t, "PATCH-D01.01.07\n", "PATCH-D01.01.08\n"); },
         {},
         {Err(kIncompatibleConfig)},
         ProgramEnd::KitUnusable},
        {"radio of another series",
         [](RadioProfile& p) { p.status[15] = std::vector<uint8_t>(16, 0x11); },
         same,
         {},
         {Err(kNotSupportedSeries)},
         ProgramEnd::Refused,
         {"radio group", "11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11"}},
        {"requirements not met",
         [](RadioProfile& p) { p.status[1] = Text("R09.00"); },
         same,
         {},
         {Err(kRequirementsNotMet)},
         ProgramEnd::Refused,
         {"verification: status 1", "\"R09.00\"", "\"R01.02\""}},
        {"a byte value compared in full",
         [](RadioProfile& p) { p.status[8] = {0xA5, 0x5B}; },
         same,
         {},
         {Err(kRequirementsNotMet)},
         ProgramEnd::Refused,
         {"verification: status 8", "A5 5B", "A5 5A"}},
        {"a wildcard value passes whatever the radio says",
         [](RadioProfile& p) { p.status[1] = Text("R09.00"); },
         [](std::string t) { return Replace(t, "01,00,00,00,06,R01.02", "01,00,00,00,06,*"); },
         {},
         {Note(kBootstrapFirst), Note(kUpdateSuccessful)},
         ProgramEnd::Updated},
        {"a threshold entry lets every entry pass",
         [](RadioProfile& p) { p.status[1] = Text("R09.00"); },
         [](std::string t) {
             return Replace(Replace(t, "VERIFICATION_BLOCK\n04\n", "VERIFICATION_BLOCK\n05\n"), "08,00,01,00,02,A55A\n",
                            "08,00,01,00,02,A55A\n05,00,10,00,00,FF\n");
         },
         {},
         {Note(kBootstrapFirst), Note(kUpdateSuccessful)},
         ProgramEnd::Updated},
        {"model not supported",
         [](RadioProfile& p) { p.status[0] = Text("ZX900 PORTABLE"); },
         same,
         {},
         {Err(kModelNotSupported)},
         ProgramEnd::Refused,
         {"model matching", "\"ZX900\"", "\"DM450\" or \"DM470\""}},
        {"no radio matching row",
         [](RadioProfile& p) { p.status[3] = Text("R05.00"); },
         [](std::string t) { return Replace(t, "*,00,00,03,01,00,00,00,01", "R01.07,00,00,03,01,00,00,00,01"); },
         {},
         {Err(kRadioNotMatched)},
         ProgramEnd::Refused,
         {"radio matching", "\"R05.00\"", "\"R01.07\""}},
        {"release R02 on an R03 kit",
         [](RadioProfile& p) { p.status[4] = Text("02"); },
         [](std::string t) { return Replace(t, "PILLAN", "QUELLO3"); },
         {},
         {Err(kOnlyR03)},
         ProgramEnd::Refused},
        {"release R03 on an R02 kit",
         [](RadioProfile& p) { p.status[4] = Text("03"); },
         [](std::string t) { return Replace(t, "PILLAN", "QUELLO2"); },
         {},
         {Err(kOnlyR02)},
         ProgramEnd::Refused},
        {"old codeplug structure, user keeps the data",
         [](RadioProfile& p) { p.productLine = 3; },
         [](std::string t) { return Replace(t, "PILLAN", "VORNE"); },
         {IDCANCEL},
         {std::string("Warning: ") + kOldStructure},
         ProgramEnd::Cancelled},
        {"old codeplug structure, user goes on",
         [](RadioProfile& p) { p.productLine = 3; },
         [](std::string t) { return Replace(t, "PILLAN", "VORNE"); },
         {IDOK},
         {std::string("Warning: ") + kOldStructure, Note(kBootstrapFirst), Note(kUpdateSuccessful)},
         ProgramEnd::Updated},
        {"hardware problem in the power-up status",
         [](RadioProfile& p) {
             p.productLine = 11;
             p.status[5] = {0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
         },
         [](std::string t) { return Replace(t, "PILLAN", "LINDOR"); },
         {IDOK},
         {std::string("Warning: ") + kOldStructure, Err(kHardwareProblem)},
         ProgramEnd::Refused},
        {"power-up status without the fault bits",
         [](RadioProfile& p) {
             p.productLine = 11;
             p.status[5] = {0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0};
         },
         [](std::string t) { return Replace(t, "PILLAN", "LINDOR"); },
         {IDOK},
         {std::string("Warning: ") + kOldStructure, Note(kBootstrapFirst), Note(kUpdateSuccessful)},
         ProgramEnd::Updated},
        {"bootstrap prompt cancelled",
         none,
         same,
         {IDCANCEL},
         {std::string("NOTE: ") + kBootstrapFirst},
         ProgramEnd::Cancelled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetWorkflowFlags();
        ScriptedUi().answers.clear();
        RadioProfile profile = Profile("demo");
        c.radio(profile);
        Attach(profile);
        kit.SetConfig(c.config(DemoConfigText()));
        ASSERT_TRUE(Start());
        TakeBoxes();
        for (int answer : c.answers)
            ScriptedUi().answers.push_back(answer);
        int runsBefore = engine.runs;
        ProgramOutcome outcome = Form().OnProgram();
        EXPECT_EQ(TakeBoxes(), c.boxes);
        EXPECT_EQ(outcome.end, c.end) << ProgramEndName(outcome.end);
        for (const std::string& words : c.detailSays)
            EXPECT_NE(outcome.detail.find(words), std::string::npos) << words << " not in: " << outcome.detail;
        bool ran = c.end == ProgramEnd::Updated;
        EXPECT_EQ(engine.runs - runsBefore, ran ? 1 : 0);
        // The identity mark is written before verification, whatever it finds.
        if (c.end != ProgramEnd::LinkFailed && c.end != ProgramEnd::KitUnusable) {
            EXPECT_EQ(CodeplugByte(0x3FF0), IdentityMark);
        }
    }
}

TEST_F(WorkflowTest, CodeplugImageProblems)
{
    Attach(Profile("demo"));
    struct Problem {
        const char* name;
        std::function<void(CTestKit&)> change;
        std::string box;
    };
    const Problem problems[] = {
        {"missing", [](CTestKit& k) { k.Remove("cp_demo"); }, Err(kCannotOpenCodeplug)},
        {"size not a multiple of 8", [](CTestKit& k) { k.WriteFile("cp_demo", "123456789"); }, Err(kDataFileCorrupted)},
        {"empty", [](CTestKit& k) { k.WriteFile("cp_demo", ""); }, Err(kDataFileCorrupted)},
    };
    for (const Problem& p : problems) {
        SCOPED_TRACE(p.name);
        p.change(kit);
        ASSERT_TRUE(Start());
        TakeBoxes();
        ProgramOutcome outcome = Form().OnProgram();
        EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{p.box}));
        EXPECT_EQ(outcome.end, ProgramEnd::KitUnusable);
        EXPECT_EQ(engine.runs, 0);
    }
}

TEST_F(WorkflowTest, LinkThatCannotBeOpenedIsReported)
{
    ASSERT_TRUE(Start());
    ProgramOutcome outcome = Form().OnProgram();
    // The box says why, in the port's own words, as the command line does.
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{"Error: Unable to open communication port\n" + outcome.detail}));
    EXPECT_EQ(outcome.end, ProgramEnd::LinkFailed);
    EXPECT_NE(outcome.detail.find("no simulated radio"), std::string::npos) << outcome.detail;
}

TEST_F(WorkflowTest, PlanAndPatchesFollowTheMatchedEntry)
{
    struct Expect {
        const char* name;
        std::string model;
        uint8_t level;
        std::string identity;
        UpgradePlan plan;
        std::string codeplugFile;
        std::size_t patches;
    };
    const Expect cases[] = {
        {"DM450 level 1, R01.00", "DM450 PORTABLE", 1, "R01.00", {1, 1, 3, 1, "STD"}, "cp_demo", 5},
        {"DM450 level 2, R01.00", "DM450 PORTABLE", 2, "R01.00", {1, 1, 0, 1, "ANY"}, "cp_demo", 4},
        {"DM470 level 1, other", "DM470", 1, "R07.00", {0, 0, 3, 1, "STD"}, "cp_demo", 5},
        {"DM470 level 2, other", "DM470", 2, "R07.00", {0, 0, 0, 1, "ANY"}, "#", 4},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.name);
        RadioProfile profile = Profile("demo");
        profile.status[0] = Text(c.model);
        profile.status[16] = {c.level};
        profile.status[3] = Text(c.identity);
        Attach(profile);
        ASSERT_TRUE(Start());
        PlanReport report = Form().DryRun();
        ASSERT_TRUE(report.planned) << ProgramEndName(report.end);
        EXPECT_EQ(report.plan.askFlashRate, c.plan.askFlashRate);
        EXPECT_EQ(report.plan.flashFirmware, c.plan.flashFirmware);
        EXPECT_EQ(report.plan.codeplugMode, c.plan.codeplugMode);
        EXPECT_EQ(report.plan.applyPatches, c.plan.applyPatches);
        EXPECT_EQ(report.plan.modelTag, c.plan.modelTag);
        EXPECT_EQ(report.codeplugFile, c.codeplugFile);
        ASSERT_EQ(report.patchEntries.size(), c.patches);
        EXPECT_EQ(report.patchEntries.back().kind, kPatchEnd);
        EXPECT_EQ(report.codeplugImage.empty(), c.codeplugFile == "#");
        // A dry run writes nothing, not even the identity mark.
        EXPECT_EQ(CodeplugByte(0x3FF0), 0x00);
        EXPECT_EQ(engine.runs, 0);
    }
}

TEST(ContainsText, PatternAnywhereInTheText)
{
    EXPECT_TRUE(ContainsText("DM450", ""));
    EXPECT_TRUE(ContainsText("XDM450", "DM45"));
    EXPECT_FALSE(ContainsText("DM4", "DM450"));
    EXPECT_FALSE(ContainsText("dm450", "DM450"));
}
