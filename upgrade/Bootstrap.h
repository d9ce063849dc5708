#pragma once

#include <cstdint>
#include <functional>

class CSerial;

// Sends boot code to a radio held in bootstrap mode. The FL0 boot ROM marks bootstrap mode
// with break pulses on the line, answers the sync character with 0xFF and returns every 8-byte
// block for verification; the K4 boot ROM takes the sync character and the code without a
// word. The loader type is the caller's, or 0 to tell the two apart by watching the line.
// Every failure is a CGenError code 3 after its log line; the port is borrowed.
class CBootstrap {
public:
    enum LoaderType { kUnknown = 0, kFL0 = 1, kK4 = 2 };

    explicit CBootstrap(CSerial* serial) : m_serial(serial) {}

    void SetLoaderType(int type) { m_loaderType = type; }
    // Told how the download goes: 0 once the loader has taken the sync character (the code
    // follows), then the blocks (or chunks) sent so far after each one.
    void SetProgress(std::function<void(unsigned blocksSent)> progress) { m_progress = std::move(progress); }
    int GetLoaderType() const { return m_loaderType; }
    void Reset();

    // Detects the loader when its type is 0, then sends the code as that loader expects.
    void SendBootcode(const uint8_t* code, unsigned length);
    // No break within a second, or a gap in five checks that follow: K4. A break held through
    // all of them: FL0.
    void DetectLoader();
    // The sync character for the port's current rate; 0 when the rate has none.
    uint8_t GetSyncChar();
    // The FL0 handshake: three attempts to see bootstrap mode, send the sync character and read
    // 0xFF back.
    void FL0_Sync(uint8_t sync);
    // Returns the number of 10-byte chunks sent.
    unsigned K4_Send_Bootcode(const uint8_t* code, unsigned length);
    // 8-byte blocks, each returned by the loader; the last block completed with zero bytes.
    void FL0_Send_Bootcode(const uint8_t* code, unsigned length);

    static uint8_t SyncCharForBaud(int baud);

private:
    // One look for the bootstrap pulse: a short break, or a sync pulse read at a low rate.
    bool SeeBootstrapPulse();
    // Waits until no break is on the line.
    void WaitForQuietLine();
    // Reads the answer to the sync character; true when it is 0xFF.
    bool ReadSyncAnswer();

    void Told(unsigned blocksSent) const
    {
        if (m_progress)
            m_progress(blocksSent);
    }

    CSerial* m_serial = nullptr;
    int m_loaderType = kUnknown;
    std::function<void(unsigned)> m_progress;
};
