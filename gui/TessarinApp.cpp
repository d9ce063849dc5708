#include "gui/TessarinApp.h"

#include "errors/ErrorLog.h"
#include "files/ProductLine.h"
#include "gui/GuiUi.h"
#include "gui/MainFrame.h"
#include "gui/TessarinDoc.h"
#include "gui/UpgradeForm.h"
#include "errors/Log.h"
#include "link/LinkFlags.h"
#include "platform/StopRequest.h"
#include "platform/UiServices.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

CTessarinApp::CTessarinApp() : m_productLine(kUnmatchedProductLine) {}

CTessarinApp::~CTessarinApp()
{
    ExitInstance();
    m_stopWatch.reset();
    m_frame.reset();
    InstallUi(nullptr);
    m_stopSignals.reset();
}

bool CTessarinApp::InitInstance()
{
    // Caught for the whole run: a signal never ends the window with the port held.
    m_stopSignals = std::make_unique<CStopSignals>();
    ErrorLog().EnableFileLog(0);
    ResolveProductLine(m_productLine);
    SetProductLineNumber(m_productLine);

    auto ui = std::make_unique<CGuiUi>();
    m_ui = ui.get();
    InstallUi(std::move(ui));
    Ui().TestAndResetCancelEvent();  // the cancel event starts unsignalled

    m_doc = std::make_unique<CTessarinDoc>();
    m_frame = std::make_unique<CMainFrame>(*m_doc, m_productLine);
    m_ui->SetMainFrame(m_frame.get());
    m_frame->show();

    const ProductLineRow& row = ProductLineTable[m_productLine];
    m_title = ProductLineTitleText(row.titleString);
    m_frame->setWindowTitle(m_title);
    m_frame->ShowPort(m_doc->PortNumber());
    // The per-run log goes to the start directory (the kit folder), by an
    // absolute path: it stays there whatever folder the workflow enters.
    CwFileLog::SetDirectory(m_doc->StartDirectory());
    if (!m_doc->SettingsProblem().empty()) {
        // Said once the window is up; no port is opened until one is chosen.
        QTimer::singleShot(0, m_frame.get(), [this] {
            ShowMessageBox(m_frame.get(),
                           "The communication settings are not known: " + m_doc->SettingsProblem() +
                               ".\n\nNo port is opened until one is chosen in Config > Comm Setting.",
                           "Settings", MB_OK | MB_ICONEXCLAMATION);
        });
    }
    WatchForStop();
    return true;
}

void CTessarinApp::WatchForStop()
{
    m_stopWatch = std::make_unique<QTimer>();
    m_stopWatch->setInterval(100);
    QObject::connect(m_stopWatch.get(), &QTimer::timeout, [this] {
        if (StopRequested())
            OnStopRequested();
    });
    m_stopWatch->start();
}

void CTessarinApp::OnStopRequested()
{
    if (!m_stopping) {
        m_stopping = true;
        std::fprintf(stderr, "tessarin-gui: stopped on %s%s\n", StopSignalName(),
                     m_frame && m_frame->Form() && m_frame->Form()->IsRunning()
                         ? "; the upgrade stops at its next safe point"
                         : "");
        // Questions still to come are answered Cancel; those open now are closed the same way.
        if (m_ui)
            m_ui->SetClosing();
    }
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (!modal->close())
            break;
    }
    // Called again by the timer until the upgrade has stopped and given the port back.
    if (m_frame && m_frame->Form() && m_frame->Form()->IsRunning())
        return;
    if (m_stopWatch)
        m_stopWatch->stop();
    std::fprintf(stderr, "tessarin-gui: the port is closed with its line settings restored and its hold released\n");
    QCoreApplication::exit(StopExitStatus(1));
}

void CTessarinApp::ExitInstance()
{
    if (m_stopWatch)
        m_stopWatch->stop();
    if (m_ui)
        m_ui->SetClosing();
    if (m_frame && m_frame->Form())
        m_frame->Form()->WaitUntilIdle();
}
