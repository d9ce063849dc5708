#include "sim/pty/PtyWire.h"

#include "errors/Error.h"
#include "platform/Serial.h"
#include "platform/PosixTimer.h"
#include "platform/SerialTermios2.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

double MonotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// How often the program's line settings are looked at while nothing else happens.
constexpr double kSettingsPoll = 0.005;

}  // namespace

CPtyWire::CPtyWire()
{
    m_origin = MonotonicSeconds();
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        throw CGenError(3, "Cannot create a pseudo-terminal for the simulated radio: %s", std::strerror(errno));
    char name[128] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0)
        throw CGenError(3, "Cannot name the pseudo-terminal for the simulated radio: %s", std::strerror(errno));
    m_slavePath = name;
    // Our own slave descriptor: the program may open and close its end as often as it likes.
    m_slave = open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0)
        throw CGenError(3, "Cannot open %s: %s", name, std::strerror(errno));
    termios raw{};
    tcgetattr(m_slave, &raw);
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    tcsetattr(m_slave, TCSANOW, &raw);
    if (pipe2(m_wake, O_NONBLOCK | O_CLOEXEC) != 0)
        throw CGenError(3, "Cannot create the simulator's wake-up pipe: %s", std::strerror(errno));
    PublishLineState();
    // What the line is set to before the program touches it: every change from here is news.
    m_lastSettings = HostSettings();
    m_haveSettings = true;
}

CPtyWire::~CPtyWire()
{
    // Only our own link goes: another simulator may have published its own at the path since.
    if (!m_link.empty()) {
        std::error_code error;
        if (std::filesystem::read_symlink(m_link, error) == m_slavePath && !error)
            std::filesystem::remove(m_link, error);
    }
    for (int fd : {m_master, m_slave, m_wake[0], m_wake[1]})
        if (fd >= 0)
            close(fd);
}

void CPtyWire::Publish(const std::string& link, bool replace)
{
    std::error_code error;
    const std::filesystem::path path(link);
    const auto status = std::filesystem::symlink_status(path, error);
    if (std::filesystem::exists(status)) {
        if (!std::filesystem::is_symlink(status))
            throw CGenError(3, "%s exists and is not a link: choose another --link path", link.c_str());
        if (!replace)
            throw CGenError(3, "%s exists (another simulator may be using it): choose another --link path, or "
                               "give --replace to replace it",
                            link.c_str());
    }
    // Made under a temporary name beside it and renamed into place, so that the path never
    // names anything half made; without --replace the rename refuses a link that appeared
    // meanwhile.
    std::filesystem::path temp;
    for (int attempt = 0;; ++attempt) {
        temp = path;
        temp += ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        if (symlink(m_slavePath.c_str(), temp.c_str()) == 0)
            break;
        if (errno != EEXIST || attempt > 100)
            throw CGenError(3, "Cannot create the link %s to %s: %s", link.c_str(), m_slavePath.c_str(),
                            std::strerror(errno));
    }
    if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), replace ? 0 : RENAME_NOREPLACE) != 0) {
        int reason = errno;
        unlink(temp.c_str());
        throw CGenError(3, "Cannot publish the link %s to %s: %s", link.c_str(), m_slavePath.c_str(),
                        std::strerror(reason));
    }
    m_link = link;
}

double CPtyWire::Now() { return MonotonicSeconds() - m_origin; }

void CPtyWire::At(double time, std::function<void()> action) { m_events.Schedule(time, std::move(action)); }

void CPtyWire::Post(std::function<void()> action)
{
    {
        std::lock_guard<std::mutex> lock(m_postedLock);
        m_posted.push_back(std::move(action));
    }
    char byte = 1;
    [[maybe_unused]] ssize_t n = write(m_wake[1], &byte, 1);
}

void CPtyWire::TakePosted()
{
    char drain[64];
    while (read(m_wake[0], drain, sizeof drain) > 0) {
    }
    std::vector<std::function<void()>> posted;
    {
        std::lock_guard<std::mutex> lock(m_postedLock);
        posted.swap(m_posted);
    }
    for (auto& action : posted)
        action();
}

LineSettings CPtyWire::HostSettings()
{
    LineSettings s;
    termios t{};
    if (tcgetattr(m_master, &t) == 0) {
        switch (t.c_cflag & CSIZE) {
        case CS5: s.charSize = 5; break;
        case CS6: s.charSize = 6; break;
        case CS7: s.charSize = 7; break;
        default: s.charSize = 8; break;
        }
        s.parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : 2) : 0;
        s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    }
    unsigned baud = 0;
    if (TessarinReadLineRate(m_master, &baud) == 0 && baud > 0)
        s.baud = static_cast<int>(baud);
    return s;
}

double CPtyWire::SendToHost(const uint8_t* bytes, std::size_t count, const LineSettings& sentWith, double notBefore)
{
    return m_toProgram.PlaceBytes(Now(), notBefore, count, CharacterTime(sentWith), [&](std::size_t i, double time) {
        uint8_t byte = bytes[i];
        At(time, [this, byte, sentWith] { DeliverToProgram(byte, sentWith); });
    });
}

void CPtyWire::SendBreak(double start, double duration)
{
    start = m_toProgram.Reserve(Now(), std::max(start, Now()), duration);
    At(start, [this] {
        ++m_breaksHeld;
        m_line.breakHeld = true;
        ++m_line.breakCount;
        PublishLineState();
    });
    At(start + duration, [this] {
        --m_breaksHeld;
        m_line.breakHeld = m_breaksHeld > 0;
        PublishLineState();
    });
}

void CPtyWire::RaiseLineError(int flags, double time)
{
    At(time, [this, flags] {
        if (flags & CE_BREAK)  // a break too short to be seen held
            ++m_line.breakCount;
        if (flags & CE_FRAME)
            ++m_line.frameErrorCount;
        PublishLineState();
    });
}

void CPtyWire::PublishLineState()
{
    winsize record{};
    record.ws_row = kPtyLineStateMagic;
    record.ws_col = m_line.breakHeld ? 1 : 0;
    record.ws_xpixel = m_line.breakCount;
    record.ws_ypixel = m_line.frameErrorCount;
    ioctl(m_master, TIOCSWINSZ, &record);
}

void CPtyWire::DeliverToProgram(uint8_t byte, const LineSettings& sentWith)
{
    if (m_breaksHeld > 0)
        return;
    if (!SettingsCompatible(sentWith, HostSettings())) {
        // The program's UART samples the wrong bits and misses the stop bit: the error is
        // recorded before the garbled byte is handed over.
        byte = GarbledByte(byte);
        ++m_line.frameErrorCount;
        PublishLineState();
    }
    [[maybe_unused]] ssize_t n = write(m_master, &byte, 1);
}

void CPtyWire::ReadFromProgram()
{
    uint8_t buffer[512];
    ssize_t n;
    while ((n = read(m_master, buffer, sizeof buffer)) > 0) {
        LineSettings settings = HostSettings();
        double character = CharacterTime(settings);
        for (ssize_t i = 0; i < n; ++i) {
            // Each byte reaches the radio when its stop bit has gone out.
            double arrival = std::max(Now(), m_fromProgramBusyUntil) + character;
            m_fromProgramBusyUntil = arrival;
            uint8_t byte = buffer[i];
            At(arrival, [this, byte, settings] {
                if (m_peer)
                    m_peer->OnHostByte(byte, settings);
            });
        }
    }
}

void CPtyWire::CheckSettings()
{
    LineSettings now = HostSettings();
    bool changed = !m_haveSettings || now.baud != m_lastSettings.baud || now.parity != m_lastSettings.parity ||
                   now.stopBits != m_lastSettings.stopBits || now.charSize != m_lastSettings.charSize;
    if (!changed)
        return;
    m_lastSettings = now;
    if (m_haveSettings && m_peer)
        m_peer->OnHostLineChange(now);
    m_haveSettings = true;
}

void CPtyWire::RunDueEvents()
{
    m_events.AdvanceTo(Now());
}

void CPtyWire::Run(const std::function<bool()>& keepRunning)
{
    // The bytes are paced to the character: the loop wakes at its deadlines, not after them.
    CPosixTimer::MakeWakeupsPrecise();
    while (keepRunning()) {
        TakePosted();
        RunDueEvents();
        double now = Now();
        if (now >= m_nextSettingsCheck) {
            CheckSettings();
            m_nextSettingsCheck = now + kSettingsPoll;
        }
        double wait = kSettingsPoll;
        wait = std::min(wait, m_events.NextEventTime() - Now());
        wait = std::max(wait, 0.0);
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        timespec timeout{static_cast<time_t>(wait), static_cast<long>((wait - std::floor(wait)) * 1e9)};
        int ready = ppoll(fds, 2, &timeout, nullptr);
        if (ready > 0 && (fds[0].revents & POLLIN))
            ReadFromProgram();
    }
}
