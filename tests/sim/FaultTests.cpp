#include "SimTestSupport.h"

#include "platform/Serial.h"
#include "sim/model/FaultPlan.h"

namespace {

using Frame = std::vector<uint8_t>;

// Which requests a rule fires on, as the plan counts them: a row's requests in order, and a
// mark for each ('x' fired, '.' not).
TEST(FaultPlan, SelectsAndCountsOverTheWholeSession)
{
    const FaultRequest sync{FaultOp::Sync, FaultStage::Bootstrap};
    const FaultRequest block{FaultOp::Block, FaultStage::Bootstrap};
    const FaultRequest read{FaultOp::Read, FaultStage::Application, 0x3FF0};
    const FaultRequest readElsewhere{FaultOp::Read, FaultStage::Application, 0x0000};
    const FaultRequest erase{FaultOp::Erase, FaultStage::BootCode};
    const FaultRequest probe{FaultOp::FlashWrite, FaultStage::BootCode, 0x470000, 1};
    const FaultRequest cpWrite{FaultOp::CodeplugWrite, FaultStage::BootCode, 0x0010};
    auto record = [](unsigned n) { return FaultRequest{FaultOp::FlashWrite, FaultStage::Firmware, 0x400000 + 16 * n, n}; };
    // Two attempts of a firmware download: handshake, erase, probe, erase, two records.
    const std::vector<FaultRequest> attempt{sync, block, block, erase, probe, erase, record(1), record(2)};
    std::vector<FaultRequest> twoAttempts = attempt;
    twoAttempts.insert(twoAttempts.end(), attempt.begin(), attempt.end());

    struct Row {
        const char* spec;
        std::vector<FaultRequest> requests;
        const char* fires;
    } rows[] = {
        {"nack", attempt, "x......."},  // any: the boot ROM's sync is the first request
        {"nack:op=any,nth=2,count=2", attempt, ".xx....."},
        {"nack:op=write,nth=2", {cpWrite, probe, cpWrite}, ".x."},
        {"nack:op=block,count=5", twoAttempts, ".xx......xx....."},
        {"nack:at=2", attempt, "....x..."},  // frames only: sync and blocks are not numbered
        {"nack:record=2", twoAttempts, ".......x.......x"},
        {"power-loss:record=2,times=1", twoAttempts, ".......x........"},
        {"nack:op=flash-write,nth=3", twoAttempts, ".......x........"},
        {"power-loss:stage=firmware,nth=2", twoAttempts, ".......x........"},
        {"nack:stage=boot-code,count=8", twoAttempts, "...xxx.....xxx.."},
        {"nack:addr=0x3FF0", {readElsewhere, read, read}, ".x."},
        {"nack:op=read,count=3,times=2", {read, read, read}, "xx."},
        {"nack:addr=0x400020,op=write", twoAttempts, ".......x........"},
    };
    for (const Row& row : rows) {
        CFaultPlan plan;
        plan.Add(ParseFaultSpec(row.spec));
        std::string fires;
        for (const FaultRequest& request : row.requests)
            fires += plan.OnRequest(request).empty() ? '.' : 'x';
        EXPECT_EQ(fires, row.fires) << row.spec;
    }
}

TEST(FaultSpec, ParsesKindsAndKeys)
{
    struct Case {
        const char* spec;
        FaultKind kind;
        unsigned at;
        FaultOp op;
        unsigned nth;
        unsigned count;
        unsigned times;
        double seconds;
    } cases[] = {
        {"nack", FaultKind::Nack, 0, FaultOp::Any, 1, 1, 0, 0},
        {"nack:op=write,nth=3,count=2", FaultKind::Nack, 0, FaultOp::Write, 3, 2, 0, 0},
        {"late-reply:op=erase,ms=25000", FaultKind::LateReply, 0, FaultOp::Erase, 1, 1, 0, 25.0},
        {"power-loss:record=40,times=1", FaultKind::PowerLoss, 0, FaultOp::FlashWrite, 1, 1, 1, 1.0},
        {"break:at=7", FaultKind::LineBreak, 7, FaultOp::Any, 1, 1, 0, 0.05},
        {"drop-reply:op=block,nth=2", FaultKind::DropReply, 0, FaultOp::Block, 2, 1, 0, 0},
        {"power-cycle:op=status,ms=200", FaultKind::PowerCycle, 0, FaultOp::Status, 1, 1, 0, 0.2},
    };
    for (const Case& c : cases) {
        FaultRule r = ParseFaultSpec(c.spec);
        EXPECT_EQ(r.kind, c.kind) << c.spec;
        EXPECT_EQ(r.at, c.at) << c.spec;
        EXPECT_EQ(r.op, c.op) << c.spec;
        EXPECT_EQ(r.nth, c.nth) << c.spec;
        EXPECT_EQ(r.count, c.count) << c.spec;
        EXPECT_EQ(r.times, c.times) << c.spec;
        EXPECT_DOUBLE_EQ(r.seconds, c.seconds) << c.spec;
    }
    EXPECT_EQ(ParseFaultSpec("nack:record=40").record, 40u);
    EXPECT_EQ(*ParseFaultSpec("nack:addr=0x3FF0").address, 0x3FF0u);
    EXPECT_EQ(ParseFaultSpec("nack:stage=firmware").stage, FaultStage::Firmware);
}

TEST(FaultSpec, RefusesWhatItCannotRead)
{
    for (const char* spec : {"explode", "nack:op=fly", "nack:nth=0", "nack:at=x", "nack:when=3", "nack:at", "echo:mask=0",
                             "nack:times=0", "nack:stage=later", "nack:addr=0x1000000", "nack:record=3,op=read",
                             "nack:record=3,at=2"}) {
        try {
            ParseFaultSpec(spec);
            ADD_FAILURE() << spec;
        } catch (const CGenError& e) {
            EXPECT_NE(std::string(e.GetText()).find(spec), std::string::npos) << e.GetText();
        }
    }
}

// Each kind of fault on the requests it selects, seen from the PC: per request, the
// acknowledgement (0 for none) and whether a reply with a good checksum ('r'), a bad one ('c')
// or none ('-') followed.
TEST(FaultKinds, EachAsThePcSeesIt)
{
    struct Step {
        Frame frame;
        unsigned pauseMsBefore = 0;
    };
    const Frame read0 = RadioBench::ReadFrame(0, 1), readMark = RadioBench::ReadFrame(0x3FF0, 1);
    const Frame status = RadioBench::StatusFrame(4);
    struct Row {
        std::vector<const char*> specs;
        std::vector<Step> steps;
        const char* seen;  // two characters per step: ack ('6', 'N' for 0x60, '0' none), reply
    } rows[] = {
        {{"nack:op=read,nth=2"}, {{read0}, {read0}, {read0}}, "6rN-6r"},
        {{"checksum:at=1"}, {{read0}}, "6c"},
        {{"drop-ack:at=1", "drop-reply:at=2"}, {{read0}, {read0}}, "0-6-"},
        {{"late-reply:op=status,ms=1500"}, {{status}, {status, 1000}}, "6-6r"},
        {{"power-loss:at=1,ms=500"}, {{read0}, {read0, 200}, {read0, 400}}, "0-0-6r"},
        {{"power-cycle:op=status"}, {{status}, {read0}, {read0, 100}}, "6r0-6r"},
        {{"nack:addr=0x3FF0,times=1"}, {{read0}, {readMark}, {readMark}}, "6rN-6r"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.specs.front());
        RadioBench bench;
        for (const char* spec : row.specs)
            bench.Radio().AddFault(ParseFaultSpec(spec));
        std::string seen;
        for (const Step& step : row.steps) {
            GetPlatform()->Sleep(step.pauseMsBefore);
            Answer a = bench.Exchange(step.frame);
            seen += !a.ack ? '0' : *a.ack == 0x60 ? 'N' : *a.ack == 0x06 ? '6' : '?';
            seen += a.reply.empty() ? '-'
                    : a.reply.back() == radio_frames::Checksum(a.reply.data(), a.reply.size() - 1) ? 'r'
                                                                                                  : 'c';
        }
        EXPECT_EQ(seen, row.seen) << bench.Radio().Trace().Format();
    }
}

class Faults : public RadioFixture {
protected:
    void Inject(const std::string& spec) { Radio().AddFault(ParseFaultSpec(spec)); }
};

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

// The echo fault of request 2 spoils a byte of request 2, not the bytes the radio drops
// before it (sent at another rate, as a program looking for the bootstrap pulse does).
TEST_F(Faults, FrameEchoFaultLandsOnItsOwnRequest)
{
    Inject("echo:at=2,offset=3");
    Exchange(ReadFrame(0, 1));
    port->SetBaud(19200);
    const Frame stray{0x12, 0x34, 0x56};
    EXPECT_NO_THROW(port->Write(stray.data(), static_cast<unsigned>(stray.size()), 1000)) << "a stray byte's echo was spoilt";
    port->SetBaud(9600);
    GetPlatform()->Sleep(50);
    Frame frame = ReadFrame(0, 1);
    try {
        port->Write(frame.data(), static_cast<unsigned>(frame.size()), 1000);
        FAIL() << "echo accepted";
    } catch (const CCommError& e) {
        EXPECT_EQ(e.GetCode(), kCommEchoMismatch);
        EXPECT_NE(std::string(e.GetText()).find("Echo byte 3 "), std::string::npos) << e.GetText();
    }
}

// A block echo fault armed for a block that never came (the download was cut short) waits for
// the next download's block, not for whatever byte comes next.
TEST_F(Faults, BlockEchoFaultWaitsForItsBlockAcrossAPowerCycle)
{
    Inject("echo:op=block,nth=2");
    port->SetBaud(2400);
    for (int download = 0; download < 2; ++download) {
        Radio().PowerCycle(true);
        GetPlatform()->Sleep(100);
        port->PurgeInput();
        uint8_t sync = 0xFD, answer = 0;
        port->Write(&sync, 1, 100);  // its echo is checked
        port->Read(&answer, 1, 100);
        ASSERT_EQ(answer, 0xFF);
        port->SetEchoMode(0);
        Frame block(8, 0x21), back(16);
        port->Write(block.data(), 8, 674);
        port->Read(back.data(), 16, 1348);
        EXPECT_EQ(Frame(back.begin(), back.begin() + 8) == block, download == 0) << download;
        port->SetEchoMode(1);
    }
}

TEST_F(Faults, LineBreakInsteadOfTheAcknowledgement)
{
    Inject("break:at=1,ms=30");
    Frame frame = ReadFrame(0, 1);
    port->Write(frame.data(), static_cast<unsigned>(frame.size()), 1000);
    EXPECT_TRUE(port->WaitForCommError(CE_BREAK, 100));
}

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

// "Power loss at record 2 of the first attempt, then the retry succeeds", in either form.
TEST(FaultKinds, OneSpecFailsTheFirstAttemptOnlyAcrossErases)
{
    for (const char* spec : {"power-loss:stage=firmware,nth=2,ms=200", "power-loss:record=2,times=1,ms=200"}) {
        SCOPED_TRACE(spec);
        RadioBench bench;
        bench.Radio().AddFault(ParseFaultSpec(spec));
        std::vector<bool> answered;
        for (int attempt = 0; attempt < 2; ++attempt) {
            bench.DownloadFl0(38400);
            bench.Exchange(RadioBench::EraseFrame(), 20000);
            bench.Exchange(RadioBench::WriteFrame(0x430000, {0xAA}));  // the size probe
            bench.Exchange(RadioBench::EraseFrame(), 20000);
            for (uint32_t record = 0; record < 3; ++record)
                answered.push_back(!bench.Exchange(RadioBench::WriteFrame(0x400000 + 4 * record, {1, 2, 3, 4})).reply.empty());
            GetPlatform()->Sleep(300);
            bench.port->SetBaud(9600);
        }
        EXPECT_EQ(answered, (std::vector<bool>{true, false, false, true, true, true}));
    }
}

}  // namespace
