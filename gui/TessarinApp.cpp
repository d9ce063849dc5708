#include "gui/TessarinApp.h"

#include "errors/ErrorLog.h"
#include "files/ProductLine.h"
#include "gui/GuiUi.h"
#include "gui/MainFrame.h"
#include "gui/TessarinDoc.h"
#include "gui/UpgradeForm.h"
#include "link/LinkFlags.h"

CTessarinApp::CTessarinApp() : m_productLine(kUnmatchedProductLine) {}

CTessarinApp::~CTessarinApp()
{
    ExitInstance();
    m_frame.reset();
    InstallUi(nullptr);
}

bool CTessarinApp::InitInstance()
{
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
    return true;
}

void CTessarinApp::ExitInstance()
{
    if (m_ui)
        m_ui->SetClosing();
    if (m_frame && m_frame->Form())
        m_frame->Form()->WaitUntilIdle();
}
