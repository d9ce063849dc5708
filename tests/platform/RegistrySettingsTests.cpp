// The settings kept in the registry (Windows): what the store writes is checked through the
// registry's own calls, not through the store.
#include "app/CommSettings.h"
#include "platform/RegistrySettings.h"
#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

namespace {

// A key of this test's own under HKEY_CURRENT_USER, removed with all it holds at the end.
class RegistryStore : public ::testing::Test {
protected:
    const std::string subkey = "Software\\Tessarin-test-" + std::to_string(GetCurrentProcessId());
    const std::string location = "HKEY_CURRENT_USER\\" + subkey;

    void TearDown() override
    {
        const std::wstring wide(subkey.begin(), subkey.end());
        RegDeleteTreeW(HKEY_CURRENT_USER, wide.c_str());
    }

    // The value as the registry holds it: its type, and its number when it is a REG_DWORD.
    struct Stored {
        bool found = false;
        DWORD type = 0;
        DWORD number = 0;
    };
    Stored Query(const std::string& section, const std::string& name) const
    {
        const std::string path = subkey + "\\" + section;
        Stored stored;
        DWORD size = sizeof stored.number;
        stored.found = RegGetValueA(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_ANY, &stored.type,
                                    &stored.number, &size) == ERROR_SUCCESS;
        return stored;
    }
};

TEST_F(RegistryStore, NamesUnderTheUsersRootAreRegistryLocations)
{
    EXPECT_TRUE(RegistrySettings::IsLocation(RegistrySettings::kDefaultLocation));
    EXPECT_TRUE(RegistrySettings::IsLocation("hkey_current_user\\Software\\Tessarin"));
    EXPECT_FALSE(RegistrySettings::IsLocation("C:\\Users\\tech\\settings.ini"));
    EXPECT_FALSE(RegistrySettings::IsLocation("HKEY_CURRENT_USER\\"));
}

TEST_F(RegistryStore, FirstRunWritesTheDefaultsAsNumbersThatAreReadBack)
{
    CSettingsStore store(location);
    ASSERT_EQ(store.Unreadable(), "");
    CCommSettings settings;
    settings.Load(store);
    EXPECT_EQ(settings.portNumber, 1);
    EXPECT_EQ(settings.echoType, 1);
    for (const char* name : {"Port ID", "ORX Echo Type"}) {
        Stored stored = Query(SettingsSection::kCommunication, name);
        ASSERT_TRUE(stored.found) << name;
        EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD)) << name;
        EXPECT_EQ(stored.number, 1u) << name;
    }

    settings.portNumber = 7;
    settings.echoType = 0;
    ASSERT_TRUE(settings.Save(store)) << store.LastError();
    EXPECT_EQ(Query(SettingsSection::kCommunication, "Port ID").number, 7u);
    EXPECT_EQ(Query(SettingsSection::kCommunication, "ORX Echo Type").number, 0u);
    CSettingsStore fresh(location);
    CCommSettings again;
    again.Load(fresh);
    EXPECT_EQ(again.portNumber, 7);
    EXPECT_EQ(again.echoType, 0);
}

TEST_F(RegistryStore, TextEntriesAreListedChangedAndRemoved)
{
    CSettingsStore store(location);
    int untouched = 42;
    EXPECT_FALSE(store.ReadDword("Settings", "X", untouched));
    EXPECT_EQ(untouched, 42);  // an entry that is not there keeps the caller's default
    ASSERT_TRUE(store.WriteString("Settings", "Title", "Bench 3 \xC3\xA9"));
    ASSERT_TRUE(store.WriteDword("Settings", "X", -5));
    std::string title;
    ASSERT_TRUE(store.ReadString("settings", "title", title));  // names match in any letter case
    EXPECT_EQ(title, "Bench 3 \xC3\xA9");
    EXPECT_EQ(Query("Settings", "Title").type, static_cast<DWORD>(REG_SZ));
    int x = 0;
    ASSERT_TRUE(store.ReadDword("Settings", "X", x));
    EXPECT_EQ(x, -5);
    EXPECT_EQ(store.ReadSection("Settings").size(), 2u);

    ASSERT_TRUE(store.Remove("Settings", "Title"));
    EXPECT_FALSE(Query("Settings", "Title").found);
    EXPECT_TRUE(store.Remove("Settings", "Title"));  // gone already
    EXPECT_FALSE(store.WriteString("Settings", "bad=name", "1"));
}

} // namespace
