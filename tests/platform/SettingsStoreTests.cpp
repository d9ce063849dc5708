#include "tests/support/ScratchDirectoryTest.h"

#include "platform/SettingsStore.h"

#include <cstdlib>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using SettingsStoreTest = ScratchDirectoryTest;

// Sets or clears environment variables for one scope, and puts them back afterwards.
class EnvironmentScope {
public:
    void Set(const char* name, std::optional<std::string> value)
    {
        const char* old = std::getenv(name);
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        Apply(name, value);
    }
    ~EnvironmentScope()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it)
            Apply(it->first, it->second);
    }

private:
    static void Apply(const char* name, const std::optional<std::string>& value)
    {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
};

TEST(SettingsLocation, ExplicitFileThenXdgConfigThenHome)
{
    struct Case {
        std::optional<std::string> explicitFile, xdg, home;
        std::string expected;
    } cases[] = {
        {"/tmp/a.ini", "/x", "/h", "/tmp/a.ini"},
        {"", "/x", "/h", "/x/tessarin/settings.ini"},
        {std::nullopt, "/x", "/h", "/x/tessarin/settings.ini"},
        {std::nullopt, "relative", "/h", "/h/.config/tessarin/settings.ini"},
        {std::nullopt, std::nullopt, "/h", "/h/.config/tessarin/settings.ini"},
    };
    for (const auto& c : cases) {
        EnvironmentScope env;
        env.Set("TESSARIN_SETTINGS", c.explicitFile);
        env.Set("XDG_CONFIG_HOME", c.xdg);
        env.Set("HOME", c.home);
        EXPECT_EQ(CSettingsStore::DefaultPath(), c.expected);
    }
}

TEST_F(SettingsStoreTest, ValuesRoundTripAndMissingOnesKeepTheDefault)
{
    CSettingsStore store(PathOf("sub/dir/settings.ini"));  // folders are made on the first write
    int port = 1;
    EXPECT_FALSE(store.ReadDword("Communication", "Port ID", port));
    EXPECT_EQ(port, 1);

    ASSERT_TRUE(store.WriteDword("Communication", "Port ID", 7)) << store.LastError();
    ASSERT_TRUE(store.WriteDword("Communication", "ORX Echo Type", 0));
    ASSERT_TRUE(store.WriteString("Ports", "COM3", "/dev/serial/by-id/usb-Adapter_A1-if00-port0"));
    ASSERT_TRUE(store.WriteDword("Settings", "X", -40));

    CSettingsStore again(store.Path());
    int echo = 1, x = 0;
    std::string device;
    EXPECT_TRUE(again.ReadDword("communication", "port id", port)) << "names match in any case";
    EXPECT_TRUE(again.ReadDword("Communication", "ORX Echo Type", echo));
    EXPECT_TRUE(again.ReadString("Ports", "COM3", device));
    EXPECT_TRUE(again.ReadDword("Settings", "X", x));
    EXPECT_EQ(port, 7);
    EXPECT_EQ(echo, 0);
    EXPECT_EQ(x, -40);
    EXPECT_EQ(device, "/dev/serial/by-id/usb-Adapter_A1-if00-port0");

    ASSERT_TRUE(again.Remove("Communication", "Port ID"));
    port = 1;
    EXPECT_FALSE(store.ReadDword("Communication", "Port ID", port));
    EXPECT_EQ(port, 1);
    EXPECT_TRUE(store.ReadDword("Communication", "ORX Echo Type", echo)) << "the rest stays";
}

TEST_F(SettingsStoreTest, ReadingSkipsGarbageAndWritingKeepsEveryOtherEntry)
{
    WriteFile("settings.ini", "stray=before any section\n"
                              "; a comment\n"
                              "# another\n"
                              "[Communication]\n"
                              "Port ID = 4  \r\n"
                              "ORX Echo Type=abc\n"
                              "just some garbage\n"
                              "=no key\n"
                              "\x01\x02\xff binary\n"
                              "[broken header\n"
                              "Lost=1\n"
                              "[Window]\n"
                              "Geometry=10,20,300,400\n"
                              "Big=99999999999\n"
                              "Geometry=11,21,301,401\n");
    CSettingsStore store(PathOf("settings.ini"));
    int value = -1;
    EXPECT_TRUE(store.ReadDword("Communication", "Port ID", value));
    EXPECT_EQ(value, 4);
    value = 1;
    EXPECT_FALSE(store.ReadDword("Communication", "ORX Echo Type", value)) << "not a number";
    EXPECT_FALSE(store.ReadDword("Window", "Big", value)) << "out of range";
    EXPECT_EQ(value, 1);
    std::string text;
    EXPECT_FALSE(store.ReadString("broken header", "Lost", text));
    EXPECT_TRUE(store.ReadString("Window", "Geometry", text));
    EXPECT_EQ(text, "11,21,301,401") << "the last of repeated keys wins";

    ASSERT_TRUE(store.WriteDword("Communication", "Port ID", 5));
    CSettingsStore::Entries communication = store.ReadSection("Communication");
    ASSERT_EQ(communication.size(), 2u);
    EXPECT_EQ(communication[0], std::make_pair(std::string("Port ID"), std::string("5")));
    EXPECT_EQ(communication[1], std::make_pair(std::string("ORX Echo Type"), std::string("abc")));
    EXPECT_TRUE(store.ReadString("Window", "Geometry", text));
    EXPECT_EQ(store.ReadSection("Window").size(), 2u);

    // No temporary file is left beside the settings.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(SettingsStoreTest, TwoStoresOnOneFileSeeEachOthersWrites)
{
    CSettingsStore gui(PathOf("settings.ini"));
    CSettingsStore cli(PathOf("settings.ini"));
    ASSERT_TRUE(gui.WriteDword("Settings", "X", 10));
    ASSERT_TRUE(cli.WriteDword("Communication", "Port ID", 2));
    ASSERT_TRUE(gui.WriteDword("Settings", "Y", 20));
    int x = 0, port = 0;
    EXPECT_TRUE(cli.ReadDword("Settings", "X", x));
    EXPECT_TRUE(gui.ReadDword("Communication", "Port ID", port));
    EXPECT_EQ(x, 10);
    EXPECT_EQ(port, 2);
}

TEST_F(SettingsStoreTest, ProgramsWritingAtOnceLoseNoEntries)
{
    const std::string path = PathOf("settings.ini");
    constexpr int kWriters = 3;
    constexpr int kEach = 12;
    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CSettingsStore store(path);
            bool ok = true;
            for (int i = 0; i < kEach; ++i)
                ok = store.WriteDword("W" + std::to_string(writer), "K" + std::to_string(i), i) && ok;
            _exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    CSettingsStore store(path);
    for (int writer = 0; writer < kWriters; ++writer)
        EXPECT_EQ(store.ReadSection("W" + std::to_string(writer)).size(), static_cast<std::size_t>(kEach));
}

TEST_F(SettingsStoreTest, WhatCannotBeStoredIsRefusedAndTheFileLeftAlone)
{
    CSettingsStore store(PathOf("settings.ini"));
    ASSERT_TRUE(store.WriteString("Ports", "COM1", "/dev/ttyUSB0"));
    const std::string before = ReadFile("settings.ini");
    EXPECT_FALSE(store.WriteString("Ports", "COM2", "two\nlines"));
    EXPECT_FALSE(store.WriteString("Ports", "A=B", "x"));
    EXPECT_FALSE(store.WriteString("Ports", "", "x"));
    EXPECT_FALSE(store.WriteString("Po]rts", "COM2", "x"));
    EXPECT_FALSE(store.WriteString("Ports", ";COM2", "x"));
    EXPECT_FALSE(store.LastError().empty());
    EXPECT_EQ(ReadFile("settings.ini"), before);

    WriteFile("blocker", "a file where a folder should be");
    CSettingsStore unwritable(PathOf("blocker/settings.ini"));
    EXPECT_FALSE(unwritable.WriteDword("Settings", "X", 1));
    EXPECT_NE(unwritable.LastError().find("blocker"), std::string::npos) << unwritable.LastError();
}

} // namespace
