#include "errors/ErrorLog.h"

#include "errors/Log.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

CErrorLog::~CErrorLog() = default;

CErrorLog& ErrorLog()
{
    static CErrorLog log;
    return log;
}

void CErrorLog::EnsureSinks()
{
    CPlatform* platform = GetPlatform();
    if (!m_sink1Made) {
        m_sink1Made = true;
        m_sink1.reset(platform->CreateLog(1));
        if (m_sink1)
            m_sink1->Start();
    }
    // The file is made only when something will be written to it: a log switched off leaves
    // no file holding only "Start Logging" in every folder a program looks at.
    if (m_fileSinkEnabled)
        OpenFileSink();
}

void CErrorLog::OpenFileSink()
{
    if (m_sink0Made)
        return;
    m_sink0Made = true;
    m_sink0.reset(GetPlatform()->CreateLog(0));
    if (m_sink0)
        m_sink0->Start();
}

void CErrorLog::WriteLine(const char* line)
{
    if (m_fileSinkEnabled && m_sink0)
        m_sink0->WriteLine(line);
    if (m_sink1Enabled && m_sink1)
        m_sink1->WriteLine(line);
}

void CErrorLog::Log(const char* format, ...)
{
    if (format == nullptr)
        return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    EnsureSinks();
    WriteLine(line);
}

void CErrorLog::LogBytes(const uint8_t* bytes, std::size_t count)
{
    EnsureSinks();
    static const char kDigits[] = "0123456789ABCDEF";
    char line[2 * kMaxDumpBytesPerLine + 1];
    std::size_t done = 0;
    do {
        std::size_t n = std::min(count - done, kMaxDumpBytesPerLine);
        for (std::size_t i = 0; i < n; ++i) {
            line[2 * i] = kDigits[bytes[done + i] >> 4];
            line[2 * i + 1] = kDigits[bytes[done + i] & 0x0F];
        }
        line[2 * n] = '\0';
        WriteLine(line);
        done += n;
    } while (done < count);
}

void CErrorLog::Clear()
{
    EnsureSinks();
    // One log per run, opened once: an upgrade attempt empties the file already open and
    // starts it afresh, and never opens the path again (which could by then lead somewhere
    // else, or be a link planted meanwhile).
    if (m_sink0Made) {
        if (m_sink0) {
            m_sink0->ClearLog();
            m_sink0->Start();
        }
    } else {
        OpenFileSink();
    }
    if (m_sink1 && m_sink1->IsEnabled())
        m_sink1->ClearLog();
}

CLog* CErrorLog::Sink(int number) const { return number == 0 ? m_sink0.get() : m_sink1.get(); }

void CErrorLog::DropSinks()
{
    m_sink0.reset();
    m_sink1.reset();
    m_sink0Made = false;
    m_sink1Made = false;
}
