#include "platform/PosixSerial.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "platform/DeviceHolders.h"
#include "platform/PosixTimer.h"
#include "platform/PortTable.h"
#include "platform/PtyLineState.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <map>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {
// What a USB adapter's descriptor says once the adapter has been unplugged.
bool DeviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

const char* OpenAdvice(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return "permission denied. Add your user to the 'dialout' group (sudo usermod -aG dialout $USER), "
               "then log out and in again";
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "the device does not exist (is the cable plugged in?). 'tessarin ports' lists the serial "
               "ports of this machine";
    case EBUSY:
        return "another program holds the port. Close it (a terminal program or another tessarin) and try "
               "again";
    case ENOTTY:
        return "this is not a serial port";
    default:
        return nullptr;
    }
}
} // namespace

std::string CPosixSerial::DescribeOpenFailure(unsigned port, const std::string& path, int error)
{
    const char* advice = OpenAdvice(error);
    return "CWinSerial::Open: Unable to open " + PortName(port, path) + ": " +
           (advice != nullptr ? advice : std::strerror(error));
}

bool CPosixSerial::RateReached(unsigned wanted, unsigned actual)
{
    return std::fabs(static_cast<double>(actual) - wanted) <= wanted * kRateTolerance;
}

CPosixSerial::~CPosixSerial() { ReleaseDevice(); }

namespace {
// The engine reopens the port several times in one upgrade; a rescan of the port table in
// between (an adapter plugged in elsewhere) must not move COMn to another device. A device is
// kept once it has been opened.
std::map<unsigned, std::string>& DevicesOfRun()
{
    static std::map<unsigned, std::string> devices;
    return devices;
}
} // namespace

std::string CPosixSerial::DeviceForRun(unsigned port)
{
    auto found = DevicesOfRun().find(port);
    if (found != DevicesOfRun().end())
        return found->second;
    return PortTable().PathFor(port);
}

void CPosixSerial::OpenDevice(unsigned port)
{
    ReleaseDevice();
    m_path = DeviceForRun(port);
    if (!m_path.empty() && m_path[0] != '/')
        throw CCommError(1,
                         "CWinSerial::Open: Unable to open %s: a port's device must be given by its "
                         "absolute path (/dev/ttyUSB0); 'tessarin ports' lists the serial ports of this machine",
                         PortName(port, m_path).c_str());
    if (m_path.empty()) {
        if (std::string unreadable = PortTable().Unreadable(); !unreadable.empty())
            throw CCommError(1,
                             "CWinSerial::Open: Unable to open com%u: the port table is not known: %s. Give the "
                             "device by its path (--device), or make the settings file readable again",
                             port, unreadable.c_str());
        throw CCommError(1,
                         "CWinSerial::Open: Unable to open com%u: no serial device is set up as COM%u. "
                         "'tessarin ports' lists the serial ports of this machine",
                         port, port);
    }
    int fd = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw CCommError(1, "%s", DescribeOpenFailure(port, m_path, errno).c_str());

    int error = CheckSerialDevice(fd);
    if (error == 0)
        error = HoldExclusively(fd);
    if (error == 0)
        error = TessarinSaveTermios(fd, &m_saved);
    if (error == 0 && ioctl(fd, TIOCEXCL) != 0)
        error = errno;
    if (error != 0) {
        ::close(fd);
        std::string text = DescribeOpenFailure(port, m_path, error);
        if (!m_busyDetail.empty())
            text += " (" + m_busyDetail + ")";
        m_busyDetail.clear();
        throw CCommError(1, "%s", text.c_str());
    }
    // No modem control: DTR and RTS are dropped, as the line's fixed options ask (a
    // pseudo-terminal has neither, which is fine).
    int modemLines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &modemLines);
    m_fd = fd;
    m_haveSaved = true;
    DevicesOfRun().emplace(port, m_path);
    m_lastLoggedErrno = 0;
    StartErrorPolls();
}

int CPosixSerial::CheckSerialDevice(int fd)
{
    // Whatever was planted under the port's name (a file, a pipe, a link to something else)
    // is refused: only a character device that is a terminal is a serial port.
    struct stat info{};
    if (::fstat(fd, &info) != 0)
        return errno;
    if (!S_ISCHR(info.st_mode) || !::isatty(fd))
        return ENOTTY;
    return 0;
}

int CPosixSerial::HoldExclusively(int fd)
{
    // A lock on the open device tells a live holder from a hold left behind: the kernel drops
    // the lock when its holder ends, but the terminal's exclusive flag stays set for as long
    // as any other descriptor keeps the device open (the simulator keeps its own end open).
    bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (!locked && (errno == EWOULDBLOCK || errno == EINTR))
        return EBUSY;
    int heldExclusively = 0;
    if (ioctl(fd, TIOCGEXCL, &heldExclusively) == 0 && heldExclusively != 0) {
        // Someone with the privilege to ignore the hold still must not share the port, unless
        // the lock shows that whoever set it has gone and no other program has it open: a
        // live holder that does not use the lock keeps its port.
        if (!locked)
            return EBUSY;
        std::vector<std::string> holders = OtherHoldersOf(fd);
        if (!holders.empty()) {
            m_busyDetail = "it is held by";
            for (const std::string& holder : holders)
                m_busyDetail += " " + holder;
            return EBUSY;
        }
        ErrorLog().Log("CPosixSerial: %s was left held by a program that has ended; taking it over", m_path.c_str());
    }
    return 0;
}

void CPosixSerial::ReleaseDevice()
{
    if (m_fd < 0)
        return;
    if (m_haveSaved)
        TessarinRestoreTermios(m_fd, &m_saved);
    ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
    m_haveSaved = false;
}

void CPosixSerial::CloseDevice() { ReleaseDevice(); }

bool CPosixSerial::ApplyLineSettings(const LineSettings& settings)
{
    if (m_fd < 0)
        return false;
    if (settings.baud <= 0) {
        ErrorLog().Log("CPosixSerial: %s: a rate of %d Bd is refused", m_path.c_str(), settings.baud);
        return false;
    }
    const auto baud = static_cast<unsigned>(settings.baud);
    int error = TessarinApplyRawLine(m_fd, baud, settings.parity, settings.stopBits, settings.charSize);
    if (error != 0) {
        ErrorLog().Log("CPosixSerial: %s refused %d Bd, %d data bits, parity %d, stop bits %d: %s", m_path.c_str(),
                       settings.baud, settings.charSize, settings.parity, settings.stopBits,
                       std::strerror(error));
        return false;
    }
    unsigned actual = 0;
    error = TessarinReadLineRate(m_fd, &actual);
    if (error == 0 && RateReached(baud, actual))
        return true;
    if (error != 0)
        ErrorLog().Log("CPosixSerial: %s: the rate set cannot be read back (%s); %d Bd refused", m_path.c_str(),
                       std::strerror(error), settings.baud);
    else
        ErrorLog().Log("CPosixSerial: %s cannot run at %d Bd (the adapter reaches %u Bd); rate refused",
                       m_path.c_str(), settings.baud, actual);
    // Put the line back as it was.
    const LineSettings& live = LiveSettings();
    TessarinApplyRawLine(m_fd, static_cast<unsigned>(live.baud), live.parity, live.stopBits, live.charSize);
    return false;
}

void CPosixSerial::LogOnce(int error, const char* what)
{
    if (error == m_lastLoggedErrno)
        return;
    m_lastLoggedErrno = error;
    ErrorLog().Log("CPosixSerial: %s on %s failed: %s", what, m_path.c_str(), std::strerror(error));
}

unsigned CPosixSerial::TransmitBytes(const uint8_t* data, unsigned count)
{
    if (m_fd < 0)
        return 0;
    // The descriptor does not block: the driver takes what fits in its buffer and the port
    // waits for the bytes to leave on its own timer.
    ssize_t written = ::write(m_fd, data, count);
    if (written > 0)
        return static_cast<unsigned>(written);
    if (written < 0 && DeviceGone(errno))
        RaiseDeviceGone(PortName(GetPortNumber(), m_path), "writing");
    if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        LogOnce(errno, "writing");
    return 0;
}

unsigned CPosixSerial::InputQueueCount()
{
    int queued = 0;
    if (m_fd < 0)
        return 0;
    if (ioctl(m_fd, TIOCINQ, &queued) != 0) {
        if (DeviceGone(errno))
            RaiseDeviceGone(PortName(GetPortNumber(), m_path), "counting the input");
        LogOnce(errno, "counting the input");
        return 0;
    }
    return queued > 0 ? static_cast<unsigned>(queued) : 0;
}

CPolledSerial::InputWait CPosixSerial::BlockUntilInput(double seconds)
{
    if (m_fd < 0)
        return InputWait::Unsupported;
    CPosixTimer::MakeWakeupsPrecise();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (InputQueueCount() > 0)
            return InputWait::Arrived;
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return InputWait::TimeUp;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd input{m_fd, POLLIN, 0};
        const int ready = ::ppoll(&input, 1, &timeout, nullptr);
        if (ready < 0 && errno != EINTR)
            return InputWait::Unsupported;
        if (ready > 0) {
            if (InputQueueCount() > 0)
                return InputWait::Arrived;
            // Woken with nothing queued (a hang-up or an error condition, which stays raised):
            // leave it to the polled wait, which finds out what it means without spinning here.
            return InputWait::Unsupported;
        }
    }
}

unsigned CPosixSerial::OutputQueueCount()
{
    int queued = 0;
    if (m_fd < 0)
        return 0;
    if (ioctl(m_fd, TIOCOUTQ, &queued) != 0) {
        if (DeviceGone(errno))
            RaiseDeviceGone(PortName(GetPortNumber(), m_path), "counting the output");
        return 0;
    }
    return queued > 0 ? static_cast<unsigned>(queued) : 0;
}

bool CPosixSerial::ReadQueued(uint8_t* buffer, unsigned count)
{
    if (m_fd < 0)
        return false;
    unsigned done = 0;
    while (done < count) {
        ssize_t got = ::read(m_fd, buffer + done, count - done);
        if (got > 0) {
            done += static_cast<unsigned>(got);
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            if (got < 0 && DeviceGone(errno))
                RaiseDeviceGone(PortName(GetPortNumber(), m_path), "reading");
            if (got < 0)
                LogOnce(errno, "reading");
            return false;
        }
    }
    return true;
}

void CPosixSerial::PurgeDevice(bool receive, bool transmit)
{
    if (m_fd < 0 || (!receive && !transmit))
        return;
    tcflush(m_fd, receive && transmit ? TCIOFLUSH : receive ? TCIFLUSH : TCOFLUSH);
}

bool CPosixSerial::ReadCounters(Counters& counters) const
{
    serial_icounter_struct icount{};
    if (ioctl(m_fd, TIOCGICOUNT, &icount) != 0)
        return false;
    counters = Counters{icount.brk, icount.frame, icount.overrun, icount.parity, icount.buf_overrun};
    return true;
}

void CPosixSerial::StartErrorPolls()
{
    if (ReadCounters(m_counters)) {
        m_errorSource = ErrorSource::Counters;
        return;
    }
    // Said once per opening; the polls that follow stay quiet.
    ErrorLog().Log("CPosixSerial: %s has no line error counters; breaks and framing errors come from its "
                   "line state record, if its far end keeps one",
                   m_path.c_str());
    m_errorSource = ErrorSource::PtyRecord;
    m_record = RecordState{};
    PollRecord();  // the record's counts so far are the baseline
}

int CPosixSerial::PollCounters()
{
    Counters now;
    if (!ReadCounters(now))
        return 0;
    int flags = 0;
    if (now.brk != m_counters.brk)
        flags |= CE_BREAK;
    if (now.frame != m_counters.frame)
        flags |= CE_FRAME;
    if (now.overrun != m_counters.overrun)
        flags |= CE_OVERRUN;
    if (now.parity != m_counters.parity)
        flags |= CE_RXPARITY;
    if (now.bufferOverrun != m_counters.bufferOverrun)
        flags |= CE_RXOVER;
    m_counters = now;
    return flags;
}

int CPosixSerial::PollRecord()
{
    winsize record{};
    if (ioctl(m_fd, TIOCGWINSZ, &record) != 0) {
        m_errorSource = ErrorSource::None;
        return 0;
    }
    if (record.ws_row != kPtyLineStateMagic) {
        m_record.valid = false;
        return 0;
    }
    const bool breakHeld = record.ws_col == 1;
    if (!m_record.valid) {
        // A record seen for the first time: its counts are history, only a held break counts.
        m_record = RecordState{true, record.ws_xpixel, record.ws_ypixel};
        return breakHeld ? CE_BREAK : 0;
    }
    int flags = 0;
    // Like the counters of a real UART: a break is reported once, when it begins.
    if (record.ws_xpixel != m_record.breaks)
        flags |= CE_BREAK;
    if (record.ws_ypixel != m_record.frameErrors)
        flags |= CE_FRAME;
    m_record.breaks = record.ws_xpixel;
    m_record.frameErrors = record.ws_ypixel;
    return flags;
}

int CPosixSerial::ReadAndClearErrors()
{
    if (m_fd < 0)
        return 0;
    switch (m_errorSource) {
    case ErrorSource::Counters:
        return PollCounters();
    case ErrorSource::PtyRecord:
        return PollRecord();
    case ErrorSource::None:
        break;
    }
    return 0;
}
