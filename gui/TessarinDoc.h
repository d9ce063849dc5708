#pragma once

#include <string>

// The document: the start directory (where the kit is read from) and the communication
// settings, read from the settings store when it is made and written back when it closes.
class CTessarinDoc {
public:
    CTessarinDoc();

    void LoadSettings();
    void SaveSettings();

    const std::string& StartDirectory() const { return m_startDirectory; }
    int PortNumber() const { return m_portNumber; }
    int EchoType() const { return m_echoType; }
    void SetPortNumber(int number) { m_portNumber = number; }
    void SetEchoType(int type) { m_echoType = type; }

    static constexpr const char* kPortKey = "Port ID";
    static constexpr const char* kEchoKey = "ORX Echo Type";

private:
    std::string m_startDirectory;
    int m_portNumber = 1;
    int m_echoType = 1;
};
