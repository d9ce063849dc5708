#pragma once

#include "platform/UiServices.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <memory>

class CProgressWnd;
class CTessarinDoc;
class CUpgradeFormWindow;
class QAction;
class QLabel;
class QTimer;
class QToolBar;

// Status bar pane 0's notices while the engine works: each kind saves the pane's text once
// and shows its own; the closing kinds put the saved text back.
class CStatusNotice {
public:
    explicit CStatusNotice(QLabel* pane) : m_pane(pane) {}
    void Notice(int kind);
    // The press has ended: no notice is pending any more, whatever the last one was.
    void EndAll() { Restore(); }
    const QString& SavedText() const { return m_saved; }
    // The pane's own text: shown now, or put back when the notice up ends.
    void SetText(const QString& text);

private:
    void Show(const char* text);
    bool Restore();

    QLabel* m_pane;
    QString m_saved;
};

// The main window: menus, toolbar, status bar (message pane and port pane), the start view
// and then the upgrade form, and the services the workflow reaches through the main frame's
// messages (progress window, status notices).
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(CTessarinDoc& doc, int productLine);
    ~CMainFrame() override;

    // The messages the workflow and the engine send (see UiServices.h); GUI thread only.
    intptr_t OnFrameMessage(unsigned message, uintptr_t wParam, intptr_t lParam);
    void SetProgressText(const QString& text);
    // Status pane 1: "COM%d", or "COM?" when the saved port is not known.
    void ShowPort(int number);
    // The radio on the line, in the message pane while no notice is up.
    void ShowRadio(const QString& text);
    // The engine's stage and time left, in the stage pane (emptied when the run's reports end);
    // the time left runs down there between two reports.
    void ShowProgress(const ProgressReport& report);
    // What the workflow does, in the message pane while no notice is up.
    void ShowActivity(const QString& text);

    // Disables the menus, the toolbar and the view while some work holds it (the progress
    // window, an upgrade running); counted, so each hold is released on its own.
    void HoldDisabled(bool hold);
    // A press has ended: its status notices end with it (a "Verifying Checksum" shown after a
    // failed start does not stay behind).
    void EndStatusNotices();
    bool IsHeldDisabled() const { return m_holds > 0; }

    void SwitchView();
    CUpgradeFormWindow* Form() const { return m_form; }
    CProgressWnd& Progress() { return *m_progress; }
    QLabel* MessagePane() const { return m_messagePane; }
    QLabel* PortPane() const { return m_portPane; }
    QLabel* StagePane() const { return m_stagePane; }
    QAction* Action(const QString& name) const;
    int ProductLine() const { return m_productLine; }

    void OnAbout();
    void OnCommSetting();
    void OnOrxSetting();
    void OnNew();
    void OnOpen();
    // Writes the document's changed settings; says so when they cannot be written.
    void SaveSettings();

    static constexpr const char* kProductName = "Tessarin";
    static constexpr const char* kIdleMessage = "Ready";

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenusAndToolbar();
    void CreateStatusBar();
    void ApplyHolds();
    void OnProgressOpen(uintptr_t upper, intptr_t percentMode);
    void OnProgressStep();
    void OnProgressClose();
    void ShowStage();

    CTessarinDoc& m_doc;
    int m_productLine;
    QToolBar* m_toolbar = nullptr;
    QLabel* m_messagePane = nullptr;
    QLabel* m_portPane = nullptr;
    QLabel* m_stagePane = nullptr;
    QTimer* m_stageTimer = nullptr;
    ProgressReport m_report;
    QElapsedTimer m_reportAge;
    std::unique_ptr<CStatusNotice> m_notice;
    CProgressWnd* m_progress = nullptr;
    CUpgradeFormWindow* m_form = nullptr;
    int m_holds = 0;
};
