#pragma once

#include "platform/PolledSerial.h"
#include "platform/SerialTermios2.h"

#include <cstdint>
#include <string>

// The serial port on a POSIX terminal device (termios; any rate through termios2). Port
// number N names a device through the port table. The device is opened exclusively, put in
// raw mode and given back with its own settings on close. Line errors come from the driver's
// error counters, or on a pseudo-terminal from the line state record its far end keeps in
// the window size (see PtyLineState.h).
class CPosixSerial : public CPolledSerial {
public:
    CPosixSerial() = default;
    ~CPosixSerial() override;

    // Rates the adapter cannot reach within this fraction are refused.
    static constexpr double kRateTolerance = 0.02;

    // Whether a rate the driver reports is close enough to the rate asked for.
    static bool RateReached(unsigned wanted, unsigned actual);

    // The text of the open failure for port `port` on `path` with errno `error`: the fixed
    // opening words, the device, the reason and what to do about it.
    static std::string DescribeOpenFailure(unsigned port, const std::string& path, int error);

protected:
    void OpenDevice(unsigned port) override;
    void CloseDevice() override;
    bool ApplyLineSettings(const LineSettings& settings) override;
    unsigned TransmitBytes(const uint8_t* data, unsigned count) override;
    unsigned InputQueueCount() override;
    unsigned OutputQueueCount() override;
    bool ReadQueued(uint8_t* buffer, unsigned count) override;
    int ReadAndClearErrors() override;
    void PurgeDevice(bool receive, bool transmit) override;
    InputWait BlockUntilInput(double seconds) override;

    const std::string& DevicePath() const { return m_path; }
    // The device behind COMn: the one the run first opened as COMn, kept for the rest of the
    // run; before that, the port table's answer.
    static std::string DeviceForRun(unsigned port);

private:
    enum class ErrorSource { Counters, PtyRecord, None };
    struct Counters {
        int brk = 0, frame = 0, overrun = 0, parity = 0, bufferOverrun = 0;
    };
    struct RecordState {
        bool valid = false;
        uint16_t breaks = 0;
        uint16_t frameErrors = 0;
    };

    void ReleaseDevice();
    // Takes the device for this process alone; 0, or EBUSY when a live program holds it.
    int CheckSerialDevice(int fd);
    int HoldExclusively(int fd);
    void StartErrorPolls();
    bool ReadCounters(Counters& counters) const;
    int PollCounters();
    int PollRecord();
    void LogOnce(int error, const char* what);

    int m_fd = -1;
    std::string m_path;
    TessarinSavedTermios m_saved{};
    bool m_haveSaved = false;
    ErrorSource m_errorSource = ErrorSource::None;
    Counters m_counters;
    RecordState m_record;
    int m_lastLoggedErrno = 0;
    std::string m_busyDetail;  // who holds the port, when an open found it held
};
