#include "platform/LogFile.h"

#include "platform/WinText.h"

#include <fcntl.h>
#include <io.h>

#include <windows.h>

std::FILE* OpenPrivateLogFile(const std::string& path, std::string& reason)
{
    // Never through a link: a reparse point at the name is refused. The log lies in the
    // user's own folder, which only the user may enter.
    const std::wstring wide = WideText(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        reason = "it is a symbolic link";
        return nullptr;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        reason = "it is not a regular file";
        return nullptr;
    }
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = SystemErrorText(GetLastError());
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info))
        reason = SystemErrorText(GetLastError());
    else if (GetFileType(handle) != FILE_TYPE_DISK)
        reason = "it is not a regular file";
    else if (info.nNumberOfLinks != 1)
        reason = "it has other names (hard links); emptying it would empty them too";
    else if (!SetEndOfFile(handle))
        reason = SystemErrorText(GetLastError());
    if (!reason.empty()) {
        CloseHandle(handle);
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        reason = "it cannot be opened for writing";
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
        reason = "it cannot be opened for writing";
        _close(fd);
    }
    return file;
}

void EmptyOpenFile(std::FILE* file)
{
    std::fflush(file);
    if (_chsize_s(_fileno(file), 0) == 0)
        std::rewind(file);
}
