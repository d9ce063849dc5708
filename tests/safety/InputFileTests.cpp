#include "tests/support/ScratchDirectoryTest.h"
#include "AsOtherUser.h"

#include "errors/Error.h"
#include "platform/InputFile.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class InputFileTest : public ScratchDirectoryTest {};

long MaxResidentKb()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Whatever is planted where an input file is expected is judged before a byte is read or any
// memory is taken for it, and the refusal says what it is.
TEST_F(InputFileTest, PlantedThingsAreRefusedAtOnceByWhatTheyAre)
{
    struct Case {
        const char* what;
        std::function<std::string(const std::string&)> plant;  // returns the path to read
        InputFileRules rules;
        InputFileText::State state;
        const char* reason;
    };
    const InputFileRules keyFile{InputLimit::kKeyFile, "key file"};
    const InputFileRules image{InputLimit::kCodeplugImage, "codeplug image"};
    const Case cases[] = {
        {"a named pipe", [](const std::string& p) { ::mkfifo(p.c_str(), 0666); return p; }, keyFile,
         InputFileText::State::Refused, "it is a named pipe, not a regular file"},
        {"an endless device", [](const std::string&) { return std::string("/dev/zero"); }, keyFile,
         InputFileText::State::Refused, "it is a character device, not a regular file"},
        {"a terminal", [](const std::string&) { return std::string("/dev/tty"); }, keyFile,
         InputFileText::State::Refused, "character device"},
        {"a link to an endless device", [](const std::string& p) { fs::create_symlink("/dev/zero", p); return p; },
         keyFile, InputFileText::State::Refused, "character device"},
        {"a folder", [](const std::string& p) { fs::create_directory(p); return p; }, image,
         InputFileText::State::Refused, "it is a folder, not a regular file"},
        {"a socket", [](const std::string& p) {
             int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             std::snprintf(address.sun_path, sizeof address.sun_path, "%s", p.c_str());
             ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
             ::close(fd);
             return p;
         }, image, InputFileText::State::Refused, "it is a socket"},
        {"a 2 GB sparse image", [](const std::string& p) {
             std::ofstream(p).close();
             fs::resize_file(p, std::uintmax_t(2) << 30);
             return p;
         }, image, InputFileText::State::Refused, "it holds 2147483648 bytes, more than the 4194304 a codeplug image may hold"},
        {"a key file one byte too large", [](const std::string& p) {
             std::ofstream(p) << std::string(InputLimit::kKeyFile + 1, 'k');
             return p;
         }, keyFile, InputFileText::State::Refused, "more than the 4096 a key file may hold"},
        {"nothing", [](const std::string& p) { return p; }, keyFile, InputFileText::State::Absent,
         "it does not exist"},
        {"a link where links are refused", [](const std::string& p) {
             std::ofstream(p + ".target") << "format = 1\n";
             fs::create_symlink(p + ".target", p);
             return p;
         }, InputFileRules{InputLimit::kCarryOverRecord, "carry-over record", false, true},
         InputFileText::State::Refused, "symbolic link"},
    };
    const long before = MaxResidentKb();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = c.plant(PathOf("input" + std::to_string(&c - cases)));
        const auto start = std::chrono::steady_clock::now();
        InputFileText file = TryReadInputFile(path, c.rules);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(file.state, c.state);
        EXPECT_TRUE(file.bytes.empty());
        EXPECT_NE(file.reason.find(c.reason), std::string::npos) << file.reason;
        EXPECT_EQ(file.Message(path, c.rules.what), std::string("Cannot read the ") + c.rules.what + " " + path + ": " + file.reason);
    }
    EXPECT_LT(MaxResidentKb() - before, 64 * 1024) << "no case took memory for what it refused";
}

// Where the rules ask for it (records kept in the user's own folders), another user's file is
// refused; a file of exactly the limit is read whole.
TEST_F(InputFileTest, OwnerAndLimitRules)
{
    WriteFile("mine", std::string(100, 'x'));
    InputFileText mine = TryReadInputFile(PathOf("mine"), InputFileRules{100, "record", false, true});
    ASSERT_TRUE(mine.Ok()) << mine.reason;
    EXPECT_EQ(mine.bytes, std::string(100, 'x'));
    ::chmod(PathOf("mine").c_str(), 0644);
    ::chmod(dir.c_str(), 0755);
    if (::geteuid() != 0) {
        std::printf("skipped: another user's file (needs root to arrange)\n");
        return;
    }
    EXPECT_TRUE(AsOrdinaryUser([&] {
        return TryReadInputFile(PathOf("mine"), InputFileRules{100, "record", false, true}).reason ==
               "it belongs to another user";
    }));
}

// ReadInputFile raises the same refusal as an error that names the file.
TEST_F(InputFileTest, ReadInputFileRaisesTheRefusal)
{
    ::mkfifo(PathOf("pipe").c_str(), 0666);
    try {
        ReadInputFile(PathOf("pipe"), InputFileRules{InputLimit::kSimProfile, "simulator profile"});
        FAIL() << "a pipe was read";
    } catch (const CError& error) {
        EXPECT_EQ(std::string(error.GetText()),
                  "Cannot read the simulator profile " + PathOf("pipe") + ": it is a named pipe, not a regular file");
    }
}

}  // namespace
