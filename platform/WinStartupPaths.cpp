#include "platform/StartupPaths.h"

#include "platform/WinText.h"

#include <cstdlib>
#include <filesystem>

#include <windows.h>

void MakeEnvironmentPathsAbsolute()
{
    for (const wchar_t* name : {L"TESSARIN_SETTINGS", L"TESSARIN_STATE_DIR", L"LOCALAPPDATA"}) {
        wchar_t value[MAX_PATH * 4];
        DWORD length = GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value)));
        if (length == 0 || length >= std::size(value))
            continue;
        std::filesystem::path path(std::wstring(value, length));
        if (path.is_absolute())
            continue;
        // _wputenv_s changes the C runtime's copy (getenv) as well as the process's.
        _wputenv_s(name, WideText(AbsolutePath(Utf8Text(path.wstring()))).c_str());
    }
}
