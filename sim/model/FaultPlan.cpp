#include "sim/model/FaultPlan.h"

#include "errors/Error.h"

#include <algorithm>
#include <sstream>

const std::vector<std::string> kFaultOps{"any",   "read",  "write", "flash-write", "codeplug-write", "erase", "status",
                                         "reset", "resync", "other", "sync",        "block"};

namespace {

struct KindName {
    FaultKind kind;
    const char* name;
    double defaultSeconds;
};
const KindName kKinds[] = {
    {FaultKind::Nack, "nack", 0},           {FaultKind::BadChecksum, "checksum", 0},
    {FaultKind::DropAck, "drop-ack", 0},    {FaultKind::DropReply, "drop-reply", 0},
    {FaultKind::LateReply, "late-reply", 2.0}, {FaultKind::Garbage, "garbage", 0},
    {FaultKind::WrongEcho, "echo", 0},      {FaultKind::LineBreak, "break", 0.050},
    {FaultKind::PowerLoss, "power-loss", 1.0}, {FaultKind::Unplug, "unplug", 0},
};

unsigned ToUnsigned(const std::string& spec, const std::string& key, const std::string& value, unsigned max)
{
    std::size_t used = 0;
    unsigned long n = 0;
    try {
        n = std::stoul(value, &used, 0);
    } catch (const std::exception&) {
        used = 0;
    }
    if (value.empty() || used != value.size() || n > max)
        throw CGenError(3, "Fault \"%s\": %s=%s is not a number from 0 to %u", spec.c_str(), key.c_str(), value.c_str(), max);
    return static_cast<unsigned>(n);
}

}  // namespace

const char* FaultKindName(FaultKind kind)
{
    for (const KindName& k : kKinds)
        if (k.kind == kind)
            return k.name;
    return "?";
}

const char* FaultSpecHelp()
{
    return "Fault spec: KIND[:key=value[,key=value]...]\n"
           "  KIND: nack | checksum | drop-ack | drop-reply | late-reply | garbage | echo | break | power-loss |\n"
           "        unplug (in-process only)\n"
           "  at=N        the N-th request of the session (frames and resynchronisations, from 1)\n"
           "  op=KIND     requests of one kind: any read write flash-write codeplug-write erase status\n"
           "              reset resync other sync block (default any)\n"
           "  nth=N       starting at the N-th request of that kind (default 1)\n"
           "  record=N    the N-th firmware record: op=flash-write,nth=N (flash writes count from each erase)\n"
           "  count=N     fire on N consecutive matching requests (default 1)\n"
           "  ms=N        late-reply delay (2000), break length (50), power-off time (1000)\n"
           "  bytes=N     garbage bytes sent before the acknowledgement (4)\n"
           "  mask=0xNN   echo: bits flipped in the echoed byte (0x01)\n"
           "  offset=N    echo: which byte of the request is echoed wrong (0); echo faults on frames need at=N,\n"
           "              on the boot ROM (op=sync, op=block) its answer comes back with a bit flipped\n"
           "Examples: nack:op=write,nth=3   late-reply:op=erase,ms=25000   power-loss:record=40\n";
}

FaultRule ParseFaultSpec(const std::string& spec)
{
    std::string kindText = spec.substr(0, spec.find(':'));
    FaultRule rule;
    const KindName* kind = nullptr;
    for (const KindName& k : kKinds)
        if (kindText == k.name)
            kind = &k;
    if (kind == nullptr)
        throw CGenError(3, "Fault \"%s\": unknown kind \"%s\" (nack, checksum, drop-ack, drop-reply, late-reply, garbage, "
                           "echo, break, power-loss or unplug)", spec.c_str(), kindText.c_str());
    rule.kind = kind->kind;
    rule.seconds = kind->defaultSeconds;
    if (spec.size() > kindText.size()) {
        std::istringstream params(spec.substr(kindText.size() + 1));
        std::string item;
        while (std::getline(params, item, ',')) {
            std::size_t eq = item.find('=');
            if (eq == std::string::npos)
                throw CGenError(3, "Fault \"%s\": \"%s\" is not key=value", spec.c_str(), item.c_str());
            std::string key = item.substr(0, eq), value = item.substr(eq + 1);
            if (key == "at")
                rule.at = ToUnsigned(spec, key, value, 1u << 30);
            else if (key == "op") {
                if (std::find(kFaultOps.begin(), kFaultOps.end(), value) == kFaultOps.end())
                    throw CGenError(3, "Fault \"%s\": op=%s is not a request kind", spec.c_str(), value.c_str());
                rule.op = value;
            } else if (key == "nth")
                rule.nth = ToUnsigned(spec, key, value, 1u << 30);
            else if (key == "record") {
                rule.op = "flash-write";
                rule.nth = ToUnsigned(spec, key, value, 1u << 30);
            } else if (key == "count")
                rule.count = ToUnsigned(spec, key, value, 1u << 30);
            else if (key == "ms")
                rule.seconds = ToUnsigned(spec, key, value, 600000) / 1000.0;
            else if (key == "bytes")
                rule.bytes = ToUnsigned(spec, key, value, 4096);
            else if (key == "mask")
                rule.mask = static_cast<uint8_t>(ToUnsigned(spec, key, value, 255));
            else if (key == "offset")
                rule.offset = ToUnsigned(spec, key, value, 1024);
            else
                throw CGenError(3, "Fault \"%s\": unknown key \"%s\"", spec.c_str(), key.c_str());
        }
    }
    if (rule.nth == 0 || rule.count == 0)
        throw CGenError(3, "Fault \"%s\": nth and count start at 1", spec.c_str());
    if (rule.kind == FaultKind::WrongEcho && rule.mask == 0)
        throw CGenError(3, "Fault \"%s\": mask=0 would leave the echo right", spec.c_str());
    return rule;
}

unsigned CFaultPlan::Count(const std::string& op)
{
    for (auto& [name, n] : m_opCounts)
        if (name == op)
            return ++n;
    m_opCounts.emplace_back(op, 1);
    return 1;
}

std::vector<FaultRule> CFaultPlan::OnRequest(const std::vector<std::string>& ops)
{
    bool boot = std::find(ops.begin(), ops.end(), "sync") != ops.end() ||
                std::find(ops.begin(), ops.end(), "block") != ops.end();
    if (!boot)
        ++m_requests;
    std::vector<std::pair<std::string, unsigned>> counts;
    for (const std::string& op : ops)
        counts.emplace_back(op, Count(op));
    std::vector<FaultRule> firing;
    for (FaultRule& rule : m_rules) {
        bool match = false;
        if (rule.at != 0) {
            match = !boot && m_requests >= rule.at && m_requests < rule.at + rule.count;
        } else {
            for (const auto& [op, n] : counts)
                if (op == rule.op && n >= rule.nth && n < rule.nth + rule.count)
                    match = true;
        }
        if (match) {
            ++rule.fired;
            firing.push_back(rule);
        }
    }
    return firing;
}

void CFaultPlan::RestartCount(const std::string& op)
{
    for (auto& [name, n] : m_opCounts)
        if (name == op)
            n = 0;
}
