#include "sim/model/BootRom.h"

#include <algorithm>
#include <cstdio>

namespace {

// The K4 loader's chunk of boot code.
constexpr std::size_t kK4ChunkBytes = 10;

}  // namespace

uint8_t CBootRom::SyncCharFor(int baud)
{
    switch (baud) {
    case 553: return 0xFF;
    case 1800: return 0xFD;
    case 2400: return 0xFD;
    case 3600: return 0xFF;
    case 4430: return 0xF0;
    case 4800: return 0xFD;
    default: return 0;
    }
}

void CBootRom::Enter()
{
    ++m_generation;
    m_state = State::WaitSync;
    m_block.clear();
    m_code.clear();
    m_blocks = 0;
    m_trace.Event(m_wire.Now(), "bootrom",
                  m_profile.loader == LoaderKind::FL0 ? "FL0 boot ROM waiting for sync" : "K4 boot ROM waiting for sync");
    if (m_profile.loader == LoaderKind::FL0)
        Pulse(m_generation);
}

void CBootRom::Stop()
{
    ++m_generation;
    m_state = State::Off;
}

void CBootRom::Pulse(uint64_t generation)
{
    if (generation != m_generation || m_state != State::WaitSync)
        return;
    const LineSettings slow{300, 0, 0, 8};
    double now = m_wire.Now();
    // The same low pulse reads as one character at 300 Bd and as a break at faster rates.
    if (SettingsCompatible(slow, m_wire.HostSettings()))
        m_wire.SendToHost(&m_profile.pulseByte, 1, slow, now);
    else
        m_wire.SendBreak(now, m_profile.breakLength);
    m_wire.At(now + m_profile.pulsePeriod, [this, generation] { Pulse(generation); });
}

void CBootRom::ArmNextBlock()
{
    m_boxEchoSpoilt = false;
    for (const FaultRule& f : m_faults.Peek(FaultRequest{FaultOp::Block, FaultStage::Bootstrap}))
        if (f.kind == FaultKind::WrongEcho && m_onEchoFault && m_onEchoFault(f.offset % 8, f.mask))
            m_boxEchoSpoilt = true;
}

bool CBootRom::ApplyFaults(FaultOp op, std::vector<uint8_t>& answer, double& delay)
{
    for (const FaultRule& f : m_faults.OnRequest(FaultRequest{op, FaultStage::Bootstrap})) {
        m_trace.Event(m_wire.Now(), "fault", std::string(FaultKindName(f.kind)) + " on " + FaultOpName(op));
        switch (f.kind) {
        case FaultKind::PowerLoss:
        case FaultKind::PowerCycle:
            // No answer to wait for: the power goes as the step arrives.
            if (m_onPowerLoss)
                m_onPowerLoss(f.kind == FaultKind::PowerLoss || f.seconds > 0 ? f.seconds : m_profile.powerUpTime);
            return false;
        case FaultKind::Unplug:
            m_wire.Unplug();
            return false;
        case FaultKind::DropAck:
        case FaultKind::DropReply:
        case FaultKind::LineBreak:
            if (f.kind == FaultKind::LineBreak)
                m_wire.SendBreak(m_wire.Now() + m_profile.ackLatency, f.seconds);
            return false;
        case FaultKind::WrongEcho:
            // With a box echo, the box has echoed the block wrong already; without one the
            // ROM's own copy is what comes back wrong.
            if (op == FaultOp::Block && m_boxEchoSpoilt)
                break;
            if (!answer.empty())
                answer[f.offset % std::min<std::size_t>(answer.size(), 8)] ^= f.mask;
            break;
        case FaultKind::Nack:
        case FaultKind::BadChecksum:
            // The first byte the ROM returns: within the copy of the block that the loader
            // compares when no box echoes (a 16-byte answer's second half is read but not
            // compared).
            if (!answer.empty())
                answer.front() ^= 0x01;
            break;
        case FaultKind::LateReply:
            delay += f.seconds;
            break;
        case FaultKind::Garbage:
            answer.insert(answer.begin(), f.bytes, 0x3C);
            break;
        }
    }
    return true;
}

void CBootRom::OnByte(uint8_t byte, const LineSettings& sentWith)
{
    const bool readable = SettingsCompatible(sentWith, RomSettings());
    const uint8_t heard = readable ? byte : GarbledByte(byte);
    double now = m_wire.Now();
    switch (m_state) {
    case State::Off:
        return;
    case State::WaitSync: {
        if (!readable || byte != SyncCharFor(m_profile.bootstrapBaud)) {
            m_trace.Add(now, CRadioTrace::Direction::FromPc, "ignored", {heard},
                        readable ? "not the sync character" : "garbled: sent at another rate");
            return;
        }
        m_trace.Add(now, CRadioTrace::Direction::FromPc, "sync", {byte});
        std::vector<uint8_t> answer{0xFF};
        double delay = m_profile.ackLatency;
        if (!ApplyFaults(FaultOp::Sync, answer, delay))
            return;
        if (m_profile.loader == LoaderKind::K4) {
            // The ROM answers nothing: a fault that would spoil or delay its answer is a sync
            // character it did not take, and it keeps waiting for one.
            if (answer != std::vector<uint8_t>{0xFF} || delay != m_profile.ackLatency) {
                m_trace.Add(now, CRadioTrace::Direction::FromPc, "sync-bad", answer, "sync not taken");
                return;
            }
            m_state = State::Code;
            return;
        }
        m_wire.SendToHost(answer.data(), answer.size(), RomSettings(), now + delay);
        if (answer != std::vector<uint8_t>{0xFF}) {
            // A spoilt answer: the ROM has not taken the sync and keeps waiting (and pulsing).
            m_trace.Add(now + delay, CRadioTrace::Direction::ToPc, "sync-bad", answer);
            return;
        }
        m_state = State::Blocks;
        m_trace.Add(now + delay, CRadioTrace::Direction::ToPc, "sync-ok", answer);
        ArmNextBlock();
        return;
    }
    case State::Blocks:
        m_block.push_back(heard);
        if (m_block.size() == 8) {
            AnswerBlock();
            ArmNextBlock();
        }
        TakeCodeByte(heard);
        return;
    case State::Code:
        TakeCodeByte(heard);
        if (m_code.size() % kK4ChunkBytes == 0)
            TakeK4Chunk();
        return;
    }
}

void CBootRom::AnswerBlock()
{
    double now = m_wire.Now();
    ++m_blocks;
    m_trace.Add(now, CRadioTrace::Direction::FromPc, "block", m_block, "block " + std::to_string(m_blocks));
    std::vector<uint8_t> answer = m_block;
    if (m_profile.BlockAnswerBytes() == 16)
        answer.insert(answer.end(), m_block.begin(), m_block.end());
    m_block.clear();
    double delay = m_profile.ackLatency;
    if (!ApplyFaults(FaultOp::Block, answer, delay))
        return;
    m_wire.SendToHost(answer.data(), answer.size(), RomSettings(), now + delay);
    m_trace.Add(now + delay, CRadioTrace::Direction::ToPc, "block-ok", answer);
}

void CBootRom::TakeK4Chunk()
{
    double now = m_wire.Now();
    ++m_blocks;
    std::vector<uint8_t> chunk(m_code.end() - kK4ChunkBytes, m_code.end());
    m_trace.Add(now, CRadioTrace::Direction::FromPc, "chunk", chunk, "chunk " + std::to_string(m_blocks));
    // What the ROM took: a spoilt answer is a byte taken wrong, a dropped one a chunk lost,
    // and anything in front of it is sent on the line.
    std::vector<uint8_t> taken = chunk;
    double delay = 0;
    const bool kept = ApplyFaults(FaultOp::Block, taken, delay);
    if (m_state == State::Off)
        return;
    m_code.resize(m_code.size() - kK4ChunkBytes);
    if (!kept)
        return;
    if (taken.size() > chunk.size()) {
        const std::size_t extra = taken.size() - chunk.size();
        m_wire.SendToHost(taken.data(), extra, RomSettings(), now + m_profile.ackLatency);
        taken.erase(taken.begin(), taken.begin() + static_cast<std::ptrdiff_t>(extra));
    }
    m_code.insert(m_code.end(), taken.begin(), taken.end());
}

void CBootRom::TakeCodeByte(uint8_t byte)
{
    if (m_state == State::Off)
        return;
    m_code.push_back(byte);
    std::size_t count = m_code.size();
    uint64_t generation = m_generation;
    m_wire.At(m_wire.Now() + m_profile.codeStartQuiet, [this, generation, count] {
        if (generation != m_generation || m_code.size() != count || m_state == State::Off)
            return;
        m_state = State::Off;
        ++m_generation;
        char note[64];
        std::snprintf(note, sizeof note, "%zu bytes of boot code received; running it", m_code.size());
        m_trace.Event(m_wire.Now(), "bootrom", note);
        if (m_onCode)
            m_onCode(m_code);
    });
}
