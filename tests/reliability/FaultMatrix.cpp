#include "tests/reliability/FaultMatrix.h"

#include <cstdlib>
#include <functional>

namespace {

// One request of the clean run as the radio heard it: "read 1 at 003FF0", "erase flash", ...
struct Heard {
    std::size_t index;  // position in the trace
    unsigned request;
    std::string what;
    unsigned long address = 0;  // for reads and writes
};

std::vector<Heard> HeardRequests(const std::vector<CRadioTrace::Entry>& trace)
{
    std::vector<Heard> heard;
    for (std::size_t i = 0; i < trace.size(); ++i) {
        const auto& e = trace[i];
        if (e.direction != CRadioTrace::Direction::FromPc || (e.what != "frame" && e.what != "resync"))
            continue;
        if (e.note.rfind("request ", 0) != 0)
            continue;
        Heard h{i, static_cast<unsigned>(std::strtoul(e.note.c_str() + 8, nullptr, 10)), {}};
        std::size_t colon = e.note.find(": ");
        h.what = colon == std::string::npos ? e.what : e.note.substr(colon + 2);
        std::size_t at = h.what.find(" at ");
        if (at != std::string::npos)
            h.address = std::strtoul(h.what.c_str() + at + 4, nullptr, 16);
        heard.push_back(h);
    }
    return heard;
}

bool Starts(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }
bool IsRead(const Heard& h) { return Starts(h.what, "read "); }
bool IsWrite(const Heard& h) { return Starts(h.what, "write "); }
bool IsFlashWrite(const Heard& h) { return IsWrite(h) && h.address >= 0x400000; }
bool IsCodeplugWrite(const Heard& h) { return IsWrite(h) && h.address < 0x400000; }
bool IsMarkWrite(const Heard& h) { return IsWrite(h) && h.address == 0x3FF0; }

using Pick = std::function<bool(const Heard&)>;

// The positions of the requests that match, in order.
std::vector<std::size_t> All(const std::vector<Heard>& heard, const Pick& pick, std::size_t from = 0, std::size_t to = SIZE_MAX)
{
    std::vector<std::size_t> found;
    for (std::size_t i = from; i < heard.size() && i < to; ++i)
        if (pick(heard[i]))
            found.push_back(i);
    return found;
}

FaultTarget Request(const std::vector<Heard>& heard, const std::vector<std::size_t>& found, std::size_t which,
                    unsigned attempts)
{
    FaultTarget t;
    if (which >= found.size())
        return t;
    t.request = heard[found[which]].request;
    t.attempts = attempts;
    t.found = true;
    return t;
}

// Attempts of one exchange: four; nine in the firmware write loop, where every retry is a
// resynchronisation followed by the request again.
constexpr unsigned kAttempts = 4;
constexpr unsigned kFirmwareRequests = 1 + 8 * 2;

}  // namespace

const std::vector<StageSpec>& MatrixStages()
{
    static const std::vector<StageSpec> stages{
        {"verification requests", StageFailure::LinkError, false},
        {"identity mark", StageFailure::LinkError, false},
        {"boot code handshake (FL0)", StageFailure::NotStarted, false},
        {"boot code download (FL0)", StageFailure::NotStarted, false},
        {"boot code handshake (K4)", StageFailure::NotStarted, true},
        {"boot code download (K4)", StageFailure::NotStarted, true},
        {"identity check", StageFailure::FlashSize, false},
        {"first erase", StageFailure::FlashSize, false},
        {"size probe", StageFailure::FlashSize, false},
        {"second erase", StageFailure::UpdateError, false},
        {"firmware record, first", StageFailure::UpdateError, false},
        {"firmware record, middle", StageFailure::UpdateError, false},
        {"firmware record, last", StageFailure::UpdateError, false},
        {"carry-over reads", StageFailure::UpdateError, false},
        {"programming loop", StageFailure::UpdateError, false},
        {"restore writes", StageFailure::UpdateError, false},
        {"patch verify (10)", StageFailure::UpdateError, false},
        {"patch read block (20)", StageFailure::UpdateError, false},
        {"patch write block (50)", StageFailure::UpdateError, false},
        {"final reset", StageFailure::UpdateError, false},
    };
    return stages;
}

const std::vector<FaultSpec>& MatrixFaults()
{
    static const std::vector<FaultSpec> faults{
        {"NACK once", "nack", false},
        {"NACK every attempt", "nack", true},
        {"corrupted checksum", "checksum", false},
        {"dropped ack", "drop-ack", false},
        {"dropped reply", "drop-reply", false},
        {"late reply", "late-reply", false},
        {"garbage", "garbage", false},
        {"wrong echo byte", "echo", false},
        {"break", "break", false},
        {"power loss", "power-loss", false},
        {"unplugged device", "unplug", false},
    };
    return faults;
}

FaultTarget FindStage(const std::string& stage, const std::vector<CRadioTrace::Entry>& trace)
{
    const std::vector<Heard> heard = HeardRequests(trace);
    // `heardAs`: the boot ROM step as the trace shows it (a K4 ROM's code chunks are "chunk").
    auto boot = [&](const char* op, const char* heardAs, bool middle, unsigned attempts) {
        FaultTarget t;
        unsigned n = 0;
        for (const auto& e : trace)
            if (e.direction == CRadioTrace::Direction::FromPc && e.what == heardAs)
                ++n;
        if (n == 0)
            return t;
        t.bootOp = op;
        t.nth = middle ? n / 2 + 1 : 1;
        t.attempts = attempts;
        t.found = true;
        return t;
    };
    if (stage.find("handshake") != std::string::npos)
        return boot("sync", "sync", false, 3);
    // A K4 ROM checks nothing it takes but the header of the first chunk: that is where a spoilt
    // download shows.
    if (stage.find("download (K4)") != std::string::npos)
        return boot("block", "chunk", false, 1);
    if (stage.find("download") != std::string::npos)
        return boot("block", "block", true, 1);

    const auto marks = All(heard, IsMarkWrite);
    const std::size_t mark = marks.empty() ? heard.size() : marks.front();
    const auto erases = All(heard, [](const Heard& h) { return h.what == "erase flash"; });
    const auto flashWrites = All(heard, IsFlashWrite);
    const std::size_t afterFlash = flashWrites.empty() ? heard.size() : flashWrites.back() + 1;
    const auto resets = All(heard, [](const Heard& h) { return h.what == "reset"; });
    // The patcher begins with its verify entry's status request, after the codeplug work.
    const auto patchStatus = All(heard, [](const Heard& h) { return Starts(h.what, "status "); }, afterFlash);
    const std::size_t patchStart = patchStatus.empty() ? heard.size() : patchStatus.front();

    if (stage == "verification requests")
        return Request(heard, All(heard, [](const Heard& h) { return Starts(h.what, "status "); }, mark + 1), 0, kAttempts);
    if (stage == "identity mark")
        return Request(heard, marks, 0, kAttempts);
    if (stage == "identity check")
        return Request(heard, All(heard, [](const Heard& h) { return IsRead(h) && h.address == 0x3FF0; }, mark + 1), 0,
                       kAttempts);
    if (stage == "first erase")
        return Request(heard, erases, 0, kAttempts);
    if (stage == "second erase")
        return Request(heard, erases, 1, kAttempts);
    // The probe write the radio takes, the one that decides the firmware file: the last flash
    // write before the second erase (a smaller radio refuses the probes above its flash).
    if (stage == "size probe") {
        const std::size_t first = erases.empty() ? heard.size() : erases[0];
        const std::size_t second = erases.size() > 1 ? erases[1] : heard.size();
        const auto probes = All(heard, IsFlashWrite, first, second);
        return Request(heard, probes, probes.empty() ? 0 : probes.size() - 1, kAttempts);
    }
    if (Starts(stage, "firmware record")) {
        std::size_t second = erases.size() > 1 ? erases[1] : heard.size();
        auto records = All(heard, IsFlashWrite, second);
        std::size_t which = stage.find("first") != std::string::npos ? 0
                            : stage.find("middle") != std::string::npos ? records.size() / 2
                                                                        : records.size() - 1;
        return Request(heard, records, which, kFirmwareRequests);
    }
    if (stage == "carry-over reads")
        return Request(heard, All(heard, IsRead, afterFlash, patchStart), 0, kAttempts);
    // The programming loop writes the region in 32-byte requests; the carried-over data is
    // restored after it, in writes of other sizes or out of the loop's order.
    auto codeplugWrites = All(heard, IsCodeplugWrite, afterFlash, patchStart);
    std::vector<std::size_t> loop, restore;
    for (std::size_t i : codeplugWrites) {
        bool inLoop = restore.empty() && (loop.empty() || heard[i].address > heard[loop.back()].address);
        (inLoop ? loop : restore).push_back(i);
    }
    if (stage == "programming loop")
        return Request(heard, loop, loop.size() / 2, kAttempts);
    if (stage == "restore writes")
        return Request(heard, restore, 0, kAttempts);
    if (stage == "patch verify (10)")
        return Request(heard, patchStatus, 0, kAttempts);
    if (stage == "patch read block (20)")
        return Request(heard, All(heard, IsRead, patchStart), 0, kAttempts);
    if (stage == "patch write block (50)")
        return Request(heard, All(heard, IsCodeplugWrite, patchStart), 0, kAttempts);
    if (stage == "final reset")
        return Request(heard, resets, resets.empty() ? 0 : resets.size() - 1, kAttempts);
    return {};
}

std::string CellFaultSpec(const FaultSpec& fault, const FaultTarget& target)
{
    std::string spec = fault.kind;
    spec += target.bootOp.empty() ? ":at=" + std::to_string(target.request)
                                  : ":op=" + target.bootOp + ",nth=" + std::to_string(target.nth);
    if (fault.everyAttempt && target.attempts > 1)
        spec += ",count=" + std::to_string(target.attempts);
    return spec;
}
