#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "errors/Log.h"
#include "platform/PortTable.h"
#include "platform/PosixPlatform.h"
#include "platform/PosixSerial.h"
#include "platform/PtyLineState.h"
#include "platform/SerialTermios2.h"
#include "platform/SettingsStore.h"
#include "tests/support/ErrorText.h"
#include "tests/support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

// The POSIX platform with a memory log as sink 1 (and no log file).
class MemoryLogPosixPlatform : public CPosixPlatform {
public:
    CLog* CreateLog(int sink) override { return sink == 1 ? new CMemoryLog : nullptr; }
};

// The port with a counter of its looks at the input queue (each look is one wake-up of a wait)
// and of its hand-overs to the driver.
class ProbePort : public CPosixSerial {
public:
    unsigned looks = 0;
    unsigned handOvers = 0;
    unsigned InputQueueCount() override
    {
        ++looks;
        return CPosixSerial::InputQueueCount();
    }
    unsigned TransmitBytes(const uint8_t* data, unsigned count) override
    {
        ++handOvers;
        return CPosixSerial::TransmitBytes(data, count);
    }
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A pseudo-terminal pair: the port opens the slave by its path; the test plays the far end on
// the master, writing what the port will read before it reads. The test keeps its own slave
// descriptor open, as the simulator does.
class PtyPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[128] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0) << std::strerror(errno);
        path = name;
        scratch = std::make_unique<CScratchDirectory>("tessarin-pty");
        dir = scratch->Path();
        Settings().SetPath((dir / "settings.ini").string());
        number = PortTable().AssignPath(path);
        ASSERT_NE(number, 0u);
        ErrorLog().DropSinks();
        previous = InstallPlatform(std::make_unique<MemoryLogPosixPlatform>());
        ErrorLog().EnableSink1(1);
    }
    void TearDown() override
    {
        port.Close();
        PortTable().Forget(number);
        ErrorLog().DropSinks();
        ErrorLog().EnableSink1(0);
        InstallPlatform(std::move(previous));
        close(master);
        close(slave);
        scratch.reset();
    }

    void Open(int baud = 9600)
    {
        port.Configure(baud, 0, 0, 8);
        port.OpenPort(number);
    }
    void FarEndWrites(const std::string& bytes) { ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
    std::string FarEndReads(std::size_t count)
    {
        std::string got;
        while (got.size() < count) {
            pollfd ready{master, POLLIN, 0};
            if (poll(&ready, 1, 2000) != 1)
                break;
            char buffer[256];
            ssize_t n = read(master, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    void SetLineState(uint16_t magic, bool breakHeld, uint16_t breaks, uint16_t frameErrors)
    {
        winsize record{magic, static_cast<unsigned short>(breakHeld ? 1 : 0), breaks, frameErrors};
        ASSERT_EQ(ioctl(master, TIOCSWINSZ, &record), 0);
    }
    unsigned FarEndRate()
    {
        unsigned rate = 0;
        EXPECT_EQ(TessarinReadLineRate(master, &rate), 0);
        return rate;
    }
    std::vector<std::string> LogLines()
    {
        auto* sink = dynamic_cast<CMemoryLog*>(ErrorLog().Sink(1));
        return sink ? sink->Lines() : std::vector<std::string>{};
    }
    bool LogHas(const std::string& part)
    {
        auto lines = LogLines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return Contains(line, part); });
    }

    int master = -1;
    int slave = -1;
    std::string path;
    unsigned number = 0;
    std::unique_ptr<CScratchDirectory> scratch;
    std::filesystem::path dir;
    std::unique_ptr<CPlatform> previous;
    ProbePort port;
};

TEST_F(PtyPortTest, OpeningMakesTheLineRawAndClosingGivesItsSettingsBack)
{
    termios before{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    ASSERT_TRUE(before.c_lflag & ICANON) << "a fresh terminal edits lines";

    Open(19200);
    termios during{};
    ASSERT_EQ(tcgetattr(slave, &during), 0);
    EXPECT_FALSE(during.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(during.c_iflag & (IXON | ICRNL));
    EXPECT_FALSE(during.c_oflag & OPOST);
    EXPECT_EQ(during.c_cc[VMIN], 0);
    EXPECT_EQ(during.c_cc[VTIME], 0);
    EXPECT_EQ(FarEndRate(), 19200u);

    port.Close();
    termios after{};
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(0, std::memcmp(after.c_cc, before.c_cc, sizeof before.c_cc));
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
}

TEST_F(PtyPortTest, APortHeldByOneOpeningCannotBeOpenedAgainUntilClosed)
{
    Open();
    ProbePort other;
    other.Configure(9600, 0, 0, 8);
    auto error = CommError([&] { other.OpenPort(number); });
    EXPECT_EQ(error.first, 1);
    // The device was given by its path: the message names that path, not a number of this run.
    EXPECT_EQ(error.second.rfind("CWinSerial::Open: Unable to open " + path + ": ", 0), 0u) << error.second;
    EXPECT_TRUE(Contains(error.second, "another program holds the port")) << error.second;

    port.Close();
    EXPECT_NO_THROW(other.OpenPort(number));
    other.Close();
}

TEST_F(PtyPortTest, AHoldLeftByAProgramThatEndedIsTakenOver)
{
    // A program that ended without closing leaves the exclusive flag set while the far end
    // keeps the device open; nobody holds the lock any more.
    ASSERT_EQ(ioctl(slave, TIOCEXCL), 0);
    if (geteuid() != 0)
        GTEST_SKIP() << "only a privileged user can open a device whose exclusive flag is set";
    EXPECT_NO_THROW(Open());
    EXPECT_TRUE(LogHas("was left held by a program that has ended; taking it over"));
    port.Close();
}

TEST_F(PtyPortTest, EveryRateReachesTheFarEnd)
{
    Open();
    for (int rate : {553, 1800, 3600, 4430, 300, 2400, 9600, 38400, 115200}) {
        port.SetBaud(rate);
        EXPECT_EQ(port.GetBaud(), rate);
        EXPECT_EQ(FarEndRate(), static_cast<unsigned>(rate));
    }
}

TEST_F(PtyPortTest, SettingsTheLineCannotTakeAreRefusedAndLogged)
{
    Open(4430);
    struct Case {
        std::function<void()> set;
        const char* text;
    } cases[] = {
        {[&] { port.SetCharSize(9); }, "CWinSerial::SetCharSize: SetCommState returned false"},
        {[&] { port.SetStopBits(1); }, "CWinSerial::SetStopBits: SetCommState returned false"},
        {[&] { port.SetParity(3); }, "WinSerial::SetParity: SetCommState returned false"},
        {[&] { port.SetBaud(0); }, "CWinSerial::SetBaud: SetCommState returned false"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CommError(c.set), std::make_pair(12, std::string(c.text)));
    EXPECT_TRUE(LogHas("refused")) << "the log says which setting the device refused";
    EXPECT_EQ(port.GetCharSize(), 8);
    EXPECT_EQ(FarEndRate(), 4430u) << "the line kept its rate";

    port.SetCharSize(5);
    EXPECT_NO_THROW(port.SetStopBits(1)) << "one and a half stop bits exist with five data bits";
}

TEST(RateTolerance, RatesOffByMoreThanTwoPercentAreNotReached)
{
    struct Case {
        unsigned wanted, actual;
        bool reached;
    } cases[] = {{9600, 9600, true}, {4430, 4518, true}, {4430, 4520, false}, {553, 542, true},
                 {553, 541, false},  {115200, 117647, false}, {1800, 1764, true}, {300, 0, false}};
    for (const auto& c : cases)
        EXPECT_EQ(CPosixSerial::RateReached(c.wanted, c.actual), c.reached) << c.wanted << " vs " << c.actual;
}

TEST_F(PtyPortTest, BytesGoBothWays)
{
    Open();
    FarEndWrites("ping");
    uint8_t got[4] = {};
    port.Read(got, 4, 1000);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(got), 4), "ping");

    const uint8_t reply[] = {'p', 'o', 'n', 'g', 0x00, 0xFF, '\n'};
    port.Write(reply, sizeof reply, 1000);
    EXPECT_EQ(FarEndReads(sizeof reply), std::string(reinterpret_cast<const char*>(reply), sizeof reply))
        << "raw: no translation on the way out";
}

TEST_F(PtyPortTest, AFrameGoesInOneCallAndTheTimeOutAfterItCountsFromItsLastByte)
{
    // 48 bytes at 9600 Bd need 50 ms on the line. A pseudo-terminal takes them at once and
    // cannot say when they have gone, so the write sleeps for the time they need; the reply's
    // time-out then starts when the last byte has left, not when the write was called.
    Open(9600);
    const std::vector<uint8_t> frame(48, 0x5A);
    const double needed = 48 * 10.0 / 9600;
    port.handOvers = 0;
    const auto called = std::chrono::steady_clock::now();
    port.Write(frame.data(), 48, 1000);
    const auto written = std::chrono::steady_clock::now();
    uint8_t reply = 0;
    EXPECT_EQ(CommError([&] { port.Read(&reply, 1, 20); }).first, 2);
    const auto timedOut = std::chrono::steady_clock::now();
    EXPECT_EQ(port.handOvers, 1u);
    EXPECT_GE(std::chrono::duration<double>(written - called).count(), needed);
    EXPECT_GE(std::chrono::duration<double>(timedOut - called).count(), needed + 0.020);
    EXPECT_EQ(FarEndReads(48), std::string(48, 'Z'));
}

TEST_F(PtyPortTest, InputIsCountedAndPurged)
{
    Open();
    FarEndWrites("\x01\x02\x03\x04\x05");
    port.WaitForBytesUnless(5, 1000);
    EXPECT_EQ(port.InputQueueCount(), 5u);
    port.PurgeInput();
    EXPECT_EQ(port.InputQueueCount(), 0u);
    uint8_t byte;
    EXPECT_EQ(CommError([&] { port.Read(&byte, 1, 20); }).first, 2);
}

TEST_F(PtyPortTest, BreaksAndFramingErrorsComeFromTheLineStateRecord)
{
    SetLineState(kPtyLineStateMagic, false, 7, 3);  // history from before the opening
    Open();
    EXPECT_TRUE(LogHas(path + " has no line error counters"));
    EXPECT_FALSE(port.WaitForCommError(CE_BREAK | CE_FRAME, 10));

    SetLineState(kPtyLineStateMagic, false, 8, 3);
    EXPECT_TRUE(port.WaitForCommError(CE_BREAK, 50));
    EXPECT_FALSE(port.WaitForCommError(CE_BREAK, 10)) << "each poll reports only what is new";

    SetLineState(kPtyLineStateMagic, false, 8, 4);
    EXPECT_TRUE(port.WaitForCommError(CE_FRAME, 50));

    // A held break is reported once, when it begins, as a UART's counters report it.
    SetLineState(kPtyLineStateMagic, true, 9, 4);
    EXPECT_TRUE(port.WaitForCommError(CE_BREAK, 50));
    EXPECT_FALSE(port.WaitForCommError(CE_BREAK, 10)) << "held, but not new";
    const uint8_t data[] = {1};
    SetLineState(kPtyLineStateMagic, false, 9, 4);
    EXPECT_NO_THROW(port.Write(data, 1, 100));

    SetLineState(24, true, 100, 100);  // an ordinary window size is not line state
    EXPECT_FALSE(port.WaitForCommError(CE_BREAK | CE_FRAME, 10));

    auto lines = LogLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return Contains(line, "has no line error counters"); }),
              1)
        << "said once, not at every poll";
}

TEST(OpenFailure, TheTextSaysWhatIsWrongAndWhatToDo)
{
    struct Case {
        int error;
        const char* says;
    } cases[] = {
        {EACCES, "'dialout' group"},
        {ENOENT, "does not exist"},
        {ENOENT, "'tessarin ports' lists the serial ports"},
        {EBUSY, "another program holds the port"},
        {ENOTTY, "not a serial port"},
        {EIO, std::strerror(EIO)},
    };
    for (const auto& c : cases) {
        std::string text = CPosixSerial::DescribeOpenFailure(7, "/dev/ttyUSB9", c.error);
        EXPECT_EQ(text.rfind("CWinSerial::Open: Unable to open com7 (/dev/ttyUSB9): ", 0), 0u) << text;
        EXPECT_TRUE(Contains(text, c.says)) << text;
    }
}

TEST_F(PtyPortTest, OpeningWhatIsNotThereOrNotAPortSaysSo)
{
    struct Case {
        std::string device;
        const char* says;
    } cases[] = {{(dir / "ttyGone").string(), "does not exist"}, {"/dev/null", "not a serial port"}};
    for (const auto& c : cases) {
        unsigned n = PortTable().AssignPath(c.device);
        auto error = CommError([&] { port.OpenPort(n); });
        EXPECT_EQ(error.first, 1);
        EXPECT_TRUE(Contains(error.second, "Unable to open " + c.device + ": ")) << error.second;
        EXPECT_TRUE(Contains(error.second, c.says)) << error.second;
        PortTable().Forget(n);
    }

    unsigned unused = CPortTable::kMaxNumber;
    while (unused > 1 && !PortTable().PathFor(unused).empty())
        --unused;
    auto error = CommError([&] { port.OpenPort(unused); });
    EXPECT_EQ(error.first, 1);
    EXPECT_TRUE(Contains(error.second, "no serial device is set up as COM" + std::to_string(unused))) << error.second;
}

TEST_F(PtyPortTest, PermissionDeniedNamesTheDialoutGroup)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop the superuser";
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    auto error = CommError([&] { Open(); });
    EXPECT_EQ(error.first, 1);
    EXPECT_TRUE(Contains(error.second, "'dialout' group")) << error.second;
}

} // namespace

// Waiting for the first byte sleeps until it arrives or the time-out passes: a silent line is not
// looked at every character time (some 1,150 looks in 100 ms at 115,200 Bd), and a byte that
// comes is read as soon as it is in.
TEST_F(PtyPortTest, AWaitForTheFirstByteSleepsUntilItComesOrTheTimeOut)
{
    Open(115200);
    uint8_t byte = 0;
    port.looks = 0;
    auto error = CommError([&] { port.Read(&byte, 1, 100); });
    EXPECT_EQ(error.first, 2) << error.second;
    EXPECT_LE(port.looks, 4u);

    FarEndWrites("Z");
    port.looks = 0;
    error = CommError([&] { port.Read(&byte, 1, 2000); });
    EXPECT_EQ(error.first, -1) << error.second;
    EXPECT_EQ(byte, 'Z');
    EXPECT_LE(port.looks, 4u);
}
