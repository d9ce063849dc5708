#include "tests/support/ScratchDirectoryTest.h"
#include "AsOtherUser.h"

#include "files/DataFile.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class DataFileSafetyTest : public ScratchDirectoryTest {};

const char kKey[] = "bench key";

// What is planted in a kit is refused by what it is and by its size before any memory is
// taken or any read can block.
TEST_F(DataFileSafetyTest, RefusedBeforeMemoryIsTakenOrAReadBlocks)
{
    struct Case {
        const char* what;
        std::function<std::string(const std::string&)> plant;  // returns the path to read
        std::size_t limit;
        DataFileStatus expected;
    };
    const Case cases[] = {
        {"2 GB sparse firmware", [](const std::string& p) { std::ofstream(p).close(); fs::resize_file(p, std::uintmax_t(2) << 30); return p; },
         DataFileLimit::kFirmware, DataFileStatus::TooLarge},
        {"codeplug image over its bound", [](const std::string& p) { std::ofstream(p).close(); fs::resize_file(p, DataFileLimit::kCodeplugImage + 8); return p; },
         DataFileLimit::kCodeplugImage, DataFileStatus::TooLarge},
        {"configuration over its bound", [](const std::string& p) { std::ofstream(p).close(); fs::resize_file(p, DataFileLimit::kConfiguration + 8); return p; },
         DataFileLimit::kConfiguration, DataFileStatus::TooLarge},
        {"a named pipe", [](const std::string& p) { ::mkfifo(p.c_str(), 0644); return p; },
         DataFileLimit::kAny, DataFileStatus::CannotOpen},
        {"a folder", [](const std::string& p) { fs::create_directory(p); return p; },
         DataFileLimit::kAny, DataFileStatus::CannotOpen},
        {"a character device", [](const std::string&) { return std::string("/dev/null"); },
         DataFileLimit::kAny, DataFileStatus::CannotOpen},
    };
    for (const Case& c : cases) {
        const std::string path = c.plant(PathOf("file" + std::to_string(&c - cases)));
        const auto start = std::chrono::steady_clock::now();
        DataFileText text = ReadDataFile(path, kKey, c.limit);
        EXPECT_EQ(text.status, c.expected) << c.what << ": " << DescribeDataFileStatus(text.status);
        EXPECT_TRUE(text.buffer.empty()) << c.what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << c.what;
    }
}

TEST_F(DataFileSafetyTest, BootCodeOverItsBufferIsRefusedAndTheBufferLeftClear)
{
    struct Case {
        std::uintmax_t size;
        DataFileStatus expected;
    };
    const Case cases[] = {
        {std::uintmax_t(2) << 30, DataFileStatus::TooLarge},
        {DataFileLimit::kBootCode + 2, DataFileStatus::TooLarge},
        {DataFileLimit::kBootCode - 6, DataFileStatus::Ok},  // 9,984: the largest multiple of 8 that fits
    };
    for (const Case& c : cases) {
        std::ofstream(PathOf("bc9600")).close();
        fs::resize_file(PathOf("bc9600"), c.size);
        std::vector<char> buffer(10'000, 'x');
        EXPECT_EQ(ReadDataFileInto(PathOf("bc9600"), kKey, buffer.data(), buffer.size()), c.expected) << c.size;
    }
}

// Many may read a kit at once; a writer of this user's holding the kit keeps readers out, and a
// reader keeps such a writer out. The lock is a private lock file of this user's.
TEST_F(DataFileSafetyTest, ReadersShareAndWritersExclude)
{
    std::vector<char> bytes = EncipherDataFile("S00600004844521B\r\n", kKey);
    WriteFile("fw_128k", std::string(bytes.begin(), bytes.end()));
    const std::string path = PathOf("fw_128k");

    CDataFileHandle first, second;
    ASSERT_TRUE(first.Open(path));
    EXPECT_TRUE(second.Open(path)) << "a second reader of the same file";
    EXPECT_TRUE(ReadDataFile(path, kKey).Ok()) << "a third, while two hold it";
    EXPECT_FALSE(LockKitFolder(dir.string(), CPrivateLock::Mode::Exclusive).Locked()) << "a writer while readers hold it";
    first.Close();
    second.Close();
    CPrivateLock writer = LockKitFolder(dir.string(), CPrivateLock::Mode::Exclusive);
    ASSERT_TRUE(writer.Locked()) << writer.Error();
    EXPECT_EQ(ReadDataFile(path, kKey).status, DataFileStatus::CannotOpen) << "a reader while a writer holds it";
    writer.Release();
    EXPECT_TRUE(ReadDataFile(path, kKey).Ok());
}

// Another user who may read a kit may also lock its files and its folder: such locks never
// make the kit unusable here.
TEST_F(DataFileSafetyTest, AnotherUsersLocksOnTheKitAreIgnored)
{
    std::vector<char> bytes = EncipherDataFile("S00600004844521B\r\n", kKey);
    WriteFile("fw_128k", std::string(bytes.begin(), bytes.end()));
    ::chmod(PathOf("fw_128k").c_str(), 0644);
    ::chmod(dir.c_str(), 0755);
    for (const std::string& locked : {PathOf("fw_128k"), dir.string()}) {
        SCOPED_TRACE(locked);
        COtherUsersLock other(locked);
        EXPECT_TRUE(other.Held()) << "the other user holds it exclusively";
        EXPECT_TRUE(ReadDataFile(PathOf("fw_128k"), kKey).Ok());
    }
}

}  // namespace
