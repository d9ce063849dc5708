// The append-only file of the journal: whole lines from several processes at once, and
// nothing planted under its name is written or read.
#include "errors/Error.h"
#include "platform/AppendFile.h"
#include "tests/support/ScratchDirectoryTest.h"

#include <cstdio>
#include <functional>
#include <set>
#include <sstream>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class AppendFileTest : public ScratchDirectoryTest {};

// Line `n` of writer `w`: long enough (up to about 9 KB) that a line split by a concurrent
// writer would show.
std::string LineOf(int w, int n)
{
    std::string body(static_cast<std::size_t>(100 + (n * 977) % 9000), static_cast<char>('a' + w));
    return std::to_string(w) + ":" + std::to_string(n) + ":" + body;
}

} // namespace

TEST_F(AppendFileTest, SeveralProcessesAppendingAtOnceLeaveOnlyWholeLines)
{
    constexpr int kWriters = 3;
    constexpr int kLines = 200;
    const std::string file = PathOf("journal.jsonl");
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failed = 0;
            for (int n = 0; n < kLines; ++n) {
                try {
                    AppendLine(file, LineOf(w, n));
                } catch (const CError&) {
                    failed = 1;
                }
            }
            ::_exit(failed);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::istringstream text(ReadOwnFile(file, 64u << 20));
    std::set<std::string> seen;
    for (std::string line; std::getline(text, line);) {
        int w = -1, n = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d:%d:", &w, &n), 2) << line.substr(0, 40);
        EXPECT_EQ(line, LineOf(w, n)) << "a whole line, not mixed with another";
        seen.insert(line.substr(0, line.find(':', line.find(':') + 1)));
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kWriters * kLines));
    struct stat st{};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(AppendFileTest, ALinkOrAFifoPlantedUnderItsNameIsRefusedWithoutBlocking)
{
    WriteFile("target", "kept\n");
    struct Case {
        const char* name;
        std::function<void(const std::string&)> plant;
        const char* reason;
    };
    const Case cases[] = {
        {"link to a file", [this](const std::string& p) { std::filesystem::create_symlink(PathOf("target"), p); },
         "symbolic link"},
        {"dangling link", [](const std::string& p) { std::filesystem::create_symlink("/nonexistent/x", p); },
         "symbolic link"},
        {"FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, ""},
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathOf("planted" + std::to_string(i++));
        c.plant(path);
        try {
            AppendLine(path, "entry");
            ADD_FAILURE() << "appended";
        } catch (const CError& e) {
            EXPECT_NE(std::string(e.GetText()).find(c.reason), std::string::npos) << e.GetText();
        }
        try {
            ReadOwnFile(path, 1024);
            ADD_FAILURE() << "read";
        } catch (const CError& e) {
            EXPECT_NE(std::string(e.GetText()).find(path), std::string::npos) << e.GetText();
        }
    }
    EXPECT_EQ(ReadOwnFile(PathOf("target"), 1024), "kept\n") << "the link's target is untouched";
}

TEST_F(AppendFileTest, AMissingFileReadsAsEmptyAndATooLargeOneIsRefused)
{
    bool exists = true;
    EXPECT_EQ(ReadOwnFile(PathOf("none"), 10, &exists), "");
    EXPECT_FALSE(exists);
    WriteFile("big", std::string(11, 'x'));
    EXPECT_THROW(ReadOwnFile(PathOf("big"), 10), CError);
}
