#include "gui/FormWorkflow.h"

#include "app/CommSettings.h"
#include "app/PressJournal.h"
#include "app/UpgradeForm.h"
#include "gui/GuiUi.h"
#include "gui/MainFrame.h"  // GuiUi.h points at the main frame
#include "gui/TessarinDoc.h"
#include "platform/UiServices.h"

#include <cstdio>

namespace {

// The messages the window's UI services showed; none recorded under other UI services.
const CShownMessages& ShownByTheWindow()
{
    static const CShownMessages none;
    const auto* ui = dynamic_cast<const CGuiUi*>(&Ui());
    return ui ? ui->Recorded() : none;
}

} // namespace

// The window's face on the toolkit-free upgrade form: the form decides everything, the window
// only shows what it says through the UI services.
struct CFormWorkflow::Impl {
    explicit Impl(CTessarinDoc& d) : doc(d) {}

    // The document's port and echo, read again at every press so a change in the settings
    // dialogs takes effect at the next one.
    void TakeSettings()
    {
        settings.portNumber = doc.PortNumber();
        settings.echoType = doc.EchoType();
    }

    CTessarinDoc& doc;
    CCommSettings settings;
    std::unique_ptr<CUpgradeForm> form;
};

CFormWorkflow::CFormWorkflow(CTessarinDoc& doc) : m_impl(std::make_unique<Impl>(doc)) {}

CFormWorkflow::~CFormWorkflow() = default;

void CFormWorkflow::OnInitialUpdate()
{
    // A fresh form each time the window (re)initialises it: the previous one gives the kit's
    // configuration file back first.
    m_impl->form.reset();
    m_impl->TakeSettings();
    m_impl->form = std::make_unique<CUpgradeForm>(m_impl->doc.StartDirectory(), m_impl->settings);
    m_impl->form->OnInitialUpdate();
}

void CFormWorkflow::OnProgram()
{
    if (!m_impl->form)
        return;
    m_impl->TakeSettings();
    // No port chosen by a default in the saved value's place is ever opened.
    if (!CCommSettings::IsValidPort(m_impl->settings.portNumber)) {
        std::string problem = m_impl->doc.SettingsProblem();
        Ui().MessageBox("No communication port is chosen, so nothing was sent to the radio.\n\n" +
                            (problem.empty() ? std::string() : problem + ".\n\n") +
                            "Choose the port in Config > Comm Setting, then press Program again.",
                        "Communication port", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CPressWatch watch(ShownByTheWindow(), "window");
    ProgramOutcome outcome = m_impl->form->OnProgram();
    Ui().ShowPressEnd(PressEndText(outcome));
    std::string problem = JournalPress(*m_impl->form, outcome, watch.Facts(outcome, m_impl->settings.portNumber));
    if (!problem.empty())
        std::fprintf(stderr, "tessarin-gui: %s\n", problem.c_str());
}

std::string CFormWorkflow::TitleText() const { return m_impl->form ? m_impl->form->Title() : std::string(); }

std::string CFormWorkflow::DescriptionText() const
{
    return m_impl->form ? m_impl->form->Description() : std::string();
}
