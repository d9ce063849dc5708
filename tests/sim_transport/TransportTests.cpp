#include "errors/Error.h"
#include "sim/InterfaceBox.h"
#include "sim/ScriptedPeer.h"
#include "sim/SimPlatform.h"
#include "sim/SimSerial.h"
#include "sim/VirtualClock.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The port's device primitives opened up, so the wire can be checked below the port's own
// algorithms.
class ProbeSerial : public CSimSerial {
public:
    using CSimSerial::InputQueueCount;
    using CSimSerial::OutputQueueCount;
    using CSimSerial::PurgeDevice;
    using CSimSerial::ReadAndClearErrors;
    using CSimSerial::ReadQueued;
    using CSimSerial::TransmitBytes;
    using CSimSerial::ApplyLineSettings;
};

// Records what reaches the far end, and when.
class RecordingPeer : public CSimPeer {
public:
    struct Arrival {
        uint8_t byte;
        double time;
        int baud;
    };
    explicit RecordingPeer(CVirtualClock& clock) : m_clock(clock) {}
    void OnHostByte(uint8_t byte, const LineSettings& sentWith) override
    {
        arrivals.push_back({byte, m_clock.Now(), sentWith.baud});
    }
    std::vector<Arrival> arrivals;

private:
    CVirtualClock& m_clock;
};

class WireTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        port.Attach(&clock, &peer);
        port.Configure(9600, 0, 0, 8);
        port.OpenPort(1);
        port.ApplyLineSettings(LineSettings{9600, 0, 0, 8});
    }
    std::vector<uint8_t> Drain()
    {
        std::vector<uint8_t> bytes(port.InputQueueCount());
        port.ReadQueued(bytes.data(), static_cast<unsigned>(bytes.size()));
        return bytes;
    }

    CVirtualClock clock;
    RecordingPeer peer{clock};
    ProbeSerial port;
    const double kChar9600 = 10.0 / 9600;
};

} // namespace

TEST(VirtualClock, RunsEventsInTimeOrderAndTimersWaitWithoutDrift)
{
    CVirtualClock clock;
    std::vector<int> order;
    clock.Schedule(0.3, [&] { order.push_back(3); });
    clock.Schedule(0.1, [&] { order.push_back(1); clock.Schedule(0.2, [&] { order.push_back(2); }); });
    clock.Schedule(0.1, [&] { order.push_back(11); });
    clock.AdvanceTo(0.25);
    EXPECT_EQ(order, (std::vector<int>{1, 11, 2}));
    EXPECT_DOUBLE_EQ(clock.Now(), 0.25);

    CSimTimer timer(&clock);
    timer.SetInterval(0.01);
    timer.Start();
    clock.AdvanceBy(0.015);  // work between ticks does not shift the next deadline
    timer.WaitIntervals(1);  // its deadline has passed: returns at once
    EXPECT_DOUBLE_EQ(clock.Now(), 0.265);
    timer.WaitIntervals(1);
    EXPECT_NEAR(clock.Now(), 0.27, 1e-12);
    EXPECT_NEAR(timer.Elapsed(), 0.02, 1e-12);
    clock.AdvanceTo(0.3);
    EXPECT_EQ(order.back(), 3);
}

TEST_F(WireTest, BytesTakeOneCharacterTimeEachInTurn)
{
    const uint8_t frame[] = {0x11, 0x22};
    // The driver takes the frame whole and sends it a byte at a time.
    ASSERT_EQ(port.TransmitBytes(frame, 2), 2u);
    EXPECT_EQ(port.OutputQueueCount(), 2u);
    clock.AdvanceBy(1);
    ASSERT_EQ(peer.arrivals.size(), 2u);
    EXPECT_NEAR(peer.arrivals[0].time, kChar9600, 1e-12);
    EXPECT_NEAR(peer.arrivals[1].time, 2 * kChar9600, 1e-12);
    EXPECT_EQ(port.OutputQueueCount(), 0u);

    const uint8_t reply[] = {1, 2, 3};
    double done = port.SendToHost(reply, 3, LineSettings{9600, 0, 0, 8}, clock.Now());
    EXPECT_NEAR(done - clock.Now(), 3 * kChar9600, 1e-12);
    clock.AdvanceBy(1.5 * kChar9600);
    EXPECT_EQ(port.InputQueueCount(), 1u);
    clock.AdvanceTo(done);
    EXPECT_EQ(Drain(), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(port.ReadAndClearErrors(), 0);
}

TEST_F(WireTest, LaterReplyLeavesTheLineFreeForBytesNow)
{
    const uint8_t reply[] = {0xAA};
    const uint8_t echo[] = {0xEE};
    LineSettings line{9600, 0, 0, 8};
    double replyDone = port.SendToHost(reply, 1, line, 0.5);
    double echoDone = port.SendToHost(echo, 1, line, clock.Now());
    EXPECT_NEAR(echoDone, kChar9600, 1e-12);
    EXPECT_NEAR(replyDone, 0.5 + kChar9600, 1e-12);
    // A byte that would overlap the promised reply goes after it.
    double squeezed = port.SendToHost(echo, 1, line, 0.5 - kChar9600 / 2);
    EXPECT_NEAR(squeezed, replyDone + kChar9600, 1e-12);
    clock.AdvanceBy(1);
    EXPECT_EQ(Drain(), (std::vector<uint8_t>{0xEE, 0xAA, 0xEE}));
}

TEST_F(WireTest, WrongRateArrivesGarbledWithFramingError)
{
    const uint8_t sent[] = {0x50};
    port.SendToHost(sent, 1, LineSettings{38400, 0, 0, 8}, clock.Now());
    clock.AdvanceBy(0.01);
    auto got = Drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NE(got[0], 0x50);
    EXPECT_EQ(port.ReadAndClearErrors(), CE_FRAME);
    EXPECT_EQ(port.ReadAndClearErrors(), 0);  // a poll reports only what came since the last
}

// As a UART's break counter: a break is reported once, when it begins, however long it holds.
TEST_F(WireTest, ABreakIsReportedOnceWhenItBegins)
{
    port.SendBreak(0.010, 0.050);
    clock.AdvanceTo(0.005);
    EXPECT_EQ(port.ReadAndClearErrors(), 0);
    clock.AdvanceTo(0.020);
    EXPECT_EQ(port.ReadAndClearErrors(), CE_BREAK);
    clock.AdvanceTo(0.040);
    EXPECT_EQ(port.ReadAndClearErrors(), 0) << "still held, but not new";
    clock.AdvanceTo(0.070);
    EXPECT_EQ(port.ReadAndClearErrors(), 0);

    // A short break between two polls is still reported once.
    port.SendBreak(0.080, 0.002);
    clock.AdvanceTo(0.1);
    EXPECT_EQ(port.ReadAndClearErrors(), CE_BREAK);
    EXPECT_EQ(port.ReadAndClearErrors(), 0);
}

TEST_F(WireTest, PurgesDropQueuedBytesAndUnpluggedPortFails)
{
    const uint8_t reply[] = {7, 8};
    port.SendToHost(reply, 2, LineSettings{9600, 0, 0, 8}, clock.Now());
    clock.AdvanceBy(1);
    port.PurgeDevice(true, false);
    EXPECT_EQ(port.InputQueueCount(), 0u);

    const uint8_t frame[] = {1, 2};
    port.TransmitBytes(frame, 2);
    port.PurgeDevice(false, true);
    clock.AdvanceBy(1);
    EXPECT_TRUE(peer.arrivals.empty());

    port.SendToHost(reply, 2, LineSettings{9600, 0, 0, 8}, clock.Now());
    clock.AdvanceBy(1);
    port.SetUnplugged(true);
    uint8_t buffer[2];
    EXPECT_THROW(port.ReadQueued(buffer, 2), CCommError);
    EXPECT_THROW(port.TransmitBytes(frame, 1), CCommError);
    EXPECT_THROW(port.InputQueueCount(), CCommError);
}

TEST_F(WireTest, InterfaceBoxEchoesBeforeTheRadioAnswers)
{
    CScriptedPeer radio(port);
    CInterfaceBox box(port, radio, true);
    port.Attach(&clock, &box);
    radio.Push(CScriptedPeer::Reply(0x8B, {0x00, 'O', 'K'}));
    auto request = CScriptedPeer::Frame(0x23, {0x00});
    ASSERT_EQ(port.TransmitBytes(request.data(), static_cast<unsigned>(request.size())), request.size());
    clock.AdvanceBy(1);
    auto got = Drain();
    std::vector<uint8_t> expected = request;
    expected.push_back(0x06);
    auto reply = CScriptedPeer::Frame(0x8B, {0x00, 'O', 'K'});
    expected.insert(expected.end(), reply.begin(), reply.end());
    EXPECT_EQ(got, expected);
    ASSERT_EQ(radio.Requests().size(), 1u);
    EXPECT_EQ(radio.Requests()[0].bytes, request);
}

TEST_F(WireTest, LoopedBackEchoArrivesWithTheByteItself)
{
    CScriptedPeer radio(port);
    CInterfaceBox box(port, radio, true);
    port.Attach(&clock, &box);
    const uint8_t byte = 0x42;
    ASSERT_EQ(port.TransmitBytes(&byte, 1), 1u);
    clock.AdvanceTo(kChar9600 * 0.999);
    EXPECT_EQ(port.InputQueueCount(), 0u);
    clock.AdvanceTo(kChar9600);
    EXPECT_EQ(Drain(), (std::vector<uint8_t>{0x42}));
}

TEST(ScriptedPeer, FramesCarryTheOnesComplementChecksum)
{
    EXPECT_EQ(CScriptedPeer::Frame(0x10, {}), (std::vector<uint8_t>{0xF1, 0x10, 0xFE}));
    EXPECT_EQ(CScriptedPeer::Frame(0x11, {0x0B, 0, 0, 0}),
              (std::vector<uint8_t>{0xF5, 0x11, 0x0B, 0x00, 0x00, 0x00, 0xEE}));
    auto longFrame = CScriptedPeer::Frame(0x17, {1, 2, 3}, true);
    EXPECT_EQ(longFrame.size(), 8u);
    EXPECT_EQ(longFrame[3], 0x04);
}

TEST(SimPlatformScope, InstallsVirtualTimeAndRestoresThePlatform)
{
    {
        CSimPlatformScope scope;
        EXPECT_EQ(GetPlatform(), &scope.Platform());
        GetPlatform()->Sleep(1500);
        EXPECT_DOUBLE_EQ(scope.Clock().Now(), 1.5);
        EXPECT_EQ(GetPlatform()->CalendarTime(), 1'700'000'001);
        CTimerCtrl* timer = GetPlatform()->GetPortTimer();
        ASSERT_NE(timer, nullptr);
        EXPECT_EQ(GetPlatform()->GetPortTimer(), nullptr);
        GetPlatform()->ReleasePortTimer();
        EXPECT_EQ(GetPlatform()->GetPortTimer(), timer);
        GetPlatform()->ReleasePortTimer();
        CSerial* serial = GetPlatform()->GetSerial();
        ASSERT_NE(serial, nullptr);
        EXPECT_EQ(GetPlatform()->GetSerial(), nullptr);
        GetPlatform()->ReleaseSerial();
        EXPECT_EQ(GetPlatform()->GetSerial(), serial);
        GetPlatform()->ReleaseSerial();
        EXPECT_EQ(GetPlatform()->CreateLog(2), nullptr);
    }
    EXPECT_EQ(dynamic_cast<CSimPlatform*>(GetPlatform()), nullptr);
}
