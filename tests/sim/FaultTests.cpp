#include "SimTestSupport.h"

#include "platform/Serial.h"
#include "sim/model/FaultPlan.h"

namespace {

using Frame = std::vector<uint8_t>;

class Faults : public RadioFixture {
protected:
    void Inject(const std::string& spec) { Radio().AddFault(ParseFaultSpec(spec)); }
};

TEST_F(Faults, NackOnTheNthRequestOfAKind)
{
    Inject("nack:op=read,nth=2");
    EXPECT_EQ(*Exchange(ReadFrame(0, 1)).ack, 0x06);
    Answer second = Exchange(ReadFrame(0, 1));
    EXPECT_EQ(*second.ack, 0x60);
    EXPECT_TRUE(second.reply.empty());
    EXPECT_EQ(*Exchange(ReadFrame(0, 1)).ack, 0x06);
}

TEST_F(Faults, CorruptedReplyChecksum)
{
    Inject("checksum:at=1");
    Answer a = Exchange(ReadFrame(0, 1));
    ASSERT_FALSE(a.reply.empty());
    EXPECT_NE(a.reply.back(), radio_frames::Checksum(a.reply.data(), a.reply.size() - 1));
}

TEST_F(Faults, DroppedAcknowledgementAndReply)
{
    Inject("drop-ack:at=1");
    Inject("drop-reply:at=2");
    EXPECT_FALSE(Exchange(ReadFrame(0, 1)).ack.has_value());
    Answer second = Exchange(ReadFrame(0, 1));
    EXPECT_TRUE(second.ack.has_value());
    EXPECT_TRUE(second.reply.empty());
}

TEST_F(Faults, LateReplyMissesTheTimeoutThenTheRadioAnswersAgain)
{
    Inject("late-reply:op=status,ms=1500");
    EXPECT_TRUE(Exchange(StatusFrame(4)).reply.empty());
    GetPlatform()->Sleep(1000);
    EXPECT_FALSE(Exchange(StatusFrame(4)).reply.empty());
}

TEST_F(Faults, GarbageBeforeTheAcknowledgement)
{
    Inject("garbage:at=1,bytes=3");
    Frame frame = ReadFrame(0, 1);
    port->Write(frame.data(), static_cast<unsigned>(frame.size()), 1000);
    uint8_t bytes[4];
    port->Read(bytes, 4, 100);
    EXPECT_EQ(bytes[3], 0x06);
    EXPECT_EQ(bytes[0], 0x3C);
}

TEST_F(Faults, WrongEchoByteFailsTheWrite)
{
    Inject("echo:at=2,offset=1");
    Exchange(ReadFrame(0, 1));
    Frame frame = ReadFrame(0, 1);
    try {
        port->Write(frame.data(), static_cast<unsigned>(frame.size()), 1000);
        FAIL() << "echo accepted";
    } catch (const CError& e) {
        EXPECT_EQ(e.GetCode(), 11);
    }
}

TEST_F(Faults, LineBreakInsteadOfTheAcknowledgement)
{
    Inject("break:at=1,ms=30");
    Frame frame = ReadFrame(0, 1);
    port->Write(frame.data(), static_cast<unsigned>(frame.size()), 1000);
    EXPECT_TRUE(port->WaitForCommError(CE_BREAK, 100));
}

TEST_F(Faults, PowerLossSilencesTheRadioUntilItComesBack)
{
    Inject("power-loss:at=1,ms=500");
    EXPECT_FALSE(Exchange(ReadFrame(0, 1)).ack.has_value());
    EXPECT_EQ(Radio().GetMode(), CSimRadio::Mode::Off);
    GetPlatform()->Sleep(600);
    EXPECT_EQ(Radio().GetMode(), CSimRadio::Mode::Application);
}

class FirmwareFaults : public Faults {
protected:
    static RadioProfile Profile()
    {
        RadioProfile p = TestProfile();
        p.productLine = 12;
        return p;
    }
};

TEST_F(Faults, PowerLossAtAFirmwareRecordLeavesItHalfWritten)
{
    Inject("power-loss:record=2,ms=200");
    DownloadFl0(38400);
    Exchange(EraseFrame(), 20000);
    EXPECT_EQ(Exchange(WriteFrame(0x400000, {0x01, 0x02})).reply[1], 0x84);
    EXPECT_FALSE(Exchange(WriteFrame(0x400002, {0x03, 0x04, 0x05, 0x06})).ack.has_value());
    EXPECT_EQ(Radio().Memory().Read(0x400003), 0x04);
    EXPECT_EQ(Radio().Memory().Read(0x400004), 0xFF);
    GetPlatform()->Sleep(300);
    // Its application marks are programmed (first bytes), so it starts what is there.
    EXPECT_EQ(Radio().GetMode(), CSimRadio::Mode::Application);
}

TEST(FaultSpec, ParsesKindsAndKeys)
{
    struct Case {
        const char* spec;
        FaultKind kind;
        unsigned at;
        const char* op;
        unsigned nth;
        unsigned count;
        double seconds;
    } cases[] = {
        {"nack", FaultKind::Nack, 0, "any", 1, 1, 0},
        {"nack:op=write,nth=3,count=2", FaultKind::Nack, 0, "write", 3, 2, 0},
        {"late-reply:op=erase,ms=25000", FaultKind::LateReply, 0, "erase", 1, 1, 25.0},
        {"power-loss:record=40", FaultKind::PowerLoss, 0, "flash-write", 40, 1, 1.0},
        {"break:at=7", FaultKind::LineBreak, 7, "any", 1, 1, 0.05},
        {"drop-reply:op=block,nth=2", FaultKind::DropReply, 0, "block", 2, 1, 0},
    };
    for (const Case& c : cases) {
        FaultRule r = ParseFaultSpec(c.spec);
        EXPECT_EQ(r.kind, c.kind) << c.spec;
        EXPECT_EQ(r.at, c.at) << c.spec;
        EXPECT_EQ(r.op, c.op) << c.spec;
        EXPECT_EQ(r.nth, c.nth) << c.spec;
        EXPECT_EQ(r.count, c.count) << c.spec;
        EXPECT_DOUBLE_EQ(r.seconds, c.seconds) << c.spec;
    }
}

TEST(FaultSpec, RefusesWhatItCannotRead)
{
    for (const char* spec : {"explode", "nack:op=fly", "nack:nth=0", "nack:at=x", "nack:when=3", "nack:at", "echo:mask=0"}) {
        try {
            ParseFaultSpec(spec);
            ADD_FAILURE() << spec;
        } catch (const CGenError& e) {
            EXPECT_NE(std::string(e.GetText()).find(spec), std::string::npos) << e.GetText();
        }
    }
}

TEST(FaultPlan, FlashRecordsCountFromTheLastErase)
{
    CFaultPlan plan;
    plan.Add(ParseFaultSpec("nack:record=2"));
    EXPECT_TRUE(plan.OnRequest({"flash-write", "write", "any"}).empty());
    plan.RestartCount("flash-write");
    EXPECT_TRUE(plan.OnRequest({"flash-write", "write", "any"}).empty());
    EXPECT_EQ(plan.OnRequest({"flash-write", "write", "any"}).size(), 1u);
    EXPECT_EQ(plan.RequestNumber(), 3u);
}

}  // namespace
