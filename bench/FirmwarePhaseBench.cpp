// The firmware phase of an upgrade (the second erase, one write per record of the 512 KB image,
// the reset) against `tessarin sim` on a pseudo-terminal, which paces every byte at the line
// rate, at 38,400 and 115,200 Bd. The engine runs in this process on the real platform, as
// `tessarin program` runs it; the simulator is a process of its own.
//
// Counters:
//   wall_s             the phase as this process saw it: the counted progress window, open to close
//   bound_s            the least time the same traffic can take: every byte the radio heard and
//                      said in the phase (from its trace) at 10 bits a byte, plus the radio's own
//                      latencies and work from its profile (ack and reply latency, flash write
//                      time per byte, erase time)
//   echo_wait_s        at the block-echo rates (38,400 Bd and below): what the protocol itself makes
//                      the line wait for, apart from the bound: the write sends each 5-byte chunk and
//                      must see its echo before the next one goes, one hand-over there and back
//                      through the pseudo-terminal per chunk (measured on this machine before the
//                      run, the median of 500), plus the box's echo delay (none in the profile)
//   overhead_pct       (wall - bound - echo_wait) / wall: the time the program adds (target under 3 %)
//   overhead_with_echo_pct  (wall - bound) / wall, the echo wait counted as the program's
//   cpu_pct            user + system time of this process during the phase / wall (target under 2 %)
#include "files/DataFile.h"
#include "platform/Platform.h"
#include "platform/PortTable.h"
#include "platform/Serial.h"
#include "platform/UiServices.h"
#include "sim/model/RadioProfile.h"
#include "upgrade/RadioUpgrade.h"
#include "upgrade/UpgradePlan.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kKitDir = DEMO_KIT_DIR;
const std::string kKey = "DemoKitDataKey-2026-R0205";
const std::string kProfile = std::string(TESSARIN_SOURCE_DIR) + "/sim/profiles/demo.json";
constexpr uint8_t kIdentityMark = 42;

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    std::size_t at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// The demo radio with 512 KB of flash, holding the identity mark the form would have written.
fs::path WriteProfile(const fs::path& dir)
{
    std::string text = ReadText(kProfile);
    text = Replace(text, "\"sizeKB\": 128", "\"sizeKB\": 512");
    text = Replace(text, "\"image\": \"demo-radio-codeplug.s19\"",
                   "\"image\": \"" + (fs::path(kProfile).parent_path() / "demo-radio-codeplug.s19").string() + "\"");
    text = Replace(text, "{\"address\": \"0x3FF0\", \"hex\": \"00\"}", "{\"address\": \"0x3FF0\", \"hex\": \"2A\"}");
    fs::path path = dir / "radio.json";
    std::ofstream(path) << text;
    return path;
}

// `tessarin sim` for as long as it lives; stopping it writes its trace and memory dumps.
class CSimProcess {
public:
    CSimProcess(const fs::path& profile, const fs::path& link, const fs::path& dump)
    {
        m_pid = ::fork();
        if (m_pid == 0) {
            int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
            ::execl(TESSARIN_EXE, TESSARIN_EXE, "sim", "--profile", profile.c_str(), "--link", link.c_str(), "--dump",
                    dump.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 500 && !fs::exists(link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~CSimProcess() { Stop(); }
    void Stop()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Answers OK and times the counted progress window (the flashing).
class CTimingUi : public CUiServices {
public:
    int MessageBox(const std::string& text, const std::string&, unsigned) override
    {
        boxes += text + "\n";
        return IDOK;
    }
    intptr_t SendMainFrameMessage(unsigned message, uintptr_t wParam, intptr_t) override
    {
        if (message == WM_PROGRESS_OPEN && wParam > 0) {
            opened = std::chrono::steady_clock::now();
            cpuAtOpen = CpuSeconds();
            counted = true;
        } else if (message == WM_PROGRESS_CLOSE && counted) {
            closed = std::chrono::steady_clock::now();
            cpuAtClose = CpuSeconds();
            counted = false;
        }
        return 0;
    }
    void Quit(int) override {}

    std::string boxes;
    bool counted = false;
    std::chrono::steady_clock::time_point opened, closed;
    double cpuAtOpen = 0, cpuAtClose = 0;
};

// What the radio's trace says about the phase: from the second erase request to the end.
struct PhaseTraffic {
    uint64_t bytesToRadio = 0;
    uint64_t bytesFromRadio = 0;
    uint64_t requests = 0;
    uint64_t echoChunks = 0;  // 5-byte chunks of the block-echo writes
    double boundSeconds = 0;
};

constexpr unsigned kEchoChunk = 5;
bool BlockEchoRate(int baud) { return baud == 9600 || baud == 19200 || baud == 38400; }

// Reads `count` bytes from `fd`, waiting for them up to a second at a time; false when they
// do not come.
bool ReadExactly(int fd, uint8_t* buffer, std::size_t count)
{
    std::size_t got = 0;
    while (got < count) {
        pollfd ready{fd, POLLIN, 0};
        ::poll(&ready, 1, 1000);
        ssize_t n = ::read(fd, buffer + got, count - got);
        if (n <= 0)
            return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

// One hand-over there and back through a pseudo-terminal: a 5-byte chunk written on one end,
// read and written back on the other, and read again. The median of `trips`.
double PtyRoundTrip(int trips)
{
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return 0;
    int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    std::thread farEnd([master, trips] {
        uint8_t chunk[kEchoChunk];
        for (int i = 0; i < trips; ++i) {
            if (!ReadExactly(master, chunk, kEchoChunk))
                return;
            if (::write(master, chunk, kEchoChunk) != static_cast<ssize_t>(kEchoChunk))
                return;
        }
    });
    std::vector<double> times;
    const uint8_t chunk[kEchoChunk] = {1, 2, 3, 4, 5};
    for (int i = 0; i < trips; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (::write(slave, chunk, kEchoChunk) != static_cast<ssize_t>(kEchoChunk))
            break;
        uint8_t back[kEchoChunk];
        if (!ReadExactly(slave, back, kEchoChunk))
            break;
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    farEnd.join();
    ::close(slave);
    ::close(master);
    if (times.empty())
        return 0;
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    return times[times.size() / 2];
}

PhaseTraffic ReadPhase(const fs::path& trace, const RadioProfile& profile, int baud)
{
    PhaseTraffic t;
    const double byteTime = 10.0 / baud;
    std::ifstream in(trace);
    std::string line;
    int erases = 0;
    double work = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string time, direction, what, token;
        fields >> time >> direction >> what;
        std::vector<std::string> rest;
        while (fields >> token)
            rest.push_back(token);
        std::size_t bytes = 0;
        while (bytes < rest.size() && rest[bytes].size() == 2 && std::isxdigit(static_cast<unsigned char>(rest[bytes][0])) &&
               std::isxdigit(static_cast<unsigned char>(rest[bytes][1])))
            ++bytes;
        std::string note;
        for (std::size_t i = bytes; i < rest.size(); ++i)
            note += (i > bytes ? " " : "") + rest[i];
        if (direction == "PC>R" && what == "frame" && note.find(": erase flash") != std::string::npos)
            ++erases;
        if (erases < 2)
            continue;
        if (direction == "PC>R" && what == "frame") {
            ++t.requests;
            t.bytesToRadio += bytes;
            t.boundSeconds += bytes * byteTime + profile.ackLatency;
            work = 0;
            if (note.find(": erase flash") != std::string::npos)
                work = profile.eraseTime;
            else if (std::size_t at = note.find(": write "); at != std::string::npos) {
                work = profile.flashWritePerByte * std::atof(note.c_str() + at + 8);
                if (BlockEchoRate(baud))
                    t.echoChunks += (bytes + kEchoChunk - 1) / kEchoChunk;
            }
        } else if (direction == "R>PC") {
            t.bytesFromRadio += bytes;
            t.boundSeconds += bytes * byteTime;
            if (what == "reply")
                t.boundSeconds += profile.replyLatency + work;
        }
    }
    return t;
}

void BM_FirmwarePhaseOnPty(benchmark::State& state)
{
    const int baud = static_cast<int>(state.range(0));
    const fs::path dir = fs::temp_directory_path() / ("tessarin-bench-" + std::to_string(::getpid()) + "-" +
                                                      std::to_string(baud));
    fs::remove_all(dir);
    fs::create_directories(dir);
    ::setenv("TESSARIN_SETTINGS", (dir / "settings.ini").c_str(), 1);
    const fs::path profilePath = WriteProfile(dir);
    const RadioProfile profile = LoadRadioProfile(profilePath.string());

    DataFileText bootcode = ReadDataFile(kKitDir + "/bc" + std::to_string(baud), kKey);
    if (!bootcode.Ok()) {
        state.SkipWithError("the demo kit's boot code cannot be read; build the demo_kit target");
        return;
    }
    const double roundTrip = BlockEchoRate(baud) ? PtyRoundTrip(500) : 0;
    for (auto _ : state) {
        CSimProcess sim(profilePath, dir / "tty", dir / "dump");
        auto* ui = new CTimingUi;
        auto previousUi = InstallUi(std::unique_ptr<CUiServices>(ui));  // the UI services own it now
        const fs::path previousDir = fs::current_path();
        fs::current_path(kKitDir);

        UpgradePlan plan;
        plan.flashFirmware = 1;
        FlashSettings settings;
        settings.loaderKind = 1;
        settings.bootcodeText = bootcode.Text();
        settings.portBaud = 2400;
        settings.flashBaud = baud;
        const std::string codeplugImage;
        const PatchEntries patches{PatchEntry{kPatchEnd}};
        IdentityMark = kIdentityMark;
        const unsigned port = PortTable().AssignPath((dir / "tty").string());

        // The form's part: the port at the bootstrap rate (the simulator then enters bootstrap mode).
        CSerial* serial = GetPlatform()->GetSerial();
        serial->SetEchoMode(profile.echo ? 1 : 0);
        serial->Configure(2400, 0, 0, 8);
        serial->OpenPort(port);
        GetPlatform()->Sleep(300);

        CRadioUpgrade engine;
        engine.SetPort(static_cast<int>(port), profile.echo ? 1 : 0);
        engine.SetPlan(plan);
        engine.SetJob(settings, codeplugImage, patches, 1, kKey);
        engine.SetRadioCode("P5");
        engine.SetSerial(serial);
        const int result = engine.UpgradeRadio();
        GetPlatform()->ReleaseSerial();

        fs::current_path(previousDir);
        const std::unique_ptr<CUiServices> timing = InstallUi(std::move(previousUi));  // back with us
        sim.Stop();
        if (result != kUpgradeSucceeded) {
            // The folder stays, with the run's log and the radio's trace, to see what went wrong.
            state.SkipWithError(("the engine ended with result " + std::to_string(result) + ": " + ui->boxes +
                                 " (see " + dir.string() + ")")
                                    .c_str());
            return;
        }
        const double wall = std::chrono::duration<double>(ui->closed - ui->opened).count();
        const double cpu = ui->cpuAtClose - ui->cpuAtOpen;
        const PhaseTraffic traffic = ReadPhase(dir / "dump" / "trace.txt", profile, baud);
        state.SetIterationTime(wall);
        state.counters["wall_s"] = wall;
        state.counters["bound_s"] = traffic.boundSeconds;
        const double echoWait = traffic.echoChunks * roundTrip;
        state.counters["echo_wait_s"] = echoWait;
        state.counters["overhead_pct"] = 100.0 * (wall - traffic.boundSeconds - echoWait) / wall;
        state.counters["overhead_with_echo_pct"] = 100.0 * (wall - traffic.boundSeconds) / wall;
        state.counters["cpu_pct"] = 100.0 * cpu / wall;
        state.counters["requests"] = static_cast<double>(traffic.requests);
        state.counters["bytes_to_radio"] = static_cast<double>(traffic.bytesToRadio);
        state.counters["bytes_from_radio"] = static_cast<double>(traffic.bytesFromRadio);
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}
BENCHMARK(BM_FirmwarePhaseOnPty)
    ->Arg(38400)
    ->Arg(115200)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
