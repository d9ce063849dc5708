#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

// The popup progress window: a message text, a bar and an optional Cancel button. The object
// lives as long as the main frame; the window is created by CreatePopup and destroyed by
// Destroy or Cancel. While modal it holds the main window disabled (through the hook the
// frame gives). Its position is kept in the settings ("Settings", "X" and "Y").
class CProgressWnd : public QWidget {
    Q_OBJECT
public:
    // `mainWindow` owns the popup and is centred on; `holdMainDisabled(true/false)` disables
    // and enables it again; `onCancel` runs once when the user presses Cancel.
    CProgressWnd(QWidget* mainWindow, std::function<void(bool)> holdMainDisabled, std::function<void()> onCancel);
    ~CProgressWnd() override;

    bool CreatePopup(const QString& title, bool smooth, bool showCancel);
    bool BeginModal(const QString& title, bool smooth);
    void ArrangeControls(int lines, int width);
    void SetBarRange(int lower, int upper, int step);
    void SetBarPosition(int position);
    void StepBar();
    void SetMessage(const QString& text);
    void ShowMessage();
    void ResetPopup();
    void HidePopup();
    void ShowPopup();
    // Saves the placement, ends modal mode and takes the window down.
    void Destroy();
    // What the Cancel button does.
    void Cancel();
    // Shows the Cancel button on a window created without it (a stage that can be cancelled
    // begins within a run that could not).
    void ShowCancel();

    bool IsCreated() const { return m_windowCreated; }
    bool IsCancelled() const { return m_cancelled; }
    bool IsModal() const { return m_modal; }
    int Position() const { return m_position; }
    const QString& CurrentMessage() const { return m_message; }
    QPushButton* CancelButton() const { return m_cancelButton; }
    QProgressBar* Bar() const { return m_bar; }
    QLabel* TextControl() const { return m_text; }

    static constexpr const char* kCaptionTitle = "Progress";
    static constexpr const char* kCancelLabel = " Cancel ";

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void PlaceWindow();
    void SavePlacement();

    QWidget* m_mainWindow;
    std::function<void(bool)> m_holdMainDisabled;
    std::function<void()> m_onCancel;
    QLabel* m_text;
    QProgressBar* m_bar;
    QPushButton* m_cancelButton;

    bool m_cancelled = false;
    bool m_modal = false;
    bool m_rememberPlacement = true;
    int m_position = 0;
    int m_lastPercent = 0;
    int m_step = 1;
    int m_upper = 100;
    int m_lower = 0;
    int m_textLines = 4;
    int m_arrangedLines = 4;  // the last layout's text lines and text width
    int m_arrangedWidth = 390;
    bool m_showCancel = true;
    QString m_message;
    bool m_windowCreated = false;
};
