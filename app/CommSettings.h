#pragma once

class CSettingsStore;

// How the PC reaches the radio: the port number N (COMN, 1 to 99) and whether the interface
// box echoes what the PC sends (echo type 1; anything else turns echo checking off). Kept in
// the settings store under "Communication": "Port ID" and "ORX Echo Type", both 1 by default.
struct CCommSettings {
    static constexpr int kDefaultPort = 1;
    static constexpr int kDefaultEchoType = 1;
    static constexpr int kMinPort = 1;
    static constexpr int kMaxPort = 99;

    int portNumber = kDefaultPort;
    int echoType = kDefaultEchoType;

    // The echo mode byte the serial port receives: 1 only for echo type 1.
    unsigned char EchoMode() const { return echoType == 1 ? 1 : 0; }
    static bool IsValidPort(int port) { return port >= kMinPort && port <= kMaxPort; }

    // Reads both values; a value that is missing is written with its default first. A stored
    // port outside 1..99 is not used (the default stands). Never fails: an unreadable store
    // leaves the defaults.
    void Load(CSettingsStore& store);
    // Writes both values; false when the store cannot be written (the store says why). A port
    // outside 1..99 is refused and nothing is written.
    bool Save(CSettingsStore& store) const;
};
