#pragma once

#include "platform/LendingPlatform.h"
#include "platform/UiServices.h"
#include "sim/SimSerial.h"
#include "sim/VirtualClock.h"

#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Holds the clock so that it exists before the platform's timers are made.
class CSimClockOwner {
protected:
    CVirtualClock m_clock;
};

// A platform on the virtual clock whose serial port is wired to a simulated far end. Log
// sink 1 is a memory log (tests read it); sink 0, the file log, only when asked for.
class CSimPlatform : private CSimClockOwner, public CLendingPlatform<CSimSerial, CSimTimer> {
public:
    CSimPlatform();
    CLog* CreateLog(int sink) override;
    void Sleep(unsigned milliseconds) override;
    std::time_t CalendarTime() override;
    double MonotonicTime() override { return m_clock.Now(); }

    CVirtualClock& Clock() { return m_clock; }
    void AttachPeer(CSimPeer* peer) { Serial().Attach(&m_clock, peer); }
    void SetCalendarStart(std::time_t start) { m_calendarStart = start; }
    void SetFileLog(bool on) { m_fileLog = on; }

private:
    std::time_t m_calendarStart = 1'700'000'000;
    bool m_fileLog = false;
};

// Message boxes answered from a script (OK when the script is empty) and recorded, with the
// main-frame messages and progress texts, for tests to inspect.
class CScriptedUi : public CUiServices {
public:
    struct Box {
        std::string text;
        std::string caption;
        unsigned style;
    };
    struct FrameMessage {
        unsigned message;
        uintptr_t wParam;
        intptr_t lParam;
    };

    int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    intptr_t SendMainFrameMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    void Quit(int exitCode) override { quitCode = exitCode; }
    void SetProgressText(const std::string& text) override { progressTexts.push_back(text); }
    void ShowFormTexts(const std::string& title, const std::string& description) override
    {
        formTexts.push_back({title, description, boxes.size()});
    }
    // Each report with the platform's time it came at.
    void ShowProgress(const ProgressReport& report) override;
    void ShowActivity(const std::string& text) override { activities.push_back(text); }
    // Answered from flashRates (the initial choice when it is empty); each question is counted.
    int AskFlashRate(int initialBaud) override;

    std::deque<int> answers;
    std::deque<int> flashRates;
    int flashRateQuestions = 0;
    std::vector<std::string> progressTexts;
    struct TimedReport {
        ProgressReport report;
        double at;
    };
    std::vector<TimedReport> progressReports;
    std::vector<std::string> activities;
    std::vector<Box> boxes;
    std::vector<FrameMessage> frameMessages;
    // The kit texts shown, with how many boxes had been shown before them.
    struct FormTexts {
        std::string title;
        std::string description;
        std::size_t boxesBefore;
    };
    std::vector<FormTexts> formTexts;
    // Called after each main-frame message is recorded (a test acting at a point of the run).
    std::function<void(const FrameMessage&)> onFrameMessage;
    int quitCode = -1000;
};

// Installs a simulated platform and a scripted UI for as long as it lives, with a fresh error
// log whose memory sink is on; puts back what was there before.
class CSimPlatformScope {
public:
    CSimPlatformScope();
    ~CSimPlatformScope();
    CSimPlatformScope(const CSimPlatformScope&) = delete;
    CSimPlatformScope& operator=(const CSimPlatformScope&) = delete;

    CSimPlatform& Platform() { return *m_platform; }
    CScriptedUi& Ui() { return *m_ui; }
    CVirtualClock& Clock() { return m_platform->Clock(); }
    // The lines logged since the scope began (without the sink's "Start Logging").
    std::vector<std::string> LogLines() const;

private:
    CSimPlatform* m_platform;
    CScriptedUi* m_ui;
    std::unique_ptr<CPlatform> m_previousPlatform;
    std::unique_ptr<CUiServices> m_previousUi;
};
