#include "platform/PortTable.h"

#include "platform/WinText.h"

#include <algorithm>

#include <windows.h>

namespace {
// "COM7" or "\\.\COM7" → 7; 0 for anything else.
unsigned ComNumber(const std::string& name)
{
    return ComPortNumber(name.rfind("\\\\.\\", 0) == 0 ? name.substr(4) : name);
}
} // namespace

std::vector<SerialDevice> FindSerialDevices(const std::string&, const std::string&)
{
    // The COM ports the system has: the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, each
    // naming its driver's device and holding its port name ("COM5").
    std::vector<SerialDevice> devices;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return devices;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        wchar_t data[256];
        DWORD nameLength = static_cast<DWORD>(std::size(name));
        DWORD dataSize = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data),
                                    &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataSize / sizeof(wchar_t)] = L'\0';
        std::string port = Utf8Text(data);
        unsigned number = ComNumber(port);
        if (number == 0)
            continue;
        devices.push_back(SerialDevice{"COM" + std::to_string(number), Utf8Text(std::wstring(name, nameLength)), number});
    }
    RegCloseKey(key);
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.number < b.number; });
    return devices;
}

std::string CheckSerialDevicePath(const std::string& path)
{
    if (ComNumber(path) == 0)
        return path + " is not a COM port; give it as COM3 (or \\\\.\\COM3)";
    return {};
}

bool SerialDevicePresent(const std::string& path)
{
    // A COM port is present while the system has a device under its name.
    unsigned number = ComNumber(path);
    if (number == 0)
        return false;
    wchar_t target[512];
    return QueryDosDeviceW(WideText("COM" + std::to_string(number)).c_str(), target,
                           static_cast<DWORD>(std::size(target))) != 0;
}
