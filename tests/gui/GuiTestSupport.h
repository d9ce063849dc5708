#pragma once

#include "tests/support/ScratchDirectory.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <string>

// Acts on modal windows as they come up: every 10 ms it looks at the active modal widget and
// hands it to the next step; a step returns true when it has dealt with that window (then
// the next step waits for the next window). Arrange the steps before the click that opens
// the first window.
class CModalAnswerer {
public:
    using Step = std::function<bool(QWidget*)>;
    void Then(Step step) { m_steps.push_back(std::move(step)); }
    void Start();
    bool Done() const { return m_next >= m_steps.size(); }
    std::size_t StepsTaken() const { return m_next; }

private:
    void Poll();

    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    QTimer m_timer;
    QPointer<QWidget> m_lastHandled;  // a new window may come up where the last one was
};

// A scratch folder (tests/support/ScratchDirectory) that is the current directory for the
// test's life; the previous one is put back before the folder goes.
class CScratchCurrentDirectory {
public:
    explicit CScratchCurrentDirectory(const std::string& name);
    ~CScratchCurrentDirectory();
    CScratchCurrentDirectory(const CScratchCurrentDirectory&) = delete;
    CScratchCurrentDirectory& operator=(const CScratchCurrentDirectory&) = delete;
    const std::filesystem::path& Path() const { return m_scratch.Path(); }

private:
    std::filesystem::path m_previous;
    CScratchDirectory m_scratch;
};

// Writes an enciphered "patcher.dat" naming `productLine` into `directory`.
void WriteConfigFile(const std::filesystem::path& directory, const std::string& productLine,
                     const std::string& title = "Test kit", const std::string& description = "A kit for the tests");

// The text of a modal message box (empty when `widget` is not one).
QString MessageBoxText(QWidget* widget);
// Presses the button of a message box or dialog whose text is `label` ("OK", "Cancel").
bool PressButton(QWidget* widget, const QString& label);
