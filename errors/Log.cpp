#include "errors/Log.h"

#include "platform/UiServices.h"

#include <cstring>
#include <ctime>

void CLog::Start()
{
    m_enabled = 1;
    WriteLine("Start Logging");
}

const char* LookUpLogResource(int) { return nullptr; }

namespace {
std::string& LogDirectory()
{
    static std::string directory;
    return directory;
}
} // namespace

void CwFileLog::SetDirectory(const std::string& directory) { LogDirectory() = directory; }

const std::string& CwFileLog::Directory() { return LogDirectory(); }

CwFileLog::CwFileLog(const char* fileName)
{
    const std::string& directory = LogDirectory();
    if (directory.empty())
        std::snprintf(m_path, sizeof m_path, "%s", fileName);
    else
        std::snprintf(m_path, sizeof m_path, "%s/%s", directory.c_str(), fileName);
    m_file = std::fopen(m_path, "wb");
    if (m_file == nullptr)
        Ui().MessageBox("Unable to open Log file for writing", "Error", MB_OK);
}

CwFileLog::~CwFileLog()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

bool CwFileLog::ClearLog()
{
    if (m_file != nullptr)
        m_file = std::freopen(m_path, "wb", m_file);
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
