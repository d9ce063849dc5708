#include "files/Kit.h"

#include "KitFixture.h"

#include <gtest/gtest.h>

namespace {

TEST(KitCipher, EncipherPadsAndDecipherGivesTheTextBack)
{
    CScratchDirectory dir{"tessarin-kit"};
    struct Case {
        std::size_t length;
        std::size_t enciphered;
    } cases[] = {{1, 8}, {8, 8}, {9, 16}, {93, 96}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string text(c.length, 'S');
        WriteAll(dir.File("plain"), text);
        KitOutcome enc = KitEncipher(dir.File("plain"), dir.File("enc"), "k3y");
        ASSERT_EQ(enc.status, 0) << enc.err;
        const std::string bytes = ReadAll(dir.File("enc"));
        EXPECT_EQ(bytes, Enciphered(text, "k3y"));
        EXPECT_EQ(bytes.size(), c.enciphered);

        ASSERT_EQ(KitDecipher(dir.File("enc"), dir.File("text"), "k3y").status, 0);
        EXPECT_EQ(ReadAll(dir.File("text")), text);
        ASSERT_EQ(KitDecipher(dir.File("enc"), dir.File("raw"), "k3y", true).status, 0);
        EXPECT_EQ(ReadAll(dir.File("raw")), text + std::string(c.enciphered - c.length, '\0'));
    }
}

TEST(KitCipher, BadInputIsRefusedWithTheFileNamed)
{
    CScratchDirectory dir{"tessarin-kit"};
    WriteAll(dir.File("plain"), "abc");
    WriteAll(dir.File("nul"), std::string("ab\0cd", 5));
    WriteAll(dir.File("odd"), std::string(12, 'x'));
    WriteAll(dir.File("patcher.dat"), std::string(12, 'x'));
    WriteAll(dir.File("empty"), "");
    struct Case {
        const char* name;
        KitOutcome outcome;
        const char* message;
    } cases[] = {
        {"empty key", KitEncipher(dir.File("plain"), dir.File("o"), ""), "the key is empty"},
        {"NUL inside", KitEncipher(dir.File("nul"), dir.File("o"), "k"), "NUL byte at offset 2"},
        {"empty input", KitEncipher(dir.File("empty"), dir.File("o"), "k"), "is empty"},
        {"missing input", KitEncipher(dir.File("none"), dir.File("o"), "k"), "Cannot read the plain kit file"},
        {"image of odd size", KitDecipher(dir.File("odd"), dir.File("o"), "k"),
         "The required data file is corrupted and unuseable\nPlease reinstall the application!"},
        {"configuration of odd size", KitDecipher(dir.File("patcher.dat"), dir.File("o"), "k"),
         "Unable to read configuration file"},
        {"unwritable output", KitEncipher(dir.File("plain"), dir.File("no/such/dir/o"), "k"), "Cannot write"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.outcome.status, 1);
        EXPECT_NE(c.outcome.err.find(c.message), std::string::npos) << c.outcome.err;
    }
    EXPECT_FALSE(fs::exists(dir.File("o")));
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << "temporary file left";
}

TEST(KitPack, EnciphersTheConfigurationAndEveryImage)
{
    CScratchDirectory dir{"tessarin-kit"};
    fs::create_directories(dir.File("src"));
    const std::string config = "PATCH-D01.01.07\r\nT\r\nD\r\nimage key\r\n01\r\n";
    WriteAll(dir.File("src/patcher.txt"), config);
    WriteAll(dir.File("src/bc19200"), "S9030000FC\r\n");
    WriteAll(dir.File("src/.hidden"), "x");
    KitOutcome outcome = KitPack(dir.File("src"), dir.File("kit"));
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(ReadAll(dir.File("kit/patcher.dat")), Enciphered(config, kConfigFileKey));
    EXPECT_EQ(ReadAll(dir.File("kit/bc19200")), Enciphered("S9030000FC\r\n", "image key"));
    EXPECT_FALSE(fs::exists(dir.File("kit/.hidden")));
    EXPECT_FALSE(fs::exists(dir.File("kit/patcher.txt")));
}

TEST(KitPack, RefusesSourcesTheApplicationCouldNotRead)
{
    CScratchDirectory dir{"tessarin-kit"};
    struct Case {
        const char* name;
        const char* config;  // null: no patcher.txt
        const char* message;
    } cases[] = {
        {"no configuration", nullptr, "patcher.txt: it does not exist"},
        {"other version", "PATCH-D01.01.08\r\nT\r\nD\r\nkey\r\n", "not compatible"},
        {"empty key", "PATCH-D01.01.07\r\nT\r\nD\r\n\r\n01\r\n", "data-file key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir.File("src"));
        fs::create_directories(dir.File("src"));
        if (c.config)
            WriteAll(dir.File("src/patcher.txt"), c.config);
        KitOutcome outcome = KitPack(dir.File("src"), dir.File("kit"));
        EXPECT_EQ(outcome.status, 1);
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
        EXPECT_FALSE(fs::exists(dir.File("kit/patcher.dat")));
    }
}

TEST(KitSrec, SummaryAndDataBytes)
{
    CScratchDirectory dir{"tessarin-kit"};
    const std::string key = kDemoKey;
    KitOutcome outcome = KitSrec(kDemoKit + "/cp_demo", &key, dir.File("cp.bin"));
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("records: 35\n"), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("first record: checks\n"), std::string::npos);
    EXPECT_NE(outcome.out.find("end address: 0x0221\n"), std::string::npos);
    EXPECT_NE(outcome.out.find("data bytes: 545\n"), std::string::npos);
    const std::string image = ReadAll(dir.File("cp.bin"));
    ASSERT_EQ(image.size(), 545u);
    EXPECT_EQ(uint8_t(image[0]), 0x01);  // P1 = 0x0100
    EXPECT_EQ(image.substr(0x113, 11), "DEMO0000001");

    WriteAll(dir.File("plain"), "S0030000FC\r\nS9030000FC\r\n");
    outcome = KitSrec(dir.File("plain"), nullptr, "");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.out.find("first record: does not check"), std::string::npos);
}

}  // namespace
