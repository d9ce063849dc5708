#include "files/DataFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace {

const std::string kKey = "bench key";

TEST(DataFile, RoundTripThroughTheReaderProcedure)
{
    CScratchDirectory dir{"tessarin-files"};
    const std::string text = "S1130000000102030405060708090A0B0C0D0E0F74\r\nS9030000FC\r\n";
    std::vector<char> file = EncipherDataFile(text, kKey);
    ASSERT_EQ(file.size() % 8, 0u);
    ASSERT_GE(file.size(), text.size());
    WriteBytes(dir.File("img"), file);

    DataFileText read = ReadDataFile(dir.File("img"), kKey);
    ASSERT_TRUE(read.Ok()) << DescribeDataFileStatus(read.status);
    EXPECT_EQ(read.fileSize, file.size());
    EXPECT_EQ(read.buffer.size(), file.size() + 10);
    EXPECT_EQ(std::string(read.Text()), text);
}

TEST(DataFile, ATextThatFillsTheFileExactlyIsStillTerminated)
{
    CScratchDirectory dir{"tessarin-files"};
    const std::string text = "ABCDEFGH12345678";  // 16 bytes: no padding
    WriteBytes(dir.File("f"), EncipherDataFile(text, kKey));
    DataFileText read = ReadDataFile(dir.File("f"), kKey);
    ASSERT_TRUE(read.Ok());
    EXPECT_EQ(std::string(read.Text()), text);
}

TEST(DataFile, SizeAndOpenFailures)
{
    CScratchDirectory dir{"tessarin-files"};
    WriteText(dir.File("empty"), "");
    WriteText(dir.File("odd"), std::string(12, 'x'));
    std::filesystem::create_directory(dir.File("folder"));
    struct Case {
        const char* name;
        DataFileStatus expected;
    } cases[] = {
        {"empty", DataFileStatus::Empty},
        {"odd", DataFileStatus::BadSize},
        {"missing", DataFileStatus::CannotOpen},
        {"folder", DataFileStatus::CannotOpen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DataFileText read = ReadDataFile(dir.File(c.name), kKey);
        EXPECT_EQ(read.status, c.expected);
        EXPECT_STREQ(read.Text(), "");
    }
    EXPECT_TRUE(IsCorrupt(DataFileStatus::Empty));
    EXPECT_TRUE(IsCorrupt(DataFileStatus::BadSize));
    EXPECT_FALSE(IsCorrupt(DataFileStatus::CannotOpen));
}

TEST(DataFile, AFileHeldByAWriterCannotBeOpenedButReadersShare)
{
    CScratchDirectory dir{"tessarin-files"};
    WriteBytes(dir.File("held"), EncipherDataFile("text", kKey));
    CDataFileHandle first;
    ASSERT_TRUE(first.Open(dir.File("held")));
    EXPECT_TRUE(ReadDataFile(dir.File("held"), kKey).Ok()) << "readers share a kit file";
    EXPECT_FALSE(LockKitFolder(dir.Path().string(), CPrivateLock::Mode::Exclusive).Locked())
        << "a writer while a reader holds the kit";
    first.Close();
    // A writer of this user's holds the kit's own private lock, not the file.
    CPrivateLock writer = LockKitFolder(dir.Path().string(), CPrivateLock::Mode::Exclusive);
    ASSERT_TRUE(writer.Locked()) << writer.Error();
    DataFileText refused = ReadDataFile(dir.File("held"), kKey);
    EXPECT_EQ(refused.status, DataFileStatus::CannotOpen);
    EXPECT_NE(refused.reason.find("writing this kit"), std::string::npos) << refused.reason;
    writer.Release();
    EXPECT_TRUE(ReadDataFile(dir.File("held"), kKey).Ok());
}

// Files of different keys read in turn (the configuration key, then the data-file key, then the
// first again, with an empty key between) are each enciphered and deciphered with their own key.
TEST(DataFile, KeysUsedInTurnEachKeepTheirOwnCipher)
{
    const std::string text = "eight by eight bytes of text, give or take";
    const std::string keys[] = {kKey, "another key", "", kKey, "another key", "bench ke", "another key"};
    std::vector<std::vector<char>> enciphered;
    for (const std::string& key : keys)
        enciphered.push_back(EncipherDataFile(text, key));
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        SCOPED_TRACE(keys[i]);
        EXPECT_EQ(enciphered[i].empty(), keys[i].empty());
        EXPECT_EQ(enciphered[i], EncipherDataFile(text, keys[i]));
        for (std::size_t j = 0; j < std::size(keys); ++j) {
            if (keys[i].empty() || keys[j].empty())
                continue;
            std::vector<char> bytes = enciphered[i];
            ASSERT_TRUE(DecipherDataFile(bytes, keys[j]));
            EXPECT_EQ(std::string(bytes.data(), text.size()) == text, keys[i] == keys[j]) << keys[j];
        }
    }
}

TEST(DataFile, EmptyKeyIsRefused)
{
    CScratchDirectory dir{"tessarin-files"};
    WriteBytes(dir.File("f"), EncipherDataFile("text", kKey));
    EXPECT_EQ(ReadDataFile(dir.File("f"), "").status, DataFileStatus::EmptyKey);
    EXPECT_TRUE(EncipherDataFile("text", "").empty());
}

TEST(DataFile, FixedBufferKeepsTenZeroBytesAfterTheText)
{
    CScratchDirectory dir{"tessarin-files"};
    char buffer[10000];
    struct Case {
        std::size_t size;
        DataFileStatus expected;
    } cases[] = {{9984, DataFileStatus::Ok}, {8, DataFileStatus::Ok},
                 {9992, DataFileStatus::TooLarge}, {0, DataFileStatus::Empty}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        std::string text(c.size, 'A');
        WriteBytes(dir.File("boot"), c.size ? EncipherDataFile(text, kKey) : std::vector<char>{});
        std::memset(buffer, 'X', sizeof buffer);
        std::size_t fileSize = 0;
        EXPECT_EQ(ReadDataFileInto(dir.File("boot"), kKey, buffer, sizeof buffer, &fileSize),
                  c.expected);
        EXPECT_EQ(fileSize, c.size);
        if (c.expected == DataFileStatus::Ok) {
            EXPECT_EQ(std::strlen(buffer), c.size);
            EXPECT_EQ(std::string(buffer, 8), "AAAAAAAA");
        }
    }
}

TEST(DataFile, ConfigurationKeyIsTheBenchSentence)
{
    EXPECT_EQ(std::strlen(kConfigFileKey), 93u);
    EXPECT_EQ(std::string(kConfigFileKey).substr(0, 17), "Every radio that ");
    EXPECT_EQ(kConfigFileKey[92], '.');
}

}  // namespace
