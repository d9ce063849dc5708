#include "SimTestSupport.h"

#include "platform/Serial.h"
#include "sim/model/FaultPlan.h"
#include "sim/model/SRecordIo.h"

#include <algorithm>

namespace {

using Frame = std::vector<uint8_t>;

void SleepMs(unsigned ms) { GetPlatform()->Sleep(ms); }

}  // namespace

void RadioBench::DownloadFl0Code(std::vector<uint8_t> code, uint32_t rate)
{
    port->SetBaud(2400);
    Radio().PowerCycle(true);
    SleepMs(100);
    ASSERT_TRUE(port->WaitForCommError(CE_BREAK, 70));
    while (port->WaitForCommError(CE_BREAK, 5)) {
    }
    port->PurgeInput();
    uint8_t sync = 0xFD;
    port->Write(&sync, 1, 100);
    uint8_t answer = 0;
    port->Read(&answer, 1, 100);
    ASSERT_EQ(answer, 0xFF);
    uint8_t echoMode = port->GetEchoMode();
    port->SetEchoMode(0);
    code.resize((code.size() + 7) / 8 * 8, 0);
    for (std::size_t offset = 0; offset < code.size(); offset += 8) {
        port->Write(code.data() + offset, 8, 674);
        uint8_t back[16];
        port->Read(back, 16, 1348);
        ASSERT_TRUE(std::equal(back, back + 8, code.data() + offset)) << offset;
    }
    port->SetEchoMode(echoMode);
    port->SetBaud(static_cast<int>(rate));
    uint8_t hello = 0;
    port->Read(&hello, 1, 700);
    EXPECT_EQ(Radio().GetMode(), CSimRadio::Mode::BootCode);
}

namespace {

class Bootstrap : public RadioFixture {};

TEST_F(Bootstrap, Fl0MarksBootstrapModeWithShortBreaks)
{
    port->SetBaud(2400);
    Radio().PowerCycle(true);
    SleepMs(100);
    // A short break: seen, and gone again 15 ms later.
    ASSERT_TRUE(port->WaitForCommError(CE_BREAK, 70));
    SleepMs(15);
    EXPECT_FALSE(port->WaitForCommError(CE_BREAK, 5));
    // Loader detection sees a break in each of six consecutive checks.
    ASSERT_TRUE(port->WaitForCommError(CE_BREAK, 1000));
    for (int i = 0; i < 5; ++i) {
        SleepMs(30);
        EXPECT_TRUE(port->WaitForCommError(CE_BREAK, 200)) << i;
    }
}

TEST_F(Bootstrap, Fl0PulseReadsAsASyncPulseAt300Baud)
{
    port->SetBaud(2400);
    Radio().PowerCycle(true);
    EXPECT_TRUE(port->DetectSyncPulse(2000));
    EXPECT_EQ(port->GetBaud(), 2400);
}

TEST_F(Bootstrap, Fl0DownloadRunsTheBootCodeAtItsRate)
{
    DownloadFl0(38400);
    Answer a = Exchange(ReadFrame(0x3FF0, 1));
    ASSERT_FALSE(a.reply.empty());
    EXPECT_EQ(radio_frames::Data(a.reply).back(), 0x42);  // the codeplug survived the bootstrap
    EXPECT_EQ(Radio().Trace().Of("block").size(), 5u);
}

TEST_F(Bootstrap, DemoKitBootCodeFilesRunAtTheirRates)
{
    for (uint32_t rate : {19200u, 38400u, 115200u}) {
        std::vector<SimRecord> records = ReadSRecordFile(std::string(TESSARIN_SOURCE_DIR) + "/kits/demo/bc" + std::to_string(rate));
        Frame code;
        for (const SimRecord& r : records)
            code.insert(code.end(), r.data.begin(), r.data.end());
        DownloadFl0Code(code, rate);
        EXPECT_EQ(Radio().FrameBaud(), static_cast<int>(rate));
        EXPECT_FALSE(Exchange(ReadFrame(0x3FF0, 1)).reply.empty()) << rate;
        port->SetBaud(9600);
    }
}

TEST_F(Bootstrap, RequestsAtTheOldRateArriveGarbledAfterTheSwitch)
{
    DownloadFl0(19200);
    port->SetBaud(9600);
    EXPECT_FALSE(Exchange(ReadFrame(0, 1)).ack.has_value());
    EXPECT_FALSE(Radio().Trace().Of("garbled").empty());
}

TEST_F(Bootstrap, WrongSyncCharacterIsNotAnswered)
{
    port->SetBaud(2400);
    Radio().PowerCycle(true);
    SleepMs(100);
    port->PurgeInput();
    uint8_t wrong = 0xF0;
    port->Write(&wrong, 1, 100);
    uint8_t answer = 0;
    EXPECT_THROW(port->Read(&answer, 1, 100), CError);
}

TEST_F(Bootstrap, BootCodeWithoutItsHeaderLeavesTheRadioSilent)
{
    port->SetBaud(2400);
    Radio().PowerCycle(true);
    SleepMs(100);
    port->PurgeInput();
    uint8_t sync = 0xFD, answer = 0;
    port->Write(&sync, 1, 100);
    port->Read(&answer, 1, 100);
    port->SetEchoMode(0);
    Frame junk(8, 0x12);
    uint8_t back[16];
    port->Write(junk.data(), 8, 674);
    port->Read(back, 16, 1348);
    SleepMs(500);
    EXPECT_EQ(Radio().GetMode(), CSimRadio::Mode::Silent);
}

TEST_F(Bootstrap, EraseTakesTheProfileTimeAndLeavesFlashErased)
{
    DownloadFl0(38400);
    double start = Clock().Now();
    Answer a = Exchange(EraseFrame(), 20000);
    ASSERT_FALSE(a.reply.empty());
    EXPECT_EQ(a.reply[1], 0x84);
    EXPECT_NEAR(Clock().Now() - start, 3.0, 0.05);
    const auto& flash = Radio().Memory().Flash();
    EXPECT_TRUE(std::all_of(flash.begin(), flash.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(Bootstrap, ProgrammingOnlyClearsBits)
{
    DownloadFl0(38400);
    Exchange(EraseFrame(), 20000);
    EXPECT_EQ(Exchange(WriteFrame(0x400010, {0xF0, 0x0F})).reply[1], 0x84);
    EXPECT_EQ(Exchange(WriteFrame(0x400010, {0xF0, 0x0E})).reply[1], 0x84);  // clears one more bit
    EXPECT_EQ(Exchange(WriteFrame(0x400010, {0x0F})).reply[1], 0x85);        // would set bits
    EXPECT_EQ(Radio().Memory().Read(0x400010), 0x00);
    EXPECT_EQ(Radio().Memory().Read(0x400011), 0x0E);
}

struct ProbeCase {
    uint32_t sizeKB;
    uint32_t firstGood;
};

class SizeProbe : public RadioFixture, public ::testing::WithParamInterface<ProbeCase> {
protected:
    static RadioProfile Profile()
    {
        RadioProfile p = TestProfile();
        p.flashSizeKB = GetParam().sizeKB;
        return p;
    }
    SizeProbe() : RadioFixture(Profile()) {}
};

TEST_P(SizeProbe, OnlyAddressesInsideTheFlashTakeTheProbe)
{
    DownloadFl0(38400);
    Exchange(EraseFrame(), 20000);
    for (uint32_t probe : {0x470000u, 0x430000u, 0x410000u}) {
        Answer a = Exchange(WriteFrame(probe, {0xAA}));
        ASSERT_FALSE(a.reply.empty());
        EXPECT_EQ(a.reply[1], probe <= GetParam().firstGood ? 0x84 : 0x85) << std::hex << probe;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SizeProbe,
                         ::testing::Values(ProbeCase{512, 0x470000}, ProbeCase{256, 0x430000}, ProbeCase{128, 0x410000}));

class K4Radio : public RadioFixture {
protected:
    static RadioProfile Profile()
    {
        RadioProfile p = TestProfile();
        p.loader = LoaderKind::K4;
        return p;
    }
    K4Radio() : RadioFixture(Profile()) {}
};

TEST_F(K4Radio, TakesSyncAndCodeSilentlyThenRunsIt)
try {
    port->SetBaud(2400);
    Radio().PowerCycle(true);
    SleepMs(100);
    EXPECT_FALSE(port->WaitForCommError(CE_BREAK, 1000));  // no marks: the loader is K4
    uint8_t sync = 0xFD;
    port->Write(&sync, 1, 10);  // echo checked by the port
    Frame code = BootCode(19200, 25);
    for (std::size_t offset = 0; offset < code.size(); offset += 10)
        port->Write(code.data() + offset, static_cast<unsigned>(std::min<std::size_t>(10, code.size() - offset)), 200);
    uint8_t extra = 0;
    EXPECT_THROW(port->Read(&extra, 1, 50), CError);  // nothing but the echo came back
    port->SetBaud(19200);
    uint8_t hello = 0;
    port->Read(&hello, 1, 700);
    EXPECT_EQ(Radio().GetMode(), CSimRadio::Mode::BootCode);
    EXPECT_FALSE(Exchange(ReadFrame(0, 1)).reply.empty());
} catch (const CError& e) {
    FAIL() << e.GetText() << "\n" << Radio().Trace().Format();
}

class RecoveryRadio : public RadioFixture {
protected:
    static RadioProfile Profile()
    {
        RadioProfile p = TestProfile();
        p.productLine = 11;
        p.codeplugBytes.push_back({0x0299, {'L', 'D', '1', '1', ' '}});
        p.applicationMarks = {0x400000, 0x40001F};  // the first and last byte the firmware programs
        return p;
    }
    RecoveryRadio() : RadioFixture(Profile()) {}
};

TEST_F(RecoveryRadio, ErasedApplicationLeavesTheRadioInItsBootState)
{
    DownloadFl0(38400);
    Exchange(EraseFrame(), 20000);
    Radio().PowerCycle(false);
    SleepMs(100);
    port->SetBaud(9600);
    EXPECT_EQ(Radio().GetMode(), CSimRadio::Mode::BootState);

    Answer status = Exchange(StatusFrame(5));
    ASSERT_FALSE(status.reply.empty());
    EXPECT_EQ(radio_frames::Data(status.reply)[1] & 0x02, 0x02);
    // What only the application answers goes unanswered after the acknowledgement.
    Answer level = Exchange(StatusFrame(16));
    EXPECT_TRUE(level.ack.has_value());
    EXPECT_TRUE(level.reply.empty());
    // The fixed addresses that recovery reads come from the codeplug.
    Answer model = Exchange(ReadFrame(0x0299, 4));
    Frame data = radio_frames::Data(model.reply);
    EXPECT_EQ(Frame(data.begin() + 3, data.end()), (Frame{'L', 'D', '1', '1'}));
}

TEST_F(RecoveryRadio, PowerLossDuringTheFirmwareWriteLeavesItInItsBootState)
{
    Radio().AddFault(ParseFaultSpec("power-loss:record=2,ms=100"));
    DownloadFl0(38400);
    Exchange(EraseFrame(), 20000);
    EXPECT_EQ(Exchange(WriteFrame(0x400000, Frame(16, 0x11))).reply[1], 0x84);
    EXPECT_FALSE(Exchange(WriteFrame(0x400010, Frame(16, 0x22))).ack.has_value());
    EXPECT_EQ(Radio().Memory().Read(0x400017), 0x22);  // half the record took
    EXPECT_EQ(Radio().Memory().Read(0x400018), 0xFF);
    SleepMs(200);
    EXPECT_EQ(Radio().GetMode(), CSimRadio::Mode::BootState);  // its last application mark is erased
}

TEST_F(RecoveryRadio, SettingTheBootstrapRateEntersBootstrapModeWhenAsked)
{
    Radio().SetAutoBootstrap(true);
    port->SetBaud(2400);
    SleepMs(100);
    EXPECT_EQ(Radio().GetMode(), CSimRadio::Mode::BootRom);
    port->SetBaud(300);
    port->SetBaud(2400);
    SleepMs(100);
    EXPECT_EQ(Radio().Trace().Of("hands").size(), 1u);  // once: it is already in bootstrap mode
    // A download cut short, then the retry sets the bootstrap rate again: a fresh power cycle.
    uint8_t sync = 0xFD, answer = 0;
    port->Write(&sync, 1, 100);
    port->Read(&answer, 1, 100);
    ASSERT_EQ(answer, 0xFF);
    port->SetBaud(19200);
    port->SetBaud(2400);
    SleepMs(100);
    EXPECT_EQ(Radio().Trace().Of("hands").size(), 2u);
    EXPECT_TRUE(port->DetectSyncPulse(2000));
}

}  // namespace

namespace {

class ShippedRecoveryRadio : public RadioFixture {
protected:
    ShippedRecoveryRadio()
        : RadioFixture(LoadRadioProfile(std::string(TESSARIN_SOURCE_DIR) + "/sim/profiles/recovery-pl11.json"))
    {
    }
    uint8_t RegionSum(uint32_t first, uint32_t last)
    {
        uint8_t sum = 0;
        for (uint32_t a = first; a <= last; ++a)
            sum = static_cast<uint8_t>(sum + Radio().Memory().Read(a));
        return sum;
    }
};

TEST_F(ShippedRecoveryRadio, PowersUpInItsBootStateWithIntactRegions)
{
    EXPECT_EQ(Radio().GetMode(), CSimRadio::Mode::BootState);
    Answer status = Exchange(StatusFrame(5));
    ASSERT_FALSE(status.reply.empty());
    EXPECT_EQ(radio_frames::Data(status.reply)[1] & 0x02, 0x02);
    EXPECT_EQ(RegionSum(0x0015, 0x007A), 0x5A);
    EXPECT_EQ(RegionSum(0x0136, 0x01FB), 0x5A);
    EXPECT_EQ(RegionSum(0x028B, 0x02D2), 0x5A);
    Frame model = radio_frames::Data(Exchange(ReadFrame(0x0299, 10)).reply);
    EXPECT_EQ(std::string(model.begin() + 3, model.end()), "LD1100 RCV");
}

}  // namespace

namespace {

class Fl0WithoutEcho : public RadioFixture {
protected:
    static RadioProfile Profile()
    {
        RadioProfile p = TestProfile();
        p.echo = false;  // no box echo: the boot ROM returns each block twice
        return p;
    }
    Fl0WithoutEcho() : RadioFixture(Profile()) {}
};

TEST_F(Fl0WithoutEcho, BlocksComeBackSixteenBytesAtATime)
{
    DownloadFl0(19200);
    std::vector<CRadioTrace::Entry> answers = Radio().Trace().Of("block-ok");
    ASSERT_FALSE(answers.empty());
    EXPECT_EQ(answers[0].bytes.size(), 16u);
    EXPECT_FALSE(Exchange(ReadFrame(0x3FF0, 1)).reply.empty());
}

}  // namespace
