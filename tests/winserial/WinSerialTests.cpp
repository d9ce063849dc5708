// The Windows serial port on a real COM device of the system: under Wine, a COM port backed
// by a pseudo-terminal whose far end is winserial_peer (PeerProtocol.h). The port's number
// comes from TESSARIN_TEST_COM_PORT; without it the tests are skipped. Break conditions and
// framing errors do not cross a pseudo-terminal: those paths are covered by the port's tests
// on the simulated line (tests/platform).
#include "errors/Error.h"
#include "platform/Serial.h"
#include "platform/WinSerial.h"
#include "tests/support/ErrorText.h"
#include "tests/winserial/PeerProtocol.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

// The port with its input count in view.
class ProbePort : public CWinSerial {
public:
    unsigned QueuedInput() { return InputQueueCount(); }
};

class WinSerialTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* number = std::getenv("TESSARIN_TEST_COM_PORT");
        if (number == nullptr || std::atoi(number) <= 0)
            GTEST_SKIP() << "TESSARIN_TEST_COM_PORT names no COM port (scripts/windows-tests.sh sets it)";
        portNumber = static_cast<unsigned>(std::atoi(number));
    }
    void TearDown() override { port.Close(); }

    void Open(int baud)
    {
        port.Configure(baud, 0, 0, 8);
        port.OpenPort(portNumber);
    }
    void Send(const std::vector<uint8_t>& bytes) { port.Write(bytes.data(), static_cast<unsigned>(bytes.size()), 2000); }
    std::vector<uint8_t> Receive(unsigned count)
    {
        std::vector<uint8_t> got(count);
        port.Read(got.data(), count, 2000);
        return got;
    }
    // The far end's answer to kAskRate: the rate the device was set to.
    std::string PeerRate()
    {
        Send({peer::kAskRate});
        std::string text;
        for (uint8_t byte = 0; text.size() < 16;) {
            port.Read(&byte, 1, 2000);
            if (byte == '\n')
                break;
            text += static_cast<char>(byte);
        }
        return text;
    }

    unsigned portNumber = 0;
    ProbePort port;
};

TEST_F(WinSerialTest, EveryByteValueCrossesBothWays)
{
    Open(115200);
    std::vector<uint8_t> bytes;
    for (unsigned value = 0; value < peer::kAskRate; ++value)
        bytes.push_back(static_cast<uint8_t>(value));
    Send(bytes);
    EXPECT_EQ(Receive(static_cast<unsigned>(bytes.size())), bytes);
}

// The rate configured before opening, and the rate changed on the open port, are the rate the
// far end finds on its line.
TEST_F(WinSerialTest, RatesReachTheDevice)
{
    const struct {
        int opened;
        int changed;
    } cases[] = {{9600, 115200}, {115200, 9600}};
    for (const auto& c : cases) {
        Open(c.opened);
        EXPECT_EQ(port.GetBaud(), c.opened);
        EXPECT_EQ(PeerRate(), std::to_string(c.opened)) << "opened at " << c.opened;
        port.SetBaud(c.changed);
        EXPECT_EQ(port.GetBaud(), c.changed);
        EXPECT_EQ(PeerRate(), std::to_string(c.changed)) << "changed from " << c.opened << " to " << c.changed;
        port.Close();
    }
}

TEST_F(WinSerialTest, InputQueueCountsTheAnswerAndPurgeEmptiesIt)
{
    Open(115200);
    Send({'h', 'e', 'l', 'l', 'o'});
    port.WaitForBytesUnless(5, 2000);
    EXPECT_EQ(port.QueuedInput(), 5u);
    port.PurgeInput();
    EXPECT_EQ(port.QueuedInput(), 0u);
    // What comes after the purge is read whole, nothing of the purged answer before it.
    Send({'n', 'e', 'w'});
    EXPECT_EQ(Receive(3), (std::vector<uint8_t>{'n', 'e', 'w'}));
}

TEST_F(WinSerialTest, ReadTimesOutWhenNothingComes)
{
    Open(115200);
    uint8_t byte = 0;
    auto [code, text] = CommError([&] { port.Read(&byte, 1, 200); });
    EXPECT_EQ(code, kCommNoData) << text;
    EXPECT_EQ(text, "CWinSerial::WaitForBytesUnless: No data received when timeout");
}

// The peer hangs up both ends of its pseudo-terminal under the open port (a USB adapter
// pulled out), then publishes a fresh pair, which the next opening reaches. Reading, writing
// and changing the rate each say the device has gone (Wine answers ERROR_NOT_READY).
TEST_F(WinSerialTest, VanishedDeviceIsReportedAndTheNextOpeningWorks)
{
    Open(115200);
    // The request's own write may find the device gone already, while it waits for the byte to
    // leave.
    auto [hcode, htext] = CommError([&] { Send({peer::kHangUp}); });
    if (hcode != -1) {
        EXPECT_EQ(hcode, kCommDeviceGone) << htext;
    }
    uint8_t byte = 0;
    auto [code, text] = CommError([&] { port.Read(&byte, 1, 500); });
    EXPECT_EQ(code, kCommDeviceGone) << text;
    auto [wcode, wtext] = CommError([&] { Send({'x'}); });
    EXPECT_EQ(wcode, kCommDeviceGone) << wtext;
    auto [scode, stext] = CommError([&] { port.SetBaud(9600); });
    EXPECT_EQ(scode, kCommDeviceGone) << stext;
    port.Close();
    Open(115200);
    Send({'o', 'k'});
    EXPECT_EQ(Receive(2), (std::vector<uint8_t>{'o', 'k'}));
}

} // namespace
