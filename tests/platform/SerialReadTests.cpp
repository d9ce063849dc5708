#include "SimPortFixture.h"

#include "platform/Platform.h"

#include <cmath>

namespace {

// ---- reads and the wait for bytes -----------------------------------------------------------

struct TimeoutLimitCase {
    unsigned count;
    unsigned timeoutMs;
    bool refused;
};

class ReadTimeoutLimit : public SimPortTest, public ::testing::WithParamInterface<TimeoutLimitCase> {};

TEST_P(ReadTimeoutLimit, AcceptsUpToTheLargerOf60SecondsAnd250MsPerByte)
{
    const auto& c = GetParam();
    std::vector<uint8_t> buffer(c.count);
    auto gen = Raised<CGenError>([&] {
        auto comm = Raised<CCommError>([&] { port.Read(buffer.data(), c.count, c.timeoutMs); });
        EXPECT_EQ(comm.first, 2) << "an accepted read waits and finds no data";
    });
    if (c.refused) {
        EXPECT_EQ(gen, std::make_pair(3, std::string("Timeout specified is too big")));
        EXPECT_TRUE(Logged("Timeout is too big, timeout = " + std::to_string(c.timeoutMs)));
        EXPECT_EQ(scope.Clock().Now(), 0.0) << "refused before waiting";
    } else {
        EXPECT_EQ(gen.first, -1);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ReadTimeoutLimit,
                         ::testing::Values(TimeoutLimitCase{10, 60000, false}, TimeoutLimitCase{10, 60001, true},
                                           TimeoutLimitCase{1, 60000, false}, TimeoutLimitCase{1000, 250000, false},
                                           TimeoutLimitCase{1000, 250001, true}, TimeoutLimitCase{300, 75000, false},
                                           TimeoutLimitCase{300, 75001, true}));

struct IdleLimitCase {
    unsigned count;
    unsigned timeoutMs;
    unsigned idleLimit;  // character times
};

class IdleLimit : public SimPortTest, public ::testing::WithParamInterface<IdleLimitCase> {};

TEST_P(IdleLimit, NoDataFailsAfterTheIdleLimitWhichIsNeverBelowOne)
{
    const auto& c = GetParam();
    auto error = Raised<CCommError>([&] { port.WaitForBytesUnless(c.count, c.timeoutMs); });
    EXPECT_EQ(error, std::make_pair(2, std::string("CWinSerial::WaitForBytesUnless: No data received when timeout")));
    EXPECT_TRUE(Logged("Number of byteTime timeout = " + std::to_string(c.idleLimit)));
    EXPECT_NEAR(scope.Clock().Now(), c.idleLimit * CharTime(), 1e-9);
    EXPECT_EQ(scope.Platform().GetPortTimer() != nullptr, true) << "the port timer was given back";
}

// At 9600 8N1 one character takes 10/9600 s: 101 ms hold 96 of them.
INSTANTIATE_TEST_SUITE_P(Table, IdleLimit,
                         ::testing::Values(IdleLimitCase{10, 101, 9}, IdleLimitCase{1, 101, 97},
                                           IdleLimitCase{4, 0, 1}, IdleLimitCase{200, 10, 1},
                                           IdleLimitCase{97, 101, 1}, IdleLimitCase{48, 101, 2}));

struct GapCase {
    unsigned count;
    unsigned timeoutMs;
    double gapCharTimes;  // between the starts of successive bytes
    int code;             // -1: the read succeeds
};

class InterByteBudget : public SimPortTest, public ::testing::WithParamInterface<GapCase> {};

TEST_P(InterByteBudget, EveryArrivingByteRestartsTheAllowance)
{
    const auto& c = GetParam();
    std::vector<uint8_t> sent(c.count);
    for (unsigned i = 0; i < c.count; ++i)
        sent[i] = static_cast<uint8_t>(0x30 + i);
    // Arrivals at 1, 1 + gap, 1 + 2 gap ... character times; the port's ticks fall half a
    // character time off them.
    RadioSendsSpaced(sent, 0, c.gapCharTimes * CharTime());
    scope.Clock().AdvanceBy(0.5 * CharTime());
    std::vector<uint8_t> got(c.count);
    auto error = Raised<CCommError>([&] { port.Read(got.data(), c.count, c.timeoutMs); });
    EXPECT_EQ(error.first, c.code) << error.second;
    if (c.code == -1) {
        EXPECT_EQ(got, sent);
    }
}

// 4 bytes in 0 ms: one idle character time per gap. 4 bytes in 10 ms: idle limit 2.
// 10 bytes in 101 ms: idle limit 9, so the whole read may take 10 x 9 character times.
INSTANTIATE_TEST_SUITE_P(Table, InterByteBudget,
                         ::testing::Values(GapCase{4, 0, 1, -1}, GapCase{4, 0, 2, 3}, GapCase{4, 10, 2, -1},
                                           GapCase{4, 10, 3, 3}, GapCase{10, 101, 9, -1},
                                           GapCase{10, 101, 10, 3}));

TEST_F(SimPortTest, AHugeTimeoutAtAFastRateStillWaits)
{
    port.SetBaud(115200);
    RadioSends({1}, 10.0);
    EXPECT_NO_THROW(port.WaitForBytesUnless(1, 4000000000u));
    EXPECT_GT(scope.Clock().Now(), 10.0);
}

TEST_F(SimPortTest, TimeoutAfterSomeBytesNamesHowManyArrived)
{
    RadioSends({1, 2});
    uint8_t buffer[5];
    auto error = Raised<CCommError>([&] { port.Read(buffer, 5, 20); });
    EXPECT_EQ(error, std::make_pair(3, std::string("CWinSerial::WaitForBytesUnless: Timeout after receiving 2 bytes")));
}

TEST_F(SimPortTest, WithoutThePortTimerTheWaitIsRefusedAndLogged)
{
    CTimerCtrl* held = scope.Platform().GetPortTimer();
    ASSERT_NE(held, nullptr);
    auto error = Raised<CGenError>([&] { port.WaitForBytesUnless(4, 100); });
    EXPECT_EQ(error, std::make_pair(1, std::string("Unable to allocate timer object")));
    EXPECT_TRUE(Logged("CWinSerial::WaitForBytesUnless: Allocating timer to wait for bytes 4 bytes"));
    scope.Platform().ReleasePortTimer();
}

TEST_F(SimPortTest, ADeviceReadThatFailsIsNeverReportedAsARead)
{
    // Without a line error: the unknown error rather than a buffer that was never filled.
    RadioSends({1, 2});
    port.FailNextRead();
    uint8_t buffer[2] = {};
    auto error = Raised<CCommError>([&] { port.Read(buffer, 2, 100); });
    EXPECT_EQ(error, std::make_pair(9, std::string("Unknown IO error occured while accessing communication port")));

    // With one: the error of the flag.
    port.PurgeInput();
    RadioSends({3});
    port.RaiseLineError(CE_FRAME, scope.Clock().Now());
    scope.Clock().AdvanceBy(0.0001);
    port.FailNextRead();
    error = Raised<CCommError>([&] { port.Read(buffer, 1, 100); });
    EXPECT_EQ(error.first, 7);
}

TEST(ErrorFlags, FirstMatchingFlagWins)
{
    struct Case {
        int flags;
        int code;
        const char* text;
    } cases[] = {
        {CE_BREAK | CE_FRAME | CE_TXFULL, 10, "Break detected while accessing communication port"},
        {CE_FRAME | CE_OVERRUN, 7, "Framing error detected while accessing communication port"},
        {CE_OVERRUN | CE_RXPARITY, 8, "Overrun detected while accessing communication port"},
        {CE_RXPARITY | CE_RXOVER, 6, "Parity error detected while accessing communication port"},
        {CE_RXOVER | CE_TXFULL, 5, "Communication port input buffer overflow"},
        {CE_TXFULL, 4, "Communication port output buffer overflow"},
        {0x0020, 9, "Unknown IO error occured while accessing communication port"},
    };
    for (const auto& c : cases) {
        auto error = Raised<CCommError>([&] { CPolledSerial::RaiseForErrorFlags(c.flags); });
        EXPECT_EQ(error, std::make_pair(c.code, std::string(c.text))) << "flags " << c.flags;
    }
}

TEST_F(SimPortTest, CountsOfZeroReturnAtOnce)
{
    port.SetEchoMode(1);
    EXPECT_NO_THROW(port.Read(nullptr, 0, 70000));
    EXPECT_NO_THROW(port.WaitForBytesUnless(0, 1000));
    EXPECT_NO_THROW(port.Write(nullptr, 0, 0));
    FlashWriteMode = 1;
    EXPECT_NO_THROW(port.Write(nullptr, 0, 0));
    EXPECT_EQ(scope.Clock().Now(), 0.0);
}

// ---- opening, closing, settings -------------------------------------------------------------

TEST_F(SimPortTest, PortNumbersOutsideOneTo99AreRefused)
{
    for (unsigned number : {0u, 100u, 4000000000u}) {
        auto error = Raised<CCommError>([&] { port.OpenPort(number); });
        EXPECT_EQ(error.first, 1);
        EXPECT_EQ(error.second.rfind("CWinSerial::Open: Unable to open com" + std::to_string(number), 0), 0u)
            << error.second;
        EXPECT_EQ(port.GetPortNumber(), 0u);
    }
    EXPECT_NO_THROW(port.OpenPort(99));
    EXPECT_EQ(port.GetPortNumber(), 99u);
}

TEST_F(SimPortTest, AFailedOpenKeepsItsNumberUntilClose)
{
    port.SetUnplugged(true);
    auto error = Raised<CCommError>([&] { port.OpenPort(3); });
    EXPECT_EQ(error.first, 1);
    EXPECT_EQ(port.GetPortNumber(), 3u);
    port.Close();
    EXPECT_EQ(port.GetPortNumber(), 0u);
}

TEST_F(SimPortTest, OpeningAppliesThePendingSettingsAndPurgesBothWays)
{
    RadioSends({1, 2, 3});
    scope.Clock().AdvanceBy(0.01);
    port.Configure(19200, 2, 2, 7);
    port.OpenPort(5);  // closes port 1 first
    EXPECT_EQ(port.GetPortNumber(), 5u);
    EXPECT_EQ(port.HostSettings().baud, 19200);
    EXPECT_EQ((std::vector<int>{port.GetBaud(), port.GetParity(), port.GetStopBits(), port.GetCharSize()}),
              (std::vector<int>{19200, 2, 2, 7}));
    uint8_t byte;
    EXPECT_EQ(Raised<CCommError>([&] { port.Read(&byte, 1, 10); }).first, 2) << "old input purged";
}

TEST_F(SimPortTest, ByteTimeCountsStartDataParityAndStopBits)
{
    struct Case {
        int baud, parity, stopBits, charSize;
        double bits;
    } cases[] = {{9600, 0, 0, 8, 10}, {9600, 1, 0, 8, 11}, {2400, 2, 2, 8, 12},
                 {300, 0, 1, 5, 7.5}, {553, 0, 0, 8, 10}, {4430, 2, 1, 7, 10.5}};
    for (const auto& c : cases) {
        port.Configure(c.baud, c.parity, c.stopBits, c.charSize);
        port.OpenPort(1);
        EXPECT_DOUBLE_EQ(port.GetByteTime(), c.bits / c.baud) << c.baud;
    }
}

TEST_F(SimPortTest, SettersPurgeBothDirectionsAndRaiseTheirOwnTexts)
{
    struct Case {
        std::function<void()> set;
        std::function<int()> get;
        int expected;
        const char* failure;
    } cases[] = {
        {[&] { port.SetBaud(19200); }, [&] { return port.GetBaud(); }, 19200,
         "CWinSerial::SetBaud: SetCommState returned false"},
        {[&] { port.SetParity(1); }, [&] { return port.GetParity(); }, 1,
         "WinSerial::SetParity: SetCommState returned false"},
        {[&] { port.SetStopBits(5); }, [&] { return port.GetStopBits(); }, 0,
         "CWinSerial::SetStopBits: SetCommState returned false"},
        {[&] { port.SetStopBits(2); }, [&] { return port.GetStopBits(); }, 2,
         "CWinSerial::SetStopBits: SetCommState returned false"},
        {[&] { port.SetCharSize(7); }, [&] { return port.GetCharSize(); }, 7,
         "CWinSerial::SetCharSize: SetCommState returned false"},
    };
    for (const auto& c : cases) {
        port.OpenPort(1);
        RadioSends({0x11, 0x22});
        scope.Clock().AdvanceBy(0.01);
        c.set();
        EXPECT_EQ(c.get(), c.expected);
        uint8_t byte;
        EXPECT_EQ(Raised<CCommError>([&] { port.Read(&byte, 1, 5); }).first, 2) << c.failure;

        port.Close();
        EXPECT_EQ(Raised<CCommError>(c.set), std::make_pair(12, std::string(c.failure)));
    }
}

// ---- line errors and the sync pulse ---------------------------------------------------------

TEST_F(SimPortTest, WaitForCommErrorPollsEveryTwoMilliseconds)
{
    port.SendBreak(0.030, 0.010);
    EXPECT_TRUE(port.WaitForCommError(CE_BREAK, 100));
    EXPECT_GE(scope.Clock().Now(), 0.030);
    EXPECT_LE(scope.Clock().Now(), 0.0321);

    const double start = scope.Clock().Now();
    EXPECT_FALSE(port.WaitForCommError(CE_FRAME, 50));
    EXPECT_GT(scope.Clock().Now() - start, 0.050);
    EXPECT_LE(scope.Clock().Now() - start, 0.0521);
    EXPECT_NE(scope.Platform().GetPortTimer(), nullptr) << "the port timer was given back";
}

struct SyncPulseCase {
    const char* name;
    std::vector<uint8_t> bytes;  // sent at 300 Bd after the port has moved there
    int outcome;                 // 1 true, 0 false, -1 raises
};

class DetectSyncPulse : public SimPortTest, public ::testing::WithParamInterface<SyncPulseCase> {};

TEST_P(DetectSyncPulse, LeavesTheBaudRateAsItFoundIt)
{
    const auto& c = GetParam();
    port.SetBaud(19200);
    const LineSettings slow{300, 0, 0, 8};
    const double slowChar = 10.0 / 300;
    // Each byte arrives half a character time after a tick of the port's wait, so the purge
    // before each read never meets a byte.
    for (std::size_t i = 0; i < c.bytes.size(); ++i)
        port.SendToHost(&c.bytes[i], 1, slow, (0.5 + static_cast<double>(i)) * slowChar);
    int outcome = -1;
    auto error = Raised<CGenError>([&] { outcome = port.DetectSyncPulse(200) ? 1 : 0; });
    EXPECT_EQ(outcome, c.outcome);
    if (c.outcome == -1) {
        EXPECT_EQ(error, std::make_pair(3, std::string("General Communication Error")));
        EXPECT_TRUE(Logged("CWinSerial::WaitForBytesUnless: No data received when timeout"));
    }
    EXPECT_EQ(port.GetBaud(), 19200);
    EXPECT_EQ(port.HostSettings().baud, 19200);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DetectSyncPulse,
    ::testing::Values(SyncPulseCase{"PulseFirst", {0xF8}, 1}, SyncPulseCase{"PulseThird", {0x00, 0x55, 0xC0}, 1},
                      SyncPulseCase{"EachPulseByte", {0xE0}, 1}, SyncPulseCase{"Fc", {0xFC}, 1},
                      SyncPulseCase{"Fe", {0xFE}, 1}, SyncPulseCase{"ThreeOthers", {0x00, 0xFF, 0x80, 0xC0}, 0},
                      SyncPulseCase{"Silence", {}, -1}, SyncPulseCase{"SilenceAfterOne", {0x01}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
