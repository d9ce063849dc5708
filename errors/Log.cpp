#include "errors/Log.h"

#include "platform/HostInfo.h"
#include "platform/LogFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>


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
    std::string openPath;      // the log file open now
    std::string failure;       // why the last log file could not be opened
};

// Paths are fixed when they are given: a relative one is taken in the current folder of that
// moment, so the log stays where it was asked for whatever folder the work enters later.
std::string Absolute(const std::string& path)
{
    if (path.empty() || std::filesystem::path(path).is_absolute())
        return path;
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}

FileLogPlace& Place()
{
    static FileLogPlace place;
    return place;
}

} // namespace

void CwFileLog::SetDirectory(const std::string& directory) { Place().directory = Absolute(directory); }
void CwFileLog::SetFilePath(const std::string& path) { Place().exactPath = Absolute(path); }
const std::string& CwFileLog::OpenPath() { return Place().openPath; }
const std::string& CwFileLog::OpenFailure() { return Place().failure; }
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
    m_file = OpenPrivateLogFile(m_path, reason);
    if (m_file == nullptr) {
        Report(m_path, reason);
        return;
    }
    Place().openPath = m_path;
    Place().failure.clear();
}

void CwFileLog::Report(const std::string& path, const std::string& reason)
{
    FileLogPlace& place = Place();
    place.openPath.clear();
    place.failure = "Unable to open Log file for writing: " + path + ": " + reason;
    if (place.reportedPath == path)
        return;
    place.reportedPath = path;
    // Never a message box: the log is opened as an upgrade starts, and a box then would stop
    // the press half-way for a file the work does not need (a read-only kit folder, a link
    // planted there). The reason is kept (OpenFailure) for whoever names the log, and said
    // once on standard error.
    std::fprintf(stderr, "%s (the work goes on without a log file)\n", place.failure.c_str());
    std::fflush(stderr);
}

CwFileLog::~CwFileLog()
{
    if (m_file != nullptr) {
        std::fclose(m_file);
        if (Place().openPath == m_path)
            Place().openPath.clear();
    }
}

bool CwFileLog::ClearLog()
{
    // Empties the open file itself; opening the path again could reach a different file.
    if (m_file != nullptr) {
        EmptyOpenFile(m_file);
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
    std::tm local = LocalTimeOf(std::time(nullptr));
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
