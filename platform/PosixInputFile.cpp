#include "platform/InputFile.h"

#include "errors/Error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

// What a file that is not a regular file is, in the user's words.
std::string KindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "it is a named pipe, not a regular file";
    if (S_ISCHR(mode))
        return "it is a character device, not a regular file";
    if (S_ISBLK(mode))
        return "it is a block device, not a regular file";
    if (S_ISDIR(mode))
        return "it is a folder, not a regular file";
    if (S_ISSOCK(mode))
        return "it is a socket, not a regular file";
    if (S_ISLNK(mode))
        return "it is a symbolic link, which is not followed here";
    return "it is not a regular file";
}

std::string TooLarge(std::uintmax_t size, const InputFileRules& rules)
{
    return "it holds " + std::to_string(size) + " bytes, more than the " + std::to_string(rules.limit) +
           " a " + rules.what + " may hold";
}

// Judges what stands at the path (its own status, or the link's when links are refused).
bool Judge(const struct stat& info, const InputFileRules& rules, InputFileText& refused)
{
    if (!S_ISREG(info.st_mode)) {
        refused.reason = KindOf(info.st_mode);
        return false;
    }
    if (rules.ownerOnly && info.st_uid != ::geteuid()) {
        refused.reason = "it belongs to another user";
        return false;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > rules.limit) {
        refused.reason = TooLarge(static_cast<std::uintmax_t>(info.st_size), rules);
        return false;
    }
    return true;
}

void SystemRefused(InputFileText& refused, int error)
{
    refused.error = error;
    if (error == ENOENT) {
        refused.state = InputFileText::State::Absent;
        refused.reason = "it does not exist";
    } else if (error == ELOOP) {
        refused.reason = "it is a symbolic link, which is not followed here";
    } else {
        refused.reason = std::strerror(error);
    }
}

} // namespace

int OpenInputFile(const std::string& path, const InputFileRules& rules, struct stat& info, InputFileText& refused)
{
    refused = InputFileText{};
    // Judged before it is opened: opening a device can have effects of its own (a terminal's
    // modem lines), and a pipe or a huge file is refused without a descriptor at all.
    struct stat before{};
    int status = rules.followLinks ? ::stat(path.c_str(), &before) : ::lstat(path.c_str(), &before);
    if (status != 0) {
        SystemRefused(refused, errno);
        return -1;
    }
    if (!Judge(before, rules, refused))
        return -1;
    int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (rules.followLinks ? 0 : O_NOFOLLOW);
    int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        SystemRefused(refused, errno);
        return -1;
    }
    // And judged again as opened: something else may have been put at the path meanwhile.
    if (::fstat(fd, &info) != 0) {
        SystemRefused(refused, errno);
        ::close(fd);
        return -1;
    }
    if (!Judge(info, rules, refused)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ReadFromStart(int fd, char* dest, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        ssize_t got = ::pread(fd, dest + done, size - done, off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += std::size_t(got);
    }
    return true;
}

bool OpenFileSize(int fd, std::size_t& size)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    size = std::size_t(st.st_size);
    return true;
}

void CloseInputFile(int fd) { ::close(fd); }

long ReadInputBytes(int fd, char* dest, std::size_t size)
{
    for (;;) {
        ssize_t got = ::read(fd, dest, size);
        if (got >= 0)
            return static_cast<long>(got);
        if (errno != EINTR)
            return -static_cast<long>(errno);
    }
}
