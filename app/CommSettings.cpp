#include "app/CommSettings.h"

#include "platform/SettingsStore.h"

namespace {
constexpr const char kPortKey[] = "Port ID";
constexpr const char kEchoKey[] = "ORX Echo Type";
} // namespace

void CCommSettings::Load(CSettingsStore& store)
{
    const char* section = SettingsSection::kCommunication;
    problem.clear();
    m_storedPort.reset();
    m_storedEcho.reset();
    portNumber = kDefaultPort;
    echoType = kDefaultEchoType;
    if (std::string unreadable = store.Unreadable(); !unreadable.empty()) {
        // The defaults must not stand in for values that are there but cannot be read.
        problem = unreadable + "; the saved port and echo are not known";
        portNumber = kUnknownPort;
        return;
    }
    int value = 0;
    if (!store.ReadDword(section, kPortKey, value))
        store.WriteDword(section, kPortKey, kDefaultPort);  // a first run: the file shows what can be set
    if (store.ReadDword(section, kPortKey, value)) {
        m_storedPort = value;
        if (IsValidPort(value)) {
            portNumber = value;
        } else {
            portNumber = kUnknownPort;
            problem = "the settings file " + store.Path() + " holds \"Port ID=" + std::to_string(value) +
                      "\", which is not a port number from 1 to 99";
        }
    }
    if (!store.ReadDword(section, kEchoKey, value))
        store.WriteDword(section, kEchoKey, kDefaultEchoType);
    if (store.ReadDword(section, kEchoKey, value)) {
        m_storedEcho = value;
        echoType = value;
    }
}

bool CCommSettings::Save(CSettingsStore& store)
{
    if (!IsValidPort(portNumber))
        return false;
    const char* section = SettingsSection::kCommunication;
    if (m_storedPort != portNumber) {
        if (!store.WriteDword(section, kPortKey, portNumber))
            return false;
        m_storedPort = portNumber;
    }
    if (m_storedEcho != echoType) {
        if (!store.WriteDword(section, kEchoKey, echoType))
            return false;
        m_storedEcho = echoType;
    }
    return true;
}
