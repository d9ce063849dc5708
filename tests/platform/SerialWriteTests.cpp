#include "SimPortFixture.h"

#include <climits>
#include <deque>
#include <utility>

namespace {

std::vector<uint8_t> Counting(unsigned count, uint8_t first = 0x40)
{
    std::vector<uint8_t> bytes(count);
    for (unsigned i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

// ---- echo ---------------------------------------------------------------------------------

class EchoOff : public SimPortTest, public ::testing::WithParamInterface<int> {};

TEST_P(EchoOff, AWriteNeverReadsFromThePort)
{
    FlashWriteMode = GetParam();
    const auto data = Counting(7);
    port.Write(data.data(), 7, 1000);
    // The box echoed every byte; with echo mode off it is all still there to be read.
    std::vector<uint8_t> echo(7);
    port.Read(echo.data(), 7, 100);
    EXPECT_EQ(echo, data);
    EXPECT_EQ(radio.bytes, data);
}

INSTANTIATE_TEST_SUITE_P(PlainAndBlockEcho, EchoOff, ::testing::Values(0, 1));

struct MismatchCase {
    int flashWriteMode;
    unsigned count;
    int corruptIndex;  // -1: a clean echo
};

class EchoCheck : public SimPortTest, public ::testing::WithParamInterface<MismatchCase> {};

TEST_P(EchoCheck, TheFirstDifferingEchoByteIsNamed)
{
    const auto& c = GetParam();
    FlashWriteMode = c.flashWriteMode;
    port.SetEchoMode(1);
    if (c.corruptIndex >= 0)
        box.CorruptEcho(static_cast<std::size_t>(c.corruptIndex), 0x10);
    const auto data = Counting(c.count);
    auto error = Raised<CCommError>([&] { port.Write(data.data(), c.count, 1000); });
    if (c.corruptIndex < 0) {
        EXPECT_EQ(error.first, -1) << error.second;
    } else {
        EXPECT_EQ(error, std::make_pair(11, "CWinSerial::Write: Echo byte " + std::to_string(c.corruptIndex) +
                                                " does not match transmitted character"));
    }
    uint8_t leftover;
    EXPECT_EQ(Raised<CCommError>([&] { port.Read(&leftover, 1, 5); }).first, 2) << "the echo was consumed";
}

INSTANTIATE_TEST_SUITE_P(Table, EchoCheck,
                         ::testing::Values(MismatchCase{0, 6, 3}, MismatchCase{1, 12, 3}, MismatchCase{1, 12, 11},
                                           MismatchCase{0, 1, 0}, MismatchCase{0, 12, -1},
                                           MismatchCase{1, 12, -1}, MismatchCase{1, 5, -1}));

struct ChunkCase {
    int flashWriteMode;
    int baud;
    std::vector<std::size_t> pausesBefore;  // bytes the PC held back until an echo chunk was in
};

class BlockEcho : public SimPortTest, public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(BlockEcho, EchoIsCollectedInChunksOfFiveWhileFlashingAtTheFlashRates)
{
    const auto& c = GetParam();
    port.SetBaud(c.baud);
    port.SetEchoMode(1);
    // An echo that lags two characters behind makes the PC's wait for each chunk show as a
    // pause on the line (an echo looped back at once is in before the next byte could go).
    box.SetEchoDelay(2 * CharTime());
    FlashWriteMode = c.flashWriteMode;
    const auto data = Counting(12);
    port.Write(data.data(), 12, 1000);

    ASSERT_EQ(radio.bytes, data);
    std::vector<std::size_t> pauses;
    for (std::size_t i = 1; i < radio.times.size(); ++i) {
        if (radio.times[i] - radio.times[i - 1] > 1.5 * CharTime())
            pauses.push_back(i);
    }
    EXPECT_EQ(pauses, c.pausesBefore);
    uint8_t leftover;
    EXPECT_EQ(Raised<CCommError>([&] { port.Read(&leftover, 1, 5); }).first, 2) << "the last chunk of 2 was read";
}

INSTANTIATE_TEST_SUITE_P(Table, BlockEcho,
                         ::testing::Values(ChunkCase{1, 9600, {5, 10}}, ChunkCase{1, 19200, {5, 10}},
                                           ChunkCase{1, 38400, {5, 10}}, ChunkCase{1, 57600, {}},
                                           ChunkCase{1, 2400, {}}, ChunkCase{0, 9600, {}}));

TEST_F(SimPortTest, AMissingEchoChunkIsLoggedWithTheBytesSent)
{
    FlashWriteMode = 1;
    port.SetEchoMode(1);
    box.SetEcho(false);
    const auto data = Counting(12);
    auto error = Raised<CCommError>([&] { port.Write(data.data(), 12, 1000); });
    EXPECT_EQ(error, std::make_pair(2, std::string("CWinSerial::WaitForBytesUnless: No data received when timeout")));
    EXPECT_TRUE(Logged("CWinSerial::WaitForBytesUnless: No data received when timeout"));
    EXPECT_TRUE(Logged("CWinSerial::Write: Timeout after sending out 4 bytes"));
    EXPECT_EQ(radio.bytes.size(), 5u);
    // The chunk goes whole and takes five character times; then 6000 ms for 5 bytes at 9600 Bd:
    // 1152 idle character times.
    EXPECT_NEAR(scope.Clock().Now(), (5 + 1152) * CharTime(), 1e-6);
    EXPECT_NE(scope.Platform().GetPortTimer(), nullptr) << "the port timer was given back";
}

TEST_F(SimPortTest, AFailedEchoReadIsAnErrorEvenWithoutALineError)
{
    for (int flash : {0, 1}) {
        FlashWriteMode = flash;
        port.SetEchoMode(1);
        port.FailNextRead();
        const auto data = Counting(7);
        auto error = Raised<CCommError>([&] { port.Write(data.data(), 7, 1000); });
        EXPECT_EQ(error, std::make_pair(9, std::string("Unknown IO error occured while accessing communication port")));
        scope.Clock().AdvanceBy(0.1);
        port.PurgeInput();
    }
    EXPECT_TRUE(Logged("CWinSerial::Write: Read echo byte failed"));
    EXPECT_TRUE(Logged("CWinSerial::Write: Comm read failure after sending out 4 bytes"));
}

TEST_F(SimPortTest, AWriteWhoseEchoWouldOverrunTheEchoBufferIsRefused)
{
    for (int flash : {0, 1}) {
        FlashWriteMode = flash;
        port.SetEchoMode(1);
        const auto data = Counting(CPolledSerial::kEchoBufferSize + 1);
        auto error = Raised<CGenError>([&] { port.Write(data.data(), static_cast<unsigned>(data.size()), 5000); });
        EXPECT_EQ(error.first, 3);
        EXPECT_NE(error.second.find("echo"), std::string::npos) << error.second;
        EXPECT_TRUE(radio.bytes.empty());

        EXPECT_NO_THROW(port.Write(data.data(), CPolledSerial::kEchoBufferSize, 5000)) << "1024 bytes fit";
        port.SetEchoMode(0);
        EXPECT_NO_THROW(port.Write(data.data(), static_cast<unsigned>(data.size()), 5000)) << "no echo: no limit";
        scope.Clock().AdvanceBy(5);
        port.PurgeInput();
        radio.bytes.clear();
    }
}

// ---- breaks and queues ----------------------------------------------------------------------

TEST_F(SimPortTest, ABreakBeforeAWriteIsWaitedOutAndTheInputPurged)
{
    port.SetEchoMode(1);
    RadioSends({0xEE, 0xEE, 0xEE});
    port.SendBreak(0, 0.001);  // begins when the three bytes are in
    const double breakEnd = 3 * CharTime() + 0.001;
    scope.Clock().AdvanceTo(0.005);

    const std::vector<uint8_t> data{0xA1, 0xA2};
    EXPECT_NO_THROW(port.Write(data.data(), 2, 1000));  // an unpurged 0xEE would fail the echo check
    ASSERT_EQ(radio.bytes, data);
    EXPECT_GE(radio.times[0], breakEnd);
    // One poll of 2 ms sees no new break; then the first byte goes.
    EXPECT_LE(radio.times[0], 0.005 + 0.002 + CharTime() + 1e-6);
}

// With echo off a write returns while its last bytes are still going out; the next write
// must not discard them (a boot code sent in back-to-back chunks would arrive with holes).
TEST_F(SimPortTest, BackToBackWritesDeliverEveryByte)
{
    const auto first = Counting(6);
    port.Write(first.data(), 6, 100);
    const auto second = Counting(4, 0xE0);
    port.Write(second.data(), 4, 100);
    scope.Clock().AdvanceBy(0.1);
    std::vector<uint8_t> all = first;
    all.insert(all.end(), second.begin(), second.end());
    EXPECT_EQ(radio.bytes, all);
}

// A rate change waits for the bytes still going out; they leave at the rate they were written at.
TEST_F(SimPortTest, ARateChangeLetsTheQueuedBytesGoFirst)
{
    const auto data = Counting(6);
    port.Write(data.data(), 6, 100);
    const double oldCharTime = CharTime();
    port.SetBaud(38400);
    scope.Clock().AdvanceBy(0.1);
    ASSERT_EQ(radio.bytes, data);
    EXPECT_NEAR(radio.times.back() - radio.times.front(), 5 * oldCharTime, 1e-6);
    EXPECT_EQ(port.GetBaud(), 38400);
}

// A frame goes to the driver whole; the write returns when its last byte has reached the far
// end, so that the reply's time-out counts from there.
TEST_F(SimPortTest, AWriteEndsWhenItsLastByteHasArrived)
{
    const auto data = Counting(40);
    const double start = scope.Clock().Now();
    port.Write(data.data(), 40, 1000);
    EXPECT_NEAR(scope.Clock().Now() - start, 40 * CharTime(), 1e-9);
    ASSERT_EQ(radio.bytes, data);
    EXPECT_NEAR(radio.times.back() - start, 40 * CharTime(), 1e-9);
}

// ---- transmission refused by the driver -----------------------------------------------------

// Device primitives under the test's control, on the simulated platform's clock: the driver
// refuses bytes until a time or after a count, and echoes what it takes at once.
class ControlledDevice : public CPolledSerial {
public:
    explicit ControlledDevice(CVirtualClock& clock) : m_clock(clock) {}
    double acceptFrom = 0;
    std::size_t refuseAfter = SIZE_MAX;
    std::vector<uint8_t> sent;

protected:
    void OpenDevice(unsigned) override {}
    void CloseDevice() override {}
    bool ApplyLineSettings(const LineSettings&) override { return true; }
    unsigned TransmitBytes(const uint8_t* data, unsigned count) override
    {
        if (m_clock.Now() < acceptFrom || sent.size() >= refuseAfter)
            return 0;
        const auto taken = static_cast<unsigned>(std::min<std::size_t>(count, refuseAfter - sent.size()));
        sent.insert(sent.end(), data, data + taken);
        m_input.insert(m_input.end(), data, data + taken);
        return taken;
    }
    unsigned InputQueueCount() override { return static_cast<unsigned>(m_input.size()); }
    unsigned OutputQueueCount() override { return 0; }
    bool ReadQueued(uint8_t* buffer, unsigned count) override
    {
        if (count > m_input.size())
            return false;
        std::copy_n(m_input.begin(), count, buffer);
        m_input.erase(m_input.begin(), m_input.begin() + count);
        return true;
    }
    int ReadAndClearErrors() override { return 0; }
    void PurgeDevice(bool receive, bool) override
    {
        if (receive)
            m_input.clear();
    }

private:
    CVirtualClock& m_clock;
    std::deque<uint8_t> m_input;
};

class RefusingDriver : public ::testing::Test {
protected:
    void SetUp() override
    {
        device.Configure(9600, 0, 0, 8);
        device.OpenPort(1);
    }
    void TearDown() override { FlashWriteMode = 0; }
    CSimPlatformScope scope;
    ControlledDevice device{scope.Clock()};
};

TEST_F(RefusingDriver, TransmissionThatOutlastsTheTimeoutStillLeavesTheEchoItsAllowance)
{
    // The driver takes the first byte only after the 10 ms time-out has passed; the echo read
    // then has nothing left of it, which counts as zero, not as a huge unsigned figure.
    device.SetEchoMode(1);
    device.acceptFrom = 0.010;
    const uint8_t data[] = {0x31, 0x32};
    EXPECT_NO_THROW(device.Write(data, 2, 10));
    EXPECT_GT(scope.Clock().Now(), 0.010);
    for (const auto& line : scope.LogLines())
        EXPECT_EQ(line.find("Timeout is too big"), std::string::npos) << line;
}

TEST_F(RefusingDriver, ARefusedByteTimesOutNamingTheBytesSent)
{
    struct Case {
        int flash;
        std::size_t refuseAfter;
        unsigned timeoutMs;
        double failsAfter;  // seconds
    } cases[] = {{0, 0, 10, 0.010}, {0, 2, 10, 0.010}, {1, 1, 60, 0.060}, {1, 4, 60, 0.060}};
    for (const auto& c : cases) {
        FlashWriteMode = c.flash;
        device.refuseAfter = c.refuseAfter;
        device.sent.clear();
        const double start = scope.Clock().Now();
        const uint8_t data[] = {1, 2, 3, 4, 5, 6};
        auto error = Raised<CCommError>([&] { device.Write(data, 6, c.timeoutMs); });
        EXPECT_EQ(error, std::make_pair(2, "CWinSerial::Write: Timeout after sending out " +
                                               std::to_string(c.refuseAfter) + " bytes"));
        EXPECT_GT(scope.Clock().Now() - start, c.failsAfter);
        EXPECT_LT(scope.Clock().Now() - start, c.failsAfter + 0.0011);
    }
    EXPECT_NE(scope.Platform().GetPortTimer(), nullptr) << "the port timer was given back";
}

} // namespace
