#pragma once

#include "app/ShownMessages.h"
#include "cli/ProgressLine.h"
#include "platform/UiServices.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

// How the command line answers what the workflow asks.
struct TerminalAnswers {
    bool yes = false;     // --yes: OK to every question, the flash rate below, retries limited
    int flashBaud = 0;    // --flash-baud (0: the question's initial choice)
    int retries = 3;      // --retries: how many retry questions --yes answers OK
    // The questions --yes does not answer OK, each with its own option.
    bool acceptDataLoss = false;  // --accept-data-loss: the old codeplug structure warning
    bool allowTestKit = false;    // --allow-test-kit: the testing kit warning
    bool finish = false;          // --finish: finish a radio a recorded upgrade left without firmware
};

// The UI services of `tessarin program`: message boxes printed as their caption and text,
// questions asked on the terminal (or answered by --yes), the flash rate question, and the
// progress line. Called from the worker thread that runs the form; Tick() is called from the
// main thread to keep the live line's clock moving. Every message shown is kept for the summary.
class CTerminalUi : public CUiServices {
public:
    using Shown = ShownMessage;

    CTerminalUi(std::FILE* out, std::FILE* in, bool liveProgress, TerminalAnswers answers);

    int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    intptr_t SendMainFrameMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    void Quit(int exitCode) override;
    void SetProgressText(const std::string& text) override;
    void ShowRadio(const std::string& text) override;
    void ShowProgress(const ProgressReport& report) override;
    void ShowActivity(const std::string& text) override;
    int AskFlashRate(int initialBaud) override;

    void Tick();
    std::vector<Shown> Messages() const { return m_shown.All(); }
    const CShownMessages& Recorded() const { return m_shown; }
    bool QuitAsked() const;

private:
    // Reads an answer line; false at the end of the input.
    bool ReadLine(std::string& line);
    int AskOkCancel();
    // An OK/Cancel question: answered by an option when one answers it, else asked.
    int AnswerOkCancel(const std::string& text);

    mutable std::mutex m_mutex;
    std::FILE* m_out;
    std::FILE* m_in;
    TerminalAnswers m_answers;
    int m_retriesAnswered = 0;
    CProgressLine m_progress;
    CShownMessages m_shown;
    bool m_quit = false;
};
