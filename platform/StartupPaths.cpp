#include "platform/StartupPaths.h"

#include <cstdlib>
#include <filesystem>

std::string AbsolutePath(const std::string& path)
{
    if (path.empty() || path == "-" || path[0] == '/')
        return path;
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}

void MakeEnvironmentPathsAbsolute()
{
    for (const char* name : {"TESSARIN_SETTINGS", "TESSARIN_STATE_DIR", "HOME"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0' || value[0] == '/')
            continue;
        const std::string absolute = AbsolutePath(value);
        ::setenv(name, absolute.c_str(), 1);
    }
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '/')
            ::unsetenv(name);
    }
}
