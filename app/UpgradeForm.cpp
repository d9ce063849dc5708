#include "app/UpgradeForm.h"
#include "errors/Error.h"

#include "app/FormMessages.h"
#include "files/DataFile.h"
#include "files/ProductLine.h"
#include "link/LinkFlags.h"
#include "platform/UiServices.h"
#include "upgrade/RadioUpgrade.h"

CUpgradeForm::CUpgradeForm(std::filesystem::path kitDirectory, const CCommSettings& settings)
    : m_kitDirectory(std::filesystem::absolute(std::move(kitDirectory)).lexically_normal()),
      m_settings(settings),
      m_engineFactory(MakeRadioUpgradeEngine)
{
}

CUpgradeForm::~CUpgradeForm()
{
    if (m_broker.IsLinkOpen())
        m_broker.CloseLink();
}

bool CUpgradeForm::OnInitialUpdate()
{
    m_configLoaded = false;
    std::string path = (m_kitDirectory / kConfigFileName).string();
    if (!m_config.Open(path)) {
        Box(FormText::kCannotOpenConfig, FormText::kApplicationTitle, MB_OK | MB_ICONEXCLAMATION);
        return true;
    }
    if (!m_config.Load()) {
        Box(FormText::kCannotReadConfig, FormText::kApplicationTitle, MB_OK | MB_ICONEXCLAMATION);
        return true;
    }
    m_configLoaded = true;
    m_config.FindBlock(kConfigVersionLine);
    m_config.GetLine(1, m_title);
    m_config.GetLine(2, m_description);
    Ui().ShowFormTexts(m_title, m_description);
    m_config.GetLine(3, m_dataFileKey);
    m_codeplugType = m_config.GetNumber(4, 1);
    m_identifier.fill(0);

    if (ProductLine() == kUnmatchedProductLine) {
        if (Box(FormText::kUnknownProductLine, FormText::kError, MB_OK | MB_ICONSTOP) == IDOK) {
            Ui().Quit(0);
            return false;
        }
    }
    bool quit = false;
    WarnIfTestKit(quit);
    return !quit;
}

void CUpgradeForm::WarnIfTestKit(bool& quit)
{
    std::string line;
    m_config.FindBlock("RADIO_GROUP_REGION");
    m_config.GetLine(2, line);
    if (line.empty() || (line[0] != 't' && line[0] != 'T'))
        return;
    if (Box(FormText::kTestingKit, FormText::kWarning, MB_OKCANCEL | MB_ICONEXCLAMATION) == IDCANCEL) {
        Ui().Quit(0);
        quit = true;
    }
}

int CUpgradeForm::ProductLine() { return GetProductLineNumber(); }

std::string CUpgradeForm::RadioLine() const
{
    static const char* const kLayouts[] = {"none", "block model", "pointer table", "fixed address"};
    std::string line = m_identity.Text();
    if (!m_radioVersion.empty())
        line += ", version " + m_radioVersion;
    if (!m_radioRelease.empty())
        line += ", release " + m_radioRelease;
    if (m_radioLevel >= 0)
        line += ", level " + std::to_string(m_radioLevel);
    if (m_codeplugType >= 1 && m_codeplugType <= 3)
        line += ", codeplug layout " + std::to_string(m_codeplugType) + " (" + kLayouts[m_codeplugType] + ")";
    if (int kilobytes = FlashKilobytesOf(m_outcome.firmwareFile); kilobytes != 0)
        line += ", flash " + std::to_string(kilobytes) + " KB";
    return line;
}

std::string CUpgradeForm::WindowTitle()
{
    int line = ProductLine();
    if (line < 0 || line >= kProductLineCount)
        line = kUnmatchedProductLine;
    return ProductLineTitleText(ProductLineTable[line].titleString);
}

int CUpgradeForm::Box(const char* text, const char* caption, unsigned style)
{
    return Ui().MessageBox(text, caption, style);
}

void CUpgradeForm::ShowError(const char* text) { Box(text, FormText::kError, MB_OK | MB_ICONSTOP); }

void CUpgradeForm::ShowLinkError(const CError& error)
{
    // A failure of the line or of the radio's answers; an error of the program's own (a stop, a
    // kit) has no advice to give.
    const bool link = dynamic_cast<const CCommError*>(&error) != nullptr || dynamic_cast<const CVeskError*>(&error) != nullptr;
    if (link)
        ShowError(std::string(error.GetText()) + "\n" + FormText::kLinkAdvice);
    else
        ShowError(error.GetText());
}

void CUpgradeForm::Fail(ProgramEnd end, const std::string& detail)
{
    m_outcome.end = end;
    if (!detail.empty())
        m_outcome.detail = detail;
}

int ResolveKitProductLine(const std::filesystem::path& kitDirectory)
{
    FileManager config;
    if (!config.Open((kitDirectory / kConfigFileName).string()) || !config.Load())
        return kUnmatchedProductLine;
    std::string name;
    config.GetProductLine(name);
    return ProductLineNumberForName(name);
}
