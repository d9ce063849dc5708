#include "platform/FileNames.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int MoveToNewName(const std::string& from, const std::string& to)
{
    // link() refuses a name that exists, so no other file is ever replaced.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

int RemoveFileName(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

void SyncFolder(const std::string& folder)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool IsOwnRegularFile(const std::string& path)
{
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

unsigned long ProcessNumber() { return static_cast<unsigned long>(::getpid()); }

int MakeNewFolder(const std::string& prefix, std::string& made)
{
    std::string pattern = prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        return errno;
    made = pattern;
    return 0;
}
