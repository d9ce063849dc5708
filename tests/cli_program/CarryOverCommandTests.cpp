// `tessarin carryover list` and `tessarin carryover restore` on the simulated line: the record
// a failed Program press left is written back only into its own radio holding the new image,
// and removed only then; every refusal writes nothing, keeps the record and exits 3.
#include "cli/CarryOverCommand.h"
#include "app/WorkflowFlags.h"
#include "cli/ProgramCommand.h"
#include "platform/SettingsStore.h"
#include "sim/model/FaultPlan.h"
#include "tests/app/WorkflowFixture.h"
#include "tests/support/Capture.h"
#include "upgrade/CarryOver.h"

#include <gmock/gmock.h>

#include <fstream>
#include <functional>
#include <regex>

namespace {

using ::testing::HasSubstr;

// The demo radio's codeplug: the programmed region, its own serial number data in entry 0
// (11 bytes at 0x113) and its tuning entry (64 bytes at 0x23).
constexpr uint32_t kDemoRegionEnd = 0x221;
constexpr uint32_t kDemoWrites = (kDemoRegionEnd + 31) / 32;

class CarryOverCommandTest : public WorkflowTest {
protected:
    CarryOverCommandTest()
    {
        settingsPath = fs::temp_directory_path() / ("tessarin-carryover-" + std::to_string(getpid()) + ".ini");
        fs::remove(settingsPath);
        Settings().SetPath(settingsPath.string());
        fs::remove_all(store.Directory());
        restore.port.port = 1;
        restore.port.echo = "on";
    }
    ~CarryOverCommandTest() override
    {
        fs::remove(settingsPath);
        fs::remove_all(store.Directory());
        ResetWorkflowFlags();
    }

    // A Program press on the demo radio whose first write of the radio's own data back is
    // refused every time: the radio holds the new image without its data, the record stays.
    std::string FailedPress()
    {
        Attach(Profile("demo"));
        rig->Radio().SetAutoBootstrap(true);
        oldCodeplug = rig->Radio().Memory().Codeplug();
        FaultRule refuse;
        refuse.kind = FaultKind::Nack;
        refuse.op = FaultOp::CodeplugWrite;
        refuse.nth = 1 + kDemoWrites + 1;  // after the identity mark and the programming loop
        refuse.count = 4;                  // every attempt of the exchange
        rig->Radio().AddFault(refuse);
        ProgramOptions program;
        program.kit = kit.Path().string();
        program.port = restore.port;
        program.answers.yes = true;
        program.answers.retries = 0;
        Capture out, err, in;
        EXPECT_EQ(RunProgram(program, {out.File(), err.File(), in.File(), false, false}), kExitFailed)
            << out.Text() << err.Text();
        EXPECT_EQ(store.List().size(), 1u);
        // The press left the radio at the codeplug rate; it is switched off and on again.
        rig->Radio().SetAutoBootstrap(false);
        rig->Radio().PowerCycle(false);
        scope.Clock().AdvanceBy(1.0);
        return store.List().empty() ? std::string() : store.List()[0].string();
    }

    int Restore(const std::string& file, Capture& o, Capture& e, const std::string& input = "")
    {
        restore.file = file;
        restore.yes = input.empty();
        Capture in(input);
        return RunCarryOverRestore(restore, {o.File(), e.File(), in.File()});
    }
    int Restore(const std::string& file, const std::string& input = "") { return Restore(file, out, err, input); }

    std::vector<uint8_t> Bytes(uint32_t address, uint32_t count)
    {
        const auto& m = rig->Radio().Memory().Codeplug();
        return {m.begin() + address, m.begin() + address + count};
    }

    fs::path settingsPath;
    CCarryOverStore store;
    CarryOverRestoreOptions restore;
    std::vector<uint8_t> oldCodeplug;
    Capture out;
    Capture err;
};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

} // namespace

TEST_F(CarryOverCommandTest, RestoresIntoTheReprogrammedRadioAndRemovesTheRecord)
{
    std::string file = FailedPress();
    ASSERT_NE(Bytes(0x113, 11), std::vector<uint8_t>(oldCodeplug.begin() + 0x113, oldCodeplug.begin() + 0x113 + 11))
        << "the press left the radio without its own serial number";
    EXPECT_EQ(Restore(file), 0) << out.Text() << err.Text();
    const std::string text = out.Text();
    EXPECT_THAT(text, HasSubstr("the record's radio:    model DM450, serial 4500000042, radio code P5"));
    EXPECT_THAT(text, HasSubstr("the radio on the port: model DM450, serial 4500000042, radio code P5"));
    EXPECT_THAT(text, HasSubstr("Restored and read back; the record " + file + " is removed."));
    EXPECT_TRUE(store.List().empty());
    EXPECT_EQ(Bytes(0x113, 11), std::vector<uint8_t>(oldCodeplug.begin() + 0x113, oldCodeplug.begin() + 0x113 + 11));
    EXPECT_EQ(Bytes(0x23, 64), std::vector<uint8_t>(oldCodeplug.begin() + 0x23, oldCodeplug.begin() + 0x23 + 64));
}

TEST_F(CarryOverCommandTest, RefusalsWriteNothingAndKeepTheRecord)
{
    struct Case {
        const char* name;
        std::function<void(std::string& recordText)> change;
        const char* refusal;
    };
    const Case cases[] = {
        {"a radio still holding its old codeplug",
         [this](std::string&) { Attach(Profile("demo")); },
         "The radio does not hold the codeplug image the record was carried into"},
        {"another radio",
         [this](std::string&) {
             RadioProfile other = Profile("demo");
             other.status[11] = {'4', '5', '0', '0', '0', '0', '0', '0', '9', '9'};
             Attach(other);
         },
         "The radio on the port is not the radio the record was saved from: the radio is model DM450, serial "
         "4500000099, radio code P5, the record's is model DM450, serial 4500000042"},
        {"codeplug mode 0",
         [](std::string& text) {
             text = std::regex_replace(text, std::regex("codeplug-mode = 3"), "codeplug-mode = 0");
         },
         "holds nothing to write back"},
        {"no saved data",
         [](std::string& text) {
             text = std::regex_replace(text, std::regex("item [^\n]*\n"), "");
         },
         "holds none of the radio's own data"},
        {"a record of format 1",
         [](std::string& text) {
             text = std::regex_replace(text, std::regex("format = 2"), "format = 1");
             text = std::regex_replace(text, std::regex("\n(model|serial|fingerprint) = [^\n]*"), "");
         },
         "cannot be checked against the radio on the port"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(store.Directory());
        std::string file = FailedPress();
        std::string text = ReadFile(file);
        c.change(text);
        WriteFile(file, text);
        std::vector<uint8_t> before = rig->Radio().Memory().Codeplug();
        Capture o, e;
        EXPECT_EQ(Restore(file, o, e), kExitRefused) << o.Text() << e.Text();
        EXPECT_THAT(e.Text(), HasSubstr(c.refusal));
        EXPECT_THAT(e.Text(), HasSubstr("Nothing was written to the radio; the record " + file + " is kept."));
        EXPECT_EQ(rig->Radio().Memory().Codeplug(), before) << "nothing was written";
        EXPECT_EQ(store.List().size(), 1u) << "the record is kept";
    }
}

TEST_F(CarryOverCommandTest, ADeclinedQuestionWritesNothingAndKeepsTheRecord)
{
    std::string file = FailedPress();
    std::vector<uint8_t> before = rig->Radio().Memory().Codeplug();
    EXPECT_EQ(Restore(file, "n\n"), kExitFailed);
    EXPECT_THAT(out.Text(), HasSubstr("Write the saved tuning and serial-number data into this radio? [y/N]"));
    EXPECT_THAT(out.Text(), HasSubstr("Nothing was written; the record is kept."));
    EXPECT_EQ(rig->Radio().Memory().Codeplug(), before);
    EXPECT_EQ(store.List().size(), 1u);
}

TEST_F(CarryOverCommandTest, ListShowsEachRecordsRadioStageAndWhatToDo)
{
    std::string file = FailedPress();
    const std::string bad = (store.Directory() / "carryover-20000101-000000-XX.txt").string();
    WriteFile(bad, "not a record\n");
    Capture in;
    EXPECT_EQ(RunCarryOverList({out.File(), err.File(), in.File()}), 0);
    const std::string text = out.Text();
    EXPECT_THAT(text, HasSubstr(file + "\n  saved "));
    EXPECT_THAT(text, HasSubstr(", stage codeplug-saved: model DM450, serial 4500000042, radio code P5\n"));
    EXPECT_THAT(text, HasSubstr("to do: Press Program again on that radio with the kit in "));
    EXPECT_THAT(text, HasSubstr(kit.Path().filename().string() + " to finish its upgrade. Or give back only its own "
                                "data: tessarin carryover restore " + file + " --port N"));
    EXPECT_THAT(text, HasSubstr(bad + "\n  unreadable, not used: "));
}
