#include "app/CommSettings.h"

#include "platform/SettingsStore.h"

namespace {
constexpr const char kPortKey[] = "Port ID";
constexpr const char kEchoKey[] = "ORX Echo Type";
} // namespace

void CCommSettings::Load(CSettingsStore& store)
{
    const char* section = SettingsSection::kCommunication;
    int value = 0;
    if (!store.ReadDword(section, kPortKey, value))
        store.WriteDword(section, kPortKey, kDefaultPort);
    portNumber = store.ReadDword(section, kPortKey, value) && IsValidPort(value) ? value : kDefaultPort;
    if (!store.ReadDword(section, kEchoKey, value))
        store.WriteDword(section, kEchoKey, kDefaultEchoType);
    echoType = store.ReadDword(section, kEchoKey, value) ? value : kDefaultEchoType;
}

bool CCommSettings::Save(CSettingsStore& store) const
{
    if (!IsValidPort(portNumber))
        return false;
    const char* section = SettingsSection::kCommunication;
    return store.WriteDword(section, kPortKey, portNumber) && store.WriteDword(section, kEchoKey, echoType);
}
