#include "cli/ProgressLine.h"

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

const char* NoticeStage(unsigned kind)
{
    switch (kind) {
    case 1:
        return "Downloading bootcode";
    case 2:
        return "Erasing flash ROM";
    case 3:
        return "Verifying checksum";
    default:
        return nullptr;
    }
}

} // namespace

std::string CProgressLine::StageOf(const std::string& text)
{
    std::string stage = text.substr(0, text.find('\n'));
    while (!stage.empty() && (stage.back() == '.' || stage.back() == ' '))
        stage.pop_back();
    return stage;
}

std::string CProgressLine::FormatSeconds(double seconds)
{
    long total = seconds < 0 ? 0 : static_cast<long>(seconds + 0.5);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

void CProgressLine::Open(unsigned total, bool percentageMode)
{
    if (m_open) {
        // The patcher asks for its own window while the engine's is up: its entries are the
        // last steps of the same count.
        if (percentageMode)
            StageLine("Applying patches");
        return;
    }
    m_open = true;
    m_total = total;
    m_position = 0;
    m_lastTenth = -1;
    m_started = Clock::now();
    if (percentageMode && m_stage.empty())
        StageLine("Applying patches");
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
            std::fprintf(m_out, "  %3d %%  %s\n", tenth * 10, m_stage.c_str());
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
    if (m_live && m_drawn) {
        std::fputc('\n', m_out);
        std::fflush(m_out);
    }
    m_drawn = false;
    m_open = false;
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
    if (const char* stage = NoticeStage(kind))
        m_stage = stage;
    Resume();
}

void CProgressLine::SetText(const std::string& text)
{
    std::string stage = StageOf(text);
    if (!stage.empty() && stage != m_stage)
        StageLine(stage);
}

void CProgressLine::StageLine(const std::string& stage)
{
    m_stage = stage;
    if (m_live) {
        Draw();
        return;
    }
    std::fprintf(m_out, "%s\n", stage.c_str());
    std::fflush(m_out);
}

void CProgressLine::Refresh()
{
    if (m_live && m_open)
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
    if (!m_live || !m_open)
        return;
    double elapsed = std::chrono::duration<double>(Clock::now() - m_started).count();
    std::string line = "\r\033[K";
    if (m_total > 0) {
        unsigned percent = m_position * 100 / m_total;
        int filled = static_cast<int>(m_position * kBarWidth / m_total);
        line += '[' + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + ']';
        char numbers[128];
        std::string left = m_position > 0 ? FormatSeconds(elapsed * (m_total - m_position) / m_position) : "?";
        std::snprintf(numbers, sizeof numbers, " %3u%%  %s  %s elapsed, %s left", percent, m_stage.c_str(),
                      FormatSeconds(elapsed).c_str(), left.c_str());
        line += numbers;
    } else {
        line += "[" + std::string(kBarWidth, ' ') + "]       " + m_stage + "  " + FormatSeconds(elapsed) + " elapsed";
    }
    std::fputs(line.c_str(), m_out);
    std::fflush(m_out);
    m_drawn = true;
}
