#include "errors/Log.h"

#include "platform/UiServices.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void CLog::Start()
{
    m_enabled = 1;
    WriteLine("Start Logging");
}

const char* LookUpLogResource(int) { return nullptr; }

namespace {
struct FileLogPlace {
    std::string directory;
    std::string exactPath;
    bool wanted = true;
    std::string reportedPath;  // the path whose failure has been reported already
};

FileLogPlace& Place()
{
    static FileLogPlace place;
    return place;
}

// Opens the log file for writing: never through a link, only a regular file of this user,
// created 0600, emptied. Returns the open file, or null with `reason` set.
std::FILE* OpenLogFile(const char* path, std::string& reason)
{
    int fd = ::open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
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
} // namespace

void CwFileLog::SetDirectory(const std::string& directory) { Place().directory = directory; }
void CwFileLog::SetFilePath(const std::string& path) { Place().exactPath = path; }
void CwFileLog::SetFileWanted(bool wanted) { Place().wanted = wanted; }
bool CwFileLog::FileWanted() { return Place().wanted; }

const std::string& CwFileLog::Directory() { return Place().directory; }

CwFileLog::CwFileLog(const char* fileName)
{
    const FileLogPlace& place = Place();
    int length = 0;
    if (!place.exactPath.empty())
        length = std::snprintf(m_path, sizeof m_path, "%s", place.exactPath.c_str());
    else if (place.directory.empty())
        length = std::snprintf(m_path, sizeof m_path, "%s", fileName);
    else
        length = std::snprintf(m_path, sizeof m_path, "%s/%s", place.directory.c_str(), fileName);
    std::string reason;
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof m_path) {
        reason = "the path is longer than " + std::to_string(sizeof m_path - 1) + " bytes";
        std::string whole = place.exactPath.empty() ? place.directory + "/" + fileName : place.exactPath;
        std::snprintf(m_path, sizeof m_path, "%s", "");
        Report(whole, reason);
        return;
    }
    m_file = OpenLogFile(m_path, reason);
    if (m_file == nullptr)
        Report(m_path, reason);
}

void CwFileLog::Report(const std::string& path, const std::string& reason)
{
    FileLogPlace& place = Place();
    if (place.reportedPath == path)
        return;
    place.reportedPath = path;
    std::string text = "Unable to open Log file for writing\n\n" + path.substr(0, 200) +
                       (path.size() > 200 ? "...: " : ": ") + reason;
    Ui().MessageBox(text.c_str(), "Error", MB_OK);
}

CwFileLog::~CwFileLog()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

bool CwFileLog::ClearLog()
{
    // Empties the open file itself; opening the path again could reach a different file.
    if (m_file != nullptr) {
        std::fflush(m_file);
        if (::ftruncate(::fileno(m_file), 0) == 0)
            std::rewind(m_file);
    }
    return true;
}

void CwFileLog::WriteResource(int stringId)
{
    if (const char* text = LookUpLogResource(stringId))
        WriteLine(text);
}

void CwFileLog::WriteLine(const char* text)
{
    if (!IsEnabled() || m_file == nullptr)
        return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%m/%d/%y %H:%M:%S  ", &local);
    std::string line = std::string(stamp) + text + "\r\n";
    std::fwrite(line.data(), 1, line.size(), m_file);
    std::fflush(m_file);
}

bool CMemoryLog::ClearLog()
{
    m_lines.clear();
    return true;
}

void CMemoryLog::WriteResource(int stringId)
{
    if (const char* text = LookUpLogResource(stringId))
        WriteLine(text);
}

void CMemoryLog::WriteLine(const char* text)
{
    if (IsEnabled())
        m_lines.emplace_back(text);
}
