#include "platform/PrivateLock.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

// Whether `path` is a folder of this user's that no one else may enter (made 0700 when it is
// missing; a folder of this user's that others may enter is closed to them).
bool MakePrivateFolder(const std::string& path, bool create, std::string& reason)
{
    if (create && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        reason = path + ": " + std::strerror(errno);
        return false;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        reason = path + ": " + (errno == ELOOP ? std::string("a symbolic link") : std::strerror(errno));
        return false;
    }
    struct stat info{};
    bool ok = false;
    if (::fstat(fd, &info) != 0)
        reason = path + ": " + std::strerror(errno);
    else if (info.st_uid != ::geteuid())
        reason = path + ": belongs to another user";
    else if ((info.st_mode & 077) != 0 && ::fchmod(fd, info.st_mode & 0700) != 0)
        reason = path + ": others may enter it and it cannot be closed to them";
    else
        ok = true;
    ::close(fd);
    return ok;
}

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return home;
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return {};
}

} // namespace

std::string PrivateLockFolder(std::string* reason)
{
    std::string why;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/') {
        std::string folder = std::string(runtime) + "/tessarin";
        std::string skipped;
        if (MakePrivateFolder(runtime, false, skipped) && MakePrivateFolder(folder, true, why))
            return folder;
        why = skipped.empty() ? why : skipped;
    }
    std::string tmp = "/tmp/tessarin-locks-" + std::to_string(::geteuid());
    std::string tmpWhy;
    if (MakePrivateFolder(tmp, true, tmpWhy))
        return tmp;
    why += (why.empty() ? "" : "; ") + tmpWhy;
    std::string home = HomeFolder();
    if (!home.empty()) {
        std::string cache = home + "/.cache";
        ::mkdir(cache.c_str(), 0700);
        ::mkdir((cache + "/tessarin").c_str(), 0700);
        std::string homeWhy;
        if (MakePrivateFolder(cache + "/tessarin/locks", true, homeWhy))
            return cache + "/tessarin/locks";
        why += "; " + homeWhy;
    }
    if (reason != nullptr)
        *reason = "no folder of this user's own for lock files (" + why + ")";
    return {};
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
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = "cannot open the lock file " + path + ": " + std::strerror(errno);
        return;
    }
    struct stat info{};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || info.st_nlink != 1) {
        m_error = "the lock file " + path + " is not a file of this user's own";
        ::close(fd);
        return;
    }
    const int operation = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd, operation) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_error = "cannot lock " + path + ": " + std::strerror(errno);
            ::close(fd);
            return;
        }
        if (errno == EWOULDBLOCK && std::chrono::steady_clock::now() >= deadline) {
            m_busy = true;
            m_error = "another program of this user holds it";
            ::close(fd);
            return;
        }
        timespec pause{0, 20'000'000};
        ::nanosleep(&pause, nullptr);
    }
    m_fd = fd;
}
