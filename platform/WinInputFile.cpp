#include "platform/InputFile.h"

#include "platform/WinText.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <io.h>

#include <windows.h>

namespace {
std::string TooLarge(std::uintmax_t size, const InputFileRules& rules)
{
    return "it holds " + std::to_string(size) + " bytes, more than the " + std::to_string(rules.limit) + " a " +
           rules.what + " may hold";
}

void SystemRefused(InputFileText& refused, DWORD error)
{
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        refused.error = ENOENT;
        refused.state = InputFileText::State::Absent;
        refused.reason = "it does not exist";
    } else {
        refused.error = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? EACCES : EIO;
        refused.reason = SystemErrorText(error);
    }
}
} // namespace

int OpenInputFile(const std::string& path, const InputFileRules& rules, struct stat& info, InputFileText& refused)
{
    refused = InputFileText{};
    const std::wstring wide = WideText(path);
    // Judged before it is opened: a device name (COM1, CON) or a folder is refused by what it is.
    WIN32_FILE_ATTRIBUTE_DATA before{};
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &before)) {
        SystemRefused(refused, GetLastError());
        return -1;
    }
    if ((before.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        refused.reason = "it is a folder, not a regular file";
        return -1;
    }
    if (!rules.followLinks && (before.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        refused.reason = "it is a symbolic link, which is not followed here";
        return -1;
    }
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | (rules.followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SystemRefused(refused, GetLastError());
        return -1;
    }
    // And judged again as opened.
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
        refused.reason = "it is not a regular file";
        CloseHandle(file);
        return -1;
    }
    if (static_cast<std::uintmax_t>(size.QuadPart) > rules.limit) {
        refused.reason = TooLarge(static_cast<std::uintmax_t>(size.QuadPart), rules);
        CloseHandle(file);
        return -1;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        refused.reason = "it cannot be opened";
        CloseHandle(file);
        return -1;
    }
    info = {};
    info.st_size = static_cast<decltype(info.st_size)>(size.QuadPart);
    info.st_mode = static_cast<decltype(info.st_mode)>(
        _S_IFREG | _S_IREAD | ((before.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0 : _S_IWRITE));
    return fd;
}

bool ReadFromStart(int fd, char* dest, std::size_t size)
{
    if (_lseeki64(fd, 0, SEEK_SET) != 0)
        return false;
    std::size_t done = 0;
    while (done < size) {
        long got = ReadInputBytes(fd, dest + done, size - done);
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool OpenFileSize(int fd, std::size_t& size)
{
    long long length = _filelengthi64(fd);
    if (length < 0)
        return false;
    size = static_cast<std::size_t>(length);
    return true;
}

void CloseInputFile(int fd) { _close(fd); }

long ReadInputBytes(int fd, char* dest, std::size_t size)
{
    unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30));
    int got = _read(fd, dest, chunk);
    return got >= 0 ? got : -static_cast<long>(errno);
}
