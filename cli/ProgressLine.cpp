#include "cli/ProgressLine.h"

#include "app/ProgressText.h"

namespace {

constexpr int kBarWidth = 24;

const char* NoticeText(unsigned kind)
{
    switch (kind) {
    case 1:
        return "Please Wait: Downloading bootcode ...";
    case 2:
        return "Please Wait: Flashing firmware ...";
    case 3:
        return "Please Wait: Verifying Checksum ...";
    default:
        return nullptr;
    }
}

} // namespace

std::string CProgressLine::FormatSeconds(double seconds) { return FormatDuration(seconds); }

void CProgressLine::Open(unsigned total, bool percentageMode)
{
    (void)percentageMode;
    if (m_open)
        return;  // the patcher's window inside the engine's: its steps are the count's last
    m_open = true;
    m_total = total;
    m_position = 0;
    m_lastTenth = -1;
    if (!m_reporting)
        m_started = Clock::now();
    Draw();
}

void CProgressLine::Step()
{
    if (!m_open)
        return;
    if (m_position < m_total)
        ++m_position;
    if (!m_live && m_total > 0) {
        int tenth = static_cast<int>(m_position * 10 / m_total);
        if (tenth != m_lastTenth) {
            m_lastTenth = tenth;
            std::fprintf(m_out, "  %3d %%  %s\n", tenth * 10, m_report.stageName.c_str());
            std::fflush(m_out);
        }
        return;
    }
    Draw();
}

void CProgressLine::Close()
{
    if (!m_open)
        return;
    Draw();
    m_open = false;
    if (m_reporting)
        return;  // the run goes on: the line stays with its stage
    if (m_live && m_drawn) {
        std::fputc('\n', m_out);
        std::fflush(m_out);
    }
    m_drawn = false;
}

void CProgressLine::Notice(unsigned kind)
{
    const char* text = NoticeText(kind);
    bool ending = kind != 1 && kind != 2 && !m_pendingNotice.empty();
    if (ending || text == nullptr) {
        m_pendingNotice.clear();
        return;
    }
    m_pendingNotice = text;
    Suspend();
    std::fprintf(m_out, "%s\n", text);
    std::fflush(m_out);
    Resume();
}

void CProgressLine::Report(const ProgressReport& report)
{
    if (report.Finished()) {
        if (!m_reporting)
            return;
        m_reporting = false;
        if (!m_open && m_live && m_drawn) {
            Draw();
            std::fputc('\n', m_out);
            std::fflush(m_out);
            m_drawn = false;
        }
        return;
    }
    if (!m_reporting && !m_open)
        m_started = Clock::now();
    const bool newStage = !m_reporting || report.stageNumber != m_report.stageNumber;
    m_reporting = true;
    m_report = report;
    m_reportAt = Clock::now();
    if (m_live) {
        Draw();
    } else if (newStage) {
        std::fprintf(m_out, "%s\n", ProgressReportText(report).c_str());
        std::fflush(m_out);
    }
}

void CProgressLine::Activity(const std::string& text)
{
    Suspend();
    std::fprintf(m_out, "%s\n", text.c_str());
    std::fflush(m_out);
    Resume();
}

void CProgressLine::Refresh()
{
    if (m_live && Showing())
        Draw();
}

void CProgressLine::Suspend()
{
    if (m_live && m_drawn) {
        std::fputs("\r\033[K", m_out);
        std::fflush(m_out);
        m_drawn = false;
    }
}

void CProgressLine::Resume() { Refresh(); }

void CProgressLine::Draw()
{
    if (!m_live || !Showing())
        return;
    const Clock::time_point now = Clock::now();
    const double elapsed = std::chrono::duration<double>(now - m_started).count();
    std::string line = "\r\033[K";
    if (m_open && m_total > 0) {
        unsigned percent = m_position * 100 / m_total;
        int filled = static_cast<int>(m_position * kBarWidth / m_total);
        line += '[' + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + ']';
        char number[16];
        std::snprintf(number, sizeof number, " %3u%%  ", percent);
        line += number;
    } else {
        line += "[" + std::string(kBarWidth, ' ') + "]        ";
    }
    if (m_reporting) {
        const double since = std::chrono::duration<double>(now - m_reportAt).count();
        line += ProgressReportText(m_report, since) + "  ";
    }
    line += FormatDuration(elapsed) + " elapsed";
    std::fputs(line.c_str(), m_out);
    std::fflush(m_out);
    m_drawn = true;
}
