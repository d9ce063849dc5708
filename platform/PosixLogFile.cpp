#include "platform/LogFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE* OpenPrivateLogFile(const std::string& path, std::string& reason)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        reason = errno == ELOOP ? "it is a symbolic link" : std::strerror(errno);
        return nullptr;
    }
    struct stat info{};
    if (::fstat(fd, &info) != 0)
        reason = std::strerror(errno);
    else if (!S_ISREG(info.st_mode))
        reason = "it is not a regular file";
    else if (info.st_uid != ::geteuid())
        reason = "it belongs to another user";
    else if (info.st_nlink != 1)
        reason = "it has other names (hard links); emptying it would empty them too";
    else if (::ftruncate(fd, 0) != 0)
        reason = std::strerror(errno);
    else if (::fcntl(fd, F_SETFL, 0) != 0)  // back to blocking writes
        reason = std::strerror(errno);
    std::FILE* file = reason.empty() ? ::fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        if (reason.empty())
            reason = std::strerror(errno);
        ::close(fd);
    }
    return file;
}

void EmptyOpenFile(std::FILE* file)
{
    std::fflush(file);
    if (::ftruncate(::fileno(file), 0) == 0)
        std::rewind(file);
}
