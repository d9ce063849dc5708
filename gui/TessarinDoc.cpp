#include "gui/TessarinDoc.h"

#include "platform/SettingsStore.h"

#include <filesystem>

CTessarinDoc::CTessarinDoc()
{
    std::error_code error;
    m_startDirectory = std::filesystem::current_path(error).string();
    LoadSettings();
}

void CTessarinDoc::LoadSettings()
{
    // A first run writes the defaults, so the file shows what can be set. A file that cannot
    // be read, or a port number out of range, leaves the port unknown: no default stands in
    // for the saved value.
    m_comm.Load(Settings());
}

bool CTessarinDoc::SaveSettings() { return m_comm.Save(Settings()); }
