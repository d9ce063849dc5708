// The simulated radio on a pseudo-terminal, driven by the program's own termios port in real
// time (high rates and small transfers keep each case short).
#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "errors/Log.h"
#include "platform/PortTable.h"
#include "platform/PosixPlatform.h"
#include "platform/PosixSerial.h"
#include "platform/Serial.h"
#include "platform/SettingsStore.h"
#include "link/VeskOpcodes.h"
#include "sim/model/BootCodeHeader.h"
#include "sim/model/RadioFrames.h"
#include "sim/pty/PtyHost.h"
#include "tests/support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

using Frame = std::vector<uint8_t>;

class MemoryLogPosixPlatform : public CPosixPlatform {
public:
    CLog* CreateLog(int sink) override { return sink == 1 ? new CMemoryLog : nullptr; }
};

const char* kProfile = R"({
  "name": "pty test radio", "productLine": 4,
  "status": {"4": {"text": "P4"}, "16": {"hex": "03"}},
  "codeplug": {"bytes": [{"address": "0x3FF0", "hex": "5A"}]},
  "flash": {"sizeKB": 128},
  "timing": {"eraseSeconds": 0.2, "powerUpMs": 20, "frameGapMs": 1000}
})";

class PtyHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch = std::make_unique<CScratchDirectory>("tessarin-simpty");
        dir = scratch->Path();
        std::ofstream((dir / "radio.json").string()) << kProfile;
        PtyHostOptions options;
        options.profile = (dir / "radio.json").string();
        options.link = (dir / "radio").string();
        options.dumpDir = (dir / "dump").string();
        host = std::make_unique<CPtyHost>(options);
        loop = std::thread([this] { host->Run([this] { return running.load(); }); });

        Settings().SetPath((dir / "settings.ini").string());
        number = PortTable().AssignPath(options.link);
        ASSERT_NE(number, 0u);
        ErrorLog().DropSinks();
        previous = InstallPlatform(std::make_unique<MemoryLogPosixPlatform>());
        port.SetEchoMode(1);
        port.Configure(9600, 0, 0, 8);
        port.OpenPort(number);
    }
    void TearDown() override
    {
        port.Close();
        PortTable().Forget(number);
        InstallPlatform(std::move(previous));
        running = false;
        loop.join();
        host->Finish();
        host.reset();
        scratch.reset();
    }

    // Reads `count` bytes one at a time, each within a second: the host runs on the real clock,
    // maybe on a busy machine, so the test allows more than the line needs.
    Frame ReadBytes(std::size_t count)
    {
        Frame bytes(count);
        for (uint8_t& b : bytes)
            port.Read(&b, 1, 1000);
        return bytes;
    }

    // One request: frame out (echo checked), the acknowledgement and the reply frame back.
    Frame Exchange(const Frame& frame)
    {
        port.PurgeInput();
        port.Write(frame.data(), static_cast<unsigned>(frame.size()), 1000);
        EXPECT_NE(ReadBytes(1)[0], 0x60);
        Frame reply = ReadBytes(1);
        while (radio_frames::ExpectedLength(reply) == 0 || reply.size() < radio_frames::ExpectedLength(reply))
            reply.push_back(ReadBytes(1)[0]);
        return reply;
    }

    // The FL0 handshake and a two-block download of boot code for `rate`, at 2400 Bd.
    void DownloadBootCode(uint32_t rate)
    {
        port.SetBaud(2400);  // the simulator puts the radio in bootstrap mode by itself
        ASSERT_TRUE(port.WaitForCommError(CE_BREAK, 500));
        while (port.WaitForCommError(CE_BREAK, 5)) {
        }
        port.PurgeInput();
        uint8_t sync = 0xFD, answer = 0;
        port.Write(&sync, 1, 1000);
        port.Read(&answer, 1, 1000);
        ASSERT_EQ(answer, 0xFF);
        port.SetEchoMode(0);
        Frame code = boot_code_header::Make(rate);
        code.insert(code.end(), {1, 2, 3, 4, 5, 6, 7, 8});
        for (std::size_t offset = 0; offset < code.size(); offset += 8) {
            port.Write(code.data() + offset, 8, 674);
            Frame back = ReadBytes(16);
            ASSERT_TRUE(std::equal(back.begin(), back.begin() + 8, code.data() + offset));
        }
        port.SetEchoMode(1);
    }

    std::unique_ptr<CScratchDirectory> scratch;
    std::filesystem::path dir;
    std::unique_ptr<CPtyHost> host;
    std::atomic<bool> running{true};
    std::thread loop;
    unsigned number = 0;
    std::unique_ptr<CPlatform> previous;
    CPosixSerial port;
};

TEST_F(PtyHost, AnswersRequestsPacedAtTheProgramsRate)
try {
    EXPECT_EQ(Exchange(radio_frames::Build(0x23, {4})), radio_frames::Build(0x8B, {4, 'P', '4'}));
    auto start = std::chrono::steady_clock::now();
    Frame reply = Exchange(radio_frames::Build(0x11, {32, 0x00, 0x3F, 0xE0}));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(reply.size(), 40u);
    EXPECT_EQ(reply[4 + 3 + 16], 0x5A);
    // 7 request bytes echoed, the ack and 40 reply bytes, at 10 bits each.
    EXPECT_GE(seconds, (7 + 1 + 40) * 10.0 / 9600);
} catch (const CError& e) {
    running = false;
    loop.join();
    loop = std::thread([] {});
    FAIL() << e.GetText() << "\n" << host->Radio().Trace().Format();
}

TEST_F(PtyHost, SeesTheRateTheProgramSetsEvenOddOnes)
{
    for (int baud : {4430, 553, 115200}) {
        port.SetBaud(baud);
        EXPECT_EQ(host->Wire().HostSettings().baud, baud);
    }
}

TEST_F(PtyHost, BootstrapMarksTravelInTheLineRecordAndBootCodeSwitchesRate)
{
    DownloadBootCode(38400);
    // Still at 2400 Bd: the boot code's first byte at 38400 Bd arrives garbled.
    EXPECT_TRUE(port.WaitForCommError(CE_FRAME, 700));
    port.SetBaud(38400);
    Frame erase = Exchange(radio_frames::Build(0x15, {0x40}));
    EXPECT_EQ(erase[1], 0x84);
    Frame probe{0xFF, 0x17, 0x00, 0x05, 0x43, 0x00, 0x00, 0xAA};  // beyond 128 KB
    probe.push_back(radio_frames::Checksum(probe.data(), probe.size()));
    EXPECT_EQ(Exchange(probe)[1], 0x85);
}

TEST_F(PtyHost, SyncPulseReadsAt300Baud)
try {
    port.SetBaud(2400);
    EXPECT_TRUE(port.DetectSyncPulse(2000));
} catch (const CError& e) {
    running = false;
    loop.join();
    loop = std::thread([] {});
    FAIL() << e.GetText() << "\n" << host->Radio().Trace().Format();
}

// The technician's plain power cycle, asked for from another thread as SIGUSR2 does: the boot
// code stops and the radio starts its application at the application rate, not its boot ROM.
TEST_F(PtyHost, PlainPowerCycleStartsTheApplicationNotBootstrapMode)
try {
    DownloadBootCode(38400);
    host->RequestPowerCycle(false);
    port.SetBaud(9600);
    const Frame status = radio_frames::Build(vesk::kRequestStatus, {4});
    bool answered = false;
    // The radio is off for its power-up time: the first tries may go unheard.
    for (int attempt = 0; attempt < 20 && !answered; ++attempt) {
        port.PurgeInput();
        port.Write(status.data(), static_cast<unsigned>(status.size()), 1000);
        uint8_t ack = 0;
        try {
            port.Read(&ack, 1, 100);
            answered = ack == 0x06;
        } catch (const CError&) {
        }
    }
    ASSERT_TRUE(answered);
    Frame reply = ReadBytes(6);
    EXPECT_EQ(reply, radio_frames::Build(vesk::kReplyStatus, {4, 'P', '4'}));
} catch (const CError& e) {
    running = false;
    loop.join();
    loop = std::thread([] {});
    FAIL() << e.GetText() << "\n" << host->Radio().Trace().Format();
}

TEST_F(PtyHost, DumpsAtTheEnd)
try {
    Frame write{0xFF, 0x17, 0x00, 0x05, 0x00, 0x01, 0x00, 0x77};
    write.push_back(radio_frames::Checksum(write.data(), write.size()));
    EXPECT_EQ(Exchange(write)[1], 0x84);
    running = false;
    loop.join();
    host->Finish();
    loop = std::thread([] {});
    std::ifstream bin((dir / "dump" / "codeplug.bin").string(), std::ios::binary);
    std::string cp((std::istreambuf_iterator<char>(bin)), {});
    ASSERT_EQ(cp.size(), 0x10000u);
    EXPECT_EQ(static_cast<uint8_t>(cp[0x100]), 0x77);
    EXPECT_TRUE(std::filesystem::exists(dir / "dump" / "trace.txt"));
} catch (const CError& e) {
    FAIL() << e.GetText();
}

}  // namespace
