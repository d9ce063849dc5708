#include "platform/AppendFile.h"

#include "errors/Error.h"
#include "platform/WinText.h"

#include <windows.h>

void AppendLine(const std::string& path, std::string_view line)
{
    // FILE_APPEND_DATA alone: every write goes to the end of the file in one piece, whoever
    // else appends at the same time. A link at the name is refused, not followed.
    HANDLE file = CreateFileW(WideText(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw CGenError(3, "Cannot append to %s: %s", path.c_str(), SystemErrorText(GetLastError()).c_str());
    BY_HANDLE_FILE_INFORMATION info{};
    std::string problem;
    if (!GetFileInformationByHandle(file, &info))
        problem = SystemErrorText(GetLastError());
    else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        problem = "it is a symbolic link";
    else if (GetFileType(file) != FILE_TYPE_DISK || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        problem = "it is not a regular file";
    if (!problem.empty()) {
        CloseHandle(file);
        throw CGenError(3, "Cannot append to %s: %s", path.c_str(), problem.c_str());
    }
    std::string whole(line);
    if (whole.empty() || whole.back() != '\n')
        whole += '\n';
    DWORD written = 0;
    BOOL ok = WriteFile(file, whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr);
    DWORD error = ok ? 0 : GetLastError();
    CloseHandle(file);
    if (!ok)
        throw CGenError(3, "Cannot append to %s: %s", path.c_str(), SystemErrorText(error).c_str());
    if (written != whole.size())
        throw CGenError(3, "Cannot append to %s: only %lu of %zu bytes were written", path.c_str(),
                        static_cast<unsigned long>(written), whole.size());
}
