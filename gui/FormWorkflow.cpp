#include "gui/FormWorkflow.h"

#include "files/FileManager.h"
#include "gui/TessarinDoc.h"
#include "platform/UiServices.h"

#include <filesystem>

// Until the workflow's form is in: the start reads the kit's texts, Program says it cannot
// run.
struct CFormWorkflow::Impl {
    CTessarinDoc& doc;
    std::string title;
    std::string description;
};

CFormWorkflow::CFormWorkflow(CTessarinDoc& doc) : m_impl(std::make_unique<Impl>(Impl{doc, {}, {}})) {}

CFormWorkflow::~CFormWorkflow() = default;

void CFormWorkflow::OnInitialUpdate()
{
    std::error_code error;
    const auto previous = std::filesystem::current_path(error);
    std::filesystem::current_path(m_impl->doc.StartDirectory(), error);
    FileManager file;
    if (!file.Open()) {
        Ui().MessageBox("Unable to open configuration file", "Professional Tessarin", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (!file.Load()) {
        Ui().MessageBox("Unable to read configuration file", "Professional Tessarin", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    file.FindBlock("PATCH-D01.01.07");
    file.GetLine(1, m_impl->title);
    file.GetLine(2, m_impl->description);
    std::filesystem::current_path(previous, error);
}

void CFormWorkflow::OnProgram()
{
    Ui().MessageBox("The upgrade workflow is not part of this build.", "Error", MB_OK | MB_ICONSTOP);
}

std::string CFormWorkflow::TitleText() const { return m_impl->title; }

std::string CFormWorkflow::DescriptionText() const { return m_impl->description; }
