#include "platform/PrivateLock.h"

#include "platform/WinText.h"

#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <io.h>

#include <windows.h>

std::string PrivateLockFolder(std::string* reason)
{
    // %LOCALAPPDATA%\Tessarin\locks: inside the user's profile, which other users cannot enter.
    wchar_t local[MAX_PATH * 4];
    DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", local, static_cast<DWORD>(std::size(local)));
    if (length == 0 || length >= std::size(local)) {
        if (reason != nullptr)
            *reason = "no folder of this user's own for lock files (LOCALAPPDATA is not set)";
        return {};
    }
    std::filesystem::path folder = std::filesystem::path(std::wstring(local, length)) / L"Tessarin" / L"locks";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        if (reason != nullptr)
            *reason = "no folder of this user's own for lock files (" + PathText(folder) + ": " + error.message() + ")";
        return {};
    }
    return PathText(folder);
}

CPrivateLock::CPrivateLock(const std::string& kind, const std::string& thing, Mode mode,
                           std::chrono::milliseconds wait)
{
    std::string reason;
    std::string path = PrivateLockPath(kind, thing, &reason);
    if (path.empty()) {
        m_error = reason;
        return;
    }
    HANDLE file = CreateFileW(WideText(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        m_error = "cannot open the lock file " + path + ": " + SystemErrorText(GetLastError());
        return;
    }
    const DWORD flags = (mode == Mode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        OVERLAPPED at{};
        if (LockFileEx(file, flags, 0, 1, 0, &at))
            break;
        DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
            m_error = "cannot lock " + path + ": " + SystemErrorText(error);
            CloseHandle(file);
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            m_busy = true;
            m_error = "another program of this user holds it";
            CloseHandle(file);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Held as a descriptor like on other systems; closing it drops the lock.
    m_fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR);
    if (m_fd < 0) {
        m_error = "cannot lock " + path;
        CloseHandle(file);
    }
}
