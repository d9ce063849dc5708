#pragma once

#include "app/ShownMessages.h"
#include "platform/UiServices.h"

#include <QPointer>

#include <atomic>
#include <functional>

class CMainFrame;
class QWidget;

// The UI services of the windowed program. The workflow may call them from the worker that
// runs an upgrade: each call is then carried to the GUI thread, and the worker waits for the
// answer (the message box's button, the chosen flash rate). Calls made on the GUI thread run
// at once.
class CGuiUi : public CUiServices {
public:
    void SetMainFrame(CMainFrame* frame) { m_frame = frame; }
    // After the event loop has ended nothing can be shown: questions are answered Cancel.
    void SetClosing() { m_closing = true; }

    int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    intptr_t SendMainFrameMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    void Quit(int exitCode) override;
    void SetProgressText(const std::string& text) override;
    void ShowRadio(const std::string& text) override;
    void ShowPressEnd(const std::string& text) override;
    void ShowFormTexts(const std::string& title, const std::string& description) override;
    void ShowProgress(const ProgressReport& report) override;
    void ShowActivity(const std::string& text) override;
    // The flash rate dialog; 0 when it was closed without a choice.
    int AskFlashRate(int initialBaud);

    // Every message box and flash rate question shown, with its answer (the journal of presses
    // takes each press's from here).
    const CShownMessages& Recorded() const { return m_shown; }

    // Runs `call` on the GUI thread and waits for it.
    void OnGuiThread(const std::function<void()>& call);

private:
    // Runs `call` on the main frame on the GUI thread; nothing once the loop is closing.
    void OnFrame(const std::function<void(CMainFrame&)>& call);

    QPointer<CMainFrame> m_frame;
    std::atomic<bool> m_closing{false};
    CShownMessages m_shown;
};

// The message box itself (GUI thread): caption, text, icon and buttons as `style` says.
int ShowMessageBox(QWidget* parent, const std::string& text, const std::string& caption, unsigned style);
