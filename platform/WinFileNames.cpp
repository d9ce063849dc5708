#include "platform/FileNames.h"

#include "platform/WinText.h"

#include <atomic>
#include <cerrno>
#include <cstdio>

#include <windows.h>

namespace {
int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_DISK_FULL: return ENOSPC;
    default: return EIO;
    }
}
} // namespace

int MoveToNewName(const std::string& from, const std::string& to)
{
    // Without MOVEFILE_REPLACE_EXISTING the move refuses a name that exists.
    if (MoveFileExW(WideText(from).c_str(), WideText(to).c_str(), MOVEFILE_WRITE_THROUGH))
        return 0;
    return ErrnoOf(GetLastError());
}

int RemoveFileName(const std::string& path)
{
    return DeleteFileW(WideText(path).c_str()) ? 0 : ErrnoOf(GetLastError());
}

void SyncFolder(const std::string&)
{
    // The moves are made with write-through: the folder's names are on the disk already.
}

bool IsOwnRegularFile(const std::string& path)
{
    // The records lie in the user's own profile folder, which other users cannot enter.
    DWORD attributes = GetFileAttributesW(WideText(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

unsigned long ProcessNumber() { return GetCurrentProcessId(); }

int MakeNewFolder(const std::string& prefix, std::string& made)
{
    // A folder under the user's own temporary folder is the user's only; the name is tried
    // until one is free (CreateDirectory refuses a name that exists).
    static std::atomic<unsigned long> counter{0};
    for (int attempt = 0; attempt < 1000; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%lx%04lx%04lx", GetCurrentProcessId() & 0xffffUL,
                      ++counter & 0xffffUL, GetTickCount() & 0xffffUL);
        std::string name = prefix + suffix;
        if (CreateDirectoryW(WideText(name).c_str(), nullptr)) {
            made = name;
            return 0;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return ErrnoOf(GetLastError());
    }
    return EEXIST;
}
