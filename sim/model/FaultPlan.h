#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Faults the simulated radio (or the interface box in front of it) injects into its answers.
// A fault fires on `count` consecutive matching requests, starting at the `nth` request of
// kind `op` (or at request number `at` counting every request). The text form is documented
// in sim/README.md and by `tessarin sim --help`:
//   KIND[:key=value[,key=value]...]
enum class FaultKind { Nack, BadChecksum, DropAck, DropReply, LateReply, Garbage, WrongEcho, LineBreak, PowerLoss, Unplug };

struct FaultRule {
    FaultKind kind = FaultKind::Nack;
    unsigned at = 0;          // request number, counting every request from 1 (0: use op/nth)
    std::string op = "any";   // request kind (see kOps)
    unsigned nth = 1;         // the first matching request of that kind, from 1
    unsigned count = 1;       // how many matching requests it fires on
    double seconds = 0;       // late-reply delay, break length, power-off time
    unsigned bytes = 4;       // garbage bytes
    uint8_t mask = 0x01;      // wrong echo: bits flipped
    unsigned offset = 0;      // wrong echo: which byte of the request
    unsigned fired = 0;
};

// Request kinds a fault can name.
//   read write flash-write codeplug-write erase status reset resync other (frames and
//   resynchronisation), sync block (the boot ROM's handshake and code blocks), any.
extern const std::vector<std::string> kFaultOps;

// Parses one fault spec; raises CGenError code 3 with what is wrong and the syntax.
FaultRule ParseFaultSpec(const std::string& spec);
const char* FaultKindName(FaultKind kind);
// Help text describing the syntax.
const char* FaultSpecHelp();

class CFaultPlan {
public:
    void Add(FaultRule rule) { m_rules.push_back(rule); }
    bool Empty() const { return m_rules.empty(); }
    // Counts a request known by the kinds `ops` (for example flash-write, write, any) and
    // returns the faults that fire on it. Boot ROM events (sync, block) do not advance the
    // request number that `at` counts.
    std::vector<FaultRule> OnRequest(const std::vector<std::string>& ops);
    unsigned RequestNumber() const { return m_requests; }
    // Starts counting requests of kind `op` afresh (firmware records count from each erase).
    void RestartCount(const std::string& op);
    const std::vector<FaultRule>& Rules() const { return m_rules; }

private:
    std::vector<FaultRule> m_rules;
    unsigned m_requests = 0;
    std::vector<std::pair<std::string, unsigned>> m_opCounts;
    unsigned Count(const std::string& op);
};
