#pragma once

#include "sim/SimWire.h"
#include "sim/model/BootRom.h"
#include "sim/model/FaultPlan.h"
#include "sim/model/RadioMemory.h"
#include "sim/model/RadioProfile.h"
#include "sim/model/RadioTrace.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

class CInterfaceBox;

// The simulated radio: memory, the radio side of the frame protocol, status replies, the boot
// ROM and the boot code, power and faults. It is the far end of a simulated line (a CSimPeer,
// usually behind a CInterfaceBox) and acts only through the abstract CSimWire, so the same
// model runs in-process on the virtual clock and on a pseudo-terminal on the real clock.
class CSimRadio : public CSimPeer {
public:
    enum class Mode {
        Off,          // no power (power cycle or power loss under way)
        Application,  // the application runs: frames at the application rate
        BootState,    // product lines 11 and 12 without a runnable application
        BootRom,      // bootstrap mode: the boot ROM waits for boot code
        BootCode,     // the downloaded boot code runs: frames at its rate
        Silent,       // nothing runs that would answer (no application, or bad boot code)
    };

    CSimRadio(CSimWire& wire, RadioProfile profile);

    // The interface box in front of the radio, for echo faults.
    void SetInterfaceBox(CInterfaceBox* box);
    void AddFault(const FaultRule& rule);
    // Enter bootstrap mode when the PC sets the bootstrap rate of 2400 Bd.
    void SetAutoBootstrap(bool on) { m_autoBootstrap = on; }

    // The technician's hands: battery out and back in, with the bootstrap switch on or off;
    // the radio is back `offSeconds` later (< 0: the profile's power-up time).
    void PowerCycle(bool bootstrap, double offSeconds = -1);

    Mode GetMode() const { return m_mode; }
    static const char* ModeName(Mode mode);
    // The rate the radio currently speaks frames at (0 when it speaks none).
    int FrameBaud() const;
    CRadioMemory& Memory() { return m_memory; }
    const CRadioTrace& Trace() const { return m_trace; }
    CRadioTrace& Trace() { return m_trace; }
    const RadioProfile& Profile() const { return m_profile; }
    // Writes codeplug.bin, codeplug.s19, flash.bin and trace.txt into `dir` (created when
    // missing), each through a temporary file.
    void WriteDumps(const std::string& dir) const;

    void OnHostByte(uint8_t byte, const LineSettings& sentWith) override;
    void OnHostOpen(const LineSettings& settings) override;
    void OnHostLineChange(const LineSettings& settings) override;

private:
    struct Answer {
        bool reply = true;  // false: acknowledgement only
        uint8_t opcode = 0;
        std::vector<uint8_t> data;
        double work = 0;  // seconds of work before the reply
        bool resetAfter = false;
    };

    void PowerOn(bool bootstrap);
    void PowerOff(double offSeconds);
    void StartBootCode(const std::vector<uint8_t>& code);
    LineSettings FrameSettings() const { return LineSettings{FrameBaud(), 0, 0, 8}; }
    void TakeFrameByte(uint8_t byte);
    void HandleFrame(const std::vector<uint8_t>& frame);
    void HandleResync();
    // The request as the fault plan sees it (counts the flash writes since the last erase).
    FaultRequest FaultRequestOf(const std::vector<uint8_t>& frame);
    // A fault's power cycle, to run once the radio has answered.
    std::function<void()> PlainPowerCycle(double offSeconds);
    FaultStage Stage() const { return m_mode == Mode::BootCode ? FaultStage::BootCode : FaultStage::Application; }
    Answer Execute(const std::vector<uint8_t>& frame, std::string& note);
    Answer Read(const std::vector<uint8_t>& data, std::string& note);
    Answer Write(const std::vector<uint8_t>& data, std::string& note);
    Answer Erase(const std::vector<uint8_t>& data, std::string& note);
    Answer Status(const std::vector<uint8_t>& data, std::string& note);
    // The firmware version text (status selector 1): the flash image's own, else the profile's.
    std::vector<uint8_t> FirmwareVersion(const std::vector<uint8_t>& profileText) const;
    // Sends `bytes` at `at` unless the power has changed meanwhile; `after` runs once they are out.
    void Send(std::vector<uint8_t> bytes, double at, const char* what, std::string note = {},
              std::function<void()> after = {});
    // Whether a byte sent now with these settings begins a new request (frame or
    // resynchronisation): the radio listens for frames, can read the byte, is not busy, and
    // holds no part of a frame that is still alive. Mirrors the checks of OnHostByte.
    bool StartsRequest(const LineSettings& sentWith) const;
    // The bits the interface box flips in its echo of this byte: the byte of a request that
    // an echo fault names.
    uint8_t FrameEchoMask(const LineSettings& sentWith);

    CSimWire& m_wire;
    RadioProfile m_profile;
    CRadioMemory m_memory;
    CRadioTrace m_trace;
    CFaultPlan m_faults;
    CBootRom m_rom;
    CInterfaceBox* m_box = nullptr;
    bool m_autoBootstrap = false;

    // Power and busy state. m_mode is what runs now; it changes only in PowerOn, PowerOff and
    // StartBootCode (a power cycle passes through Off). m_power is bumped at every change of
    // power or of what runs: everything scheduled before (an acknowledgement, a reply, a
    // pending power-on) carries the value it was made with and does nothing once it differs.
    // m_bootstrapPending is set from a power cycle into bootstrap mode until the radio is on
    // again, so that the PC's rate changes meanwhile do not start another. m_busyUntil is the
    // time until which the radio ignores the PC's bytes: infinity while it works on a request
    // or its answer waits to go out, then the end of its last answer byte (or the time a
    // dropped reply would have gone); 0 after power-on and when the boot code starts.
    Mode m_mode = Mode::Off;
    uint64_t m_power = 0;
    int m_codeBaud = 0;
    bool m_bootstrapPending = false;
    std::vector<uint8_t> m_pending;
    double m_lastByte = 0;
    double m_busyUntil = 0;
    uint64_t m_bytesHeard = 0;
    unsigned m_erasesThisRun = 0;        // erases since the boot code started
    unsigned m_flashWritesSinceErase = 0;
    std::vector<FaultRule> m_echoRules;
    // The echo fault of the request under way: bytes still to come before the spoilt one
    // (-1: none), and its mask.
    int m_echoCountdown = -1;
    uint8_t m_echoMask = 0;
};
