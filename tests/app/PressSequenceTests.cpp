// Sequences of presses on the real engine and the simulated demo radio: a press that fails and
// is pressed again, a radio left without firmware and finished, two presses after a failed flash,
// and kits refused before anything changes the radio. What the radio must hold afterwards is
// stated from the demo radio's own profile, not from what an upgrade wrote.
#include "app/FormMessages.h"
#include "files/DataFile.h"
#include "files/HexText.h"
#include "platform/StopRequest.h"
#include "sim/model/FaultPlan.h"
#include "tests/app/WorkflowFixture.h"
#include "upgrade/RadioUpgrade.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <iterator>
#include <string_view>

using namespace FormText;

namespace {

// The demo radio's own data, as its profile's codeplug holds it before any upgrade.
constexpr std::string_view kOwnSerial = "DM450SN0042";
constexpr std::string_view kImageSerial = "DEMO0000001";
const std::vector<uint8_t> kOwnTuning = {0x31, 0x38, 0x3F, 0x46, 0x4D, 0x54, 0x5B, 0x62, 0x69, 0x70,
                                         0x77, 0x7E, 0x85, 0x8C, 0x93, 0x9A, 0xA1, 0xA8, 0xAF, 0xB6,
                                         0xBD, 0xC4, 0xCB, 0xD2, 0xD9, 0xE0, 0xE7, 0xEE, 0xF5, 0xFC};

std::string ReadKitFile(const std::string& name)
{
    std::ifstream in(fs::path(TESSARIN_DEMO_KIT) / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Contains(const std::vector<uint8_t>& bytes, std::string_view text)
{
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}
bool Contains(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& part)
{
    return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

class PressSequenceTest : public WorkflowTest {
protected:
    // A fresh demo radio, form and state folder.
    void Fresh()
    {
        fs::remove_all(stateDir);
        Attach(Profile("demo"));
        rig->Radio().SetAutoBootstrap(true);
        ASSERT_TRUE(Start(true));
        ScriptedUi().flashRates.push_back(115200);
        before = rig->Radio().Memory().Codeplug();
    }
    void Fault(const std::string& spec) { rig->Radio().AddFault(ParseFaultSpec(spec)); }
    // The technician takes the battery out and puts it back: the radio starts what its memory holds.
    void PowerCycle()
    {
        rig->Radio().PowerCycle(false);
        scope.Clock().AdvanceBy(2.0);
    }
    std::vector<fs::path> Records() const { return Form().CarryOverStore().List(); }
    const CUpgradeForm& Form() const { return *form; }
    using WorkflowTest::Form;

    // Flash and codeplug of an upgraded demo radio: the firmware written, its own data carried over.
    void ExpectUpgradedWithOwnData()
    {
        const auto& flash = rig->Radio().Memory().Flash();
        EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + 4, "TSFW"));
        const auto& codeplug = rig->Radio().Memory().Codeplug();
        EXPECT_TRUE(Contains(codeplug, kOwnSerial)) << "the radio's own serial number";
        EXPECT_FALSE(Contains(codeplug, kImageSerial)) << "not the image's";
        EXPECT_TRUE(Contains(codeplug, kOwnTuning)) << "the radio's own tuning";
        EXPECT_EQ(CodeplugByte(0x0183), 0xA5) << "the patch was applied";
        EXPECT_TRUE(Records().empty()) << "a finished upgrade leaves no record";
    }

    std::vector<uint8_t> before;
};

} // namespace

// A press that fails and whose retry is declined leaves its record; the next press on the same
// radio finishes it with the radio's own data from the record, never from the part-programmed
// codeplug.
TEST_F(PressSequenceTest, AFailedPressIsFinishedByTheNextWithTheRadiosOwnData)
{
    struct Case {
        const char* name;
        const char* fault;
        const char* stage;     // the record's stage after the failed press
        bool powerCycle;       // the radio is switched off and on between the presses
        bool confirmFinish;    // the second press finds no radio answering and asks
    };
    const Case cases[] = {
        {"codeplug write fails mid-programming", "nack:op=codeplug-write,nth=8,count=4,times=4", "codeplug-saved", true,
         false},
        {"codeplug restore fails", "nack:op=codeplug-write,nth=23,count=4,times=4", "codeplug-saved", true, false},
        {"firmware record fails: radio left without firmware", "nack:stage=firmware,nth=40,count=9,times=9",
         "flash-erased", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        Fault(c.fault);
        ScriptedUi().answers.assign({IDOK, IDCANCEL});  // bootstrap prompt, then decline the retry
        ProgramOutcome failed = Form().OnProgram();
        EXPECT_EQ(failed.end, ProgramEnd::EngineFailed) << ProgramEndName(failed.end);
        ASSERT_EQ(Records().size(), 1u);
        CarryOverRecord record = CCarryOverStore::Load(Records()[0]);
        EXPECT_STREQ(PressStageName(record.stage), c.stage);
        EXPECT_EQ(record.radio.Text(), "model DM450, serial 4500000042, radio code P5");
        std::vector<std::string> boxes = TakeBoxes();
        ASSERT_FALSE(boxes.empty());
        EXPECT_NE(boxes.back().find(record.file), std::string::npos) << "the last message names the record";

        if (c.powerCycle)
            PowerCycle();
        ScriptedUi().answers.clear();  // OK to everything: the finish question, the bootstrap prompt
        ProgramOutcome again = Form().OnProgram();
        EXPECT_EQ(again.end, ProgramEnd::Updated) << ProgramEndName(again.end) << ": " << again.detail;
        boxes = TakeBoxes();
        bool asked = std::any_of(boxes.begin(), boxes.end(), [](const std::string& b) {
            return b.find(RecordText::kFinishQuestionStart) != std::string::npos;
        });
        EXPECT_EQ(asked, c.confirmFinish);
        ExpectUpgradedWithOwnData();
    }
}

// A kit whose codeplug part cannot be used is refused right after matching: no bootstrap prompt,
// no boot code, nothing written but the identity mark, no record left behind.
TEST_F(PressSequenceTest, AnUnusableCodeplugPartIsRefusedBeforeTheRadioIsChanged)
{
    const std::string key = "DemoKitDataKey-2026-R0205";
    auto image = [&](uint32_t bytes) {
        std::vector<uint8_t> data(bytes, 0x5A);
        std::string text = FormatSRecordImage(data.data(), data.size(), 0, 32);
        std::vector<char> enciphered = EncipherDataFile(text, key);
        return std::string(enciphered.begin(), enciphered.end());
    };
    struct Case {
        const char* name;
        std::string config;
        std::string image;  // cp_demo's new content ("" keeps the kit's)
    };
    const std::string demo = DemoConfigText();
    const Case cases[] = {
        {"codeplug mode 4", Replace(demo, "R01.00,01,01,03,01", "R01.00,01,01,04,01"), ""},
        {"mode 3 with no codeplug image",
         Replace(demo, "DM450,000000000,0000000000,01,00,STD,cp_demo", "DM450,000000000,0000000000,01,00,STD,#"), ""},
        {"codeplug structure type 4", Replace(demo, key + "\n01\n", key + "\n04\n"), ""},
        {"an image larger than its 32 KB buffer", demo, image(0x8000 + 32)},
        {"an image from which no region can be derived", demo, image(64)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        kit.SetConfig(c.config);
        if (!c.image.empty())
            kit.WriteFile("cp_demo", c.image);
        ASSERT_TRUE(Start(true));
        TakeBoxes();
        ProgramOutcome outcome = Form().OnProgram();
        EXPECT_EQ(outcome.end, ProgramEnd::KitUnusable) << ProgramEndName(outcome.end) << ": " << outcome.detail;
        EXPECT_EQ(TakeBoxes(), std::vector<std::string>{std::string(kInvalidOperation) + ": " + kInvalidDataFile});
        EXPECT_EQ(outcome.engineRuns, 0);
        std::vector<uint8_t> now = rig->Radio().Memory().Codeplug();
        now[0x3FF0] = before[0x3FF0];  // the identity mark is written before verification
        EXPECT_TRUE(now == before) << "the codeplug is as it was";
        EXPECT_EQ(rig->Radio().GetMode(), CSimRadio::Mode::Application) << "the radio still runs its firmware";
        EXPECT_TRUE(Records().empty());
        kit.SetConfig(demo);
        kit.WriteFile("cp_demo", ReadKitFile("cp_demo"));
    }
}

// A failed flash leaves no process-wide state behind: the next press, on another radio in the
// same run of the program, verifies and upgrades it.
TEST_F(PressSequenceTest, APressAfterAFailedFlashStartsClean)
{
    Fresh();
    Fault("nack:stage=firmware,nth=40,count=9,times=9");
    ScriptedUi().answers.assign({IDOK, IDCANCEL});
    ASSERT_EQ(Form().OnProgram().end, ProgramEnd::EngineFailed);
    // Another radio of the same model is connected; the failed one's record stays for it.
    fs::path record = Records().at(0);
    RadioProfile other = Profile("demo");
    other.status[11] = std::vector<uint8_t>{'4', '5', '0', '0', '0', '0', '0', '0', '9', '9'};
    Attach(other);
    rig->Radio().SetAutoBootstrap(true);
    ScriptedUi().answers.clear();
    TakeBoxes();
    ProgramOutcome next = Form().OnProgram();
    EXPECT_EQ(next.end, ProgramEnd::Updated) << ProgramEndName(next.end) << ": " << next.detail;
    const auto& codeplug = rig->Radio().Memory().Codeplug();
    EXPECT_TRUE(Contains(codeplug, kOwnSerial)) << "its own data, read from it, not the other radio's record";
    EXPECT_EQ(Records(), std::vector<fs::path>{record}) << "the first radio's record is kept for it";
}

// Ctrl-C on a terminal while the radio is written: the first only warns, a second stops, and
// the stop ends like a failure of that stage, with the retry question. SIGTERM stops at once.
TEST_F(PressSequenceTest, AStopWhileTheRadioIsWrittenEndsWithTheRetryQuestion)
{
    struct Case {
        const char* name;
        std::size_t atStep;        // the progress step the signals come at
        std::vector<int> signals;
        bool stops;
        int retryAnswer;           // the answer to the retry question, when it comes
        ProgramEnd end;
    };
    const std::size_t firmwareSteps = 2048;  // fw_128k's records, before the codeplug's chunks
    const Case cases[] = {
        {"one Ctrl-C during the firmware only warns", 100, {SIGINT}, false, IDOK, ProgramEnd::Updated},
        {"two during the firmware, then retry", 100, {SIGINT, SIGINT}, true, IDOK, ProgramEnd::Updated},
        {"two during the codeplug, then retry", firmwareSteps + 5, {SIGINT, SIGINT}, true, IDOK, ProgramEnd::Updated},
        {"SIGTERM during the codeplug, then cancel", firmwareSteps + 5, {SIGTERM}, true, IDCANCEL,
         ProgramEnd::EngineFailed},
    };
    SetStopConfirmation(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        ClearStopRequest();
        std::size_t steps = 0;
        ScriptedUi().onFrameMessage = [&](const CScriptedUi::FrameMessage& m) {
            if (m.message == WM_PROGRESS_STEP && ++steps == c.atStep)
                for (int signal : c.signals)
                    RequestStop(signal);
        };
        ScriptedUi().answers.assign({IDOK, c.retryAnswer});  // the bootstrap prompt, the retry question
        ProgramOutcome outcome = Form().OnProgram();
        ScriptedUi().onFrameMessage = nullptr;
        EXPECT_EQ(outcome.end, c.end) << ProgramEndName(outcome.end) << ": " << outcome.detail;
        std::vector<std::string> boxes = TakeBoxes();
        bool asked = std::find(boxes.begin(), boxes.end(), std::string(kError) + ": " + kUpdateError) != boxes.end();
        EXPECT_EQ(asked, c.stops);
        if (c.end == ProgramEnd::Updated) {
            EXPECT_FALSE(StopRequested()) << "a retry goes on without the stop";
            ExpectUpgradedWithOwnData();
        } else {
            EXPECT_EQ(Records().size(), 1u) << "the radio's own data stays recorded";
        }
    }
    ClearStopRequest();
    SetStopConfirmation(false);
}
