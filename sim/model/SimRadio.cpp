#include "sim/model/SimRadio.h"

#include "errors/Error.h"
#include "link/VeskOpcodes.h"
#include "platform/AtomicFile.h"
#include "sim/InterfaceBox.h"
#include "sim/model/BootCodeHeader.h"
#include "sim/model/RadioFrames.h"
#include "sim/model/SRecordIo.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

constexpr double kNever = std::numeric_limits<double>::infinity();

}  // namespace

CSimRadio::CSimRadio(CSimWire& wire, RadioProfile profile)
    : m_wire(wire), m_profile(std::move(profile)), m_memory(m_profile.FlashSize()), m_rom(m_wire, m_profile, m_trace, m_faults)
{
    m_memory.LoadFromProfile(m_profile);
    m_rom.OnCode([this](const std::vector<uint8_t>& code) { StartBootCode(code); });
    m_rom.OnPowerLoss([this](double off) { PowerOff(off); });
    m_rom.OnEchoFault([this](unsigned offset, uint8_t mask) {
        if (m_box == nullptr || !m_box->Echo())
            return false;
        m_box->CorruptEcho(m_bytesHeard + offset, mask);
        return true;
    });
    PowerOn(false);
}

const char* CSimRadio::ModeName(Mode mode)
{
    switch (mode) {
    case Mode::Off: return "off";
    case Mode::Application: return "application";
    case Mode::BootState: return "boot state";
    case Mode::BootRom: return "bootstrap mode (boot ROM)";
    case Mode::BootCode: return "boot code";
    case Mode::Silent: return "silent";
    }
    return "?";
}

int CSimRadio::FrameBaud() const
{
    switch (m_mode) {
    case Mode::Application:
    case Mode::BootState: return m_profile.appBaud;
    case Mode::BootCode: return m_codeBaud;
    default: return 0;
    }
}

void CSimRadio::AddFault(const FaultRule& rule)
{
    // On the boot ROM's steps the wrong echo is the box's echo of a code block (or, without a
    // box echo, the ROM's own answer) and the ROM's answer to the sync character.
    const bool bootRomStep = rule.at == 0 && (rule.op == FaultOp::Sync || rule.op == FaultOp::Block);
    if (rule.kind == FaultKind::WrongEcho && !bootRomStep) {
        if (rule.at == 0)
            throw CGenError(3, "An echo fault names its request with at=N, or op=sync or op=block (the echo comes from "
                               "the interface box, before the radio knows what the request is)");
        m_echoRules.push_back(rule);
        return;
    }
    m_faults.Add(rule);
}

void CSimRadio::SetInterfaceBox(CInterfaceBox* box)
{
    m_box = box;
    if (m_box != nullptr)
        m_box->SetEchoSpoiler([this](uint8_t, const LineSettings& sentWith) { return FrameEchoMask(sentWith); });
}

bool CSimRadio::StartsRequest(const LineSettings& sentWith) const
{
    if (m_mode != Mode::Application && m_mode != Mode::BootState && m_mode != Mode::BootCode)
        return false;
    const double now = m_wire.Now();
    return SettingsCompatible(sentWith, FrameSettings()) && now >= m_busyUntil &&
           (m_pending.empty() || now - m_lastByte > m_profile.frameGap);
}

uint8_t CSimRadio::FrameEchoMask(const LineSettings& sentWith)
{
    if (!m_echoRules.empty() && StartsRequest(sentWith)) {
        m_echoCountdown = -1;
        const unsigned next = m_faults.RequestNumber() + 1;
        for (const FaultRule& rule : m_echoRules)
            if (next >= rule.at && next < rule.at + rule.count) {
                m_echoCountdown = static_cast<int>(rule.offset);
                m_echoMask = rule.mask;
            }
    }
    if (m_echoCountdown < 0)
        return 0;
    if (m_echoCountdown-- > 0)
        return 0;
    m_trace.Event(m_wire.Now(), "fault", "echo spoilt on request " + std::to_string(m_faults.RequestNumber() + 1));
    return m_echoMask;
}

void CSimRadio::PowerOn(bool bootstrap)
{
    ++m_power;
    m_rom.Stop();
    // A wrong echo armed for a code block or request that never came is not left waiting for
    // whatever byte comes next.
    if (m_box != nullptr)
        m_box->ForgetEchoFaults();
    m_echoCountdown = -1;
    m_pending.clear();
    m_busyUntil = 0;
    m_bootstrapPending = false;
    if (bootstrap) {
        m_mode = Mode::BootRom;
    } else if (m_memory.ApplicationPresent(m_profile.applicationMarks)) {
        m_mode = Mode::Application;
    } else if (m_profile.productLine == 11 || m_profile.productLine == 12) {
        m_mode = Mode::BootState;
    } else {
        m_mode = Mode::Silent;
    }
    m_trace.Event(m_wire.Now(), "mode", std::string("power on: ") + ModeName(m_mode));
    if (bootstrap)
        m_rom.Enter();
}

void CSimRadio::PowerOff(double offSeconds)
{
    ++m_power;
    m_rom.Stop();
    m_mode = Mode::Off;
    m_trace.Event(m_wire.Now(), "mode", "power off");
    uint64_t power = m_power;
    m_wire.At(m_wire.Now() + offSeconds, [this, power] {
        if (power == m_power)
            PowerOn(false);
    });
}

void CSimRadio::PowerCycle(bool bootstrap, double offSeconds)
{
    PowerOff(0);
    ++m_power;
    m_bootstrapPending = bootstrap;
    uint64_t power = m_power;
    m_trace.Event(m_wire.Now(), "mode", bootstrap ? "power cycle into bootstrap mode" : "power cycle");
    m_wire.At(m_wire.Now() + (offSeconds < 0 ? m_profile.powerUpTime : offSeconds), [this, power, bootstrap] {
        if (power == m_power)
            PowerOn(bootstrap);
    });
}

void CSimRadio::StartBootCode(const std::vector<uint8_t>& code)
{
    ++m_power;
    const uint32_t rate = boot_code_header::RateOf(code);
    if (rate == 0) {
        m_mode = Mode::Silent;
        m_trace.Event(m_wire.Now(), "mode", "boot code not recognised (no TSBC header with a rate): radio silent");
        return;
    }
    m_mode = Mode::BootCode;
    m_codeBaud = static_cast<int>(rate);
    m_erasesThisRun = 0;
    m_pending.clear();
    m_busyUntil = 0;
    m_trace.Event(m_wire.Now(), "mode", "boot code runs at " + std::to_string(rate) + " Bd");
    Send({m_profile.bootCodeHello}, m_wire.Now(), "hello");
}

void CSimRadio::OnHostOpen(const LineSettings& settings) { OnHostLineChange(settings); }

void CSimRadio::OnHostLineChange(const LineSettings& settings)
{
    // 2400 Bd is the bootstrap rate; 300 Bd is only ever set to look for the bootstrap pulse
    // (a program may pass through 2400 Bd too quickly for a pseudo-terminal host to see it).
    const bool bootstrapRate = settings.baud == 2400 || settings.baud == 300;
    // A radio whose boot ROM already waits for the sync character stays as it is; one that has
    // taken part of a download is put through a fresh power cycle, as the retry prompt asks.
    const bool ready = m_mode == Mode::BootRom && m_rom.WaitingForSync();
    if (!m_autoBootstrap || !bootstrapRate || ready || m_bootstrapPending)
        return;
    m_trace.Event(m_wire.Now(), "hands", "the PC set " + std::to_string(settings.baud) +
                                             " Bd: putting the radio in bootstrap mode");
    PowerCycle(true);
}

void CSimRadio::OnHostByte(uint8_t byte, const LineSettings& sentWith)
{
    ++m_bytesHeard;
    switch (m_mode) {
    case Mode::Off:
    case Mode::Silent:
        return;
    case Mode::BootRom:
        m_rom.OnByte(byte, sentWith);
        return;
    default:
        break;
    }
    double now = m_wire.Now();
    if (!SettingsCompatible(sentWith, FrameSettings())) {
        // The UART flags a framing error; the firmware drops the byte and the frame with it.
        m_trace.Add(now, CRadioTrace::Direction::FromPc, "garbled", {GarbledByte(byte)},
                    "sent at " + std::to_string(sentWith.baud) + " Bd, radio listens at " + std::to_string(FrameBaud()));
        m_pending.clear();
        return;
    }
    if (now < m_busyUntil) {
        m_trace.Add(now, CRadioTrace::Direction::FromPc, "ignored", {byte}, "radio busy with the previous request");
        return;
    }
    if (!m_pending.empty() && now - m_lastByte > m_profile.frameGap) {
        m_trace.Add(now, CRadioTrace::Direction::FromPc, "dropped", m_pending, "incomplete frame timed out");
        m_pending.clear();
    }
    m_lastByte = now;
    TakeFrameByte(byte);
}

void CSimRadio::TakeFrameByte(uint8_t byte)
{
    m_pending.push_back(byte);
    if (m_pending[0] == vesk::kResync[0]) {
        if (m_pending.size() < 2)
            return;
        if (m_pending[1] == vesk::kResync[1]) {
            m_pending.clear();
            HandleResync();
        } else {
            m_trace.Add(m_wire.Now(), CRadioTrace::Direction::FromPc, "dropped", m_pending, "not a resynchronisation");
            m_pending.clear();
        }
        return;
    }
    std::size_t length = radio_frames::ExpectedLength(m_pending);
    if (length == 0 || m_pending.size() < length)
        return;
    if (length < 3 || length > 600) {
        m_trace.Add(m_wire.Now(), CRadioTrace::Direction::FromPc, "dropped", m_pending, "impossible frame length");
        m_pending.clear();
        return;
    }
    std::vector<uint8_t> frame;
    frame.swap(m_pending);
    HandleFrame(frame);
}

void CSimRadio::Send(std::vector<uint8_t> bytes, double at, const char* what, std::string note,
                     std::function<void()> after)
{
    uint64_t power = m_power;
    LineSettings settings = FrameSettings();
    m_wire.At(at, [this, power, settings, bytes = std::move(bytes), what, note = std::move(note), after = std::move(after)] {
        if (power != m_power)
            return;
        double end = m_wire.SendToHost(bytes.data(), bytes.size(), settings, m_wire.Now());
        m_busyUntil = std::min(m_busyUntil, end);
        m_trace.Add(m_wire.Now(), CRadioTrace::Direction::ToPc, what, bytes, note);
        if (after)
            m_wire.At(end, after);
    });
}

void CSimRadio::HandleResync()
{
    double now = m_wire.Now();
    std::vector<FaultRule> faults = m_faults.OnRequest(FaultRequest{FaultOp::Resync, Stage()});
    m_trace.Add(now, CRadioTrace::Direction::FromPc, "resync", {vesk::kResync[0], vesk::kResync[1]}, "request " + std::to_string(m_faults.RequestNumber()));
    std::vector<uint8_t> answer{vesk::kResyncAnswer};
    bool answered = true;
    std::function<void()> after;
    for (const FaultRule& f : faults) {
        m_trace.Event(now, "fault", FaultKindName(f.kind));
        if (f.kind == FaultKind::PowerLoss) {
            PowerOff(f.seconds);
            return;
        }
        if (f.kind == FaultKind::DropAck || f.kind == FaultKind::DropReply || f.kind == FaultKind::Unplug)
            answered = false;
        if (f.kind == FaultKind::Unplug)
            m_wire.Unplug();
        if (f.kind == FaultKind::Nack || f.kind == FaultKind::BadChecksum)
            answer[0] = vesk::kNegativeAck;
        if (f.kind == FaultKind::Garbage)
            answer.insert(answer.begin(), f.bytes, 0x3C);
        if (f.kind == FaultKind::LineBreak) {
            m_wire.SendBreak(now + m_profile.ackLatency, f.seconds);
            answered = false;
        }
        if (f.kind == FaultKind::PowerCycle)
            after = PlainPowerCycle(f.seconds);
    }
    m_pending.clear();
    if (answered)
        Send(answer, now + m_profile.ackLatency, "resync-ok", {}, after);
    else if (after)
        after();
}

FaultRequest CSimRadio::FaultRequestOf(const std::vector<uint8_t>& frame)
{
    FaultRequest request{FaultOp::Other, Stage()};
    std::vector<uint8_t> data = radio_frames::Data(frame);
    switch (frame[1]) {
    case vesk::kRequestReset: request.op = FaultOp::Reset; break;
    case vesk::kRequestErase: request.op = FaultOp::Erase; break;
    case vesk::kRequestStatus: request.op = FaultOp::Status; break;
    case vesk::kRequestRead:
        request.op = FaultOp::Read;
        if (data.size() >= 4)
            request.address = radio_frames::Address24(data, 1);
        break;
    case vesk::kRequestWrite: {
        if (data.size() >= 3)
            request.address = radio_frames::Address24(data, 0);
        const bool flash = request.address && *request.address >= CRadioMemory::kFlashBase;
        request.op = flash ? FaultOp::FlashWrite : FaultOp::CodeplugWrite;
        if (flash) {
            request.record = ++m_flashWritesSinceErase;
            if (m_mode == Mode::BootCode && m_erasesThisRun >= 2)
                request.stage = FaultStage::Firmware;
        }
        break;
    }
    default: break;
    }
    return request;
}

std::function<void()> CSimRadio::PlainPowerCycle(double offSeconds)
{
    // The technician's hands between two requests: after the answer, not instead of it.
    return [this, offSeconds] { PowerCycle(false, offSeconds > 0 ? offSeconds : -1); };
}

void CSimRadio::HandleFrame(const std::vector<uint8_t>& frame)
{
    const double now = m_wire.Now();
    std::vector<FaultRule> faults = m_faults.OnRequest(FaultRequestOf(frame));
    const std::string number = "request " + std::to_string(m_faults.RequestNumber());
    const bool checksumOk = frame.back() == radio_frames::Checksum(frame.data(), frame.size() - 1);

    std::vector<uint8_t> ack{m_profile.ackByte};
    bool execute = checksumOk, sendAck = true, dropReply = false, corruptReply = false;
    double late = 0;
    std::function<void()> after;
    for (const FaultRule& f : faults) {
        m_trace.Event(now, "fault", std::string(FaultKindName(f.kind)) + " on " + number);
        switch (f.kind) {
        case FaultKind::PowerLoss: {
            std::vector<uint8_t> data = radio_frames::Data(frame);
            if (frame[1] == vesk::kRequestWrite && data.size() > 3 && checksumOk) {
                // The supply fails while the cells are being programmed: half the bytes took.
                std::size_t taken = (data.size() - 3) / 2;
                m_memory.WritePartly(radio_frames::Address24(data, 0), data.data() + 3, taken);
                m_trace.Event(now, "fault", "power lost after " + std::to_string(taken) + " bytes of the write at " +
                                                radio_frames::Hex(radio_frames::Address24(data, 0), 6));
            }
            m_trace.Add(now, CRadioTrace::Direction::FromPc, "frame", frame, number);
            PowerOff(f.seconds);
            return;
        }
        case FaultKind::DropAck: sendAck = false; execute = false; break;
        case FaultKind::Unplug:
            m_wire.Unplug();
            sendAck = false;
            execute = false;
            break;
        case FaultKind::Nack: ack = {vesk::kNegativeAck}; execute = false; break;
        case FaultKind::LineBreak:
            m_wire.SendBreak(now + m_profile.ackLatency, f.seconds);
            sendAck = false;
            execute = false;
            break;
        case FaultKind::Garbage: ack.insert(ack.begin(), f.bytes, 0x3C); break;
        case FaultKind::DropReply: dropReply = true; break;
        case FaultKind::LateReply: late += f.seconds; break;
        case FaultKind::BadChecksum: corruptReply = true; break;
        case FaultKind::WrongEcho: break;
        case FaultKind::PowerCycle: after = PlainPowerCycle(f.seconds); break;
        }
    }
    std::string note = number;
    Answer answer;
    if (!checksumOk) {
        ack = {vesk::kNegativeAck};
        note += ": bad checksum";
    } else if (execute) {
        std::string what;
        answer = Execute(frame, what);
        note += ": " + what;
    } else {
        note += ": not executed";
    }
    m_trace.Add(now, CRadioTrace::Direction::FromPc, "frame", frame, note);
    if (!sendAck) {
        if (after)
            m_wire.At(now + m_profile.ackLatency, after);
        return;
    }

    m_busyUntil = kNever;
    const uint64_t power = m_power;
    const LineSettings settings = FrameSettings();
    const bool replies = execute && answer.reply;
    m_wire.At(now + m_profile.ackLatency, [=, this] {
        if (power != m_power)
            return;
        double ackEnd = m_wire.SendToHost(ack.data(), ack.size(), settings, m_wire.Now());
        m_trace.Add(m_wire.Now(), CRadioTrace::Direction::ToPc, ack.back() == vesk::kNegativeAck ? "nack" : "ack", ack);
        if (!replies) {
            m_busyUntil = ackEnd;
            if (answer.resetAfter)
                PowerCycle(false);
            else if (after)
                m_wire.At(ackEnd, after);
            return;
        }
        double replyAt = ackEnd + m_profile.replyLatency + answer.work + late;
        m_busyUntil = replyAt;
        if (dropReply) {
            m_trace.Event(replyAt, "fault", "reply dropped");
            if (after)
                m_wire.At(replyAt, after);
            return;
        }
        std::vector<uint8_t> reply = radio_frames::Build(answer.opcode, answer.data);
        if (corruptReply)
            reply.back() ^= 0x5A;
        m_busyUntil = kNever;
        Send(reply, replyAt, "reply", corruptReply ? "checksum corrupted" : "", after);
    });
}

void CSimRadio::WriteDumps(const std::string& dir) const
{
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error)
        throw CGenError(3, "Cannot create the dump directory %s: %s", dir.c_str(), error.message().c_str());
    const std::filesystem::path base(dir);
    const auto& cp = m_memory.Codeplug();
    const auto& flash = m_memory.Flash();
    WriteFileAtomically((base / "codeplug.bin").string(), std::string(cp.begin(), cp.end()));
    WriteFileAtomically((base / "codeplug.s19").string(), FormatSRecords(cp, 0, "codeplug"));
    WriteFileAtomically((base / "flash.bin").string(), std::string(flash.begin(), flash.end()));
    WriteFileAtomically((base / "trace.txt").string(), m_trace.Format());
}
