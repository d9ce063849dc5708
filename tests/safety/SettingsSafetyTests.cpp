#include "tests/support/ScratchDirectoryTest.h"
#include "AsOtherUser.h"

#include "platform/PrivateLock.h"
#include "platform/SettingsStore.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class SettingsSafetyTest : public ScratchDirectoryTest {};

const std::string kSaved = "[Communication]\nPort ID=3\nORX Echo Type=1\n[Ports]\nCOM3=/dev/ttyUSB0\n";

// A settings file that exists but cannot be read is never replaced by one holding only the new
// value: the write fails, says why, and the file keeps every entry.
TEST_F(SettingsSafetyTest, UnreadableFileIsNeverWrittenOver)
{
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        const char* reason;
    };
    const Case cases[] = {
        {"another user's file", [](const std::string& path) {
             std::ofstream(path) << kSaved;
             ::chmod(path.c_str(), 0600);
             if (::geteuid() != 0)
                 ::chmod(path.c_str(), 0);
         }, "Permission denied"},
        {"a named pipe", [](const std::string& path) { ::mkfifo(path.c_str(), 0666); }, "not a regular file"},
        {"a folder", [](const std::string& path) { fs::create_directory(path); }, "not a regular file"},
        {"a huge sparse file", [](const std::string& path) {
             std::ofstream(path) << kSaved;
             fs::resize_file(path, 64u << 20);
         }, "more than the 1048576 a settings file may hold"},
    };
    ::chmod(dir.c_str(), 0777);  // the ordinary user may write the folder: only the file is closed to it
    for (const Case& c : cases) {
        const std::string path = PathOf(std::string("settings-") + std::to_string(&c - cases) + ".ini");
        c.make(path);
        const bool comparable = fs::is_regular_file(path) && fs::file_size(path) < 4096;
        const std::string before = comparable ? Contents(path) : "";
        const std::uintmax_t sizeBefore = fs::is_regular_file(path) ? fs::file_size(path) : 0;
        const bool refused = AsOrdinaryUser([&] {
            CSettingsStore store(path);
            store.SetLockWait(std::chrono::milliseconds(0));
            int port = 0;
            return !store.ReadDword("Communication", "Port ID", port) &&
                   store.LastError().find(c.reason) != std::string::npos &&
                   !store.WriteDword("Communication", "Port ID", 5) &&
                   store.LastError().find("cannot read the settings file " + path) != std::string::npos &&
                   store.LastError().find(c.reason) != std::string::npos;
        });
        EXPECT_TRUE(refused) << c.what;
        if (fs::is_regular_file(path)) {
            ::chmod(path.c_str(), 0600);
            EXPECT_EQ(fs::file_size(path), sizeBefore) << c.what;
            if (comparable) {
                EXPECT_EQ(Contents(path), before) << c.what;
            }
        }
    }
    for (const std::string& name : Names())
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
}

// A write changes one line; comments, unknown sections, odd lines and line ends stay.
TEST_F(SettingsSafetyTest, WritesChangeOnlyTheirOwnLine)
{
    const std::string original = "; written by hand\r\n"
                                 "[Communication]\n"
                                 "# the adapter on the left\n"
                                 "Port ID = 4\n"
                                 "not an entry\n"
                                 "[Other Tool]\n"
                                 "Colour=blue\n"
                                 "[broken\n"
                                 "Lost=1\n";
    struct Case {
        const char* what;
        std::function<bool(CSettingsStore&)> change;
        std::string expected;
    };
    const Case cases[] = {
        {"replace a value", [](CSettingsStore& s) { return s.WriteDword("communication", "port id", 7); },
         "; written by hand\r\n[Communication]\n# the adapter on the left\nport id=7\nnot an entry\n"
         "[Other Tool]\nColour=blue\n[broken\nLost=1\n"},
        {"add to a section", [](CSettingsStore& s) { return s.WriteDword("Communication", "ORX Echo Type", 0); },
         "; written by hand\r\n[Communication]\n# the adapter on the left\nPort ID = 4\nORX Echo Type=0\n"
         "not an entry\n[Other Tool]\nColour=blue\n[broken\nLost=1\n"},
        {"add a section", [](CSettingsStore& s) { return s.WriteString("Ports", "COM1", "/dev/ttyS0"); },
         original + "\n[Ports]\nCOM1=/dev/ttyS0\n"},
        {"remove an entry", [](CSettingsStore& s) { return s.Remove("Other Tool", "Colour"); },
         "; written by hand\r\n[Communication]\n# the adapter on the left\nPort ID = 4\nnot an entry\n"
         "[Other Tool]\n[broken\nLost=1\n"},
    };
    for (const Case& c : cases) {
        WriteFile("settings.ini", original);
        CSettingsStore store(PathOf("settings.ini"));
        ASSERT_TRUE(c.change(store)) << c.what << ": " << store.LastError();
        EXPECT_EQ(Contents(PathOf("settings.ini")), c.expected) << c.what;
    }
}

// Waiting for another program's lock has an end, and the message says what to do. The lock is
// a private lock file of this user's, never the settings folder.
TEST_F(SettingsSafetyTest, LockWaitIsLimited)
{
    WriteFile("settings.ini", kSaved);
    CSettingsStore store(PathOf("settings.ini"));
    store.SetLockWait(std::chrono::milliseconds(0));
    {
        CPrivateLock holder("settings", PathOf("settings.ini"), CPrivateLock::Mode::Exclusive);
        ASSERT_TRUE(holder.Locked()) << holder.Error();
        EXPECT_FALSE(store.WriteDword("Communication", "Port ID", 5));
        EXPECT_NE(store.LastError().find("stayed locked by another program"), std::string::npos) << store.LastError();
        EXPECT_EQ(Contents(PathOf("settings.ini")), kSaved);
    }
    EXPECT_TRUE(store.WriteDword("Communication", "Port ID", 5)) << store.LastError();
}

// Locks another user holds on what is readable to them (the settings folder, the settings file)
// never stop this user's settings: each user locks a private lock file of their own.
TEST_F(SettingsSafetyTest, AnotherUsersLocksDoNotStopAWrite)
{
    struct Case {
        const char* what;
        std::string locked;  // the path the other user locks
    };
    fs::create_directory(dir / "config");
    ::chmod((dir / "config").c_str(), 0755);
    ::chmod(dir.c_str(), 0755);
    const std::string settings = (dir / "config" / "settings.ini").string();
    std::ofstream(settings) << kSaved;
    ::chmod(settings.c_str(), 0644);
    const Case cases[] = {{"the settings folder", (dir / "config").string()}, {"the settings file", settings}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        COtherUsersLock other(c.locked);
        EXPECT_TRUE(other.Held()) << "the other user could lock it";
        CSettingsStore store(settings);
        store.SetLockWait(std::chrono::milliseconds(0));
        EXPECT_TRUE(store.WriteDword("Communication", "Port ID", 7)) << store.LastError();
    }
}

// A settings write keeps the file's mode: a private file stays private, whatever the umask.
TEST_F(SettingsSafetyTest, WriteKeepsTheFilesMode)
{
    const mode_t saved = ::umask(022);
    for (mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0644)}) {
        SCOPED_TRACE(mode);
        WriteFile("settings.ini", kSaved);
        ::chmod(PathOf("settings.ini").c_str(), mode);
        CSettingsStore store(PathOf("settings.ini"));
        ASSERT_TRUE(store.WriteDword("Communication", "Port ID", 9)) << store.LastError();
        struct stat info{};
        ASSERT_EQ(::stat(PathOf("settings.ini").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode);
    }
    ::umask(saved);
}

// A failed write reports the writer's own reason, not a guess.
TEST_F(SettingsSafetyTest, WriteFailureSaysTheSystemsReason)
{
    ::chmod(dir.c_str(), 0755);  // the ordinary user reaches into the scratch folder (made 0700)
    fs::create_directory(dir / "closed");
    ::chmod((dir / "closed").c_str(), 0555);
    const std::string path = PathOf("closed/settings.ini");
    EXPECT_TRUE(AsOrdinaryUser([&] {
        CSettingsStore store(path);
        return !store.WriteDword("Communication", "Port ID", 5) &&
               store.LastError() == "Cannot write " + path + ": Permission denied; nothing was changed";
    }));
}

}  // namespace
