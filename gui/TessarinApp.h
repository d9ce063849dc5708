#pragma once

#include <QString>

#include <memory>

class CGuiUi;
class CMainFrame;
class CStopSignals;
class CTessarinDoc;
class QTimer;

// The application: the error log's file output off, the product line from the kit's
// configuration file, the UI services, the document and the main frame with its title and
// port pane.
//
// SIGINT, SIGTERM and SIGHUP stop the window as they stop a command: a running upgrade stops
// at its next safe point (never in the middle of a frame), every question still open is
// answered Cancel, the port is closed with its line settings restored and its hold released,
// and then the event loop ends with 128 plus the signal's number. What the upgrade would have
// said in a message box goes to standard error.
class CTessarinApp {
public:
    CTessarinApp();
    ~CTessarinApp();

    // Builds and shows the main window; false when it cannot.
    bool InitInstance();
    // Lets a running upgrade end before the windows go (after the event loop has ended).
    void ExitInstance();
    // What a stop signal sets off (also for tests): see above. Returns at once; the event loop
    // ends once the upgrade has stopped.
    void OnStopRequested();

    int ProductLine() const { return m_productLine; }
    const QString& Title() const { return m_title; }
    CMainFrame* MainFrame() const { return m_frame.get(); }
    CTessarinDoc& Document() { return *m_doc; }

private:
    void WatchForStop();

    QString m_title;
    std::unique_ptr<CStopSignals> m_stopSignals;
    std::unique_ptr<QTimer> m_stopWatch;
    bool m_stopping = false;
    int m_productLine;
    CGuiUi* m_ui = nullptr;
    std::unique_ptr<CTessarinDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
};
