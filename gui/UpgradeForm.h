#pragma once

#include "gui/UpgradeFormView.h"

#include <memory>

class CFormWorkflow;
class CMainFrame;
class CTessarinDoc;
class QThread;

// The upgrade form in the main window: the view, and the workflow behind it. A Program press
// runs the workflow on a worker thread while the main window is held disabled; the workflow's
// prompts come back to this thread through the UI services.
class CUpgradeFormWindow : public CUpgradeFormView {
    Q_OBJECT
public:
    CUpgradeFormWindow(CTessarinDoc& doc, CMainFrame& frame);
    ~CUpgradeFormWindow() override;

    // The form's start: reads the kit and shows its title and description (GUI thread).
    void OnInitialUpdate();
    // Starts the upgrade on the worker; does nothing while one runs.
    void OnProgram();
    bool IsRunning() const { return m_worker != nullptr; }
    // Waits for a running upgrade to end, letting the GUI thread answer it meanwhile.
    void WaitUntilIdle();

signals:
    void programFinished();

private:
    void OnWorkerFinished();

    CTessarinDoc& m_doc;
    CMainFrame& m_frame;
    std::unique_ptr<CFormWorkflow> m_workflow;
    QThread* m_worker = nullptr;
};
