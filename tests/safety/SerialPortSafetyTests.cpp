#include "tests/support/ScratchDirectoryTest.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "errors/Log.h"
#include "platform/PortTable.h"
#include "platform/PosixPlatform.h"
#include "platform/PosixSerial.h"
#include "platform/SettingsStore.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class QuietPosixPlatform : public CPosixPlatform {
public:
    CLog* CreateLog(int sink) override { return sink == 1 ? new CMemoryLog : nullptr; }
};

// A pseudo-terminal whose master this test holds, as the simulator does; the port table and
// the settings in the scratch folder.
class SerialPortSafetyTest : public ScratchDirectoryTest {
protected:
    void SetUp() override
    {
        ScratchDirectoryTest::SetUp();
        char name[128] = {};
        ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0) << std::strerror(errno);
        ptyPath = name;
        Settings().SetPath(PathOf("settings.ini"));
        ErrorLog().DropSinks();
        previous = InstallPlatform(std::make_unique<QuietPosixPlatform>());
    }
    void TearDown() override
    {
        ErrorLog().DropSinks();
        InstallPlatform(std::move(previous));
        ::close(master);
        ::close(slave);
        ScratchDirectoryTest::TearDown();
    }
    // The CCommError text of opening port `number`, or "" when it opened.
    static std::string OpenFailure(unsigned number)
    {
        CPosixSerial port;
        port.Configure(9600, 0, 0, 8);
        try {
            port.OpenPort(number);
        } catch (const CCommError& error) {
            return error.GetText();
        }
        port.Close();
        return "";
    }

    int master = -1;
    int slave = -1;
    std::string ptyPath;
    std::unique_ptr<CPlatform> previous;
};

// Only an absolute path to a terminal is a port: when saved, and again when opened (an entry
// may have been written into the settings by hand, or the device replaced since).
TEST_F(SerialPortSafetyTest, OnlyTerminalsGivenByAbsolutePathsArePorts)
{
    WriteFile("planted", "not a device");
    fs::create_symlink(ptyPath, dir / "radio");
    fs::create_symlink(dir / "planted", dir / "fake");
    struct Case {
        std::string path;
        const char* refusal;  // when saved; nullptr: accepted
        const char* openFailure;  // when opened; nullptr: opens
    };
    const Case cases[] = {
        {ptyPath, nullptr, nullptr},
        {PathOf("radio"), nullptr, nullptr},  // a link to a terminal
        {"planted", "not an absolute path", "absolute path"},
        {PathOf("planted"), "not a character device", "this is not a serial port"},
        {PathOf("fake"), "not a character device", "this is not a serial port"},
        {"/dev/null", "not a terminal", "this is not a serial port"},
        {PathOf("missing"), "No such file or directory", "the device does not exist"},
    };
    const fs::path start = fs::current_path();
    fs::current_path(dir);  // where a relative path would be looked up
    unsigned number = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string refusal = CheckSerialDevicePath(c.path);
        if (c.refusal == nullptr) {
            EXPECT_EQ(refusal, "");
        } else {
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
        }
        EXPECT_EQ(PortTable().Save(number, c.path), c.refusal == nullptr) << PortTable().LastError();
        // As if written by hand: the open checks again.
        ASSERT_TRUE(Settings().WriteString(CPortTable::kSection, "COM" + std::to_string(number), c.path));
        const std::string failure = OpenFailure(number);
        if (c.openFailure == nullptr) {
            EXPECT_EQ(failure, "");
        } else {
            EXPECT_NE(failure.find(c.openFailure), std::string::npos) << failure;
        }
        ++number;
    }
    fs::current_path(start);
    EXPECT_EQ(Contents(PathOf("planted")), "not a device");
}

// A program that holds the port with the terminal's exclusive flag but without the lock keeps
// it, also against root (who could open the device regardless); a flag left by a program that
// has ended is taken over (the holder test beside the pseudo-terminal tests shows that).
TEST_F(SerialPortSafetyTest, ALiveHolderWithoutTheLockIsNeverOverridden)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        ::close(master);
        ::close(slave);
        int fd = ::open(ptyPath.c_str(), O_RDWR | O_NOCTTY);
        char ok = (fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0) ? 1 : 0;
        [[maybe_unused]] ssize_t n = ::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 1);
    ASSERT_TRUE(Settings().WriteString(CPortTable::kSection, "COM1", ptyPath));
    const std::string failure = OpenFailure(1);
    EXPECT_NE(failure.find("another program holds the port"), std::string::npos) << failure;
    if (::geteuid() == 0) {
        EXPECT_NE(failure.find("pid " + std::to_string(holder)), std::string::npos) << failure;
    }
    int flag = 0;
    EXPECT_EQ(::ioctl(slave, TIOCGEXCL, &flag), 0);
    EXPECT_EQ(flag, 1) << "the holder's flag is left as it was";

    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
}

}  // namespace
