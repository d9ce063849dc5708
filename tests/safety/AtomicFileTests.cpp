#include "tests/support/ScratchDirectoryTest.h"

#include "errors/Error.h"
#include "platform/AtomicFile.h"

#include <filesystem>
#include <string>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class AtomicFileTest : public ScratchDirectoryTest {};

// Links planted at every temporary name a writer could guess are never followed: the file
// they point at keeps its bytes, and the destination receives the new ones.
TEST_F(AtomicFileTest, LinksPlantedAtGuessableNamesAreNeverFollowed)
{
    const std::string pid = std::to_string(::getpid());
    const char* planted[] = {"out.bin.tmp", "out.bin.tmp-", "out.bin.tmp-XXXXXX", ".out.bin.tmp-",
                             ".out.bin.tmp-aaaaaaaaaaaa"};
    WriteFile("victim", "precious");
    for (const char* name : planted)
        fs::create_symlink(dir / "victim", dir / name);
    fs::create_symlink(dir / "victim", dir / ("out.bin.tmp" + pid));
    fs::create_symlink(dir / "victim", dir / ("out.bin.tmp-" + pid));

    WriteFileAtomically(PathOf("out.bin"), "new bytes");

    EXPECT_EQ(Contents(PathOf("victim")), "precious");
    EXPECT_EQ(Contents(PathOf("out.bin")), "new bytes");
    for (const char* name : planted)
        EXPECT_TRUE(fs::is_symlink(dir / name)) << name;
}

// A link at the destination itself is replaced, not written through.
TEST_F(AtomicFileTest, LinkAtTheDestinationIsReplacedNotFollowed)
{
    WriteFile("victim", "precious");
    fs::create_symlink(dir / "victim", dir / "out.bin");
    WriteFileAtomically(PathOf("out.bin"), "new bytes");
    EXPECT_EQ(Contents(PathOf("victim")), "precious");
    EXPECT_FALSE(fs::is_symlink(dir / "out.bin"));
    EXPECT_EQ(Contents(PathOf("out.bin")), "new bytes");
}

// Every failure names the file and the system's reason, leaves the destination as it was and
// no temporary file behind.
TEST_F(AtomicFileTest, FailureLeavesNothingBehind)
{
    struct Case {
        const char* what;
        std::string path;
        const char* reason;
    };
    fs::create_directory(dir / "folder");
    WriteFile("folder/inside", "kept");
    const Case cases[] = {
        {"destination is a folder", PathOf("folder"), "Is a directory"},
        {"folder missing", PathOf("missing/out.bin"), "No such file or directory"},
        {"parent is a file", PathOf("folder/inside/out.bin"), "Not a directory"},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> before = Names();
        try {
            WriteFileAtomically(c.path, "new bytes");
            ADD_FAILURE() << c.what << ": no error";
        } catch (const CError& error) {
            EXPECT_EQ(error.GetCode(), 3) << c.what;
            EXPECT_NE(std::string(error.GetText()).find(c.path), std::string::npos) << error.GetText();
            EXPECT_NE(std::string(error.GetText()).find(c.reason), std::string::npos) << error.GetText();
        }
        EXPECT_EQ(Names(), before) << c.what;
    }
    EXPECT_EQ(Contents(PathOf("folder/inside")), "kept");
}

TEST_F(AtomicFileTest, FullDiskRemovesTheTemporaryFile)
{
    // A write that fails part-way: the file size limit stands in for a full disk.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            WriteFileAtomically(PathOf("out.bin"), std::string(1000, 'x'));
        } catch (const CError& error) {
            ::_exit(std::string(error.GetText()).find("File too large") != std::string::npos ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(Names().empty());
}

TEST_F(AtomicFileTest, ModeIsTheCallersNarrowedByTheUmask)
{
    struct Case {
        mode_t mode;
        mode_t umask;
        mode_t expected;
    };
    const Case cases[] = {
        {FileMode::kPrivate, 0, 0600},
        {FileMode::kPrivate, 022, 0600},
        {FileMode::kShared, 022, 0644},
        {FileMode::kShared, 077, 0600},
    };
    for (const Case& c : cases) {
        mode_t saved = ::umask(c.umask);
        WriteFileAtomically(PathOf("out.bin"), "bytes", c.mode);
        ::umask(saved);
        struct stat info{};
        ASSERT_EQ(::stat(PathOf("out.bin").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.expected) << std::oct << c.mode << " umask " << c.umask;
    }
}

}  // namespace
