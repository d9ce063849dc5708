#include "platform/AtomicFile.h"

#include "errors/Error.h"
#include "platform/WinText.h"

#include <windows.h>
#include <bcrypt.h>

namespace {

constexpr std::size_t kNameKept = 200;  // of the file name in the temporary name
constexpr int kNameAttempts = 32;

struct PathParts {
    std::string folder;  // with its trailing separator, or empty for the current folder
    std::string name;
};

PathParts Split(const std::string& path)
{
    std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

std::string RandomSuffix()
{
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[12];
    if (BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
        throw CGenError(3, "Cannot make a temporary file name: the system gave no random numbers");
    std::string suffix;
    for (unsigned char byte : random)
        suffix += kDigits[byte % (sizeof kDigits - 1)];
    return suffix;
}

[[noreturn]] void Fail(const std::string& path, DWORD error)
{
    throw CGenError(3, "Cannot write %s: %s; nothing was changed", path.c_str(), SystemErrorText(error).c_str());
}

// Removes the temporary file unless told the move took it.
class CTempGuard {
public:
    explicit CTempGuard(std::wstring name) : m_name(std::move(name)) {}
    ~CTempGuard()
    {
        if (!m_kept)
            DeleteFileW(m_name.c_str());
    }
    CTempGuard(const CTempGuard&) = delete;
    CTempGuard& operator=(const CTempGuard&) = delete;
    void Moved() { m_kept = true; }

private:
    std::wstring m_name;
    bool m_kept = false;
};

} // namespace

std::string AtomicTempPrefix(const std::string& path)
{
    PathParts parts = Split(path);
    return parts.folder + "." + parts.name.substr(0, kNameKept) + ".tmp-";
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode, FileModeRule)
{
    // Console stop events arrive on a thread of their own and only set the stop flag, so the
    // write is never cut short here.
    PathParts parts = Split(path);
    if (parts.name.empty() || parts.name == "." || parts.name == "..")
        throw CGenError(3, "Cannot write %s: the name is a folder, not a file", path.c_str());

    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring tempName;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE; ++attempt) {
        tempName = WideText(AtomicTempPrefix(path) + RandomSuffix());
        // CREATE_NEW never opens an existing file and never follows a link at the name.
        // A read-only attribute is the one file mode Windows has: shared and private files
        // are both writable by their owner, and privacy comes from the user's folders.
        file = CreateFileW(tempName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           (mode & 0200) != 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY, nullptr);
        if (file == INVALID_HANDLE_VALUE && (GetLastError() != ERROR_FILE_EXISTS || attempt + 1 >= kNameAttempts))
            Fail(path, GetLastError());
    }
    CTempGuard temp(tempName);
    std::size_t done = 0;
    bool written = true;
    while (done < bytes.size() && written) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD wrote = 0;
        written = WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) && wrote > 0;
        done += wrote;
    }
    DWORD error = written ? 0 : GetLastError();
    if (written && !FlushFileBuffers(file))
        error = GetLastError();
    CloseHandle(file);
    if (error != 0)
        Fail(path, error);
    if (!MoveFileExW(tempName.c_str(), WideText(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Fail(path, GetLastError());
    temp.Moved();
}
