#include "cli/TerminalUi.h"

#include "app/FormMessages.h"
#include "platform/StopRequest.h"

#include <cctype>

namespace {

// The retry questions of the attempt loop all say this.
constexpr const char kRetryMarker[] = "Please press the OK button to retry";

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text)
{
    std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

int InitialRate(int baud) { return baud == 38400 || baud == 115200 ? baud : 19200; }

} // namespace

CTerminalUi::CTerminalUi(std::FILE* out, std::FILE* in, bool liveProgress, TerminalAnswers answers)
    : m_out(out), m_in(in), m_answers(answers), m_progress(out, liveProgress)
{
}

int CTerminalUi::MessageBox(const std::string& text, const std::string& caption, unsigned style)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progress.Suspend();
    std::fprintf(m_out, "\n[%s]\n%s\n", caption.c_str(), text.c_str());
    int answer = IDOK;
    if (style & MB_OKCANCEL)
        answer = AnswerOkCancel(text);
    std::fputc('\n', m_out);
    std::fflush(m_out);
    m_shown.RecordBox(caption, text, style, answer);
    m_progress.Resume();
    return answer;
}

int CTerminalUi::AnswerOkCancel(const std::string& text)
{
    auto answered = [this](int answer, const std::string& how) {
        std::fprintf(m_out, "[OK/Cancel] %s (%s)\n", answer == IDOK ? "OK" : "Cancel", how.c_str());
        return answer;
    };
    // The questions that protect a radio's data or decide which radio it is: only their own
    // option answers them OK, never --yes.
    struct Guarded {
        const char* text;
        bool prefix;
        bool given;
        const char* option;
    };
    const Guarded guarded[] = {
        {FormText::kOldStructure, false, m_answers.acceptDataLoss, "--accept-data-loss"},
        {FormText::kTestingKit, false, m_answers.allowTestKit, "--allow-test-kit"},
        {RecordText::kFinishQuestionStart, true, m_answers.finish, "--finish"},
    };
    for (const Guarded& g : guarded) {
        if (g.prefix ? text.rfind(g.text, 0) != 0 : text != g.text)
            continue;
        if (g.given)
            return answered(IDOK, g.option);
        if (m_answers.yes)
            return answered(IDCANCEL, std::string("--yes does not answer this question: give ") + g.option);
        return AskOkCancel();
    }
    const bool retry = text.find(kRetryMarker) != std::string::npos;
    if (retry && StopRequested() && m_answers.yes)
        return answered(IDCANCEL, std::string("stopped on ") + StopSignalName() + ": --yes does not retry after a stop");
    if (!m_answers.yes)
        return AskOkCancel();
    if (retry) {
        if (m_retriesAnswered >= m_answers.retries)
            return answered(IDCANCEL, "--yes, retries used up");
        ++m_retriesAnswered;
    }
    return answered(IDOK, "--yes");
}

int CTerminalUi::AskOkCancel()
{
    for (;;) {
        std::fputs("[OK/Cancel] ", m_out);
        std::fflush(m_out);
        std::string line;
        if (!ReadLine(line)) {
            std::fputs("Cancel (end of input)\n", m_out);
            return IDCANCEL;
        }
        std::string word = Lower(Trim(line));
        if (word == "ok" || word == "o" || word == "y" || word == "yes")
            return IDOK;
        if (word == "cancel" || word == "c" || word == "n" || word == "no")
            return IDCANCEL;
        std::fputs("Please answer OK or Cancel.\n", m_out);
    }
}

int CTerminalUi::AskFlashRate(int initialBaud)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progress.Suspend();
    int initial = InitialRate(initialBaud);
    std::fprintf(m_out, "\n[Configuration] Flash Rate\n  1) 19,200 Bd\n  2) 38,400 Bd\n  3) 115,200 Bd\n");
    int rate = 0;
    if (m_answers.flashBaud != 0) {
        rate = m_answers.flashBaud;
        std::fprintf(m_out, "Flash rate: %d Bd (--flash-baud)\n", rate);
    } else if (m_answers.yes) {
        rate = initial;
        std::fprintf(m_out, "Flash rate: %d Bd (--yes: the initial choice)\n", rate);
    } else {
        for (;;) {
            std::fprintf(m_out, "Choose 1, 2 or 3 [%d Bd]: ", initial);
            std::fflush(m_out);
            std::string line;
            if (!ReadLine(line)) {
                std::fputs("closed without a choice (end of input)\n", m_out);
                break;
            }
            std::string word = Trim(line);
            if (word.empty())
                rate = initial;
            else if (word == "1" || word == "19200")
                rate = 19200;
            else if (word == "2" || word == "38400")
                rate = 38400;
            else if (word == "3" || word == "115200")
                rate = 115200;
            if (rate != 0)
                break;
            std::fputs("Please answer 1, 2 or 3.\n", m_out);
        }
    }
    std::fputc('\n', m_out);
    std::fflush(m_out);
    m_shown.Record("Configuration", "Flash Rate", rate == 0 ? "closed" : std::to_string(rate));
    m_progress.Resume();
    return rate;
}

bool CTerminalUi::ReadLine(std::string& line)
{
    line.clear();
    for (int c; (c = std::fgetc(m_in)) != EOF;) {
        if (c == '\n')
            return true;
        line += static_cast<char>(c);
    }
    return !line.empty();
}

intptr_t CTerminalUi::SendMainFrameMessage(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (message) {
    case WM_PROGRESS_OPEN:
        m_progress.Open(static_cast<unsigned>(wParam), lParam == 1);
        break;
    case WM_PROGRESS_STEP:
        m_progress.Step();
        break;
    case WM_PROGRESS_CLOSE:
        m_progress.Close();
        break;
    case WM_STATUS_NOTICE:
        m_progress.Notice(static_cast<unsigned>(wParam));
        break;
    default:
        break;
    }
    return 0;
}

void CTerminalUi::SetProgressText(const std::string& text)
{
    // The window's text; the terminal's line names the stage from the engine's reports.
    (void)text;
}

void CTerminalUi::ShowProgress(const ProgressReport& report)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progress.Report(report);
}

void CTerminalUi::ShowActivity(const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progress.Activity(text);
}

void CTerminalUi::ShowRadio(const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progress.Suspend();
    std::fprintf(m_out, "Radio: %s\n", text.c_str());
    std::fflush(m_out);
    m_progress.Resume();
}

void CTerminalUi::Quit(int)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quit = true;
}

void CTerminalUi::Tick()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progress.Refresh();
}

bool CTerminalUi::QuitAsked() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_quit;
}
