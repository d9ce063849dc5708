#include "sim/model/FaultPlan.h"

#include "errors/Error.h"

#include <sstream>

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
    {FaultKind::PowerLoss, "power-loss", 1.0}, {FaultKind::PowerCycle, "power-cycle", 0},
    {FaultKind::Unplug, "unplug", 0},
};

struct OpName {
    FaultOp op;
    const char* name;
};
const OpName kOps[] = {
    {FaultOp::Any, "any"},       {FaultOp::Read, "read"},     {FaultOp::Write, "write"},
    {FaultOp::FlashWrite, "flash-write"}, {FaultOp::CodeplugWrite, "codeplug-write"},
    {FaultOp::Erase, "erase"},   {FaultOp::Status, "status"}, {FaultOp::Reset, "reset"},
    {FaultOp::Resync, "resync"}, {FaultOp::Other, "other"},   {FaultOp::Sync, "sync"},
    {FaultOp::Block, "block"},
};

struct StageName {
    FaultStage stage;
    const char* name;
};
const StageName kStages[] = {
    {FaultStage::Any, "any"},          {FaultStage::Bootstrap, "bootstrap"},
    {FaultStage::Application, "application"}, {FaultStage::BootCode, "boot-code"},
    {FaultStage::Firmware, "firmware"},
};

unsigned ToUnsigned(const std::string& spec, const std::string& key, const std::string& value, unsigned long max)
{
    std::size_t used = 0;
    unsigned long n = 0;
    try {
        n = std::stoul(value, &used, 0);
    } catch (const std::exception&) {
        used = 0;
    }
    if (value.empty() || used != value.size() || n > max)
        throw CGenError(3, "Fault \"%s\": %s=%s is not a number from 0 to %lu", spec.c_str(), key.c_str(), value.c_str(), max);
    return static_cast<unsigned>(n);
}

// A count or a position: from 1.
unsigned Counting(const std::string& spec, const std::string& key, const std::string& value)
{
    unsigned n = ToUnsigned(spec, key, value, 1u << 30);
    if (n == 0)
        throw CGenError(3, "Fault \"%s\": %s counts from 1", spec.c_str(), key.c_str());
    return n;
}

}  // namespace

const char* FaultKindName(FaultKind kind)
{
    for (const KindName& k : kKinds)
        if (k.kind == kind)
            return k.name;
    return "?";
}

const char* FaultOpName(FaultOp op)
{
    for (const OpName& o : kOps)
        if (o.op == op)
            return o.name;
    return "?";
}

const char* FaultStageName(FaultStage stage)
{
    for (const StageName& s : kStages)
        if (s.stage == stage)
            return s.name;
    return "?";
}

bool FaultOpSelects(FaultOp wanted, FaultOp heard)
{
    if (wanted == FaultOp::Any || wanted == heard)
        return true;
    return wanted == FaultOp::Write && (heard == FaultOp::FlashWrite || heard == FaultOp::CodeplugWrite);
}

bool FaultRule::InWindow(unsigned position) const
{
    const unsigned first = at != 0 ? at : record != 0 ? record : nth;
    return position >= first && position - first < count && (times == 0 || fired < times);
}

const char* FaultSpecHelp()
{
    return "Fault spec: KIND[:key=value[,key=value]...]\n"
           "  KIND: nack | checksum | drop-ack | drop-reply | late-reply | garbage | echo | break | power-loss |\n"
           "        power-cycle | unplug (in-process only)\n"
           "Which requests (counted over the whole session; counts never start again):\n"
           "  op=KIND     any (default; the boot ROM's steps too) read write flash-write codeplug-write erase\n"
           "              status reset resync other sync block\n"
           "  stage=NAME  any (default) bootstrap application boot-code firmware (flash writes after the boot\n"
           "              code's second erase)\n"
           "  addr=A      requests at address A (reads and writes)\n"
           "  nth=N       from the N-th selected request (default 1)\n"
           "  at=N        instead: the N-th request of the session (frames and resynchronisations, from 1)\n"
           "  record=N    instead: the N-th flash write after each erase (the firmware record of each attempt)\n"
           "  count=N     on N requests in a row (default 1)\n"
           "  times=N     at most N times in all (default: no limit)\n"
           "What it does:\n"
           "  ms=N        late-reply delay (2000), break length (50), power-off time (1000; power-cycle: the\n"
           "              radio's power-up time)\n"
           "  bytes=N     garbage bytes sent before the acknowledgement (4)\n"
           "  mask=0xNN   echo: bits flipped in the echoed byte (0x01)\n"
           "  offset=N    echo: which byte of the request is echoed wrong (0); echo faults on frames need at=N;\n"
           "              on a code block the box's echo of it is wrong (the radio's own copy without a box echo)\n"
           "Examples: nack:op=write,nth=3   late-reply:op=erase,ms=25000   power-loss:record=40,times=1\n"
           "          power-loss:stage=firmware,nth=40   echo:op=block,nth=2   power-cycle:op=status\n";
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
                           "echo, break, power-loss, power-cycle or unplug)", spec.c_str(), kindText.c_str());
    rule.kind = kind->kind;
    rule.seconds = kind->defaultSeconds;
    bool opGiven = false;
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
                const OpName* op = nullptr;
                for (const OpName& o : kOps)
                    if (value == o.name)
                        op = &o;
                if (op == nullptr)
                    throw CGenError(3, "Fault \"%s\": op=%s is not a request kind", spec.c_str(), value.c_str());
                rule.op = op->op;
                opGiven = true;
            } else if (key == "stage") {
                const StageName* stage = nullptr;
                for (const StageName& s : kStages)
                    if (value == s.name)
                        stage = &s;
                if (stage == nullptr)
                    throw CGenError(3, "Fault \"%s\": stage=%s is not a stage (any, bootstrap, application, boot-code, "
                                       "firmware)", spec.c_str(), value.c_str());
                rule.stage = stage->stage;
            } else if (key == "addr")
                rule.address = ToUnsigned(spec, key, value, 0xFFFFFF);
            else if (key == "nth")
                rule.nth = Counting(spec, key, value);
            else if (key == "record")
                rule.record = Counting(spec, key, value);
            else if (key == "count")
                rule.count = Counting(spec, key, value);
            else if (key == "times")
                rule.times = Counting(spec, key, value);
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
    if (rule.record != 0) {
        if (rule.at != 0 || (opGiven && !FaultOpSelects(rule.op, FaultOp::FlashWrite)))
            throw CGenError(3, "Fault \"%s\": record=N names a flash write by its place after the erase; it goes with "
                               "neither at=N nor another op", spec.c_str());
        rule.op = FaultOp::FlashWrite;
    }
    if (rule.kind == FaultKind::WrongEcho && rule.mask == 0)
        throw CGenError(3, "Fault \"%s\": mask=0 would leave the echo right", spec.c_str());
    return rule;
}

bool CFaultPlan::Selects(const FaultRule& rule, const FaultRequest& request)
{
    return FaultOpSelects(rule.op, request.op) && (rule.stage == FaultStage::Any || rule.stage == request.stage) &&
           (!rule.address || (request.address && *request.address == *rule.address));
}

void CFaultPlan::Add(FaultRule rule)
{
    for (const FaultRequest& request : m_heard)
        if (Selects(rule, request))
            ++rule.seen;
    m_rules.push_back(rule);
}

bool CFaultPlan::Fires(FaultRule& rule, const FaultRequest& request, unsigned requestNumber, bool count) const
{
    if (!Selects(rule, request))
        return false;
    if (rule.at != 0)
        return !request.BootRom() && rule.InWindow(requestNumber);
    if (rule.record != 0)
        return request.record != 0 && rule.InWindow(request.record);
    const unsigned position = rule.seen + 1;
    if (count)
        rule.seen = position;
    return rule.InWindow(position);
}

std::vector<FaultRule> CFaultPlan::OnRequest(const FaultRequest& request)
{
    if (!request.BootRom())
        ++m_requests;
    m_heard.push_back(request);
    std::vector<FaultRule> firing;
    for (FaultRule& rule : m_rules) {
        if (Fires(rule, request, m_requests, true)) {
            ++rule.fired;
            firing.push_back(rule);
        }
    }
    return firing;
}

std::vector<FaultRule> CFaultPlan::Peek(const FaultRequest& request) const
{
    std::vector<FaultRule> firing;
    const unsigned next = request.BootRom() ? m_requests : m_requests + 1;
    for (FaultRule rule : m_rules)
        if (Fires(rule, request, next, false))
            firing.push_back(rule);
    return firing;
}
