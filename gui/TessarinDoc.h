#pragma once

#include "app/CommSettings.h"

#include <string>

// The document: the start directory (where the kit is read from) and the communication
// settings, read from the settings store when it is made; a change made in the settings
// dialogs is written at once, and only what changed (never over what another program saved
// meanwhile).
class CTessarinDoc {
public:
    CTessarinDoc();

    void LoadSettings();
    // False when the change could not be written (Settings().LastError() says why).
    bool SaveSettings();

    const std::string& StartDirectory() const { return m_startDirectory; }
    // 0 (CCommSettings::kUnknownPort) when the saved port is not known: SettingsProblem says why.
    int PortNumber() const { return m_comm.portNumber; }
    int EchoType() const { return m_comm.echoType; }
    void SetPortNumber(int number) { m_comm.portNumber = number; }
    void SetEchoType(int type) { m_comm.echoType = type; }
    // Why the saved settings are not known (the settings file cannot be read, or it holds no
    // port number); empty when they are.
    const std::string& SettingsProblem() const { return m_comm.problem; }

    static constexpr const char* kPortKey = "Port ID";
    static constexpr const char* kEchoKey = "ORX Echo Type";

private:
    std::string m_startDirectory;
    CCommSettings m_comm;
};
