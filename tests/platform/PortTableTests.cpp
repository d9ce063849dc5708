#include "tests/support/ScratchDirectoryTest.h"

#include "platform/PortTable.h"
#include "platform/SettingsStore.h"

#include <filesystem>

namespace {

class PortTableTest : public ScratchDirectoryTest {
protected:
    void SetUp() override
    {
        ScratchDirectoryTest::SetUp();
        store.SetPath(PathOf("settings.ini"));
    }
    // A device node in the scratch /dev.
    std::string Node(const std::string& leaf)
    {
        WriteFile("dev/" + leaf, "");
        return std::filesystem::canonical(dir / "dev" / leaf).string();
    }
    void Uart(const std::string& leaf, int type)
    {
        Node(leaf);
        WriteFile("sys/" + leaf + "/type", std::to_string(type) + "\n");
    }
    void ByIdLink(const std::string& name, const std::string& target)
    {
        std::filesystem::create_directories(dir / "dev/serial/by-id");
        std::error_code made;
        std::filesystem::create_symlink("../../" + target, dir / "dev/serial/by-id" / name, made);
        if (made)
            GTEST_SKIP() << "this system makes no symbolic links: " << made.message();
    }
    std::vector<SerialDevice> Find() { return FindSerialDevices(PathOf("dev"), PathOf("sys")); }

    CSettingsStore store{""};
    std::vector<SerialDevice> found;
    // The devices named here are made up: any absolute path passes as a serial device.
    CPortTable table{store, [this] { return found; },
                     [](const std::string& path) { return path.rfind('/', 0) == 0 ? "" : std::string("relative"); }};
};

TEST_F(PortTableTest, DevicesAreFoundOnceEachInAStableOrder)
{
    const std::string usb0 = Node("ttyUSB0"), usb1 = Node("ttyUSB1"), usb10 = Node("ttyUSB10"),
                      usb2 = Node("ttyUSB2"), acm0 = Node("ttyACM0");
    Node("tty0");
    Node("ttyUSBx");
    Node("console");
    Uart("ttyS1", 4);
    Uart("ttyS0", 0);  // a port node without a UART behind it
    Node("ttyS2");     // nor with nothing said about it
    const std::string s1 = std::filesystem::canonical(dir / "dev/ttyS1").string();
    ByIdLink("usb-Adapter_B2-if00-port0", "ttyUSB1");
    ByIdLink("usb-Modem_C3-if00", "ttyACM0");
    ByIdLink("usb-Gone_D4-if00-port0", "ttyUSB7");  // dangling: the device went away
    if (IsSkipped())
        return;

    const auto devices = Find();
    std::vector<std::pair<std::string, std::string>> seen;
    for (const auto& device : devices)
        seen.emplace_back(device.path, device.name);
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{{usb0, ""},
                                                                      {usb1, "usb-Adapter_B2-if00-port0"},
                                                                      {usb2, ""},
                                                                      {usb10, ""},
                                                                      {acm0, "usb-Modem_C3-if00"},
                                                                      {s1, ""}}));
}

TEST_F(PortTableTest, SavedEntriesComeFirstAndFoundDevicesFillTheFreeNumbers)
{
    found = {{"/dev/ttyUSB0", "usb-A"}, {"/dev/ttyUSB1", ""}, {"/dev/ttyACM0", ""}, {"/dev/ttyS0", ""}};
    ASSERT_TRUE(table.Save(3, "/dev/ttyACM0"));
    ASSERT_TRUE(table.Save(1, "/dev/ttyS9"));
    store.WriteString(CPortTable::kSection, "COM0", "/dev/zero-is-no-port");
    store.WriteString(CPortTable::kSection, "COM100", "/dev/too-high");
    store.WriteString(CPortTable::kSection, "LPT1", "/dev/lp0");
    store.WriteString(CPortTable::kSection, "COM5", "");

    std::vector<std::tuple<unsigned, std::string, PortEntry::Source>> rows;
    for (const auto& entry : table.Entries())
        rows.emplace_back(entry.number, entry.path, entry.source);
    using S = PortEntry::Source;
    EXPECT_EQ(rows, (std::vector<std::tuple<unsigned, std::string, S>>{{1, "/dev/ttyS9", S::Saved},
                                                                       {2, "/dev/ttyUSB0", S::Found},
                                                                       {3, "/dev/ttyACM0", S::Saved},
                                                                       {4, "/dev/ttyUSB1", S::Found},
                                                                       {5, "/dev/ttyS0", S::Found}}));
    EXPECT_EQ(table.PathFor(2), "/dev/ttyUSB0");
    EXPECT_EQ(table.PathFor(6), "");
    EXPECT_FALSE(table.Save(0, "/dev/x"));
    EXPECT_FALSE(table.Save(100, "/dev/x"));

    ASSERT_TRUE(table.Forget(1));
    EXPECT_EQ(table.PathFor(1), "/dev/ttyUSB0") << "a forgotten number goes to the first found device";
}

TEST_F(PortTableTest, ASavedLinkAndTheDeviceItNamesAreOnePort)
{
    const std::string usb0 = Node("ttyUSB0");
    ByIdLink("usb-Adapter_A1-if00-port0", "ttyUSB0");
    if (IsSkipped())
        return;
    found = Find();
    ASSERT_TRUE(table.Save(4, PathOf("dev/serial/by-id/usb-Adapter_A1-if00-port0")));
    const auto entries = table.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].number, 4u);
    EXPECT_TRUE(entries[0].present);
}

TEST_F(PortTableTest, APathGivenDirectlyGetsANumberForThisRunOnly)
{
    found = {{"/dev/ttyUSB0", ""}};
    ASSERT_TRUE(table.Save(1, "/dev/ttyS0"));
    const std::string saved = ReadFile("settings.ini");

    EXPECT_EQ(table.AssignPath("/dev/ttyS0"), 1u) << "a saved device keeps its number";
    EXPECT_EQ(table.AssignPath("/dev/pts/7"), 3u) << "the lowest number free of saved and found ports";
    EXPECT_EQ(table.AssignPath("/dev/pts/7"), 3u);
    EXPECT_EQ(table.AssignPath("/dev/pts/8"), 4u);
    EXPECT_EQ(table.PathFor(3), "/dev/pts/7");
    EXPECT_EQ(ReadFile("settings.ini"), saved) << "nothing saved";

    // A found device's number is pinned once given out, even when another device appears.
    EXPECT_EQ(table.AssignPath("/dev/ttyUSB0"), 2u);
    found.insert(found.begin(), SerialDevice{"/dev/ttyACM5", ""});
    EXPECT_EQ(table.PathFor(2), "/dev/ttyUSB0");
    EXPECT_EQ(table.PathFor(5), "/dev/ttyACM5");

    for (unsigned n = 6; n <= CPortTable::kMaxNumber; ++n)
        ASSERT_EQ(table.AssignPath("/dev/pts/x" + std::to_string(n)), n);
    EXPECT_EQ(table.AssignPath("/dev/pts/one-too-many"), 0u);
}

} // namespace
