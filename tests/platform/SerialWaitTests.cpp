// Waiting for bytes sleeps until the bytes can have arrived (or until the deadline) rather than
// waking every character time: the wait is counted in looks at the input queue.
#include "SimPortFixture.h"

#include <cmath>

namespace {

// The port with a counter of its looks at the input queue: each look is one wake-up of the wait.
class CCountingPort : public CSimSerial {
public:
    unsigned looks = 0;

protected:
    unsigned InputQueueCount() override
    {
        ++looks;
        return CSimSerial::InputQueueCount();
    }
};

struct WaitCase {
    const char* name;
    int baud;
    unsigned count;        // bytes waited for
    double startAfter;     // character times before the first byte is on its way (< 0: none comes)
    double readAfter;      // character times from the sending to the read
    unsigned timeoutMs;
    unsigned mostLooks;    // wake-ups allowed
};

class WaitWakeUps : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitWakeUps, SleepUntilTheBytesCanHaveArrived)
{
    const WaitCase& c = GetParam();
    CSimPlatformScope scope;
    RecordingRadio radio{scope.Clock()};
    CCountingPort port;
    port.Attach(&scope.Clock(), &radio);
    port.Configure(c.baud, 0, 0, 8);
    port.OpenPort(1);
    const double charTime = port.GetByteTime();
    std::vector<uint8_t> bytes(c.count, 0x5A);
    if (c.startAfter >= 0)
        port.SendToHost(bytes.data(), bytes.size(), port.HostSettings(), c.startAfter * charTime);
    scope.Clock().AdvanceBy(c.readAfter * charTime);
    port.looks = 0;

    std::vector<uint8_t> buffer(c.count);
    auto error = Raised<CCommError>([&] { port.Read(buffer.data(), c.count, c.timeoutMs); });
    const double waitedChars = scope.Clock().Now() / charTime - c.readAfter;
    if (c.startAfter >= 0) {
        EXPECT_EQ(error.first, -1) << error.second;
        EXPECT_EQ(buffer, bytes);
        // The read returns within a quarter of a character time of the last byte's arrival.
        const double lastArrival = (c.startAfter + c.count) * charTime;
        EXPECT_LE(scope.Clock().Now(), lastArrival + charTime / 4 + 1e-9);
        // Waking every character time would look once for each of them (a wait of a few
        // character times is bounded by mostLooks alone).
        if (waitedChars > 4) {
            EXPECT_LT(port.looks, waitedChars / 4);
        }
    } else {
        EXPECT_EQ(error.first, 2);
    }
    EXPECT_LE(port.looks, c.mostLooks) << "waited " << waitedChars << " character times";
}

INSTANTIATE_TEST_SUITE_P(
    Table, WaitWakeUps,
    ::testing::Values(
        // A reply already on its way: one look at the start, one when it can be complete.
        WaitCase{"ReplyOnItsWay9600", 9600, 16, 0, 0, 1000, 3},
        WaitCase{"ReplyOnItsWay115200", 115200, 40, 0, 0, 1000, 3},
        // A reply that starts later: one look per `count` character times until it starts.
        WaitCase{"LateReply", 38400, 16, 64, 0, 1000, 4 + 64 / 16},
        // An echo whose last byte is still on the line when the wait begins (the write has
        // waited for its bytes to leave): taken as it comes, not a character time later.
        WaitCase{"LastEchoByteDue", 38400, 5, 0, 4.5, 1000, 4},
        WaitCase{"LastBytesDue", 115200, 40, 0, 37.6, 1000, 6},
        // Nothing comes: one look at the start, one at the deadline.
        WaitCase{"NothingComes", 9600, 24, -1, 0, 100, 2}),
    [](const ::testing::TestParamInfo<WaitCase>& info) { return std::string(info.param.name); });

} // namespace
