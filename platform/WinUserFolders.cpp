#include "platform/UserFolders.h"

#include "platform/RegistrySettings.h"
#include "platform/WinText.h"

#include <cstdlib>
#include <filesystem>

#include <windows.h>

namespace {
std::string Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH * 4];
    DWORD length = GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value)));
    if (length == 0 || length >= std::size(value))
        return {};
    return Utf8Text(std::wstring(value, length));
}

// %LOCALAPPDATA%\Tessarin: the user's own, not roaming (records of one bench PC).
std::filesystem::path ProgramFolder()
{
    std::string local = Variable(L"LOCALAPPDATA");
    if (local.empty())
        local = Variable(L"USERPROFILE");
    return PathOf(local.empty() ? std::string(".") : local) / "Tessarin";
}
} // namespace

std::string CarryOverFolder()
{
    if (std::string dir = Variable(L"TESSARIN_STATE_DIR"); !dir.empty())
        return dir;
    return PathText(ProgramFolder() / "carryover");
}

std::string DefaultLogFolder()
{
    // Made here, so that a log asked for on the first run can be opened.
    std::error_code error;
    std::filesystem::create_directories(ProgramFolder(), error);
    return PathText(ProgramFolder());
}

std::string SettingsFilePath()
{
    if (std::string path = Variable(L"TESSARIN_SETTINGS"); !path.empty())
        return path;
    return RegistrySettings::kDefaultLocation;
}
