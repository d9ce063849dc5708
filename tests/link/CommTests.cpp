#include "tests/link/LinkFixture.h"

#include "errors/Error.h"
#include "link/LinkFlags.h"
#include "platform/FlashWriteMode.h"
#include "platform/Platform.h"
#include "platform/Serial.h"

#include <cstdio>

namespace {

const Bytes kResync{0x55, 0xAA};

class CommTest : public LinkTest {
protected:
    // A write request (always answered with a reply) of one byte at 0x3FF0.
    int SendWrite()
    {
        const uint8_t data[] = {0x00, 0x3F, 0xF0, 0x5A};
        request.Build(0x17, data, sizeof data, 2);
        return Comm().SendCommand(request, true);
    }
    int SendRead()
    {
        const uint8_t data[] = {0x02, 0x00, 0x00, 0x10};
        request.Build(0x11, data, sizeof data, 0);
        return Comm().SendCommand(request, true);
    }
    CVeskMessage request;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Echo, CommTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "EchoOn" : "EchoOff"; });

TEST_P(CommTest, FourTimeoutsLogEachRetryThenExhaustion)
{
    for (int i = 0; i < 4; ++i)
        radio.Push(CScriptedPeer::Silence());
    EXPECT_EQ(SendRead(), 5);
    EXPECT_EQ(Requests().size(), 4u);
    std::vector<std::string> expected;
    for (const std::string& line : Log())
        if (line.rfind("CVeskComm::SendCommand: ", 0) == 0)
            expected.push_back(line);
    const std::vector<std::string> want{
        "CVeskComm::SendCommand: Encountered the above error while getting ack",
        "CVeskComm::SendCommand: Request failed! Retry number = 1",
        "CVeskComm::SendCommand: Encountered the above error while getting ack",
        "CVeskComm::SendCommand: Request failed! Retry number = 2",
        "CVeskComm::SendCommand: Encountered the above error while getting ack",
        "CVeskComm::SendCommand: Request failed! Retry number = 3",
        "CVeskComm::SendCommand: Encountered the above error while getting ack",
        "CVeskComm::SendCommand: Retry exhuasted, so exit request",
    };
    EXPECT_EQ(expected, want);
    EXPECT_EQ(Comm().GetLastError(), 5);
    EXPECT_EQ(request.GetOpcode(), 0x11) << "the caller's message is unchanged on failure";
}

// An unplugged adapter is not a time-out: the exchange stops at once with the error that says
// so, without retrying.
TEST_P(CommTest, AVanishedDeviceEndsTheExchangeAtOnce)
{
    scope.Platform().Serial().SetUnplugged(true);
    try {
        SendRead();
        ADD_FAILURE() << "no error";
    } catch (const CCommError& e) {
        EXPECT_EQ(e.GetCode(), kCommDeviceGone);
        EXPECT_NE(std::string(e.GetText()).find("has gone"), std::string::npos) << e.GetText();
        EXPECT_NE(std::string(e.GetText()).find("reconnect it"), std::string::npos) << e.GetText();
    }
    EXPECT_EQ(CountLogged("CVeskComm::SendCommand: Request failed! Retry number = 1"), 0);
    EXPECT_LT(Now(), 0.05);
    scope.Platform().Serial().SetUnplugged(false);
}

TEST_P(CommTest, NackThenGoodExchangeSucceedsOnSecondAttempt)
{
    radio.Push(CScriptedPeer::Nack());
    radio.Push(CScriptedPeer::Reply(0x80, {0x02, 0x00, 0x00, 0x10, 0x20, 0x30}));
    EXPECT_EQ(SendRead(), 0);
    EXPECT_EQ(Requests().size(), 2u);
    EXPECT_TRUE(Logged("Receive Negative Ack from external device"));
    EXPECT_FALSE(Logged("CVeskComm::SendCommand: Encountered the above error while getting ack"))
        << "a negative ack is not a port error";
    EXPECT_EQ(request.GetOpcode(), 0x80);
    EXPECT_EQ(request.GetDataLength(), 6);
}

TEST_P(CommTest, AnyAckButNackIsPositive)
{
    for (uint8_t ack : {0x06, 0x00, 0xFF, 0x61, 0x50}) {
        SCOPED_TRACE(static_cast<int>(ack));
        radio.Push(CScriptedPeer::Reply(0x80, {0, 0, 0, 7}, ack));
        EXPECT_EQ(SendRead(), 0);
    }
    for (int i = 0; i < 4; ++i)
        radio.Push(CScriptedPeer::Nack());
    EXPECT_EQ(SendRead(), 1);
}

TEST_P(CommTest, CorruptedRepliesGiveFour)
{
    Bytes badChecksum = CScriptedPeer::Frame(0x80, {1, 2, 3, 4});
    badChecksum.back() ^= 0x01;
    for (int i = 0; i < 4; ++i)
        radio.Push(RawReply(badChecksum));
    EXPECT_EQ(SendRead(), 4);
    EXPECT_EQ(CountLogged("The VESK reply message is corrupted"), 4);
    EXPECT_EQ(CountLogged("CVeskComm::SendCommand: Encountered the above error while getting reply"), 4);
}

// A long reply whose count is 0 or does not fit the receive buffer is refused after its
// four header bytes, unread: no zero-byte read, nothing past the buffer.
TEST_P(CommTest, ImpossibleLongCountsAreRefusedUnread)
{
    const Bytes counts[] = {{0x00, 0x00}, {0x01, 0xFD}, {0x02, 0x0A}, {0xFF, 0xFF}};
    for (const Bytes& count : counts) {
        SCOPED_TRACE(count[0] * 256 + count[1]);
        Bytes frame{0xFF, 0x80, count[0], count[1], 0x11, 0x22};
        Comm().SetAttempts(1);
        radio.Push(RawReply(frame));
        EXPECT_EQ(SendRead(), 4);
        char dump[9];
        std::snprintf(dump, sizeof dump, "FF80%02X%02X", count[0], count[1]);
        EXPECT_TRUE(Logged(dump)) << "the four bytes received are logged";
        scope.Clock().AdvanceBy(1);
    }
    // The largest count that fits is read whole.
    Bytes data(507, 0xA5);
    radio.Push(RawReply(AnyFrame(0x80, data, true)));
    EXPECT_EQ(SendRead(), 0);
    EXPECT_EQ(request.GetFrameLength(), 512);
    EXPECT_EQ(request.GetDataLength(), 507);
}

TEST_P(CommTest, PartialReplyIsLoggedWithItsBytes)
{
    Bytes frame = CScriptedPeer::Frame(0x80, {1, 2, 3, 4, 5});
    frame.resize(4);
    Comm().SetAttempts(1);
    radio.Push(RawReply(frame));
    EXPECT_EQ(SendRead(), 5);
    EXPECT_TRUE(Logged("CVeskComm::SendCommand: Encountered the above error while getting reply"));
    // The port delivers nothing of a read that timed out: only the first byte was received.
    EXPECT_TRUE(Logged("F6"));
}

TEST_P(CommTest, WriteReplyRuleUnderFlashWriteMode)
{
    struct Case {
        int flashWriteMode;
        int skipCheck;
        int expected;
        std::size_t requests;  // frames and resynchronisations together
    };
    const Case cases[] = {
        {0, 0, 0, 1},  // outside flashing a 0x80 reply is the exchange's success
        {1, 1, 0, 1},  // the check is skipped
        {1, 0, 3, 7},  // refused every time: 4 requests and 3 resynchronisations
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flashWriteMode * 10 + c.skipCheck);
        FlashWriteMode = c.flashWriteMode;
        SkipWriteReplyCheck = c.skipCheck;
        std::size_t before = Requests().size();
        radio.SetHandler([](const CScriptedPeer::Request& r) {
            return r.bytes == kResync ? CScriptedPeer::Ack(0x50) : CScriptedPeer::Reply(0x80, {0, 0, 0});
        });
        EXPECT_EQ(SendWrite(), c.expected);
        EXPECT_EQ(Requests().size() - before, c.requests);
        ResetLinkFlags();
    }
}

TEST_P(CommTest, RetryResynchronisesOnlyWhileFlashing)
{
    for (int flashing = 0; flashing <= 1; ++flashing) {
        SCOPED_TRACE(flashing);
        FlashWriteMode = flashing;
        std::size_t before = Requests().size();
        radio.Push(CScriptedPeer::Nack());
        if (flashing)
            radio.Push(CScriptedPeer::Ack(0x50));
        radio.Push(CScriptedPeer::Reply(0x84, {}));
        double start = Now();
        EXPECT_EQ(SendWrite(), 0);
        const auto& requests = Requests();
        ASSERT_EQ(requests.size() - before, flashing ? 3u : 2u);
        if (flashing) {
            EXPECT_EQ(requests[before + 1].bytes, kResync);
            EXPECT_GE(requests[before + 1].time - requests[before].time, 1.0);
            EXPECT_EQ(requests[before + 2].bytes, requests[before].bytes);
        } else {
            EXPECT_LT(Now() - start, 0.5);
        }
        ResetLinkFlags();
    }
}

// Only the echo was wrong: the radio took the request and answers it. The retry waits until
// that answer has gone by, so it is not sent into it, and the caller gets the retry's reply.
TEST_P(CommTest, WrongEchoRetryWaitsForTheRadiosAnswerToPass)
{
    if (!Echo())
        GTEST_SKIP() << "no echo to spoil";
    Comm().SetAttempts(4);
    box.CorruptEcho(1, 0x10);
    Response first = CScriptedPeer::Reply(0x80, {0, 0, 0, 1});
    first.ackDelay = 0.050;
    first.replyDelay = 0.200;
    radio.Push(first);
    radio.Push(CScriptedPeer::Reply(0x80, {0, 0, 0, 2}));
    EXPECT_EQ(SendRead(), 0);
    ASSERT_EQ(Requests().size(), 2u);
    const double charTime = 10.0 / 9600;
    const double firstAnswerEnd = Requests()[0].time + 0.050 + 0.200 + 10 * charTime;
    EXPECT_GT(Requests()[1].time, firstAnswerEnd) << "the retry went out into the radio's answer";
    ASSERT_EQ(request.GetDataLength(), 4);
    EXPECT_EQ(request.GetData()[3], 2) << "the reply is the retry's own";
    EXPECT_EQ(CountLogged("CVeskComm::SendCommand: Request failed! Retry number = 1"), 1);
}

TEST_P(CommTest, AtLeastOneAttemptIsMade)
{
    // With no attempt at all the exchange would report success without sending anything.
    Comm().SetAttempts(0);
    EXPECT_EQ(Comm().GetAttempts(), 1);
    radio.Push(CScriptedPeer::Silence());
    EXPECT_EQ(SendRead(), 5);
    EXPECT_EQ(Requests().size(), 1u);
}

TEST_P(CommTest, UnansweredResynchronisationIsANegativeAck)
{
    FlashWriteMode = 1;
    Comm().SetAttempts(2);
    radio.Push(CScriptedPeer::Nack());
    radio.Push(CScriptedPeer::Ack(0x51));
    EXPECT_EQ(SendWrite(), 1);
    EXPECT_TRUE(Logged("Not receive Ack from external device"));
}

TEST_P(CommTest, NoReplyRequestReturnsAfterAckAndPause)
{
    Response ack = CScriptedPeer::Ack();
    ack.ackDelay = 0.050;
    radio.Push(ack);
    request.BuildNoData(0x10);
    EXPECT_EQ(Comm().SendCommand(request, false), 0);
    ASSERT_EQ(Requests().size(), 1u);
    const double charTime = 10.0 / 9600;
    double ackArrived = Requests()[0].time + 0.050 + charTime;
    EXPECT_NEAR(Now(), ackArrived + 0.010, 2 * charTime);
    EXPECT_EQ(request.GetOpcode(), 0x10) << "the request as sent";
}

TEST_P(CommTest, GeneralErrorsPassStraightThrough)
{
    CTimerCtrl* held = GetPlatform()->GetDelayTimer();  // the pause cannot have it
    ASSERT_NE(held, nullptr);
    radio.Push(CScriptedPeer::Reply(0x80, {0, 0, 0, 1}));
    try {
        SendRead();
        ADD_FAILURE() << "no error";
    } catch (const CGenError& e) {
        EXPECT_EQ(e.GetCode(), 1);
    }
    GetPlatform()->ReleaseDelayTimer();
    EXPECT_EQ(Requests().size(), 1u) << "not retried";
    EXPECT_FALSE(Logged("CVeskComm::SendCommand: Request failed! Retry number = 1"));

    broker.CloseLink();
    EXPECT_THROW(SendRead(), CGenError) << "no link";
}

TEST_P(CommTest, FailedOpenKeepsItsCauseAndGivesThePortBack)
{
    broker.CloseLink();
    scope.Platform().Serial().SetUnplugged(true);
    try {
        broker.OpenLink(3, Echo());
        ADD_FAILURE() << "opened";
    } catch (const CGenError& e) {
        EXPECT_EQ(e.GetCode(), 3);
        EXPECT_STREQ(e.GetText(), "Unable to open communication port");
    }
    EXPECT_FALSE(Comm().OpenFailureCause().empty());
    EXPECT_TRUE(Logged(Comm().OpenFailureCause()));
    EXPECT_FALSE(Comm().IsOpen());
    scope.Platform().Serial().SetUnplugged(false);
    broker.OpenLink(1, Echo());
    EXPECT_TRUE(Comm().IsOpen());
    EXPECT_TRUE(Comm().OpenFailureCause().empty());
    EXPECT_EQ(scope.Platform().Serial().GetBaud(), 9600);
    EXPECT_EQ(scope.Platform().Serial().GetEchoMode(), Echo() ? 1 : 0);
}
