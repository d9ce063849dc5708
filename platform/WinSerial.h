#pragma once

#include "platform/PolledSerial.h"

#include <cstdint>
#include <string>

// The serial port on a Windows COM device through the comm API. Port number N is COMN
// (or the device the port table names for it). The device is opened exclusively, set to
// raw 8-bit transfer with no flow control and DTR and RTS dropped, and given back with its
// own settings on close. Line errors come from ClearCommError, whose flags are kept until
// the error poll takes them, so that counting the input never loses a break.
class CWinSerial : public CPolledSerial {
public:
    CWinSerial() = default;
    ~CWinSerial() override;

    // The text of the open failure for port `port` on `device` with system error `error`.
    static std::string DescribeOpenFailure(unsigned port, const std::string& device, unsigned long error);
    // "\\.\COM12" for "COM12" or "com12"; any other name as it is.
    static std::string DeviceName(const std::string& name);

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

private:
    struct QueueState {
        unsigned input = 0;
        unsigned output = 0;
    };
    // ClearCommError: the queue counts, its flags added to the pending ones. Raises the
    // device-gone error when the device has vanished.
    QueueState Poll(const char* what);
    [[noreturn]] void RaiseGone(const char* what);
    void ReleaseDevice();
    void LogOnce(unsigned long error, const char* what);

    void* m_handle = nullptr;  // the COM device (a HANDLE)
    void* m_claim = nullptr;   // this program's claim on the port, a named event (a HANDLE)
    std::string m_device;
    unsigned char m_savedState[128] = {};  // the device's DCB before it was opened
    unsigned char m_savedTimeouts[32] = {};  // and its COMMTIMEOUTS
    bool m_haveSaved = false;
    int m_pendingErrors = 0;
    unsigned long m_lastLoggedError = 0;
};
