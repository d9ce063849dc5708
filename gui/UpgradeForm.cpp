#include "gui/UpgradeForm.h"

#include "errors/Error.h"
#include "gui/FormWorkflow.h"
#include "gui/MainFrame.h"
#include "gui/SXButton.h"
#include "platform/UiServices.h"

#include <QCoreApplication>
#include <QThread>

#include <exception>

CUpgradeFormWindow::CUpgradeFormWindow(CTessarinDoc& doc, CMainFrame& frame)
    : m_doc(doc), m_frame(frame), m_workflow(std::make_unique<CFormWorkflow>(doc))
{
    connect(this, &CUpgradeFormView::programPressed, this, &CUpgradeFormWindow::OnProgram);
}

CUpgradeFormWindow::~CUpgradeFormWindow() { WaitUntilIdle(); }

void CUpgradeFormWindow::OnInitialUpdate()
{
    m_workflow->OnInitialUpdate();
    SetTitleText(QString::fromStdString(m_workflow->TitleText()));
    SetDescriptionText(QString::fromStdString(m_workflow->DescriptionText()));
}

void CUpgradeFormWindow::OnProgram()
{
    if (m_worker)
        return;
    m_frame.HoldDisabled(true);
    m_worker = QThread::create([this] {
        // The workflow shows every outcome itself; an error that still escapes it is shown
        // rather than lost.
        try {
            m_workflow->OnProgram();
        } catch (const CError& error) {
            Ui().MessageBox(error.GetText(), "Error", MB_OK | MB_ICONSTOP);
        } catch (const std::exception& error) {
            Ui().MessageBox(error.what(), "Error", MB_OK | MB_ICONSTOP);
        }
    });
    m_worker->setObjectName("UpgradeWorker");
    connect(m_worker, &QThread::finished, this, &CUpgradeFormWindow::OnWorkerFinished, Qt::QueuedConnection);
    m_worker->start();
}

void CUpgradeFormWindow::OnWorkerFinished()
{
    if (!m_worker)
        return;
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    m_frame.EndStatusNotices();
    m_frame.HoldDisabled(false);
    ProgramButton()->setFocus();
    emit programFinished();
}

void CUpgradeFormWindow::WaitUntilIdle()
{
    while (m_worker && !m_worker->wait(10))
        QCoreApplication::processEvents();
    OnWorkerFinished();
}
