#include "sim/SimPlatform.h"

#include "errors/ErrorLog.h"
#include "errors/Log.h"
#include "platform/Platform.h"

#include <cmath>

CSimPlatform::CSimPlatform() : CLendingPlatform<CSimSerial, CSimTimer>(&m_clock) {}

CLog* CSimPlatform::CreateLog(int sink)
{
    if (sink == 0)
        return m_fileLog ? new CwFileLog("tsErrlog.txt") : nullptr;
    if (sink == 1)
        return new CMemoryLog;
    return nullptr;
}

void CSimPlatform::Sleep(unsigned milliseconds) { m_clock.AdvanceBy(milliseconds * 0.001); }

std::time_t CSimPlatform::CalendarTime()
{
    return m_calendarStart + static_cast<std::time_t>(std::floor(m_clock.Now()));
}

int CScriptedUi::MessageBox(const std::string& text, const std::string& caption, unsigned style)
{
    boxes.push_back({text, caption, style});
    if (answers.empty())
        return IDOK;
    int answer = answers.front();
    answers.pop_front();
    return answer;
}

intptr_t CScriptedUi::SendMainFrameMessage(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    frameMessages.push_back({message, wParam, lParam});
    if (onFrameMessage)
        onFrameMessage(frameMessages.back());
    return 0;
}

void CScriptedUi::ShowProgress(const ProgressReport& report)
{
    progressReports.push_back({report, GetPlatform()->MonotonicTime()});
}

int CScriptedUi::AskFlashRate(int initialBaud)
{
    ++flashRateQuestions;
    if (flashRates.empty())
        return initialBaud == 38400 || initialBaud == 115200 ? initialBaud : 19200;
    int rate = flashRates.front();
    flashRates.pop_front();
    return rate;
}

CSimPlatformScope::CSimPlatformScope()
{
    auto platform = std::make_unique<CSimPlatform>();
    m_platform = platform.get();
    auto ui = std::make_unique<CScriptedUi>();
    m_ui = ui.get();
    ErrorLog().DropSinks();
    m_previousPlatform = InstallPlatform(std::move(platform));
    m_previousUi = InstallUi(std::move(ui));
    ErrorLog().EnableSink1(1);
}

CSimPlatformScope::~CSimPlatformScope()
{
    ErrorLog().DropSinks();
    ErrorLog().EnableSink1(0);
    InstallPlatform(std::move(m_previousPlatform));
    InstallUi(std::move(m_previousUi));
}

std::vector<std::string> CSimPlatformScope::LogLines() const
{
    std::vector<std::string> lines;
    if (auto* sink = dynamic_cast<CMemoryLog*>(ErrorLog().Sink(1))) {
        lines = sink->Lines();
        if (!lines.empty() && lines.front() == "Start Logging")
            lines.erase(lines.begin());
    }
    return lines;
}
