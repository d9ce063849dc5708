#include "platform/RegistrySettings.h"

#include "platform/WinText.h"

#include <cstring>

#include <windows.h>

namespace RegistrySettings {
namespace {
constexpr const char kRoot[] = "HKEY_CURRENT_USER\\";

// The section's key below the location, as the registry takes it (without the root's name).
std::wstring SectionKey(const std::string& location, const std::string& section)
{
    return WideText(location.substr(sizeof kRoot - 1) + "\\" + section);
}

// An open key, closed when it goes.
class CKey {
public:
    CKey() = default;
    CKey(const CKey&) = delete;
    CKey& operator=(const CKey&) = delete;
    ~CKey()
    {
        if (m_key != nullptr)
            RegCloseKey(m_key);
    }
    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

bool Failed(LSTATUS status, const std::string& what, const std::string& location, const std::string& section,
            std::string& error)
{
    error = "cannot " + what + " the registry key " + location + "\\" + section + " (" + SystemErrorText(status) + ")";
    return false;
}

// Opens (creating it when it is not there) the section's key for writing.
bool OpenForWriting(const std::string& location, const std::string& section, CKey& key, std::string& error)
{
    // Not volatile: the settings outlive a restart of the system.
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, SectionKey(location, section).c_str(), 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, key.Out(), nullptr);
    return status == ERROR_SUCCESS || Failed(status, "write", location, section, error);
}

bool SetValue(const std::string& location, const std::string& section, const std::string& name, DWORD type,
              const BYTE* data, DWORD size, std::string& error)
{
    CKey key;
    if (!OpenForWriting(location, section, key, error))
        return false;
    LSTATUS status = RegSetValueExW(key.Get(), WideText(name).c_str(), 0, type, data, size);
    return status == ERROR_SUCCESS || Failed(status, "write", location, section, error);
}
} // namespace

bool IsLocation(const std::string& location)
{
    return location.size() > sizeof kRoot - 1 && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, location.c_str(),
                                                                 sizeof kRoot - 1, kRoot, sizeof kRoot - 1) == CSTR_EQUAL;
}

std::string Unreadable(const std::string& location)
{
    CKey key;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, WideText(location.substr(sizeof kRoot - 1)).c_str(), 0,
                                   KEY_READ, key.Out());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
        return {};
    return "cannot read the registry key " + location + " (" + SystemErrorText(status) + ")";
}

bool ReadSection(const std::string& location, const std::string& section, Entries& entries, std::string& error)
{
    entries.clear();
    CKey key;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, SectionKey(location, section).c_str(), 0, KEY_READ, key.Out());
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status != ERROR_SUCCESS)
        return Failed(status, "read", location, section, error);
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = static_cast<DWORD>(std::size(name));
        BYTE data[2048];
        DWORD size = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        status = RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type, data, &size);
        if (status == ERROR_NO_MORE_ITEMS)
            return true;
        if (status == ERROR_MORE_DATA)
            continue;  // a value too long to be one of ours
        if (status != ERROR_SUCCESS)
            return Failed(status, "read", location, section, error);
        std::string text;
        if (type == REG_DWORD && size == sizeof(DWORD)) {
            DWORD number = 0;
            std::memcpy(&number, data, sizeof number);
            text = std::to_string(static_cast<int>(number));
        } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
            data[size] = 0;
            data[size + 1] = 0;
            std::wstring wide(reinterpret_cast<const wchar_t*>(data));
            text = Utf8Text(wide);
        } else {
            continue;  // a kind of value the program does not write
        }
        entries.emplace_back(Utf8Text(std::wstring(name, nameLength)), text);
    }
}

bool WriteNumber(const std::string& location, const std::string& section, const std::string& key, int value,
                 std::string& error)
{
    const DWORD number = static_cast<DWORD>(value);
    return SetValue(location, section, key, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number, error);
}

bool WriteText(const std::string& location, const std::string& section, const std::string& key,
               const std::string& value, std::string& error)
{
    const std::wstring wide = WideText(value);
    return SetValue(location, section, key, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                    static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)), error);
}

bool Remove(const std::string& location, const std::string& section, const std::string& key, std::string& error)
{
    CKey opened;
    LSTATUS status =
        RegOpenKeyExW(HKEY_CURRENT_USER, SectionKey(location, section).c_str(), 0, KEY_SET_VALUE, opened.Out());
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status != ERROR_SUCCESS)
        return Failed(status, "write", location, section, error);
    status = RegDeleteValueW(opened.Get(), WideText(key).c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || Failed(status, "write", location, section, error);
}
} // namespace RegistrySettings
