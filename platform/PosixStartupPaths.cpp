#include "platform/StartupPaths.h"

#include <cstdlib>
#include <string>

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
