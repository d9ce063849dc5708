#include "cli/PortOptions.h"
#include "errors/Error.h"
#include "link/VeskBroker.h"
#include "platform/SettingsStore.h"
#include "platform/StopRequest.h"
#include "tests/link/LinkFixture.h"
#include "tests/support/ScratchDirectory.h"
#include "tests/support/SignalDispositions.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// A command's link on the simulated line; the radio answers every read, and a signal arrives
// while it answers the third: the command stops before the fourth request is sent.
class StopSignalTest : public ::testing::Test {
protected:
    StopSignalTest()
    {
        ResetLinkFlags();
        ClearStopRequest();
        Settings().SetPath(settingsPath.string());
        scope.Platform().AttachPeer(&box);
        options.port = 1;
        options.echo = "on";
    }
    ~StopSignalTest() override
    {
        ClearStopRequest();
        ResetLinkFlags();
    }

    CDefaultStopSignals signals;
    CScratchDirectory scratch{"tessarin-stop"};
    std::filesystem::path settingsPath = scratch.Path() / "settings.ini";
    CSimPlatformScope scope;
    CScriptedPeer radio{scope.Platform().Serial()};
    CInterfaceBox box{scope.Platform().Serial(), radio, true};
    PortOptions options;
};

TEST_F(StopSignalTest, SignalStopsBetweenFramesAndTheLinkIsClosed)
{
    struct Case {
        int signal;
        const char* name;
        int status;
    };
    const Case cases[] = {{SIGINT, "SIGINT", 130}, {SIGTERM, "SIGTERM", 143}, {SIGHUP, "SIGHUP", 129}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = radio.Requests().size();
        radio.SetHandler([&](const CScriptedPeer::Request&) {
            if (radio.Requests().size() - before == 3)
                std::raise(c.signal);  // delivered now: the handler only records it
            return CScriptedPeer::Reply(0x80, {0x01, 0x00, 0x00, 0x5A});
        });
        CVeskBroker broker;
        std::string stopText;
        int reads = 0;
        try {
            CRadioLink link(broker, options, stderr);
            uint8_t byte = 0;
            for (; reads < 10; ++reads)
                broker.ReadRequest(0, 1, &byte);
        } catch (const CGenError& error) {
            stopText = error.GetText();
        }
        EXPECT_EQ(reads, 3) << "the third read completed; the fourth was never sent";
        EXPECT_EQ(radio.Requests().size() - before, 3u);
        EXPECT_TRUE(radio.Pending().empty()) << "no frame was cut off";
        EXPECT_EQ(stopText.rfind(std::string("Stopped on ") + c.name + " before the next request was sent", 0), 0u)
            << stopText;
        EXPECT_FALSE(broker.IsLinkOpen());
        EXPECT_EQ(CDefaultStopSignals::Disposition(c.signal), SIG_DFL) << "the default action is back after the command";

        std::FILE* err = std::tmpfile();
        EXPECT_EQ(ReportRadioStop(err, 1), c.status);
        std::rewind(err);
        char line[512] = {};
        EXPECT_NE(std::fgets(line, sizeof line, err), nullptr);
        std::fclose(err);
        EXPECT_NE(std::string(line).find("The port was closed with its line settings restored"), std::string::npos)
            << line;
        ClearStopRequest();
    }
}

}  // namespace
