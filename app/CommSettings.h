#pragma once

#include <optional>
#include <string>

class CSettingsStore;

// How the PC reaches the radio: the port number N (COMN, 1 to 99) and whether the interface
// box echoes what the PC sends (echo type 1; anything else turns echo checking off). Kept in
// the settings store under "Communication": "Port ID" and "ORX Echo Type", both 1 by default.
struct CCommSettings {
    static constexpr int kDefaultPort = 1;
    static constexpr int kDefaultEchoType = 1;
    static constexpr int kMinPort = 1;
    static constexpr int kMaxPort = 99;
    // The port number when the saved one is not known (the file cannot be read, or it holds
    // no port number): no port is opened by it.
    static constexpr int kUnknownPort = 0;

    int portNumber = kDefaultPort;
    int echoType = kDefaultEchoType;
    // Why the saved values are not known, for the user (empty when they were read): the file
    // cannot be read ("cannot read the settings file ... (reason)"), or the saved port is not
    // a port number. The port is then kUnknownPort, never a default in the saved value's place.
    std::string problem;

    // The echo mode byte the serial port receives: 1 only for echo type 1.
    unsigned char EchoMode() const { return echoType == 1 ? 1 : 0; }
    static bool IsValidPort(int port) { return port >= kMinPort && port <= kMaxPort; }
    bool PortKnown() const { return IsValidPort(portNumber); }

    // Reads both values; a value that is missing is written with its default first (a first
    // run). A file that cannot be read leaves the port unknown and says so in `problem`; so
    // does a stored port outside 1..99. The echo type then stays the default.
    void Load(CSettingsStore& store);
    // Writes the values that differ from what Load found (or the last Save wrote): a run
    // writes back only what it changed, never over what another program saved meanwhile.
    // True when nothing needed writing. False when the store cannot be written (the store
    // says why) or the port is outside 1..99 (nothing is written then).
    bool Save(CSettingsStore& store);

private:
    std::optional<int> m_storedPort;  // what the file held, when known
    std::optional<int> m_storedEcho;
};
