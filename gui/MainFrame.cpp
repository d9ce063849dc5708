#include "gui/MainFrame.h"

#include "app/ProgressText.h"
#include "files/ProductLine.h"
#include "gui/Artwork.h"
#include "gui/Dialogs.h"
#include "gui/GuiUi.h"
#include "gui/ProgressWnd.h"
#include "gui/StartView.h"
#include "gui/TessarinDoc.h"
#include "gui/UpgradeForm.h"
#include "platform/SettingsStore.h"
#include "platform/UiServices.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

void CStatusNotice::Notice(int kind)
{
    switch (kind) {
    case 1:
        Show("Please Wait: Downloading bootcode ...");
        break;
    case 2:
        Show("Please Wait: Flashing firmware ...");
        break;
    case 3:
        if (!Restore())
            Show("Please Wait: Verifying Checksum ...");
        break;
    default:
        Restore();
        break;
    }
    m_pane->repaint();
}

void CStatusNotice::Show(const char* text)
{
    if (m_saved.isEmpty())
        m_saved = m_pane->text();
    m_pane->setText(text);
}

void CStatusNotice::SetText(const QString& text)
{
    if (m_saved.isEmpty())
        m_pane->setText(text);
    else
        m_saved = text;
}

bool CStatusNotice::Restore()
{
    if (m_saved.isEmpty())
        return false;
    m_pane->setText(m_saved);
    m_saved.clear();
    return true;
}

CMainFrame::CMainFrame(CTessarinDoc& doc, int productLine) : m_doc(doc), m_productLine(productLine)
{
    setObjectName("MainFrame");
    setWindowTitle(kProductName);
    setWindowIcon(Artwork::ApplicationIcon());
    resize(560, 450);
    CreateMenusAndToolbar();
    CreateStatusBar();
    m_progress = new CProgressWnd(
        this, [this](bool hold) { HoldDisabled(hold); }, [] { Ui().SetCancelEvent(); });

    auto* view = new CTessarinView(productLine, [this] { OnFrameMessage(WM_SWITCH_VIEW, 4, 0); });
    setCentralWidget(view);
    view->OnInitialUpdate();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::CreateMenusAndToolbar()
{
    // Each command: its menu text and its prompt (status bar text, then tool tip).
    auto command = [this](const QString& name, const QString& text, const QString& statusTip, const QString& toolTip) {
        auto* action = new QAction(text, this);
        action->setObjectName(name);
        action->setStatusTip(statusTip);
        action->setToolTip(toolTip);
        return action;
    };
    QAction* comm = command("CommSetting", "Comm Setting", "Select Communication port", "Comm Setting");
    QAction* orx = command("OrxSetting", "ORX Setting", "Determine whether the ORX echos transmission", "Echo Setting");
    QAction* exit = command("Exit", "E&xit", "Quit the application; prompts to save documents", "Exit");
    QAction* about = command("About", "&About", "Display program information, version number and copyright", "About");
    QAction* optionList = command("OptionList", "&Option List", "Show the list of options", "Option List");
    comm->setIcon(QIcon(Artwork::ToolbarPicture(Artwork::ToolbarImage::CommSetting)));
    orx->setIcon(QIcon(Artwork::ToolbarPicture(Artwork::ToolbarImage::OrxSetting)));
    about->setIcon(QIcon(Artwork::ToolbarPicture(Artwork::ToolbarImage::About)));
    // No command handles the option list: it stays disabled.
    optionList->setEnabled(false);
    connect(comm, &QAction::triggered, this, &CMainFrame::OnCommSetting);
    connect(orx, &QAction::triggered, this, &CMainFrame::OnOrxSetting);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(about, &QAction::triggered, this, &CMainFrame::OnAbout);

    m_toolbar = new QToolBar("Toolbar", this);
    m_toolbar->setObjectName("Toolbar");
    m_toolbar->setIconSize(QSize(16, 15));
    m_toolbar->addAction(comm);
    m_toolbar->addAction(orx);
    m_toolbar->addSeparator();
    m_toolbar->addAction(about);
    addToolBar(Qt::TopToolBarArea, m_toolbar);

    QAction* showToolbar = m_toolbar->toggleViewAction();
    showToolbar->setObjectName("ShowToolbar");
    showToolbar->setText("&Toolbar");
    showToolbar->setStatusTip("Show or hide the toolbar");
    QAction* showStatusBar = command("ShowStatusBar", "&Status Bar", "Show or hide the status bar", "Toggle StatusBar");
    showStatusBar->setCheckable(true);
    showStatusBar->setChecked(true);
    connect(showStatusBar, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });

    QMenu* config = menuBar()->addMenu("&Config");
    config->addAction(comm);
    config->addAction(orx);
    config->addSeparator();
    config->addAction(exit);
    QMenu* view = menuBar()->addMenu("&View");
    view->addAction(showToolbar);
    view->addAction(showStatusBar);
    view->addAction(optionList);
    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction(about);

    // New and Open start the form afresh; the other editing keys of the classic frame have no
    // command here and do nothing.
    QAction* newDocument = command("New", "&New", "", "");
    newDocument->setShortcut(QKeySequence("Ctrl+N"));
    connect(newDocument, &QAction::triggered, this, &CMainFrame::OnNew);
    QAction* open = command("Open", "&Open...", "", "");
    open->setShortcut(QKeySequence("Ctrl+O"));
    connect(open, &QAction::triggered, this, &CMainFrame::OnOpen);
    addAction(newDocument);
    addAction(open);
}

void CMainFrame::CreateStatusBar()
{
    m_messagePane = new QLabel(kIdleMessage);
    m_messagePane->setObjectName("MessagePane");
    m_portPane = new QLabel;
    m_portPane->setObjectName("PortPane");
    m_portPane->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_portPane->setAlignment(Qt::AlignCenter);
    m_portPane->setMinimumWidth(QFontMetrics(m_portPane->font()).horizontalAdvance("COM  ") + 16);
    m_stagePane = new QLabel;
    m_stagePane->setObjectName("StagePane");
    m_stagePane->hide();
    statusBar()->addWidget(m_messagePane, 1);
    statusBar()->addPermanentWidget(m_stagePane);
    statusBar()->addPermanentWidget(m_portPane);
    m_stageTimer = new QTimer(this);
    m_stageTimer->setInterval(1000);
    connect(m_stageTimer, &QTimer::timeout, this, [this] { ShowStage(); });
    m_notice = std::make_unique<CStatusNotice>(m_messagePane);
}

QAction* CMainFrame::Action(const QString& name) const { return findChild<QAction*>(name); }

void CMainFrame::ShowPort(int number)
{
    // An unknown port (the settings file cannot be read) is shown as such, never as a number.
    m_portPane->setText(number > 0 ? QString::asprintf("COM%d", number) : QString("COM?"));
}

void CMainFrame::SaveSettings()
{
    if (!m_doc.SaveSettings())
        ShowMessageBox(this, "The setting is used until the program ends, but it could not be saved:\n\n" +
                                 Settings().LastError(),
                       "Settings", MB_OK | MB_ICONEXCLAMATION);
}

void CMainFrame::ShowRadio(const QString& text) { ShowActivity("Radio: " + text); }

void CMainFrame::ShowActivity(const QString& text) { m_notice->SetText(text); }

void CMainFrame::ShowProgress(const ProgressReport& report)
{
    m_report = report;
    m_reportAge.start();
    if (report.Finished()) {
        m_stageTimer->stop();
        m_stagePane->clear();
        m_stagePane->hide();
        return;
    }
    ShowStage();
    m_stagePane->show();
    if (!m_stageTimer->isActive())
        m_stageTimer->start();
}

void CMainFrame::ShowStage()
{
    const double since = m_reportAge.isValid() ? m_reportAge.elapsed() / 1000.0 : 0;
    m_stagePane->setText(QString::fromStdString(ProgressReportText(m_report, since)));
    m_stagePane->repaint();
}

intptr_t CMainFrame::OnFrameMessage(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case WM_SWITCH_VIEW:
        SwitchView();
        break;
    case WM_PROGRESS_OPEN:
        OnProgressOpen(wParam, lParam);
        break;
    case WM_PROGRESS_STEP:
        OnProgressStep();
        break;
    case WM_PROGRESS_CLOSE:
        OnProgressClose();
        break;
    case WM_STATUS_NOTICE:
        m_notice->Notice(static_cast<int>(wParam));
        break;
    default:
        break;
    }
    return 0;
}

void CMainFrame::OnProgressOpen(uintptr_t upper, intptr_t percentMode)
{
    if (m_progress->IsCreated()) {
        // The patch entries open their cancellable window inside the run's own: their Cancel
        // is offered there.
        if (percentMode == 1)
            m_progress->ShowCancel();
        return;
    }
    const bool percent = percentMode == 1;
    m_progress->CreatePopup(percent ? "Progress Percentage" : "Please Wait", true, percent);
    m_progress->ArrangeControls(2, 250);
    m_progress->BeginModal(CProgressWnd::kCaptionTitle, false);
    m_progress->SetBarRange(0, static_cast<int>(upper), 1);
    m_progress->ShowMessage();
}

void CMainFrame::OnProgressStep()
{
    // The Cancel button signals the cancel event itself when pressed: the window is gone
    // by the next step.
    if (m_progress->IsCreated())
        m_progress->StepBar();
}

void CMainFrame::OnProgressClose()
{
    if (!m_progress->IsCreated())
        return;
    m_progress->ResetPopup();
    m_progress->HidePopup();
    m_progress->Destroy();
}

void CMainFrame::SetProgressText(const QString& text) { m_progress->SetMessage(text); }

void CMainFrame::EndStatusNotices() { m_notice->EndAll(); }

void CMainFrame::HoldDisabled(bool hold)
{
    m_holds += hold ? 1 : -1;
    if (m_holds < 0)
        m_holds = 0;
    ApplyHolds();
}

void CMainFrame::ApplyHolds()
{
    const bool enabled = m_holds == 0;
    menuBar()->setEnabled(enabled);
    m_toolbar->setEnabled(enabled);
    if (centralWidget())
        centralWidget()->setEnabled(enabled);
    for (QAction* action : actions())
        action->setEnabled(enabled);
}

void CMainFrame::SwitchView()
{
    if (m_form)
        return;
    m_form = new CUpgradeFormWindow(m_doc, *this);
    // The start view asked for this from its own timer: it goes once that has returned.
    QWidget* startView = takeCentralWidget();
    setCentralWidget(m_form);
    if (startView) {
        startView->hide();
        startView->deleteLater();
    }
    ApplyHolds();
    m_form->show();
    m_form->OnInitialUpdate();
}

void CMainFrame::OnAbout()
{
    const int row = m_productLine >= 0 && m_productLine < kProductLineCount ? m_productLine : kUnmatchedProductLine;
    CAboutDlg about(ProductLineTitleText(ProductLineTable[row].secondTitleString), this);
    about.exec();
}

void CMainFrame::OnCommSetting()
{
    CCommDialog dialog(m_doc.PortNumber(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_doc.SetPortNumber(dialog.PortNumber());
    SaveSettings();
    ShowPort(m_doc.PortNumber());
}

void CMainFrame::OnOrxSetting()
{
    COrxDialog dialog(m_doc.EchoType(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_doc.SetEchoType(dialog.EchoType());
    SaveSettings();
}

void CMainFrame::OnNew()
{
    if (IsHeldDisabled())
        return;
    m_doc.LoadSettings();
    ShowPort(m_doc.PortNumber());
    if (m_form)
        m_form->OnInitialUpdate();
}

void CMainFrame::OnOpen()
{
    if (IsHeldDisabled())
        return;
    // Nothing is read from the file: choosing one starts the form afresh, as New does.
    if (!QFileDialog::getOpenFileName(this, "Open", QString(), "All Files (*)").isEmpty())
        OnNew();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // While an upgrade runs the window stays: closing it would leave the radio half written.
    if (IsHeldDisabled() || (m_form && m_form->IsRunning())) {
        event->ignore();
        return;
    }
    event->accept();
}
