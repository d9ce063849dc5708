// The attempt loop: the bootstrap prompts, the result table and the retry choice; the flash
// rate question and its boot code.
#include "app/FormMessages.h"
#include "tests/app/WorkflowFixture.h"

using namespace FormText;

namespace {
std::string Err(const char* text) { return std::string("Error: ") + text; }
std::string Note(const char* text) { return std::string("NOTE: ") + text; }
} // namespace

TEST_F(WorkflowTest, ResultTableAndRetries)
{
    struct Case {
        const char* name;
        std::vector<int> results;  // engine results in order
        std::vector<int> answers;  // box answers after the first bootstrap prompt's OK
        std::vector<std::string> boxes;
        ProgramEnd end;
        int runs;
    };
    const std::string first = Note(kBootstrapFirst);
    const std::string retry = Note(kBootstrapRetry);
    const Case cases[] = {
        {"success", {5}, {}, {first, Note(kUpdateSuccessful)}, ProgramEnd::Updated, 1},
        {"3 on the first attempt ends without a retry",
         {3},
         {},
         {first, std::string("Initialization Error: ") + kFlashNotStarted},
         ProgramEnd::EngineFailed,
         1},
        {"4 is an invalid data file",
         {4},
         {},
         {first, std::string("Invalid Operation: ") + kInvalidDataFile},
         ProgramEnd::KitUnusable,
         1},
        {"6 offers a retry that succeeds",
         {6, 5},
         {IDOK, IDOK},
         {first, Err(kFlashSizeFailed), retry, Note(kUpdateSuccessful)},
         ProgramEnd::Updated,
         2},
        {"0, then 3 on a retry offers another retry, cancelled",
         {0, 3},
         {IDOK, IDOK, IDCANCEL},
         {first, Err(kUpdateError), retry, Err(kFlashNotStartedRetry)},
         ProgramEnd::EngineFailed,
         2},
        {"1 cancelled", {1}, {IDCANCEL}, {first, Err(kUpdateError)}, ProgramEnd::EngineFailed, 1},
        {"2, retry, 4", {2, 4}, {IDOK, IDOK}, {first, Err(kUpdateError), retry, std::string("Invalid Operation: ") + kInvalidDataFile}, ProgramEnd::KitUnusable, 2},
    };
    Attach(Profile("demo"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Start());
        engine.results.assign(c.results.begin(), c.results.end());
        engine.runs = 0;
        ScriptedUi().answers.assign({IDOK});
        ScriptedUi().answers.insert(ScriptedUi().answers.end(), c.answers.begin(), c.answers.end());
        ProgramOutcome outcome = Form().OnProgram();
        EXPECT_EQ(TakeBoxes(), c.boxes);
        EXPECT_EQ(outcome.end, c.end) << ProgramEndName(outcome.end);
        EXPECT_EQ(engine.runs, c.runs);
        EXPECT_EQ(outcome.engineRuns, c.runs);
        // Every run had the bootstrap port, the kit's directory current and the boot code loaded.
        for (int i = 0; i < engine.runs; ++i) {
            EXPECT_TRUE(engine.hadSerial[i]);
            EXPECT_EQ(engine.directories[i], fs::canonical(kit.Path()));
            EXPECT_EQ(engine.bootcodeTexts[i].substr(0, 2), "S1");
        }
        engine.hadSerial.clear();
        engine.directories.clear();
        engine.bootcodeTexts.clear();
        // The port went back to the platform: the next press can have it.
        CSerial* port = scope.Platform().GetSerial();
        EXPECT_NE(port, nullptr);
        scope.Platform().ReleaseSerial();
    }
}

TEST_F(WorkflowTest, FlashRateIsAskedOncePerRun)
{
    Attach(Profile("demo"));
    ASSERT_TRUE(Start());
    ScriptedUi().flashRates.push_back(115200);
    EXPECT_EQ(Form().OnProgram().end, ProgramEnd::Updated);
    EXPECT_EQ(Form().OnProgram().end, ProgramEnd::Updated);
    EXPECT_EQ(ScriptedUi().flashRateQuestions, 1);
    EXPECT_EQ(Form().GetFlashSettings().flashBaud, 115200);
    ASSERT_EQ(engine.bootcodeTexts.size(), 2u);
    EXPECT_EQ(engine.bootcodeTexts[0], engine.bootcodeTexts[1]);
    EXPECT_TRUE(Form().RateDialogShown());
}

TEST_F(WorkflowTest, FlashRateClosedWithoutChoiceCancelsThePressAndIsAskedAgain)
{
    Attach(Profile("demo"));
    ASSERT_TRUE(Start());
    ScriptedUi().flashRates.push_back(CUiServices::kFlashRateNotChosen);
    ProgramOutcome closed = Form().OnProgram();
    EXPECT_EQ(closed.end, ProgramEnd::Cancelled);
    EXPECT_EQ(engine.runs, 0);
    EXPECT_EQ(TakeBoxes(), std::vector<std::string>{}) << "no bootstrap prompt";
    EXPECT_FALSE(Form().RateDialogShown());
    // The next press asks again, and goes on with the rate chosen then.
    ScriptedUi().flashRates.push_back(38400);
    EXPECT_EQ(Form().OnProgram().end, ProgramEnd::Updated);
    EXPECT_EQ(ScriptedUi().flashRateQuestions, 2);
    ASSERT_EQ(engine.bootcodeTexts.size(), 1u);
    EXPECT_EQ(engine.bootcodeTexts[0].substr(0, 2), "S1");
    EXPECT_EQ(Form().GetFlashSettings().flashBaud, 38400);
}

TEST_F(WorkflowTest, UnusableBootcodeEndsTheProgram)
{
    struct Case {
        const char* name;
        std::string bytes;
        bool present;
    };
    const Case cases[] = {
        {"missing", "", false},
        {"empty", "", true},
        {"size not a multiple of 8", "123456789", true},
        {"larger than 9,990 bytes", std::string(9992, 'x'), true},
    };
    Attach(Profile("demo"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kit.Remove("bc38400");
        if (c.present)
            kit.WriteFile("bc38400", c.bytes);
        ASSERT_TRUE(Start());
        ScriptedUi().quitCode = -1000;
        ScriptedUi().flashRates.push_back(38400);
        ProgramOutcome outcome = Form().OnProgram();
        EXPECT_EQ(outcome.end, ProgramEnd::KitUnusable);
        EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{std::string(kApplicationTitle) + ": " + kBootcodeUnusable}));
        EXPECT_EQ(ScriptedUi().quitCode, -1);
        EXPECT_EQ(engine.runs, 0);
    }
}

TEST_F(WorkflowTest, BootcodeOfExactly9990BytesIsTaken)
{
    Attach(Profile("demo"));
    ASSERT_TRUE(Start());
    // 9,990 bytes of enciphered text (a multiple of 8 would be 9,984 or 9,992; 9,990 is not):
    // the largest size that passes is 9,984.
    kit.WriteFile("bc19200", std::string(9984, '\x11'));
    EXPECT_TRUE(Form().LoadBootcode(19200));
    EXPECT_EQ(Form().GetFlashSettings().flashBaud, 19200);
    EXPECT_TRUE(TakeBoxes().empty());
}
