#include "platform/Environment.h"

#include "platform/WinText.h"

#include <cstdlib>

#include <windows.h>

void SetEnvironmentValue(const std::string& name, const std::string& value, bool replace)
{
    std::wstring wideName = WideText(name);
    if (!replace && GetEnvironmentVariableW(wideName.c_str(), nullptr, 0) != 0)
        return;
    // _wputenv_s changes the C runtime's copy (getenv) as well as the process's.
    _wputenv_s(wideName.c_str(), WideText(value).c_str());
}
