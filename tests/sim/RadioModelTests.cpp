#include "SimTestSupport.h"

#include "link/VeskBroker.h"
#include "sim/model/SRecordIo.h"
#include "tests/support/ScratchDirectory.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using Frame = std::vector<uint8_t>;

class RadioModel : public RadioFixture {};

TEST_F(RadioModel, ReadRepliesWithAddressThenBytes)
{
    Answer a = Exchange(ReadFrame(0x0000, 3));
    ASSERT_TRUE(a.ack.has_value());
    EXPECT_NE(*a.ack, 0x60);
    EXPECT_EQ(a.reply, radio_frames::Build(0x80, {0x00, 0x00, 0x00, 0x02, 0x80, 0x11}));
}

TEST_F(RadioModel, ReadOfTheIdentityMarkAndOfUnmappedMemory)
{
    struct Case {
        uint32_t address;
        Frame expected;
    } cases[] = {
        {0x3FF0, {0x42}},
        {0x200000, {0xFF, 0xFF}},  // nothing between the codeplug and the flash
        {0x470000, {0xFF}},        // beyond a 256 KB flash
    };
    for (const Case& c : cases) {
        Answer a = Exchange(ReadFrame(c.address, static_cast<uint8_t>(c.expected.size())));
        ASSERT_FALSE(a.reply.empty()) << std::hex << c.address;
        Frame data = radio_frames::Data(a.reply);
        EXPECT_EQ(Frame(data.begin() + 3, data.end()), c.expected) << std::hex << c.address;
    }
}

TEST_F(RadioModel, LongReadUsesTheLongReplyForm)
{
    Answer a = Exchange(ReadFrame(0x0000, 32));
    ASSERT_EQ(a.reply.size(), 4u + 3 + 32 + 1);
    EXPECT_EQ(a.reply[0], 0xFF);
    EXPECT_EQ(a.reply[3], 36);
}

TEST_F(RadioModel, CodeplugWriteIsKeptAndAnsweredGoodWrite)
{
    Answer w = Exchange(WriteFrame(0x3FF0, {0x17, 0x18}));
    ASSERT_FALSE(w.reply.empty());
    EXPECT_EQ(w.reply[1], 0x84);
    EXPECT_EQ(Radio().Memory().Read(0x3FF0), 0x17);
    EXPECT_EQ(Radio().Memory().Read(0x3FF1), 0x18);
}

TEST_F(RadioModel, ApplicationRefusesFlashWritesAndErase)
{
    Answer w = Exchange(WriteFrame(0x400000, {0x00}));
    ASSERT_FALSE(w.reply.empty());
    EXPECT_EQ(w.reply[1], 0x85);
    Answer e = Exchange(EraseFrame());
    ASSERT_FALSE(e.reply.empty());
    EXPECT_EQ(e.reply[1], 0x85);
}

TEST_F(RadioModel, BadChecksumIsNegativelyAcknowledged)
{
    Frame frame = ReadFrame(0, 1);
    frame.back() ^= 1;
    Answer a = Exchange(frame);
    ASSERT_TRUE(a.ack.has_value());
    EXPECT_EQ(*a.ack, 0x60);
    EXPECT_TRUE(a.reply.empty());
}

TEST_F(RadioModel, ResynchronisationIsAnswered0x50)
{
    Answer a = Exchange({0x55, 0xAA});
    ASSERT_TRUE(a.ack.has_value());
    EXPECT_EQ(*a.ack, 0x50);
}

TEST_F(RadioModel, StatusRepliesBySelector)
{
    struct Case {
        uint8_t selector;
        uint8_t opcode;
        Frame text;
    } cases[] = {
        {0, 0x8B, {'T', 'R', '4', '0', '0', ' ', 'X'}},
        {3, 0x8B, {'I', 'D', '-', '1'}},
        {4, 0x8B, {'D', '1'}},
        {15, 0x8B, {0xE5, 0x8E, 0xC1, 0x54, 0x19, 0x9D, 0x11, 0xD1, 0x80, 0x18, 0x00, 0x60, 0xB0, 0x3C, 0x8A, 0xFF}},
        {16, 0x8B, {0x07}},
        {9, 0x86, {}},   // configured as unsupported
        {77, 0x86, {}},  // not in the profile at all
    };
    for (const Case& c : cases) {
        Answer a = Exchange(StatusFrame(c.selector));
        ASSERT_FALSE(a.reply.empty()) << int(c.selector);
        EXPECT_EQ(a.reply[1], c.opcode) << int(c.selector);
        Frame data = radio_frames::Data(a.reply);
        ASSERT_FALSE(data.empty());
        EXPECT_EQ(data[0], c.selector);
        if (c.opcode == 0x8B) {
            EXPECT_EQ(Frame(data.begin() + 1, data.end()), c.text) << int(c.selector);
        }
    }
}

TEST_F(RadioModel, AcknowledgementAndReplyFollowTheProfileLatencies)
{
    // 7-byte request at 9600 8N1 echoed; ack after 2 ms of latency plus its own character.
    Answer a = Exchange(ReadFrame(0, 1));
    double character = 10.0 / 9600;
    EXPECT_NEAR(a.ackTime, 0.002 + character, 0.0011);
}

TEST_F(RadioModel, ResetRestartsTheApplication)
{
    Answer a = Exchange(radio_frames::Build(0x10, {}));
    ASSERT_TRUE(a.ack.has_value());
    EXPECT_TRUE(a.reply.empty());
    Clock().AdvanceBy(0.2);
    EXPECT_EQ(Radio().GetMode(), CSimRadio::Mode::Application);
    EXPECT_FALSE(Exchange(ReadFrame(0, 1)).reply.empty());
}

TEST_F(RadioModel, BytesAtAnotherRateArriveGarbledAndGoUnanswered)
{
    port->SetBaud(19200);  // the box still echoes at the PC's own rate
    Answer a = Exchange(ReadFrame(0, 1));
    EXPECT_FALSE(a.ack.has_value());
    EXPECT_FALSE(Radio().Trace().Of("garbled").empty());
}

TEST_F(RadioModel, BrokerTalksToTheModel)
{
    CVeskBroker broker;
    port->Close();
    GetPlatform()->ReleaseSerial();
    broker.OpenLink(1, 1);
    uint8_t mark = 0;
    broker.WriteRequest(0x3FF0, 1, &mark);
    ASSERT_EQ(broker.ReadRequest(0x3FF0, 1, &mark), 1u);
    EXPECT_EQ(mark, 0);
    char text[17] = {};
    broker.RadioStatusRequest(4, text, sizeof text);
    EXPECT_STREQ(text, "D1");
    broker.CloseLink();
    port = GetPlatform()->GetSerial();
}

TEST_F(RadioModel, TraceAndDumpsRecordWhatHappened)
{
    Exchange(WriteFrame(0x0100, {0xAB}));
    Exchange(ReadFrame(0x0100, 1));
    std::vector<CRadioTrace::Entry> frames = Radio().Trace().Of("frame");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_NE(frames[0].note.find("write 1 at 000100"), std::string::npos);
    EXPECT_EQ(Radio().Trace().Of("reply").size(), 2u);

    CScratchDirectory scratch("tessarin-sim-dump");
    std::string dir = scratch.Path().string();
    Radio().WriteDumps(dir);
    std::ifstream bin(dir + "/codeplug.bin", std::ios::binary);
    std::string cp((std::istreambuf_iterator<char>(bin)), {});
    ASSERT_EQ(cp.size(), 0x10000u);
    EXPECT_EQ(static_cast<uint8_t>(cp[0x100]), 0xAB);
    std::vector<SimRecord> records = ReadSRecordFile(dir + "/codeplug.s19");
    std::vector<uint8_t> fromRecords(0x10000, 0);
    for (const SimRecord& r : records)
        std::copy(r.data.begin(), r.data.end(), fromRecords.begin() + r.address);
    EXPECT_EQ(std::string(fromRecords.begin(), fromRecords.end()), cp);
    EXPECT_EQ(std::filesystem::file_size(dir + "/flash.bin"), 256u * 1024);
    EXPECT_TRUE(std::filesystem::exists(dir + "/trace.txt"));
}

class RadioWithoutEcho : public RadioFixture {
protected:
    static RadioProfile Profile()
    {
        RadioProfile p = TestProfile();
        p.echo = false;
        return p;
    }
    RadioWithoutEcho() : RadioFixture(Profile()) {}
};

TEST_F(RadioWithoutEcho, OnlyTheRadioAnswers)
{
    Answer a = Exchange(ReadFrame(0x3FF0, 1));
    ASSERT_TRUE(a.ack.has_value());
    EXPECT_EQ(radio_frames::Data(a.reply).back(), 0x42);
    Clock().AdvanceBy(0.1);
    EXPECT_EQ(port->GetBaud(), 9600);
}

}  // namespace
