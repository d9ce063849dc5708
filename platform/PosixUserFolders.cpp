#include "platform/UserFolders.h"

#include <cstdlib>
#include <filesystem>

#include <pwd.h>
#include <unistd.h>

namespace {
std::string HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return ".";
}
} // namespace

std::string CarryOverFolder()
{
    namespace fs = std::filesystem;
    if (const char* dir = std::getenv("TESSARIN_STATE_DIR"); dir && *dir)
        return dir;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg)
        return (fs::path(xdg) / "tessarin" / "carryover").string();
    const char* home = std::getenv("HOME");
    return (fs::path(home && *home ? home : ".") / ".local" / "state" / "tessarin" / "carryover").string();
}

std::string DefaultLogFolder() { return {}; }

std::string SettingsFilePath()
{
    if (const char* explicitPath = std::getenv("TESSARIN_SETTINGS"); explicitPath != nullptr && *explicitPath != '\0')
        return explicitPath;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/')
        return std::string(config) + "/tessarin/settings.ini";
    return HomeDirectory() + "/.config/tessarin/settings.ini";
}
