#include "gui/TessarinDoc.h"

#include "platform/PortTable.h"
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
    CSettingsStore& store = Settings();
    int port = 1;
    int echo = 1;
    bool hasPort = store.ReadDword(SettingsSection::kCommunication, kPortKey, port);
    bool hasEcho = store.ReadDword(SettingsSection::kCommunication, kEchoKey, echo);
    // A first run writes the defaults, so the file shows what can be set.
    if (!hasPort && !hasEcho) {
        store.WriteDword(SettingsSection::kCommunication, kPortKey, 1);
        store.WriteDword(SettingsSection::kCommunication, kEchoKey, 1);
    }
    // A port number out of range (a hand-edited file) falls back to COM1.
    m_portNumber = port >= 1 && port <= static_cast<int>(CPortTable::kMaxNumber) ? port : 1;
    m_echoType = echo;
}

void CTessarinDoc::SaveSettings()
{
    CSettingsStore& store = Settings();
    store.WriteDword(SettingsSection::kCommunication, kPortKey, m_portNumber);
    store.WriteDword(SettingsSection::kCommunication, kEchoKey, m_echoType);
}
