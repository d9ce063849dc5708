#pragma once

#include <QString>

#include <memory>

class CGuiUi;
class CMainFrame;
class CTessarinDoc;

// The application: the error log's file output off, the product line from the kit's
// configuration file, the UI services, the document and the main frame with its title and
// port pane.
class CTessarinApp {
public:
    CTessarinApp();
    ~CTessarinApp();

    // Builds and shows the main window; false when it cannot.
    bool InitInstance();
    // Lets a running upgrade end before the windows go (after the event loop has ended).
    void ExitInstance();

    int ProductLine() const { return m_productLine; }
    const QString& Title() const { return m_title; }
    CMainFrame* MainFrame() const { return m_frame.get(); }
    CTessarinDoc& Document() { return *m_doc; }

private:
    QString m_title;
    int m_productLine;
    CGuiUi* m_ui = nullptr;
    std::unique_ptr<CTessarinDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
};
