#include "platform/AtomicFile.h"

#include "errors/Error.h"
#include "platform/FileDescriptor.h"
#include "platform/StopRequest.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kNameKept = 200;  // of the file name in the temporary name (NAME_MAX is 255)
constexpr int kNameAttempts = 32;

struct PathParts {
    std::string folder;
    std::string name;
};

PathParts Split(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

std::string RandomSuffix()
{
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[12];
    std::size_t got = 0;
    while (got < sizeof random) {
        ssize_t n = ::getrandom(random + got, sizeof random - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw CGenError(3, "Cannot make a temporary file name: %s", std::strerror(errno));
        got += std::size_t(n);
    }
    std::string suffix;
    for (unsigned char byte : random)
        suffix += kDigits[byte % (sizeof kDigits - 1)];
    return suffix;
}

int WriteAll(int fd, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0)
            return errno;
        if (wrote == 0)
            return ENOSPC;
        done += std::size_t(wrote);
    }
    return 0;
}

// Removes the temporary file unless told the rename took it.
class CTempGuard {
public:
    CTempGuard(int folder, std::string name) : m_folder(folder), m_name(std::move(name)) {}
    ~CTempGuard()
    {
        if (!m_kept)
            ::unlinkat(m_folder, m_name.c_str(), 0);
    }
    CTempGuard(const CTempGuard&) = delete;
    CTempGuard& operator=(const CTempGuard&) = delete;
    void Renamed() { m_kept = true; }
    const std::string& Name() const { return m_name; }

private:
    int m_folder;
    std::string m_name;
    bool m_kept = false;
};

[[noreturn]] void Fail(const std::string& path, int error)
{
    throw CGenError(3, "Cannot write %s: %s; nothing was changed", path.c_str(), std::strerror(error));
}

} // namespace

std::string AtomicTempPrefix(const std::string& path)
{
    PathParts parts = Split(path);
    std::string prefix = parts.folder == "." && path.find('/') == std::string::npos ? "" : parts.folder;
    if (!prefix.empty() && prefix.back() != '/')
        prefix += '/';
    return prefix + "." + parts.name.substr(0, kNameKept) + ".tmp-";
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode, FileModeRule rule)
{
    // Declared first, so the temporary file is gone or renamed before a stop takes effect.
    CStopsToOtherThreads held;
    PathParts parts = Split(path);
    if (parts.name.empty() || parts.name == "." || parts.name == "..")
        throw CGenError(3, "Cannot write %s: the name is a folder, not a file", path.c_str());
    CFd folder(::open(parts.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0)
        Fail(path, errno);

    const std::string stem = "." + parts.name.substr(0, kNameKept) + ".tmp-";
    CFd file;
    std::string tempName;
    for (int attempt = 0; file.Get() < 0; ++attempt) {
        tempName = stem + RandomSuffix();
        // O_EXCL with O_CREAT never follows a link and never opens an existing file.
        file.Reset(::openat(folder.Get(), tempName.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (file.Get() < 0 && (errno != EEXIST || attempt + 1 >= kNameAttempts))
            Fail(path, errno);
    }
    CTempGuard temp(folder.Get(), tempName);
    if (rule == FileModeRule::Exact && ::fchmod(file.Get(), mode & 07777) != 0)
        Fail(path, errno);

    if (int error = WriteAll(file.Get(), bytes))
        Fail(path, error);
    if (::fsync(file.Get()) != 0)
        Fail(path, errno);
    if (int error = file.Close())
        Fail(path, error);
    if (::renameat(folder.Get(), tempName.c_str(), folder.Get(), parts.name.c_str()) != 0)
        Fail(path, errno);
    temp.Renamed();
    // Some file systems cannot sync a folder (EINVAL); the rename itself has been made.
    if (::fsync(folder.Get()) != 0 && errno != EINVAL)
        throw CGenError(3, "%s was written, but its folder could not be synced: %s", path.c_str(),
                        std::strerror(errno));
}
