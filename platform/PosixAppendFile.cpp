#include "platform/AppendFile.h"

#include "errors/Error.h"
#include "platform/FileDescriptor.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Why the open file is not one of this user's regular files, or empty when it is.
std::string NotOwnRegularFile(int fd, struct stat& st)
{
    if (::fstat(fd, &st) != 0)
        return std::strerror(errno);
    if (!S_ISREG(st.st_mode))
        return "it is not a regular file";
    if (st.st_uid != ::geteuid())
        return "it belongs to another user";
    return {};
}

std::string OpenProblem(int error)
{
    return error == ELOOP ? "it is a symbolic link" : std::strerror(error);
}

} // namespace

void AppendLine(const std::string& path, std::string_view line)
{
    CFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                  0600));
    if (fd.Get() < 0)
        throw CGenError(3, "Cannot append to %s: %s", path.c_str(), OpenProblem(errno).c_str());
    struct stat st{};
    if (std::string problem = NotOwnRegularFile(fd.Get(), st); !problem.empty())
        throw CGenError(3, "Cannot append to %s: %s", path.c_str(), problem.c_str());
    std::string whole(line);
    if (whole.empty() || whole.back() != '\n')
        whole += '\n';
    ssize_t written;
    do {
        written = ::write(fd.Get(), whole.data(), whole.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0)
        throw CGenError(3, "Cannot append to %s: %s", path.c_str(), std::strerror(errno));
    if (static_cast<std::size_t>(written) != whole.size())
        // Only a full disk or a file size limit cuts a write to a regular file short. The part
        // written stays (other processes may have appended after it); a reader skips it.
        throw CGenError(3, "Cannot append to %s: only %zd of %zu bytes were written", path.c_str(), written,
                        whole.size());
}
