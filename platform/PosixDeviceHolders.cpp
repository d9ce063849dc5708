#include "platform/DeviceHolders.h"

#include "platform/InputFile.h"

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

constexpr unsigned kPtySlaveMajorFirst = 136;  // UNIX98 pseudo-terminal slaves: majors 136 to 143
constexpr unsigned kPtySlaveMajorLast = 143;
const InputFileRules kProcFile{InputLimit::kSystemFile, "process information file"};

bool IsNumber(const char* text)
{
    if (*text == '\0')
        return false;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9')
            return false;
    }
    return true;
}

template <typename Visit>
void ForEachDescriptor(const std::string& pid, Visit visit)
{
    const std::string folder = "/proc/" + pid + "/fd";
    DIR* fds = ::opendir(folder.c_str());
    if (fds == nullptr)
        return;
    while (dirent* entry = ::readdir(fds)) {
        if (IsNumber(entry->d_name))
            visit(folder + "/" + entry->d_name, std::atoi(entry->d_name));
    }
    ::closedir(fds);
}

// Whether process `pid` holds the master of pseudo-terminal number `index`.
bool HoldsPtyMaster(const std::string& pid, long index)
{
    bool holds = false;
    ForEachDescriptor(pid, [&](const std::string& link, int fd) {
        char target[64] = {};
        ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (holds || n <= 0 || (std::strcmp(target, "/dev/ptmx") != 0 && std::strcmp(target, "/dev/pts/ptmx") != 0))
            return;
        std::istringstream info(
            TryReadInputFile("/proc/" + pid + "/fdinfo/" + std::to_string(fd), kProcFile).bytes);
        std::string key;
        long value = -1;
        while (info >> key) {
            if (key == "tty-index:" && (info >> value) && value == index)
                holds = true;
        }
    });
    return holds;
}

std::string CommandOf(const std::string& pid)
{
    std::istringstream in(TryReadInputFile("/proc/" + pid + "/comm", kProcFile).bytes);
    std::string name;
    std::getline(in, name);
    return name;
}

} // namespace

std::vector<std::string> OtherHoldersOf(int fd)
{
    std::vector<std::string> holders;
    struct stat mine{};
    if (::fstat(fd, &mine) != 0 || !S_ISCHR(mine.st_mode))
        return holders;
    const unsigned major = ::major(mine.st_rdev);
    const long ptyIndex = major >= kPtySlaveMajorFirst && major <= kPtySlaveMajorLast
                              ? long(major - kPtySlaveMajorFirst) * 256 + long(::minor(mine.st_rdev))
                              : -1;
    const std::string self = std::to_string(::getpid());
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return holders;
    while (dirent* entry = ::readdir(proc)) {
        if (!IsNumber(entry->d_name))
            continue;
        const std::string pid = entry->d_name;
        bool opened = false;
        ForEachDescriptor(pid, [&](const std::string& link, int number) {
            struct stat target{};
            if (opened || (pid == self && number == fd) || ::stat(link.c_str(), &target) != 0)
                return;
            opened = S_ISCHR(target.st_mode) && target.st_rdev == mine.st_rdev;
        });
        if (opened && !(ptyIndex >= 0 && HoldsPtyMaster(pid, ptyIndex)))
            holders.push_back("pid " + pid + " (" + CommandOf(pid) + ")");
    }
    ::closedir(proc);
    return holders;
}
