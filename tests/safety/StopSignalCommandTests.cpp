// Signals at each stage of each command that opens a port: `tessarin plan`, `program` and
// `codeplug --device` on the simulated radio on a pseudo-terminal, stopped with SIGINT,
// SIGTERM and SIGHUP after a given number of frames. Every one must end with 128 plus the
// signal's number, the line settings as they were before it ran, the port not held, and the
// next command not refused.
#include "tests/support/ScratchDirectoryTest.h"
#include "ChildProcess.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kTessarin = TESSARIN_BIN;
const std::string kDemoKit = DEMO_KIT_DIR;
const std::string kProfile = std::string(TESSARIN_SOURCE_DIR) + "/sim/profiles/demo.json";

// The simulated demo radio on a pseudo-terminal, published at `link`, for one case.
class CSimulatedRadio {
public:
    CSimulatedRadio(const std::string& link, const std::string& log)
    {
        fs::remove(log);  // "ready" is read from the new simulator's own log only
        m_pid = ::fork();
        if (m_pid == 0) {
            int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::execl(kTessarin.c_str(), kTessarin.c_str(), "sim", "--profile", kProfile.c_str(), "--link", link.c_str(),
                    "--replace", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 200 && !m_ready; ++i) {
            std::ifstream in(log);
            std::string first;
            m_ready = std::getline(in, first) && first.rfind("ready:", 0) == 0;
            if (!m_ready)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~CSimulatedRadio()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGINT);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }
    bool Ready() const { return m_ready; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

// The line as a program finds it: its settings and whether anyone holds it.
struct LineState {
    bool opened = false;
    termios settings{};
    int exclusive = -1;  // TIOCGEXCL
    bool lockable = false;
};

LineState LookAt(const std::string& device)
{
    LineState state;
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return state;
    state.opened = true;
    ::tcgetattr(fd, &state.settings);
    ::ioctl(fd, TIOCGEXCL, &state.exclusive);
    state.lockable = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return state;
}

bool SameSettings(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           ::cfgetispeed(&a) == ::cfgetispeed(&b) && ::cfgetospeed(&a) == ::cfgetospeed(&b) &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

class StopSignalCommandTest : public ScratchDirectoryTest {
protected:
    struct Stage {
        const char* name;
        int frames;  // trace lines seen before the signal is sent
    };
    struct Signal {
        int number;
        const char* name;
    };
    static constexpr Signal kSignals[] = {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};

    // Runs `args` (the port given as --device LINK) on a fresh simulated radio and stops it
    // with `signal` once `frames` trace lines have been written.
    void StopAndCheck(std::vector<std::string> args, int frames, const Signal& signal)
    {
        const std::string link = PathOf("radio");
        CSimulatedRadio radio(link, PathOf("sim.log"));
        ASSERT_TRUE(radio.Ready()) << "the simulated radio did not start";
        const LineState before = LookAt(link);
        ASSERT_TRUE(before.opened);

        args.insert(args.begin(), kTessarin);
        args.insert(args.end(), {"--device", link, "--trace"});
        ChildOptions options;
        options.env = {{"TESSARIN_SETTINGS", PathOf("settings.ini")}, {"TESSARIN_STATE_DIR", PathOf("state")}};
        options.limit = std::chrono::seconds(60);
        int seen = 0;
        bool sent = false;
        options.onErrLine = [&](const std::string& line, pid_t child) {
            if (line.rfind("+", 0) == 0 && ++seen == frames && !sent) {
                ::kill(child, signal.number);
                sent = true;
            }
        };
        ChildResult run = RunChild(args, options);
        ASSERT_TRUE(sent) << "the command ended after " << seen << " frames, before the stage was reached";
        EXPECT_FALSE(run.timedOut);
        EXPECT_FALSE(run.signalled) << "the signal's default action ended it: nothing was cleaned up";
        EXPECT_EQ(run.status, 128 + signal.number) << run.err.substr(run.err.size() > 2000 ? run.err.size() - 2000 : 0);
        // Said on the command's human output (standard output for program, else standard error).
        EXPECT_NE((run.out + run.err).find(std::string("stopped on ") + signal.name), std::string::npos) << run.out << run.err;
        EXPECT_NE((run.out + run.err).find("line settings restored"), std::string::npos);

        const LineState after = LookAt(link);
        ASSERT_TRUE(after.opened);
        EXPECT_EQ(after.exclusive, 0) << "the port is left held exclusively";
        EXPECT_TRUE(after.lockable) << "someone still holds the port's lock";
        EXPECT_TRUE(SameSettings(before.settings, after.settings)) << "the line settings were not restored";

        ChildResult next = RunChild({kTessarin, "radio", "--device", link, "--echo", "on", "status", "0"}, options);
        EXPECT_EQ(next.err.find("another program holds the port"), std::string::npos) << next.err;
    }

    void Table(const std::vector<std::string>& args, const std::vector<Stage>& stages)
    {
        for (const Stage& stage : stages) {
            for (const Signal& signal : kSignals) {
                SCOPED_TRACE(std::string(signal.name) + " " + stage.name);
                StopAndCheck(args, stage.frames, signal);
            }
        }
    }
};

TEST_F(StopSignalCommandTest, Plan)
{
    Table({"plan", "--kit", kDemoKit, "--echo", "on"},
          {{"at the first request", 1}, {"during verification", 4}, {"during matching", 12}});
}

TEST_F(StopSignalCommandTest, Program)
{
    Table({"program", "--kit", kDemoKit, "--echo", "on", "--yes", "--flash-baud", "115200"},
          {{"at the first request", 1}, {"during verification", 8}, {"with the flash erased, the boot code going down", 40}});
}

TEST_F(StopSignalCommandTest, CodeplugOnTheRadio)
{
    Table({"codeplug", "blocks", "--echo", "on"}, {{"at the first request", 1}, {"reading blocks", 6}});
}

}  // namespace
