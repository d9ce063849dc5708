#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

// Message box styles and results (the classic values, so callers read as the messages say).
enum : unsigned {
    MB_OK = 0x0000,
    MB_OKCANCEL = 0x0001,
    MB_ICONHAND = 0x0010,  // stop icon
    MB_ICONSTOP = MB_ICONHAND,
    MB_ICONEXCLAMATION = 0x0030,
    MB_ICONINFORMATION = 0x0040,
};
enum : int { IDOK = 1, IDCANCEL = 2 };

// Messages sent synchronously to the main frame.
enum : unsigned {
    WM_SWITCH_VIEW = 0x8000,
    WM_PROGRESS_OPEN = 0x8001,
    WM_PROGRESS_STEP = 0x8002,
    WM_PROGRESS_CLOSE = 0x8003,
    WM_STATUS_NOTICE = 0x8005,
};

// Where an engine run stands, as its one estimate says: the stage that runs (its number among
// the run's stages, from 1, and its name) and the time left in seconds (below 0: not known).
// A report with no stages (stageCount 0) says the run's reports are over.
struct ProgressReport {
    int stageNumber = 0;
    int stageCount = 0;
    std::string stageName;
    double secondsLeft = -1;
    bool Finished() const { return stageCount == 0; }
};

// What the workflow asks of the window system: message boxes, messages to the main frame,
// the cancel event and quitting. The GUI, the command line and tests each implement it.
class CUiServices {
public:
    virtual ~CUiServices() = default;
    // Shows a modal message box; returns IDOK or IDCANCEL.
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned style) = 0;
    // Sends a message to the main frame and returns its result.
    virtual intptr_t SendMainFrameMessage(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual void Quit(int exitCode) = 0;
    // The text the main frame's progress window shows (set before or while it is open).
    virtual void SetProgressText(const std::string& text) { (void)text; }
    // The radio on the line, once verification has read it, in one line (the command line prints
    // it, the window keeps it in its status bar).
    virtual void ShowRadio(const std::string& text) { (void)text; }
    // The stage an engine run has reached and the time left: on the terminal's progress line,
    // in the window's status bar. Sent when a stage begins and now and then while it runs.
    virtual void ShowProgress(const ProgressReport& report) { (void)report; }
    // What the workflow does while no window or stage says it (a press it makes of its own, a
    // wait): the terminal prints it, the window shows it in its status bar.
    virtual void ShowActivity(const std::string& text) { (void)text; }
    // How the last press ended, when it did not update the radio (the window keeps it in its
    // status bar; the command line prints it itself).
    virtual void ShowPressEnd(const std::string& text) { (void)text; }
    // The kit's title and description, as soon as they are read and before any start-up
    // warning is shown over them (the window fills its form's fields).
    virtual void ShowFormTexts(const std::string& title, const std::string& description)
    {
        (void)title;
        (void)description;
    }

    // The flash rate question, asked before the first firmware flashing of a run: the
    // technician picks the rate the boot code talks at. `initialBaud` is the choice shown first
    // (38400 and 115200 show themselves, anything else shows 19200). Returns 19200, 38400 or
    // 115200, or kFlashRateNotChosen when the question was closed without a choice (nothing is
    // then changed and no boot code is read).
    static constexpr int kFlashRateNotChosen = 0;
    virtual int AskFlashRate(int initialBaud)
    {
        (void)initialBaud;
        return kFlashRateNotChosen;
    }

    // The cancel event: resets itself when tested. Safe to signal from another thread than
    // the one that tests it (the window signals it while a worker runs the upgrade).
    void SetCancelEvent() { m_cancel.store(true); }
    bool TestAndResetCancelEvent() { return m_cancel.exchange(false); }

private:
    std::atomic<bool> m_cancel{false};
};

// A front end without a window: message boxes go to standard error and are answered OK for
// a box with only OK and Cancel for a question, so that nothing proceeds unasked.
class CHeadlessUi : public CUiServices {
public:
    int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    intptr_t SendMainFrameMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    void Quit(int exitCode) override;
};

// The one UI-services object; a headless one until a front end or a test installs its own.
CUiServices& Ui();
std::unique_ptr<CUiServices> InstallUi(std::unique_ptr<CUiServices> ui);
