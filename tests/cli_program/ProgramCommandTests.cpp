// `tessarin program` and `tessarin plan` on the simulated line: exit statuses, the refusal to
// run unattended without --yes, the JSON summary.
#include "cli/ProgramCommand.h"
#include "cli/TerminalUi.h"
#include "app/FormMessages.h"
#include "platform/SettingsStore.h"
#include "app/WorkflowFlags.h"
#include "platform/FlashWriteMode.h"
#include "platform/StopRequest.h"
#include "tests/app/WorkflowFixture.h"
#include "tests/support/Capture.h"
#include "tests/support/ScratchDirectory.h"
#include "tests/support/SignalDispositions.h"

#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdio>
#include <functional>

namespace {

class ProgramCommandTest : public WorkflowTest {
protected:
    ProgramCommandTest()
    {
        Settings().SetPath(settingsPath.string());
        options.kit = kit.Path().string();
        options.port.port = 1;
        options.port.echo = "on";
    }

    int Run(bool interactive = false, const std::string& input = "")
    {
        Capture in(input);
        ProgramStreams io{out.File(), err.File(), in.File(), interactive, false};
        return RunProgram(options, io);
    }

    CScratchDirectory scratch{"tessarin-program"};
    fs::path settingsPath = scratch.Path() / "settings.ini";
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

namespace {

// The radio's requests so far that did `what` ("write 32 at 00": codeplug chunks, "write 32 at
// 4": firmware records).
std::size_t FramesDoing(CSimRadio& radio, const std::string& what)
{
    std::size_t n = 0;
    for (const auto& entry : radio.Trace().Of("frame"))
        n += entry.note.find(": " + what) != std::string::npos ? 1 : 0;
    return n;
}

std::size_t BootcodeBlocks(CSimRadio& radio) { return radio.Trace().Of("block").size(); }

} // namespace

// A stop (Ctrl-C, a closed terminal) during a whole upgrade: the run ends at the next safe point
// with nothing cut off, the port closed and given back, no retry offered, the exit status of the
// signal, and words for what the radio holds.
struct StopCase {
    const char* name;
    int signal;
    std::function<bool(CSimRadio&)> when;  // the stop is raised once this holds
    const char* state;                     // what the output says about the radio
    int status;
};

class ProgramStopTest : public ProgramCommandTest, public ::testing::WithParamInterface<StopCase> {
protected:
    CDefaultStopSignals signals;
    ~ProgramStopTest() override
    {
        ClearStopRequest();
        // A stopped firmware run leaves the flash write mode on, as any failed one does.
        FlashWriteMode = 0;
        ResetWorkflowFlags();
    }
};

TEST_P(ProgramStopTest, EndsAtASafePointAndSaysWhatTheRadioHolds)
{
    const StopCase& c = GetParam();
    ClearStopRequest();
    Attach(Profile("demo"));
    rig->Radio().SetAutoBootstrap(true);
    kit.SetConfig(DemoConfigText());
    options.answers.yes = true;
    CSimRadio& radio = rig->Radio();
    // Looks every 5 ms of line time; the signal is raised on the thread that runs the upgrade,
    // between two bytes, wherever the exchange happens to be.
    std::function<void()> watch = [&] {
        if (c.when(radio))
            std::raise(c.signal);
        else
            scope.Clock().Schedule(scope.Clock().Now() + 0.005, watch);
    };
    scope.Clock().Schedule(scope.Clock().Now() + 0.005, watch);

    EXPECT_EQ(Run(), c.status) << out.Text() << err.Text();
    const std::string text = out.Text();
    EXPECT_NE(text.find(c.state), std::string::npos) << text;
    EXPECT_NE(text.find("the port was closed with its line settings restored and its hold released"),
              std::string::npos) << text;
    EXPECT_EQ(text.find("Retry"), std::string::npos) << "no retry is offered after a stop: " << text;
    EXPECT_EQ(scope.Platform().Serial().GetPortNumber(), 0u) << "the port is closed";
    EXPECT_NE(scope.Platform().GetSerial(), nullptr) << "the port was given back";
    scope.Platform().ReleaseSerial();
    // Nothing was cut off: the radio heard no frame it could not finish.
    EXPECT_TRUE(radio.Trace().Of("dropped").empty());
    EXPECT_EQ(CDefaultStopSignals::Disposition(c.signal), SIG_DFL) << "the default action is back after the command";
}

INSTANTIATE_TEST_SUITE_P(
    Stages, ProgramStopTest,
    ::testing::Values(
        StopCase{"BootCode", SIGINT, [](CSimRadio& r) { return BootcodeBlocks(r) >= 20; },
                 "it is still in bootstrap mode", 130},
        StopCase{"Firmware", SIGTERM, [](CSimRadio& r) { return FramesDoing(r, "write 32 at 4") >= 100; },
                 "firmware is erased and the new firmware is not completely written", 143},
        StopCase{"Codeplug", SIGHUP, [](CSimRadio& r) { return FramesDoing(r, "write 32 at 00") >= 3; },
                 "tessarin carryover restore", 129}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// Not on a terminal, the progress is a line per stage: every stage the demo kit plans, in the
// order the radio goes through them, each with the time left.
TEST_F(ProgramCommandTest, PlainProgressNamesEachStageInOrder)
{
    Attach(Profile("demo"));
    rig->Radio().SetAutoBootstrap(true);
    options.answers.yes = true;
    options.answers.flashBaud = 115200;
    ASSERT_EQ(Run(), kExitUpdated) << out.Text() << err.Text();
    const std::string text = out.Text();
    std::size_t at = 0;
    for (const char* stage : {"Stage 1 of 6: Bootstrap, about ", "Stage 2 of 6: Boot code, about ",
                              "Stage 3 of 6: Erase, about ", "Stage 4 of 6: Firmware, about ",
                              "Stage 5 of 6: Codeplug programming, about ", "Stage 6 of 6: Patches, about "}) {
        std::size_t found = text.find(stage, at);
        ASSERT_NE(found, std::string::npos) << stage << " after offset " << at << " in\n" << text;
        at = found;
    }
}

// What the workflow says it does (the second press of a recovery the command makes itself, the
// form's word at the start of that press) is a line of its own between the stage lines.
TEST(TerminalUi, ActivitiesAndStagesArePlainLines)
{
    Capture out;
    Capture in("");
    CTerminalUi ui(out.File(), in.File(), false, TerminalAnswers{});
    ProgressReport codeplug;
    codeplug.stageNumber = 1;
    codeplug.stageCount = 2;
    codeplug.stageName = "Codeplug programming";
    codeplug.secondsLeft = 4;
    ui.ShowProgress(codeplug);
    ProgressReport later = codeplug;
    later.secondsLeft = 3;
    ui.ShowProgress(later);
    ui.ShowProgress(ProgressReport{});
    ui.ShowActivity(PressText::kPressingAgain);
    ui.ShowActivity(PressText::kSecondRecoveryPress);
    EXPECT_EQ(out.Text(), std::string("Stage 1 of 2: Codeplug programming, about 0:04 left\n") +
                              PressText::kPressingAgain + "\n" + PressText::kSecondRecoveryPress + "\n");
}
