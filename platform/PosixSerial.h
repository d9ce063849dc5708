#pragma once

#include "platform/PolledSerial.h"

// The serial port on a POSIX terminal device (termios; non-standard rates through termios2).
// Port number N names a device through the port table.
class CPosixSerial : public CPolledSerial {
public:
    CPosixSerial() = default;
    ~CPosixSerial() override;

protected:
    void OpenDevice(unsigned port) override;
    void CloseDevice() override;
    bool ApplyLineSettings(const LineSettings& settings) override;
    bool TransmitChar(uint8_t byte) override;
    unsigned InputQueueCount() override;
    unsigned OutputQueueCount() override;
    bool ReadQueued(uint8_t* buffer, unsigned count) override;
    int ReadAndClearErrors() override;
    void PurgeDevice(bool receive, bool transmit) override;

private:
    int m_fd = -1;
};
