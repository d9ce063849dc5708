#include "tests/link/LinkFixture.h"

#include "errors/Error.h"
#include "link/LinkFlags.h"
#include "platform/FlashWriteMode.h"
#include "platform/UiServices.h"

#include <cstring>

namespace {

const char kPrompt[] =
    "Error detected.\nPlease press OK to recover the radio or press CANCEL to exit the recovery "
    "function.\nIf problem still persists, please send the radio to service center.";

class BrokerTest : public LinkTest {
protected:
    void Silence(int times = 4)
    {
        for (int i = 0; i < times; ++i)
            radio.Push(CScriptedPeer::Silence());
    }
    // Runs `operation`, expecting a CVeskError with this code and text.
    template <class F>
    void ExpectVeskError(F operation, int code, const char* text)
    {
        try {
            operation();
            ADD_FAILURE() << "no error";
        } catch (const CVeskError& e) {
            EXPECT_EQ(e.GetCode(), code);
            EXPECT_STREQ(e.GetText(), text);
        }
    }
};

Bytes ReadReplyData(std::size_t bytes)
{
    Bytes data{0x0B, 0x00, 0x00};
    for (std::size_t i = 0; i < bytes; ++i)
        data.push_back(static_cast<uint8_t>(0x10 + i));
    return data;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Echo, BrokerTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "EchoOn" : "EchoOff"; });

TEST_P(BrokerTest, ParametersAndRequestFrames)
{
    EXPECT_EQ(Comm().GetAttempts(), 4);
    EXPECT_EQ(Comm().GetAckTimeout(), 100);
    EXPECT_EQ(Comm().GetReplyTimeout(), 750);
    EXPECT_EQ(Comm().GetPerByteTimeout(), 250);
    EXPECT_EQ(Comm().GetPause(), 10);
    EXPECT_TRUE(broker.IsLinkOpen());

    uint8_t buffer[16];
    char text[8];
    const uint8_t one = 0x5A;
    radio.Push(CScriptedPeer::Reply(0x80, ReadReplyData(11)));
    broker.ReadRequest(0x12000000, 11, buffer);  // sent as its low 24 bits
    radio.Push(CScriptedPeer::Reply(0x84, {}));
    broker.WriteRequest(0x3FF0, 1, &one);
    radio.Push(CScriptedPeer::Reply(0x84, {}));
    broker.EraseFlashRequest();
    radio.Push(CScriptedPeer::Ack());
    broker.ResetRadioRequest();
    radio.Push(CScriptedPeer::Reply(0x8B, {0x05, 'x'}));
    broker.RadioStatusRequest(0x05, text, sizeof text);

    const auto& requests = Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].bytes, (Bytes{0xF5, 0x11, 0x0B, 0x00, 0x00, 0x00, 0xEE}));
    EXPECT_EQ(requests[1].bytes, CScriptedPeer::Frame(0x17, {0x00, 0x3F, 0xF0, 0x5A}, true));
    EXPECT_EQ(requests[2].bytes, CScriptedPeer::Frame(0x15, {0x40}));
    EXPECT_EQ(requests[3].bytes, (Bytes{0xF1, 0x10, 0xFE}));
    EXPECT_EQ(requests[4].bytes, CScriptedPeer::Frame(0x23, {0x05}));
}

TEST_P(BrokerTest, ReadCopiesWhatTheReplyCarriesWithinTheCountAsked)
{
    struct Case {
        uint8_t asked;
        std::size_t carried;  // bytes after the three leading ones
        unsigned copied;
    };
    const Case cases[] = {
        {11, 11, 11},  // 14 data bytes: the last 11
        {11, 20, 11},  // more than asked: the first 11, nothing beyond the caller's buffer
        {11, 4, 4},    // fewer: what the reply carries
        {255, 255, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.carried);
        Bytes buffer(260, 0xEE);
        radio.Push(RawReply(AnyFrame(0x80, ReadReplyData(c.carried))));
        EXPECT_EQ(broker.ReadRequest(0x100, c.asked, buffer.data()), c.copied);
        for (unsigned i = 0; i < c.copied; ++i)
            EXPECT_EQ(buffer[i], static_cast<uint8_t>(0x10 + i));
        for (std::size_t i = c.copied; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], 0xEE) << "byte " << i << " touched";
    }
}

TEST_P(BrokerTest, ReadRefusesWrongAndShortReplies)
{
    const Response replies[] = {
        CScriptedPeer::Reply(0x84, ReadReplyData(2)),  // wrong opcode
        CScriptedPeer::Reply(0x80, {0x0B, 0x00}),      // fewer than 3 data bytes
        CScriptedPeer::Reply(0x80, {}),
    };
    for (const Response& reply : replies) {
        uint8_t buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        radio.Push(reply);
        ExpectVeskError([&] { broker.ReadRequest(0x3FF0, 4, buffer); }, 3, "No reply from radio.");
        EXPECT_EQ(buffer[0], 0xEE);
    }
    EXPECT_EQ(CountLogged("CVeskBroker::ReadRequest: Read from address 3FF0 did not receive correct "
                          "Read Reply from radio"),
              3);
}

TEST_P(BrokerTest, ResultCodesBecomeErrors)
{
    uint8_t buffer[4];
    for (int i = 0; i < 4; ++i)
        radio.Push(CScriptedPeer::Nack());
    ExpectVeskError([&] { broker.ReadRequest(0, 4, buffer); }, 1, "Received NACK from external device");

    Bytes bad = CScriptedPeer::Frame(0x80, ReadReplyData(4));
    bad.back() ^= 0xFF;
    for (int i = 0; i < 4; ++i)
        radio.Push(RawReply(bad));
    ExpectVeskError([&] { broker.ReadRequest(0, 4, buffer); }, 4,
                    "Reply from external device contained checksum error");

    Silence();
    ExpectVeskError([&] { broker.ReadRequest(0, 4, buffer); }, 5,
                    "Timeout occurred while sending VESK command");
    Silence();
    ExpectVeskError([&] { broker.ResetRadioRequest(); }, 5, "Timeout occurred while sending VESK command");
}

TEST_P(BrokerTest, WriteAnsweredWithReadReply)
{
    const uint8_t data[] = {1, 2};
    radio.SetHandler([](const CScriptedPeer::Request& r) {
        return r.bytes == Bytes{0x55, 0xAA} ? CScriptedPeer::Ack(0x50) : CScriptedPeer::Reply(0x80, {0, 0, 0});
    });
    for (int flashing = 0; flashing <= 1; ++flashing) {
        SCOPED_TRACE(flashing);
        FlashWriteMode = flashing;
        std::size_t before = Requests().size();
        ExpectVeskError([&] { broker.WriteRequest(0x3FF0, 2, data); }, 3,
                        "Did not received Good Write Reply for VESK Write Request");
        EXPECT_EQ(Requests().size() - before, flashing ? 7u : 1u);
        FlashWriteMode = 0;
    }
    EXPECT_EQ(CountLogged("CVeskBroker::WriteRequest: Write to ddress 3FF0 did not receive Good Write Reply"), 2);
}

TEST_P(BrokerTest, WriteLongerThanAFrameCarriesIsRefusedUnsent)
{
    Bytes data(252, 0x11);
    EXPECT_THROW(broker.WriteRequest(0, 252, data.data()), CGenError);
    EXPECT_TRUE(Requests().empty());
    radio.Push(CScriptedPeer::Reply(0x84, {}));
    broker.WriteRequest(0, 251, data.data());
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(Requests()[0].bytes.size(), 259u);
}

TEST_P(BrokerTest, EraseWaitsLongThenRestoresTheReplyTimeout)
{
    Response slow = CScriptedPeer::Reply(0x84, {});
    slow.replyDelay = 15.0;
    radio.Push(slow);
    double start = Now();
    broker.EraseFlashRequest();
    EXPECT_GT(Now() - start, 15.0);
    EXPECT_EQ(Comm().GetReplyTimeout(), 750);

    // The next request waits 750 ms for its reply again.
    for (int i = 0; i < 4; ++i)
        radio.Push(CScriptedPeer::Ack());  // acknowledged, never answered
    uint8_t byte;
    EXPECT_THROW(broker.ReadRequest(0, 1, &byte), CVeskError);
    ASSERT_EQ(Requests().size(), 5u);
    double gap = Requests()[2].time - Requests()[1].time;
    EXPECT_GT(gap, 0.750);
    EXPECT_LT(gap, 0.780);

    // Restored when the erase raises too.
    Silence();
    ExpectVeskError([&] { broker.EraseFlashRequest(); }, 5, "Timeout occurred while sending VESK command");
    EXPECT_EQ(Comm().GetReplyTimeout(), 750);
    radio.Push(CScriptedPeer::Reply(0x80, {}));
    ExpectVeskError([&] { broker.EraseFlashRequest(); }, 3,
                    "Did not received Good Write Reply for VESK Erase Flash Request");
    EXPECT_TRUE(Logged("CVeskBroker::WriteRequest: Erase flash did not receive Good Write Reply"));
    EXPECT_EQ(Comm().GetReplyTimeout(), 750);
}

TEST_P(BrokerTest, StatusReplies)
{
    struct Case {
        Response reply;
        unsigned bufferSize;
        std::string text;
        unsigned returned;
    };
    const Case cases[] = {
        {CScriptedPeer::Reply(0x8B, {0x0F, 'A', 'B', 'C'}), 32, "ABC", 3},
        {CScriptedPeer::Reply(0x8B, {0x0F, 'A', 'B', 'C'}), 3, "AB", 2},
        {CScriptedPeer::Reply(0x8B, {0x0F}), 32, "", 0},
    };
    for (const Case& c : cases) {
        char buffer[40];
        std::memset(buffer, 0x7E, sizeof buffer);
        radio.Push(c.reply);
        EXPECT_EQ(broker.RadioStatusRequest(0x0F, buffer, c.bufferSize), c.returned);
        EXPECT_EQ(std::string(buffer), c.text);
        EXPECT_EQ(buffer[c.bufferSize], 0x7E) << "nothing past the buffer";
    }
}

TEST_P(BrokerTest, StatusNoneReplyZeroesSixteenBytesAtMost)
{
    for (unsigned size : {32u, 8u}) {
        Bytes buffer(40, 0x7E);
        radio.Push(CScriptedPeer::Reply(0x86, {}));
        EXPECT_EQ(broker.RadioStatusRequest(0x0F, reinterpret_cast<char*>(buffer.data()), size),
                  std::min(size, 16u));
        for (unsigned i = 0; i < buffer.size(); ++i)
            EXPECT_EQ(buffer[i], i < std::min(size, 16u) ? 0 : 0x7E);
    }
}

TEST_P(BrokerTest, StatusWithWrongSelectorOrOpcodeIsRefused)
{
    const Response replies[] = {
        CScriptedPeer::Reply(0x8B, {0x0E, 'A'}),
        CScriptedPeer::Reply(0x80, {0x0F, 'A'}),
        CScriptedPeer::Reply(0x8B, {}),
    };
    for (const Response& reply : replies) {
        char buffer[8];
        radio.Push(reply);
        ExpectVeskError([&] { broker.RadioStatusRequest(0x0F, buffer, sizeof buffer); }, 3,
                        "Did not receive good Radio Status reply for VESK Radio Status Request");
    }
    EXPECT_EQ(CountLogged("CVeskBroker::RadioStatusRequest: Did not receive good Radio Status reply for "
                          "VESK Radio Status Request"),
              3);
}

TEST_P(BrokerTest, RecoveryPromptOnTimeoutForProductLine12)
{
    struct Case {
        int answer;
        uint8_t requested;
        uint8_t declined;
    };
    for (const Case& c : {Case{IDOK, 1, 0}, Case{IDCANCEL, 0, 1}}) {
        SCOPED_TRACE(c.answer);
        ResetLinkFlags();
        SetProductLineNumber(12);
        scope.Ui().boxes.clear();
        scope.Ui().answers = {c.answer};
        Silence();
        char text[8] = "junk";
        EXPECT_EQ(broker.RadioStatusRequest(0x0F, text, sizeof text), 0u);
        EXPECT_STREQ(text, "");
        ASSERT_EQ(scope.Ui().boxes.size(), 1u);
        EXPECT_EQ(scope.Ui().boxes[0].text, kPrompt);
        EXPECT_EQ(scope.Ui().boxes[0].caption, "Error");
        EXPECT_EQ(scope.Ui().boxes[0].style, static_cast<unsigned>(MB_OKCANCEL | MB_ICONHAND));
        EXPECT_EQ(RecoverRequested, c.requested);
        EXPECT_EQ(RecoverDeclined, c.declined);
    }

    // A read that times out asks, then finds no read reply.
    ResetLinkFlags();
    SetProductLineNumber(11);
    scope.Ui().boxes.clear();
    Silence();
    uint8_t byte;
    ExpectVeskError([&] { broker.ReadRequest(0x3FF0, 1, &byte); }, 3, "No reply from radio.");
    EXPECT_EQ(scope.Ui().boxes.size(), 1u);
    EXPECT_EQ(RecoverRequested, 1);
}

TEST_P(BrokerTest, TimeoutIsDeferredWhileARecoveryNoticeIsPending)
{
    SetProductLineNumber(12);
    RecoveryPending = 1;
    RecoveryNoticeShown = 1;
    Silence();
    char text[8] = "junk";
    EXPECT_EQ(broker.RadioStatusRequest(0x0F, text, sizeof text), 0u);
    EXPECT_TRUE(scope.Ui().boxes.empty());
    // The status request turns the deferred time-out into a recovery request.
    EXPECT_EQ(TimeoutDeferred, 0);
    EXPECT_EQ(RecoverRequested, 1);
    EXPECT_STREQ(text, "");
}
