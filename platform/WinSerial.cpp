#include "platform/WinSerial.h"

#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "platform/PortTable.h"
#include "platform/WinText.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>

#include <windows.h>

static_assert(sizeof(DCB) <= 128 && sizeof(COMMTIMEOUTS) <= 32);

namespace {
constexpr int kLineErrors = CE_BREAK | CE_FRAME | CE_OVERRUN | CE_RXPARITY | CE_RXOVER | CE_TXFULL;

// What the comm API answers once the device behind an open handle has vanished (a USB adapter
// unplugged; under Wine, the device's pseudo-terminal hung up: ERROR_NOT_READY).
bool DeviceGone(DWORD error)
{
    return error == ERROR_BAD_COMMAND || error == ERROR_ACCESS_DENIED || error == ERROR_DEVICE_REMOVED ||
           error == ERROR_OPERATION_ABORTED || error == ERROR_GEN_FAILURE || error == ERROR_NOT_READY;
}

HANDLE Handle(void* handle) { return static_cast<HANDLE>(handle); }

const char* OpenAdvice(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "the device does not exist (is the cable plugged in?). 'tessarin ports' lists the serial "
               "ports of this machine";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return "another program holds the port. Close it (a terminal program or another tessarin) and try "
               "again";
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        return "this is not a serial port";
    default:
        return nullptr;
    }
}

// The engine reopens the port several times in one upgrade; a device is kept for COMn once
// it has been opened, whatever the port table says later.
std::map<unsigned, std::string>& DevicesOfRun()
{
    static std::map<unsigned, std::string> devices;
    return devices;
}

std::string DeviceForRun(unsigned port)
{
    auto found = DevicesOfRun().find(port);
    if (found != DevicesOfRun().end())
        return found->second;
    std::string path = PortTable().PathFor(port);
    return path.empty() ? "COM" + std::to_string(port) : path;
}
} // namespace

std::string CWinSerial::DeviceName(const std::string& name)
{
    if (name.size() >= 4 && name.size() <= 6 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(name[2])) == 'M')
        return "\\\\.\\COM" + name.substr(3);
    return name;
}

std::string CWinSerial::DescribeOpenFailure(unsigned port, const std::string& device, unsigned long error)
{
    const char* advice = OpenAdvice(error);
    return "CWinSerial::Open: Unable to open " + PortName(port, device) + ": " +
           (advice != nullptr ? advice : SystemErrorText(error));
}

CWinSerial::~CWinSerial() { ReleaseDevice(); }

void CWinSerial::OpenDevice(unsigned port)
{
    ReleaseDevice();
    const std::string device = DeviceName(DeviceForRun(port));
    // Windows refuses a second opening of a COM port by itself; the claim makes sure of it
    // where the system does not (a port emulated over another device).
    std::wstring claimName = L"Local\\tessarin-port-" + WideText(device.substr(device.find_last_of('\\') + 1));
    HANDLE claim = CreateEventW(nullptr, TRUE, FALSE, claimName.c_str());
    if (claim != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(claim);
        throw CCommError(1, "%s", DescribeOpenFailure(port, device, ERROR_BUSY).c_str());
    }
    HANDLE handle = CreateFileW(WideText(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (claim != nullptr)
            CloseHandle(claim);
        throw CCommError(1, "%s", DescribeOpenFailure(port, device, error).c_str());
    }
    DCB saved{};
    saved.DCBlength = sizeof saved;
    COMMTIMEOUTS savedTimeouts{};
    // Reads return at once with what is queued; the waits are the port algorithm's own.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutMultiplier = 2;  // ms a byte: twice its time at 9,600 Bd
    timeouts.WriteTotalTimeoutConstant = 2000;
    if (!GetCommState(handle, &saved) || !GetCommTimeouts(handle, &savedTimeouts) ||
        !SetupComm(handle, 4096, 4096) || !SetCommTimeouts(handle, &timeouts)) {
        DWORD error = GetLastError();
        CloseHandle(handle);
        if (claim != nullptr)
            CloseHandle(claim);
        throw CCommError(1, "%s", DescribeOpenFailure(port, device, error).c_str());
    }
    // No modem control: DTR and RTS are dropped.
    EscapeCommFunction(handle, CLRDTR);
    EscapeCommFunction(handle, CLRRTS);
    std::memcpy(m_savedState, &saved, sizeof saved);
    std::memcpy(m_savedTimeouts, &savedTimeouts, sizeof savedTimeouts);
    m_haveSaved = true;
    m_handle = handle;
    m_claim = claim;
    m_device = device;
    m_pendingErrors = 0;
    m_lastLoggedError = 0;
    DevicesOfRun().emplace(port, device);
    Poll("opening");  // errors from before the opening are not this run's
    m_pendingErrors = 0;
}

void CWinSerial::ReleaseDevice()
{
    if (m_handle != nullptr) {
        if (m_haveSaved) {
            DCB saved{};
            COMMTIMEOUTS savedTimeouts{};
            std::memcpy(&saved, m_savedState, sizeof saved);
            std::memcpy(&savedTimeouts, m_savedTimeouts, sizeof savedTimeouts);
            SetCommState(Handle(m_handle), &saved);
            SetCommTimeouts(Handle(m_handle), &savedTimeouts);
        }
        CloseHandle(Handle(m_handle));
        m_handle = nullptr;
        m_haveSaved = false;
    }
    if (m_claim != nullptr) {
        CloseHandle(Handle(m_claim));
        m_claim = nullptr;
    }
}

void CWinSerial::CloseDevice() { ReleaseDevice(); }

void CWinSerial::RaiseGone(const char* what) { RaiseDeviceGone(PortName(GetPortNumber(), m_device), what); }

void CWinSerial::LogOnce(unsigned long error, const char* what)
{
    if (error == m_lastLoggedError)
        return;
    m_lastLoggedError = error;
    ErrorLog().Log("CWinSerial: %s on %s failed: %s", what, m_device.c_str(), SystemErrorText(error).c_str());
}

bool CWinSerial::ApplyLineSettings(const LineSettings& settings)
{
    if (m_handle == nullptr)
        return false;
    if (settings.baud <= 0) {
        ErrorLog().Log("CWinSerial: %s: a rate of %d Bd is refused", m_device.c_str(), settings.baud);
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(Handle(m_handle), &dcb)) {
        if (DeviceGone(GetLastError()))
            RaiseGone("setting the line");
        return false;
    }
    dcb.BaudRate = static_cast<DWORD>(settings.baud);
    dcb.ByteSize = static_cast<BYTE>(settings.charSize);
    dcb.Parity = settings.parity == 1 ? ODDPARITY : settings.parity == 2 ? EVENPARITY : NOPARITY;
    dcb.StopBits = settings.stopBits == 1 ? ONE5STOPBITS : settings.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parity != 0;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(Handle(m_handle), &dcb)) {
        DWORD error = GetLastError();
        if (DeviceGone(error) && error != ERROR_ACCESS_DENIED)
            RaiseGone("setting the line");
        ErrorLog().Log("CWinSerial: %s refused %d Bd, %d data bits, parity %d, stop bits %d: %s", m_device.c_str(),
                       settings.baud, settings.charSize, settings.parity, settings.stopBits,
                       SystemErrorText(error).c_str());
        return false;
    }
    return true;
}

CWinSerial::QueueState CWinSerial::Poll(const char* what)
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(Handle(m_handle), &errors, &status)) {
        DWORD error = GetLastError();
        if (DeviceGone(error))
            RaiseGone(what);
        LogOnce(error, what);
        return {};
    }
    m_pendingErrors |= static_cast<int>(errors) & kLineErrors;
    return QueueState{static_cast<unsigned>(status.cbInQue), static_cast<unsigned>(status.cbOutQue)};
}

unsigned CWinSerial::TransmitBytes(const uint8_t* data, unsigned count)
{
    if (m_handle == nullptr || count == 0)
        return 0;
    // The whole frame in one call; the write time-out set at opening bounds it, and the port
    // waits for the output queue to empty on its own timer.
    DWORD written = 0;
    if (WriteFile(Handle(m_handle), data, count, &written, nullptr) || written > 0)
        return static_cast<unsigned>(written);
    DWORD error = GetLastError();
    if (DeviceGone(error))
        RaiseGone("writing");
    LogOnce(error, "writing");
    return 0;
}

unsigned CWinSerial::InputQueueCount() { return m_handle == nullptr ? 0 : Poll("counting the input").input; }

unsigned CWinSerial::OutputQueueCount() { return m_handle == nullptr ? 0 : Poll("counting the output").output; }

bool CWinSerial::ReadQueued(uint8_t* buffer, unsigned count)
{
    if (m_handle == nullptr)
        return false;
    unsigned done = 0;
    while (done < count) {
        DWORD got = 0;
        if (!ReadFile(Handle(m_handle), buffer + done, count - done, &got, nullptr)) {
            DWORD error = GetLastError();
            if (DeviceGone(error))
                RaiseGone("reading");
            LogOnce(error, "reading");
            return false;
        }
        if (got == 0)
            return false;
        done += got;
    }
    return true;
}

int CWinSerial::ReadAndClearErrors()
{
    if (m_handle == nullptr)
        return 0;
    Poll("reading the line errors");
    int flags = m_pendingErrors;
    m_pendingErrors = 0;
    return flags;
}

void CWinSerial::PurgeDevice(bool receive, bool transmit)
{
    if (m_handle == nullptr || (!receive && !transmit))
        return;
    DWORD what = (receive ? PURGE_RXCLEAR | PURGE_RXABORT : 0) | (transmit ? PURGE_TXCLEAR | PURGE_TXABORT : 0);
    PurgeComm(Handle(m_handle), what);
}
