#include "tests/support/ScratchDirectoryTest.h"

#include "errors/Log.h"
#include "platform/UiServices.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class RecordingUi : public CUiServices {
public:
    std::vector<std::string> boxes;
    int MessageBox(const std::string& text, const std::string&, unsigned) override
    {
        boxes.push_back(text);
        return IDOK;
    }
    intptr_t SendMainFrameMessage(unsigned, uintptr_t, intptr_t) override { return 0; }
    void Quit(int) override {}
};

class LogFileTest : public ScratchDirectoryTest {
protected:
    void SetUp() override
    {
        ScratchDirectoryTest::SetUp();
        auto ui = std::make_unique<RecordingUi>();
        recorded = ui.get();
        previousUi = InstallUi(std::move(ui));
        CwFileLog::SetDirectory(dir.string());
        CwFileLog::SetFilePath("");
    }
    void TearDown() override
    {
        CwFileLog::SetDirectory("");
        CwFileLog::SetFilePath("");
        InstallUi(std::move(previousUi));
        ScratchDirectoryTest::TearDown();
    }

    RecordingUi* recorded = nullptr;
    std::unique_ptr<CUiServices> previousUi;
};

// Whatever is planted under the log's name is left alone; the failure is said once on
// standard error and kept for whoever names the log, never shown in a box (it would stop a
// press half-way), and the sink simply writes nothing.
TEST_F(LogFileTest, PlantedNamesAreNeverOpened)
{
    struct Case {
        const char* what;
        std::function<bool(const std::string&)> plant;  // false: cannot be arranged here
        const char* reason;
    };
    const std::string victim = PathOf("victim");
    const Case cases[] = {
        {"a link to another file", [&](const std::string& p) { fs::create_symlink(victim, p); return true; },
         "symbolic link"},
        {"a dangling link", [&](const std::string& p) { fs::create_symlink(PathOf("nowhere"), p); return true; },
         "symbolic link"},
        {"a named pipe", [](const std::string& p) { return ::mkfifo(p.c_str(), 0666) == 0; }, "No such device"},
        {"a folder", [](const std::string& p) { return fs::create_directory(p); }, "Is a directory"},
        {"another user's file", [](const std::string& p) {
             std::ofstream(p) << "theirs";
             return ::geteuid() == 0 && ::chown(p.c_str(), 65534, 65534) == 0;
         }, "belongs to another user"},
        {"a hard link to one of my files", [&](const std::string& p) { return ::link(victim.c_str(), p.c_str()) == 0; },
         "other names"},
    };
    for (const Case& c : cases) {
        WriteFile("victim", "precious");
        // A folder per case: a failure is reported once per run and path.
        const fs::path folder = dir / std::to_string(&c - cases);
        fs::create_directory(folder);
        CwFileLog::SetDirectory(folder.string());
        const std::string path = (folder / "tsErrlog.txt").string();
        if (!c.plant(path)) {
            std::printf("skipped: %s (needs root to arrange)\n", c.what);
            fs::remove_all(path);
            continue;
        }
        recorded->boxes.clear();
        ::testing::internal::CaptureStderr();
        {
            CwFileLog first("tsErrlog.txt");
            first.Start();
            first.WriteLine("a line");
            EXPECT_FALSE(first.IsOpen()) << c.what;
            CwFileLog again("tsErrlog.txt");
            EXPECT_FALSE(again.IsOpen()) << c.what;
        }
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(recorded->boxes.empty()) << c.what << ": no message box";
        EXPECT_EQ(said.rfind("Unable to open Log file for writing: " + path, 0), 0u) << said;
        EXPECT_EQ(said.find("Unable", 1), std::string::npos) << c.what << ": said once: " << said;
        EXPECT_NE(said.find(c.reason), std::string::npos) << said;
        EXPECT_EQ(CwFileLog::OpenFailure().rfind("Unable to open Log file for writing", 0), 0u);
        EXPECT_NE(CwFileLog::OpenFailure().find(c.reason), std::string::npos) << CwFileLog::OpenFailure();
        EXPECT_TRUE(CwFileLog::OpenPath().empty());
        EXPECT_EQ(Contents(victim), "precious") << c.what;
        if (std::string(c.what) == "another user's file") {
            EXPECT_EQ(Contents(path), "theirs") << c.what;
        }
        fs::remove_all(path);
    }
}

// A path that does not fit is refused, never cut to a different one.
TEST_F(LogFileTest, PathThatDoesNotFitIsRefused)
{
    std::string deep = dir.string();
    while (deep.size() < CwFileLog::kPathSize)
        deep += "/abcdefghijklmnopqrstuvwxyz";
    CwFileLog::SetDirectory(deep);
    ::testing::internal::CaptureStderr();
    CwFileLog log("tsErrlog.txt");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_STREQ(log.Path(), "");
    EXPECT_TRUE(recorded->boxes.empty());
    EXPECT_NE(said.find("longer than 4095 bytes"), std::string::npos) << said;
    EXPECT_NE(CwFileLog::OpenFailure().find("longer than 4095 bytes"), std::string::npos);
}

// The user's own log: created 0600 whatever the umask, emptied when it exists, and emptied in
// place by ClearLog.
TEST_F(LogFileTest, OwnFileIsCreatedPrivateAndEmptied)
{
    mode_t saved = ::umask(0);
    {
        CwFileLog log("tsErrlog.txt");
        log.Start();
    }
    ::umask(saved);
    struct stat info{};
    ASSERT_EQ(::stat(PathOf("tsErrlog.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_NE(Contents(PathOf("tsErrlog.txt")).find("Start Logging\r\n"), std::string::npos);

    WriteFile("tsErrlog.txt", "left over from the last run\r\n");
    CwFileLog log("tsErrlog.txt");
    log.Start();
    log.WriteLine("first");
    EXPECT_EQ(Contents(PathOf("tsErrlog.txt")).find("left over"), std::string::npos);
    // ClearLog empties the open file, never a file put at the path meanwhile.
    fs::rename(PathOf("tsErrlog.txt"), PathOf("moved.txt"));
    fs::create_symlink(PathOf("victim"), PathOf("tsErrlog.txt"));
    WriteFile("victim", "precious");
    log.ClearLog();
    log.WriteLine("second");
    EXPECT_EQ(Contents(PathOf("victim")), "precious");
    EXPECT_EQ(Contents(PathOf("moved.txt")).find("first"), std::string::npos);
    EXPECT_NE(Contents(PathOf("moved.txt")).find("second"), std::string::npos);
    EXPECT_TRUE(recorded->boxes.empty());
}

// A relative log path is fixed when it is given: the log stays in the folder the program was
// started in, whatever folder the work enters later (`program --kit K --log` wrote half its
// log into the kit folder).
TEST_F(LogFileTest, RelativePathIsFixedWhenGiven)
{
    fs::create_directory(dir / "start");
    fs::create_directory(dir / "kit");
    const fs::path before = fs::current_path();
    fs::current_path(dir / "start");
    CwFileLog::SetFilePath("tsErrlog.txt");
    fs::current_path(dir / "kit");
    {
        CwFileLog log("tsErrlog.txt");
        log.Start();
        EXPECT_TRUE(log.IsOpen());
        EXPECT_EQ(CwFileLog::OpenPath(), (dir / "start" / "tsErrlog.txt").string());
    }
    fs::current_path(before);
    CwFileLog::SetFilePath("");
    EXPECT_TRUE(fs::exists(dir / "start" / "tsErrlog.txt"));
    EXPECT_FALSE(fs::exists(dir / "kit" / "tsErrlog.txt"));
}

}  // namespace
