#include "cli/Commands.h"
#include "cli/RadioCommand.h"
#include "link/LinkTrace.h"
#include "platform/SettingsStore.h"
#include "tests/support/Capture.h"
#include "tests/link/LinkFixture.h"
#include "tests/support/ScratchDirectory.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>

namespace {

// The radio commands against the simulated line: a scripted radio behind an interface box that
// echoes or not, the settings in a scratch file, the trace stamped with virtual time.
class RadioCommandTest : public ::testing::Test {
protected:
    RadioCommandTest()
    {
        ResetLinkFlags();
        settingsPath = scratch.File("settings.ini");
        Settings().SetPath(settingsPath.string());
        scope.Platform().AttachPeer(&box);
        options.port = 1;
        options.echo = "on";
    }
    ~RadioCommandTest() override { ResetLinkFlags(); }
    RadioStreams Io() { return {out.File(), err.File()}; }

    CScratchDirectory scratch{"tessarin-radio"};
    std::filesystem::path settingsPath;
    CSimPlatformScope scope;
    CScriptedPeer radio{scope.Platform().Serial()};
    CInterfaceBox box{scope.Platform().Serial(), radio, true};
    PortOptions options;
    Capture out;
    Capture err;
};

} // namespace

TEST_F(RadioCommandTest, StatusPrintsTextOrDumpsBytes)
{
    struct Case {
        Response reply;
        std::string printed;
    };
    Bytes id{0x0F, 'R', 'X', 0x00, 0x7F, 0xC3};
    const Case cases[] = {
        {CScriptedPeer::Reply(0x8B, {0x0F, 'A', 'B', 'C'}), "ABC\n"},
        {CScriptedPeer::Reply(0x8B, id), "RX...\n52 58 00 7F C3\n"},
        {CScriptedPeer::Reply(0x86, {}),
         "................\n00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"},
    };
    for (const Case& c : cases) {
        Capture o, e;
        radio.Push(c.reply);
        EXPECT_EQ(RunRadioStatus(options, "0x0F", {o.File(), e.File()}), 0);
        EXPECT_EQ(o.Text(), c.printed);
        EXPECT_EQ(e.Text(), "");
    }
}

TEST_F(RadioCommandTest, ReadPrintsSixteenBytesALine)
{
    Bytes reply{0x14, 0x00, 0x01};
    for (int i = 0; i < 20; ++i)
        reply.push_back(static_cast<uint8_t>(i));
    radio.Push(CScriptedPeer::Reply(0x80, reply));
    EXPECT_EQ(RunRadioRead(options, "256", "20", Io()), 0);
    EXPECT_EQ(out.Text(), "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n10 11 12 13\n");
    ASSERT_EQ(radio.Requests().size(), 1u);
    EXPECT_EQ(radio.Requests()[0].bytes, CScriptedPeer::Frame(0x11, {0x14, 0x00, 0x01, 0x00}));
}

TEST_F(RadioCommandTest, ShortReadPrintsWhatCameAndFails)
{
    radio.Push(CScriptedPeer::Reply(0x80, {0x04, 0x00, 0x00, 0xAA, 0xBB}));
    EXPECT_EQ(RunRadioRead(options, "0", "4", Io()), 1);
    EXPECT_EQ(out.Text(), "AA BB\n");
    EXPECT_EQ(err.Text(), "The radio returned 2 of the 4 bytes asked for\n");
}

TEST_F(RadioCommandTest, WriteEraseReset)
{
    radio.Push(CScriptedPeer::Reply(0x84, {}));
    EXPECT_EQ(RunRadioWrite(options, "0x3FF0", "5A a5", Io()), 0);
    radio.Push(CScriptedPeer::Reply(0x84, {}));
    EXPECT_EQ(RunRadioErase(options, Io()), 0);
    radio.Push(CScriptedPeer::Ack());
    EXPECT_EQ(RunRadioReset(options, Io()), 0);
    EXPECT_EQ(out.Text(), "wrote 2 bytes at 0x003FF0\nflash erased\nreset sent\n");
    ASSERT_EQ(radio.Requests().size(), 3u);
    EXPECT_EQ(radio.Requests()[0].bytes, CScriptedPeer::Frame(0x17, {0x00, 0x3F, 0xF0, 0x5A, 0xA5}, true));
    EXPECT_EQ(radio.Requests()[1].bytes, CScriptedPeer::Frame(0x15, {0x40}));
    EXPECT_EQ(radio.Requests()[2].bytes, (Bytes{0xF1, 0x10, 0xFE}));
}

TEST_F(RadioCommandTest, RadioFailuresExitOneWithTheErrorText)
{
    for (int i = 0; i < 4; ++i)
        radio.Push(CScriptedPeer::Silence());
    EXPECT_EQ(RunRadioStatus(options, "15", Io()), 1);
    radio.Push(CScriptedPeer::Reply(0x80, {}));
    EXPECT_EQ(RunRadioWrite(options, "0", "00", Io()), 1);
    EXPECT_EQ(out.Text(), "");
    EXPECT_EQ(err.Text(), "Timeout occurred while sending VESK command\n"
                          "Did not received Good Write Reply for VESK Write Request\n");
}

TEST_F(RadioCommandTest, UnopenablePortSaysWhy)
{
    scope.Platform().Serial().SetUnplugged(true);
    EXPECT_EQ(RunRadioReset(options, Io()), 1);
    std::string text = err.Text();
    EXPECT_EQ(text.rfind("Unable to open communication port\n", 0), 0u) << text;
    EXPECT_GT(text.size(), std::string("Unable to open communication port\n").size()) << "the cause follows";
}

TEST_F(RadioCommandTest, UsageErrorsExitTwoAndSendNothing)
{
    using Run = std::function<int(const PortOptions&, RadioStreams)>;
    struct Case {
        const char* name;
        Run run;
    };
    auto read = [](const char* a, const char* c) {
        return Run([=](const PortOptions& o, RadioStreams io) { return RunRadioRead(o, a, c, io); });
    };
    auto write = [](const char* a, std::string h) {
        return Run([=](const PortOptions& o, RadioStreams io) { return RunRadioWrite(o, a, h, io); });
    };
    const Case cases[] = {
        {"count 0", read("0", "0")},
        {"count 256", read("0", "256")},
        {"count not a number", read("0", "12z")},
        {"negative address", read("-1", "1")},
        {"empty hex number", read("0x", "1")},
        {"address beyond 24 bits", read("0x1000000", "1")},
        {"selector 256", [](const PortOptions& o, RadioStreams io) { return RunRadioStatus(o, "256", io); }},
        {"bad hex digit", write("0", "0G")},
        {"odd hex digits", write("0", "ABC")},
        {"no bytes", write("0", " ")},
        {"252 bytes", write("0", std::string(504, 'A'))},
    };
    for (const Case& c : cases) {
        Capture o, e;
        EXPECT_EQ(c.run(options, {o.File(), e.File()}), 2) << c.name;
        EXPECT_NE(e.Text().find("tessarin radio: "), std::string::npos) << c.name;
    }
    PortOptions both = options;
    both.device = "/dev/ttyUSB7";
    PortOptions neither = options;
    neither.port = 0;
    for (const PortOptions& o : {both, neither}) {
        Capture e;
        EXPECT_EQ(RunRadioReset(o, {out.File(), e.File()}), 2);
        EXPECT_EQ(e.Text(), "tessarin radio: give the serial device with exactly one of --device PATH or --port N\n");
    }
    EXPECT_TRUE(radio.Requests().empty());
    radio.Push(CScriptedPeer::Reply(0x84, {}));
    EXPECT_EQ(RunRadioWrite(options, "0", std::string(502, 'A'), Io()), 0) << "251 bytes fit";
}

TEST_F(RadioCommandTest, EchoFollowsTheOptionThenTheSavedSetting)
{
    box.SetEcho(false);
    struct Case {
        const char* option;
        int saved;  // -1: nothing saved
        int status;
    };
    const Case cases[] = {
        {"off", -1, 0}, {"on", -1, 1},  // expecting an echo that never comes
        {"", -1, 1},    {"", 0, 0},     {"", 1, 1}, {"", 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " " + std::to_string(c.saved));
        if (c.saved >= 0) {
            ASSERT_TRUE(Settings().WriteDword(SettingsSection::kCommunication, "ORX Echo Type", c.saved));
        }
        options.echo = c.option;
        radio.SetHandler([](const CScriptedPeer::Request&) { return CScriptedPeer::Ack(); });
        Capture e;
        EXPECT_EQ(RunRadioReset(options, {out.File(), e.File()}), c.status) << e.Text();
    }
}

TEST_F(RadioCommandTest, BaudMovesTheLineAfterOpening)
{
    int seenBaud = 0;
    radio.SetHandler([&](const CScriptedPeer::Request&) {
        seenBaud = scope.Platform().Serial().HostSettings().baud;
        return CScriptedPeer::Ack();
    });
    options.baud = 19200;
    EXPECT_EQ(RunRadioReset(options, Io()), 0);
    EXPECT_EQ(seenBaud, 19200);
}

TEST_F(RadioCommandTest, TracePrintsEveryFrameWithTimeDeltas)
{
    options.trace = true;
    radio.Push(CScriptedPeer::Nack());
    radio.Push(CScriptedPeer::Reply(0x8B, {0x0F, 'O', 'K'}));
    EXPECT_EQ(RunRadioStatus(options, "15", Io()), 0);
    EXPECT_EQ(out.Text(), "OK\n");
    std::istringstream lines(err.Text());
    const std::regex line(R"(\+ *(\d+\.\d{3}) ms  (?:([<>]) ((?: [0-9A-F]{2})+)  (.+)|!  (.+)))");
    std::vector<std::string> seen;
    std::vector<double> deltas;
    for (std::string text; std::getline(lines, text);) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        seen.push_back(m[5].matched ? "! " + m[5].str() : m[2].str() + m[3].str() + " " + m[4].str());
        deltas.push_back(std::stod(m[1].str()));
    }
    const std::vector<std::string> want{
        "> F2 23 0F DB request", "< 60 ack",  "! Receive Negative Ack from external device",
        "> F2 23 0F DB request", "< 06 ack",  "< F4 8B 0F 4F 4B D7 reply",
    };
    EXPECT_EQ(seen, want);
    // On the virtual clock: the ack comes a few character times after the request is sent, the
    // reply 2 ms after the ack.
    ASSERT_EQ(deltas.size(), 6u);
    EXPECT_EQ(deltas[0], 0.0);
    EXPECT_GT(deltas[1], 1.0);
    EXPECT_LT(deltas[1], 10.0);
    EXPECT_GT(deltas[5], 2.0);
    EXPECT_LT(deltas[5], 10.0);
    EXPECT_EQ(GetLinkTraceSink(), nullptr) << "the printer is removed afterwards";
}

TEST(RadioCommandLine, DeviceAndPortExcludeEachOther)
{
    CLI::App app;
    int exitCode = -1;
    AddRadioCommands(app, exitCode);
    const char* argv[] = {"tessarin", "radio", "reset", "--device", "/dev/null", "--port", "2"};
    EXPECT_THROW(app.parse(7, const_cast<char**>(argv)), CLI::ParseError);
    CLI::App app2;
    AddRadioCommands(app2, exitCode);
    const char* bad[] = {"tessarin", "radio", "reset", "--port", "1", "--echo", "maybe"};
    EXPECT_THROW(app2.parse(7, const_cast<char**>(bad)), CLI::ParseError);
}
