#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "errors/Log.h"
#include "platform/Platform.h"
#include "platform/UiServices.h"
#include "tests/support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

// A platform that only makes log sinks: the file log in a scratch folder and a memory log.
class LogOnlyPlatform : public CPlatform {
public:
    int sinksCreated = 0;
    void ReleaseDelayTimer() override {}
    void ReleasePortTimer() override {}
    CTimerCtrl* GetDelayTimer() override { return nullptr; }
    CTimerCtrl* GetPortTimer() override { return nullptr; }
    CLog* CreateLog(int sink) override
    {
        ++sinksCreated;
        if (sink == 0)
            return new CwFileLog("tsErrlog.txt");
        return new CMemoryLog;
    }
    CSerial* GetSerial() override { return nullptr; }
    CTimerCtrl* GetSpareTimer() override { return nullptr; }
    void ReleaseSerial() override {}
    void ReleaseSpareTimer() override {}
    void Sleep(unsigned) override {}
    std::time_t CalendarTime() override { return 0; }
    double MonotonicTime() override { return 0; }
};

class ErrorLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch = std::make_unique<CScratchDirectory>("tessarin-log");
        dir = scratch->Path();
        previousDirectory = CwFileLog::Directory();
        CwFileLog::SetDirectory(dir.string());
        auto owned = std::make_unique<LogOnlyPlatform>();
        platform = owned.get();
        previous = InstallPlatform(std::move(owned));
        ErrorLog().DropSinks();
        ErrorLog().EnableFileLog(0);
        ErrorLog().EnableSink1(1);
    }
    void TearDown() override
    {
        ErrorLog().DropSinks();
        ErrorLog().EnableSink1(0);
        InstallPlatform(std::move(previous));
        CwFileLog::SetDirectory(previousDirectory);
        scratch.reset();
    }
    std::string FileText()
    {
        std::ifstream in(dir / "tsErrlog.txt", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    const std::vector<std::string>& MemoryLines()
    {
        return static_cast<CMemoryLog*>(ErrorLog().Sink(1))->Lines();
    }

    std::unique_ptr<CScratchDirectory> scratch;
    std::filesystem::path dir;
    std::string previousDirectory;
    LogOnlyPlatform* platform = nullptr;
    std::unique_ptr<CPlatform> previous;
};

} // namespace

TEST(ErrorObjects, DefaultTextsByKindAndCode)
{
    struct Case {
        std::string text;
        const char* expected;
    } cases[] = {
        {CGenError(1).GetText(), "Unable to allocate timer object"},
        {CGenError(2).GetText(), "Unable to allocate serial comm object"},
        {CGenError(3).GetText(), "General operation error occured"},
        {CGenError(7).GetText(), "No error message text was received"},
        {CCommError(2).GetText(), "No error message was received"},
        {CVeskError(5).GetText(), "No error message was received"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, c.expected);
}

TEST(ErrorObjects, FormatsCopiesAndCutsSafely)
{
    CCommError e(3, "CWinSerial::WaitForBytesUnless: Timeout after receiving %d bytes", 7);
    EXPECT_EQ(e.GetCode(), 3);
    EXPECT_STREQ(e.GetText(), "CWinSerial::WaitForBytesUnless: Timeout after receiving 7 bytes");

    CGenError abc(3, "abc");
    char buffer[8];
    EXPECT_EQ(abc.CopyText(buffer, sizeof buffer), 4);
    EXPECT_STREQ(buffer, "abc");
    char small[3];
    EXPECT_EQ(abc.CopyText(small, sizeof small), 3);
    EXPECT_STREQ(small, "ab");

    std::string huge(2000, 'x');
    CVeskError long_text(4, "%s", huge.c_str());
    EXPECT_EQ(std::strlen(long_text.GetText()), 511u);

    // Copies are whole values.
    CVeskError copy = CVeskError(1, "Receive Negative Ack from external device");
    EXPECT_STREQ(copy.GetText(), "Receive Negative Ack from external device");
}

// A log switched off leaves no file holding only "Start Logging" in the folder a program
// looks at (the window opening a kit); an upgrade attempt (Clear) starts the log file afresh.
TEST_F(ErrorLogTest, FileIsMadeWhenAnAttemptStartsNotByTheFirstLineWhileOff)
{
    {
        std::ofstream old(dir / "tsErrlog.txt", std::ios::binary);
        old << "left over from the last run\r\n";
    }
    ErrorLog().Log("CVeskComm::SendCommand: Retry exhuasted, so exit request");
    EXPECT_EQ(FileText(), "left over from the last run\r\n") << "no file sink while it is off";
    ErrorLog().Clear();
    std::string text = FileText();
    EXPECT_EQ(text.find("left over"), std::string::npos);
    // "MM/DD/YY HH:MM:SS  Start Logging\r\n"
    ASSERT_EQ(text.size(), 19u + 13u + 2u) << text;
    EXPECT_EQ(text.substr(17, 15), "  Start Logging");
    EXPECT_EQ(text.substr(32), "\r\n");
    EXPECT_EQ(text[2], '/');
    EXPECT_EQ(text[11], ':');
}

// One log per run, opened once: every later attempt empties the file already open, in place;
// whatever is put at the path meanwhile (a link) is never opened.
TEST_F(ErrorLogTest, LaterAttemptsEmptyTheOpenFileAndNeverOpenThePathAgain)
{
    ErrorLog().EnableFileLog(1);
    ErrorLog().Clear();
    ErrorLog().Log("first attempt");
    const int made = platform->sinksCreated;
    std::error_code renamed;
    std::filesystem::rename(dir / "tsErrlog.txt", dir / "moved.txt", renamed);
    if (renamed)
        GTEST_SKIP() << "this system does not rename a file that is open: no link can take its place";
    {
        std::ofstream victim(dir / "victim");
        victim << "precious";
    }
    std::filesystem::create_symlink(dir / "victim", dir / "tsErrlog.txt");
    ErrorLog().Clear();
    ErrorLog().Log("second attempt");
    EXPECT_EQ(platform->sinksCreated, made) << "no new sink, no new opening";
    std::ifstream moved(dir / "moved.txt");
    std::string text((std::istreambuf_iterator<char>(moved)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find("first attempt"), std::string::npos) << text;
    EXPECT_NE(text.find("second attempt"), std::string::npos) << text;
    std::ifstream victim(dir / "victim");
    std::string kept((std::istreambuf_iterator<char>(victim)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "precious");
    ErrorLog().EnableFileLog(0);
}

TEST_F(ErrorLogTest, FileSinkWritesStampedLinesWhenOn)
{
    ErrorLog().EnableFileLog(1);
    ErrorLog().Log("Number of byteTime timeout = %d", 12);
    std::string text = FileText();
    EXPECT_NE(text.find("  Number of byteTime timeout = 12\r\n"), std::string::npos) << text;
    ErrorLog().Clear();
    text = FileText();
    EXPECT_EQ(text.find("byteTime"), std::string::npos);
    EXPECT_NE(text.find("Start Logging"), std::string::npos);
}

TEST_F(ErrorLogTest, NullFormatMakesNoSink)
{
    ErrorLog().Log(nullptr);
    EXPECT_EQ(platform->sinksCreated, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "tsErrlog.txt"));
}

TEST_F(ErrorLogTest, LogBytesIsUpperCaseHexAndSplitsLongDumps)
{
    const uint8_t three[] = {0x0A, 0xFF, 0x00};
    ErrorLog().LogBytes(three, sizeof three);
    ASSERT_EQ(MemoryLines().size(), 2u);
    EXPECT_EQ(MemoryLines()[0], "Start Logging");
    EXPECT_EQ(MemoryLines()[1], "0AFF00");

    std::vector<uint8_t> big(511 + 511 + 5, 0xAB);
    ErrorLog().LogBytes(big.data(), big.size());
    ASSERT_EQ(MemoryLines().size(), 5u);
    EXPECT_EQ(MemoryLines()[2].size(), 1022u);
    EXPECT_EQ(MemoryLines()[3].size(), 1022u);
    EXPECT_EQ(MemoryLines()[4], "ABABABABAB");
}
