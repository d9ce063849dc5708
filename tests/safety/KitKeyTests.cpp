#include "tests/support/ScratchDirectoryTest.h"

#include "cli/CommandLine.h"
#include "files/DataFile.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

class KitKeyTest : public ScratchDirectoryTest {
protected:
    // Runs `tessarin ARGS`; the exit status (2 for a command line refused).
    static int Run(std::vector<std::string> args)
    {
        CLI::App app;
        int exitCode = -1;
        AddTessarinCommands(app, exitCode);
        std::vector<const char*> argv{"tessarin"};
        for (const std::string& a : args)
            argv.push_back(a.c_str());
        try {
            app.parse(static_cast<int>(argv.size()), const_cast<char**>(argv.data()));
        } catch (const CLI::ParseError&) {
            return 2;
        }
        return exitCode;
    }
    static mode_t ModeOf(const std::string& path)
    {
        struct stat info{};
        return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }
};

// The key comes from a file or standard input, never from the command line (--key is refused);
// plaintext written from a kit is the user's only, whatever the umask.
TEST_F(KitKeyTest, KeyFromFileOrStandardInputAndPlainOutputIsPrivate)
{
    const std::string plain = "S1130000000102030405060708090A0B0C0D0E0F74\r\nS9030000FC\r\n";
    const std::vector<char> enciphered = EncipherDataFile(plain, "bench key");
    WriteFile("fw_128k", std::string(enciphered.begin(), enciphered.end()));
    WriteFile("key.txt", "bench key\r\n");
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string stdinText;
        int status;
    };
    const Case cases[] = {
        {"--key-file FILE", {"kit", "decipher", "--key-file", PathOf("key.txt"), PathOf("fw_128k"), PathOf("out1")}, "", 0},
        {"--key-file -", {"kit", "decipher", "--key-file", "-", PathOf("fw_128k"), PathOf("out2")}, "bench key\n", 0},
        {"--key is refused: others see it", {"kit", "decipher", "--key", "bench key", PathOf("fw_128k"), PathOf("out3")}, "", 2},
        {"--key and --key-file", {"kit", "decipher", "--key", "k", "--key-file", "-", PathOf("fw_128k"), PathOf("out4")}, "", 2},
    };
    const mode_t saved = ::umask(022);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::istringstream input(c.stdinText);
        std::streambuf* previous = std::cin.rdbuf(input.rdbuf());
        const int status = Run(c.args);
        std::cin.rdbuf(previous);
        EXPECT_EQ(status, c.status);
        if (c.status == 0) {
            const std::string out = c.args.back();
            EXPECT_EQ(Contents(out), plain);
            EXPECT_EQ(ModeOf(out), 0600u);
        }
    }
    EXPECT_EQ(Run({"kit", "srec", "--key-file", PathOf("key.txt"), PathOf("fw_128k"), "--out", PathOf("bytes")}), 0);
    EXPECT_EQ(ModeOf(PathOf("bytes")), 0600u) << "bytes deciphered from a kit are plaintext too";
    EXPECT_EQ(Run({"kit", "encipher", "--key-file", PathOf("key.txt"), PathOf("out1"), PathOf("again")}), 0);
    EXPECT_EQ(ModeOf(PathOf("again")), 0644u) << "an enciphered file is for sharing";
    ::umask(saved);
}

}  // namespace
