#pragma once

#include "sim/SimWire.h"
#include "sim/model/FaultPlan.h"
#include "sim/model/RadioProfile.h"
#include "sim/model/RadioTrace.h"

#include <cstdint>
#include <functional>
#include <vector>

// The radio's boot ROM in bootstrap mode. An FL0 ROM marks bootstrap mode with a short low
// pulse on the line every pulse period (a break to a PC listening at the bootstrap rate, one
// character such as 0xF8 to a PC listening at 300 Bd), answers the sync character of its rate
// with 0xFF, and returns every 8-byte block of boot code as it took it. A K4 ROM takes the
// sync character and the code without a word. Either runs the code once the line has been
// quiet for a while after the last code byte.
class CBootRom {
public:
    using CodeHandler = std::function<void(const std::vector<uint8_t>& code)>;
    // What the ROM does when a fault fires on a sync or a block: the radio handles power.
    using PowerLossHandler = std::function<void(double offSeconds)>;
    // Has the interface box echo byte `offset` of the next code block with `mask` flipped;
    // false when the box does not echo.
    using EchoFaultHandler = std::function<bool(unsigned offset, uint8_t mask)>;

    CBootRom(CSimWire& wire, const RadioProfile& profile, CRadioTrace& trace, CFaultPlan& faults)
        : m_wire(wire), m_profile(profile), m_trace(trace), m_faults(faults)
    {
    }
    void OnCode(CodeHandler handler) { m_onCode = std::move(handler); }
    void OnPowerLoss(PowerLossHandler handler) { m_onPowerLoss = std::move(handler); }
    void OnEchoFault(EchoFaultHandler handler) { m_onEchoFault = std::move(handler); }

    void Enter();
    void Stop();
    bool Active() const { return m_state != State::Off; }
    bool WaitingForSync() const { return m_state == State::WaitSync; }
    void OnByte(uint8_t byte, const LineSettings& sentWith);

    // The sync character the ROM expects at a bootstrap rate (0 when the rate has none).
    static uint8_t SyncCharFor(int baud);

private:
    enum class State { Off, WaitSync, Blocks, Code };
    LineSettings RomSettings() const { return LineSettings{m_profile.bootstrapBaud, 0, 0, 8}; }
    void Pulse(uint64_t generation);
    void TakeCodeByte(uint8_t byte);
    void AnswerBlock();
    // The K4 loader sends its code in chunks of 10 bytes and the ROM answers none of them; a
    // fault named on a "block" of a K4 ROM lands on the chunk just taken.
    void TakeK4Chunk();
    // Applies the faults that fire on a boot step; false when the step is not to be answered.
    bool ApplyFaults(FaultOp op, std::vector<uint8_t>& answer, double& delay);
    // Arms the box's wrong echo for the next code block, when a fault asks for one.
    void ArmNextBlock();

    CSimWire& m_wire;
    const RadioProfile& m_profile;
    CRadioTrace& m_trace;
    CFaultPlan& m_faults;
    CodeHandler m_onCode;
    PowerLossHandler m_onPowerLoss;
    EchoFaultHandler m_onEchoFault;
    bool m_boxEchoSpoilt = false;  // the box echoes the block under way wrong
    State m_state = State::Off;
    uint64_t m_generation = 0;
    std::vector<uint8_t> m_block;
    std::vector<uint8_t> m_code;
    unsigned m_blocks = 0;
};
