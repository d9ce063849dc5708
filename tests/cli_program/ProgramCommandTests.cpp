// `tessarin program` and `tessarin plan` on the simulated line: exit statuses, the refusal to
// run unattended without --yes, the JSON summary.
#include "cli/ProgramCommand.h"
#include "platform/SettingsStore.h"
#include "app/WorkflowFlags.h"
#include "tests/app/WorkflowFixture.h"
#include "tests/support/Capture.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace {

class ProgramCommandTest : public WorkflowTest {
protected:
    ProgramCommandTest()
    {
        settingsPath = fs::temp_directory_path() / ("tessarin-program-" + std::to_string(getpid()) + ".ini");
        fs::remove(settingsPath);
        Settings().SetPath(settingsPath.string());
        options.kit = kit.Path().string();
        options.port.port = 1;
        options.port.echo = "on";
    }
    ~ProgramCommandTest() override { fs::remove(settingsPath); }

    int Run(bool interactive = false, const std::string& input = "")
    {
        Capture in(input);
        ProgramStreams io{out.File(), err.File(), in.File(), interactive, false};
        return RunProgram(options, io);
    }

    fs::path settingsPath;
    ProgramOptions options;
    Capture out;
    Capture err;
};

} // namespace

TEST_F(ProgramCommandTest, RefusesToRunUnattendedWithoutYes)
{
    Attach(Profile("demo"));
    EXPECT_EQ(Run(false), kExitUsage);
    EXPECT_NE(err.Text().find("--yes"), std::string::npos) << err.Text();
    EXPECT_EQ(CodeplugByte(0x3FF0), 0) << "nothing was sent to the radio";
}

TEST_F(ProgramCommandTest, ExitStatuses)
{
    struct Case {
        const char* name;
        const char* profile;  // empty: no radio on the line
        bool kitUsable;
        std::string input;    // answers typed on the terminal; empty: --yes
        int status;
    };
    const Case cases[] = {
        {"radio of another series", "unmatched", true, "", kExitRefused},
        {"no radio on the line", "", true, "", kExitFailed},
        {"kit without configuration", "demo", false, "", kExitKitUnusable},
        {"bootstrap prompt cancelled on the terminal", "demo", true, "2\ncancel\n", kExitCancelled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetWorkflowFlags();
        if (rig)
            scope.Clock().AdvanceBy(2.0);
        rig.reset();
        scope.Platform().AttachPeer(nullptr);
        if (*c.profile)
            Attach(Profile(c.profile));
        kit.SetConfig(DemoConfigText());
        if (!c.kitUsable)
            kit.Remove("patcher.dat");
        options.answers.yes = c.input.empty();
        EXPECT_EQ(Run(!c.input.empty(), c.input), c.status) << out.Text() << err.Text();
    }
}

TEST_F(ProgramCommandTest, JsonSummaryOfARefusal)
{
    Attach(Profile("unmatched"));
    options.answers.yes = true;
    options.json = true;
    EXPECT_EQ(Run(), kExitRefused);
    std::string text = out.Text();
    auto summary = nlohmann::json::parse(text);
    EXPECT_EQ(summary["outcome"], "refused");
    EXPECT_EQ(summary["exitStatus"], kExitRefused);
    EXPECT_EQ(summary["engineResult"], -1);
    ASSERT_EQ(summary["messages"].size(), 1u);
    EXPECT_EQ(summary["messages"][0]["caption"], "Error");
    EXPECT_EQ(summary["messages"][0]["text"],
              "Verification of radio failed. The current radio is not of the supported radio series");
    // The human account went to stderr, so that stdout is the JSON alone.
    EXPECT_NE(err.Text().find("[Error]"), std::string::npos);
}

TEST_F(ProgramCommandTest, PlanWritesNothing)
{
    Attach(Profile("demo"));
    options.json = true;
    Capture in;
    ProgramStreams io{out.File(), err.File(), in.File(), false, false};
    EXPECT_EQ(RunPlan(options, io), 0) << err.Text();
    auto summary = nlohmann::json::parse(out.Text());
    EXPECT_EQ(summary["outcome"], "planned");
    EXPECT_EQ(summary["plan"]["codeplugMode"], 3);
    EXPECT_EQ(summary["codeplugFile"], "cp_demo");
    EXPECT_EQ(summary["patchEntries"].size(), 5u);
    EXPECT_EQ(CodeplugByte(0x3FF0), 0);
}

TEST_F(ProgramCommandTest, PortAndEchoDefaultToTheSavedSettings)
{
    Attach(Profile("unmatched"));
    Settings().WriteDword("Communication", "Port ID", 7);
    options.port.port = 0;
    options.port.echo.clear();
    options.answers.yes = true;
    options.json = true;
    EXPECT_EQ(Run(), kExitRefused);
    int port = 0;
    EXPECT_TRUE(Settings().ReadDword("Communication", "ORX Echo Type", port));
}
