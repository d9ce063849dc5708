// The journal of presses as `tessarin program` writes it: one entry a press, with what the
// press saw and did.
#include "app/PressJournal.h"
#include "app/WorkflowFlags.h"
#include "cli/ProgramCommand.h"
#include "platform/SettingsStore.h"
#include "tests/app/WorkflowFixture.h"
#include "tests/support/Capture.h"
#include "upgrade/CarryOver.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <regex>

namespace {

using json = nlohmann::json;

class JournalTest : public WorkflowTest {
protected:
    JournalTest()
    {
        const char* previous = std::getenv("TESSARIN_STATE_DIR");
        previousStateDir = previous ? previous : "";
        ::setenv("TESSARIN_STATE_DIR", stateDir.c_str(), 1);
        settingsPath = stateDir.parent_path() / ("journal-settings-" + std::to_string(getpid()) + ".ini");
        Settings().SetPath(settingsPath.string());
        options.kit = kit.Path().string();
        options.port.port = 1;
        options.port.echo = "on";
        options.answers.yes = true;
    }
    ~JournalTest() override
    {
        ::setenv("TESSARIN_STATE_DIR", previousStateDir.c_str(), 1);
        fs::remove(settingsPath);
    }

    int Run()
    {
        Capture in;
        ProgramStreams io{out.File(), err.File(), in.File(), false, false};
        return RunProgram(options, io);
    }

    std::vector<json> Entries() const
    {
        std::vector<json> entries;
        std::ifstream in(PressJournalFile(CCarryOverStore(stateDir)));
        for (std::string line; std::getline(in, line);)
            entries.push_back(json::parse(line));
        return entries;
    }

    std::string previousStateDir;
    fs::path settingsPath;
    ProgramOptions options;
    Capture out;
    Capture err;
};

} // namespace

TEST_F(JournalTest, EveryPressAppendsOneEntry)
{
    Attach(Profile("demo"));
    rig->Radio().SetAutoBootstrap(true);
    kit.SetConfig(DemoConfigText());
    ASSERT_EQ(Run(), kExitUpdated) << out.Text() << err.Text();
    // The same radio again: refused as already upgraded, a second entry.
    ResetWorkflowFlags();
    scope.Clock().AdvanceBy(2.0);
    EXPECT_EQ(Run(), kExitRefused) << out.Text() << err.Text();

    const std::vector<json> entries = Entries();
    ASSERT_EQ(entries.size(), 2u);
    const json& press = entries[0];
    SCOPED_TRACE(press.dump());
    EXPECT_TRUE(std::regex_match(press["time"].get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
        << press["time"];
    EXPECT_FALSE(press["host"].get<std::string>().empty());
    EXPECT_FALSE(press["user"].get<std::string>().empty());
    EXPECT_EQ(press["frontEnd"], "command line");
    EXPECT_EQ(press["port"]["number"], 1);
    EXPECT_FALSE(press["kit"]["title"].get<std::string>().empty());
    EXPECT_EQ(press["kit"]["folder"], fs::absolute(kit.Path()).lexically_normal().string());
    EXPECT_TRUE(std::regex_match(press["kit"]["fingerprint"].get<std::string>(), std::regex("[0-9a-f]{16}")));
    EXPECT_FALSE(press["radio"]["model"].get<std::string>().empty());
    EXPECT_FALSE(press["radio"]["serial"].get<std::string>().empty());
    EXPECT_TRUE(press["radioAfter"].is_null());
    EXPECT_EQ(press["plan"]["codeplugMode"], 3);
    EXPECT_EQ(press["plan"]["flashFirmware"], true);
    EXPECT_EQ(press["outcome"], "updated");
    EXPECT_EQ(press["exitStatus"], kExitUpdated);
    EXPECT_EQ(press["stage"], "patching");
    EXPECT_GE(press["durationSeconds"].get<double>(), 0.0);
    ASSERT_FALSE(press["messages"].empty());
    EXPECT_EQ(press["messages"].back()["caption"], "NOTE");
    EXPECT_EQ(press["messages"].back()["answer"], "OK");
    ASSERT_TRUE(press["record"].is_string()) << "the record it saved, removed once the radio was finished";
    EXPECT_FALSE(fs::exists(press["record"].get<std::string>()));
    EXPECT_TRUE(press["log"].is_null()) << "no error log without --log";

    const json& again = entries[1];
    SCOPED_TRACE(again.dump());
    EXPECT_EQ(again["outcome"], "refused");
    EXPECT_EQ(again["exitStatus"], kExitRefused);
    EXPECT_EQ(again["kit"]["fingerprint"], press["kit"]["fingerprint"]);
    EXPECT_EQ(again["stage"], "not-started");
    EXPECT_TRUE(again["record"].is_null());
    EXPECT_TRUE(again["plan"].is_null());
    ASSERT_EQ(again["messages"].size(), 1u) << "only the messages of its own press";
    EXPECT_EQ(again["messages"][0]["caption"], "Error");
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenDoesNotFailThePress)
{
    Attach(Profile("unmatched"));
    fs::create_directories(stateDir);
    fs::create_symlink("/nonexistent/journal", PressJournalFile(CCarryOverStore(stateDir)));
    EXPECT_EQ(Run(), kExitRefused) << "the press's own status";
    EXPECT_NE(err.Text().find("The press was not written to the journal"), std::string::npos) << err.Text();
}
