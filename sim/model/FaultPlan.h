#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Faults the simulated radio (or the interface box in front of it) injects into its answers.
// The text form is documented in sim/README.md and by `tessarin sim --help`:
//   KIND[:key=value[,key=value]...]
enum class FaultKind { Nack, BadChecksum, DropAck, DropReply, LateReply, Garbage, WrongEcho, LineBreak, PowerLoss, PowerCycle, Unplug };

// What kind of request the radio heard. `Any` and `Write` only select: a request is always
// one of the others.
enum class FaultOp { Any, Read, Write, FlashWrite, CodeplugWrite, Erase, Status, Reset, Resync, Other, Sync, Block };

// Where the radio is in an upgrade when it hears a request: the boot ROM's handshake, the
// application (or the boot state), the boot code before its second erase, and the firmware
// records after it.
enum class FaultStage { Any, Bootstrap, Application, BootCode, Firmware };

// One request as the fault plan sees it.
struct FaultRequest {
    FaultOp op = FaultOp::Other;
    FaultStage stage = FaultStage::Application;
    std::optional<uint32_t> address;  // reads and writes
    unsigned record = 0;              // flash writes: the how-manieth since the last erase, from 1
    bool BootRom() const { return op == FaultOp::Sync || op == FaultOp::Block; }
};

// Which requests a rule fires on. It looks at the requests its op, stage and address select,
// counts them from 1 over the whole session (they never start again), and fires on
// `count` of them in a row from the `nth`, at most `times` times in all. Two other positions
// take the place of that count: `at` (the request number of the session, counting every frame
// and resynchronisation) and `record` (a flash write's place after the last erase).
struct FaultRule {
    FaultKind kind = FaultKind::Nack;
    FaultOp op = FaultOp::Any;
    FaultStage stage = FaultStage::Any;
    std::optional<uint32_t> address;
    unsigned at = 0;      // request number of the session, from 1 (0: not used)
    unsigned record = 0;  // flash write since the last erase, from 1 (0: not used)
    unsigned nth = 1;     // the first selected request it fires on, from 1
    unsigned count = 1;   // how many in a row
    unsigned times = 0;   // fires at most this often in all (0: no limit)
    double seconds = 0;   // late-reply delay, break length, power-off time
    unsigned bytes = 4;   // garbage bytes
    uint8_t mask = 0x01;  // wrong echo: bits flipped
    unsigned offset = 0;  // wrong echo: which byte of the request
    unsigned seen = 0;    // selected requests so far
    unsigned fired = 0;   // times fired so far

    // True when the rule fires on a request it selects at `position`.
    bool InWindow(unsigned position) const;
};

const char* FaultOpName(FaultOp op);
const char* FaultStageName(FaultStage stage);
const char* FaultKindName(FaultKind kind);
// True when a rule asking for `wanted` selects a request of kind `heard`.
bool FaultOpSelects(FaultOp wanted, FaultOp heard);

// Parses one fault spec; raises CGenError code 3 with what is wrong and the syntax.
FaultRule ParseFaultSpec(const std::string& spec);
// Help text describing the syntax.
const char* FaultSpecHelp();

class CFaultPlan {
public:
    // A rule added during the session counts the requests it selects from the session's start.
    void Add(FaultRule rule);
    bool Empty() const { return m_rules.empty(); }
    // Counts a request and returns the faults that fire on it. Boot ROM steps (sync, block) do
    // not advance the request number that `at` counts.
    std::vector<FaultRule> OnRequest(const FaultRequest& request);
    // The faults that would fire on `request` if it came next, without counting it.
    std::vector<FaultRule> Peek(const FaultRequest& request) const;
    unsigned RequestNumber() const { return m_requests; }
    const std::vector<FaultRule>& Rules() const { return m_rules; }

private:
    static bool Selects(const FaultRule& rule, const FaultRequest& request);
    // Whether `rule` fires on `request`; `count` counts it against the rule.
    bool Fires(FaultRule& rule, const FaultRequest& request, unsigned requestNumber, bool count) const;

    std::vector<FaultRule> m_rules;
    std::vector<FaultRequest> m_heard;
    unsigned m_requests = 0;
};
