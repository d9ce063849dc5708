#include "app/PressJournal.h"

#include "app/KitFingerprint.h"
#include "app/RadioFacts.h"
#include "app/UpgradeForm.h"
#include "errors/Error.h"
#include "errors/ErrorLog.h"
#include "errors/Log.h"
#include "platform/AppendFile.h"
#include "platform/HostInfo.h"
#include "platform/PortTable.h"

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

using json = nlohmann::json;

constexpr const char kJournalName[] = "journal.jsonl";

json PlanJson(const ProgramOutcome& outcome)
{
    if (!outcome.planned)
        return nullptr;
    const UpgradePlan& plan = outcome.plan;
    return json{{"flashFirmware", plan.flashFirmware != 0},
                {"codeplugMode", plan.codeplugMode},
                {"applyPatches", plan.applyPatches != 0},
                {"modelTag", plan.modelTag},
                {"codeplugFile", outcome.codeplugFile},
                {"firmwareFile", outcome.firmwareFile.empty() ? json(nullptr) : json(outcome.firmwareFile)},
                {"flashBaud", outcome.flashBaud == 0 ? json(nullptr) : json(outcome.flashBaud)}};
}

json MessagesJson(const std::vector<ShownMessage>& messages)
{
    json list = json::array();
    for (const ShownMessage& shown : messages)
        list.push_back(json{{"caption", shown.caption}, {"text", shown.text}, {"answer", shown.answer}});
    return list;
}

// How far the press took the radio: its record's stage, or "not-started" when it made none.
std::string StageReached(const CUpgradeForm& form)
{
    return form.PressRecorded() ? PressStageName(form.PressRecord().stage) : "not-started";
}

json RecordJson(const CUpgradeForm& form)
{
    if (!form.RecordFileUsed().empty())
        return form.RecordFileUsed();
    if (form.PressRecorded() && !form.PressRecord().file.empty())
        return form.PressRecord().file;
    return nullptr;
}

// The error log file this run writes, when it writes one.
json LogJson()
{
    const auto* file = dynamic_cast<const CwFileLog*>(ErrorLog().Sink(0));
    if (file == nullptr || !file->IsOpen())
        return nullptr;
    std::error_code ec;
    fs::path path = fs::absolute(file->Path(), ec);
    return ec ? std::string(file->Path()) : path.lexically_normal().string();
}

json PortJson(const PressFacts& facts)
{
    std::string device = facts.portDevice;
    if (device.empty() && facts.portNumber > 0)
        device = PortTable().PathFor(static_cast<unsigned>(facts.portNumber));
    return json{{"number", facts.portNumber}, {"device", device.empty() ? json(nullptr) : json(device)}};
}

} // namespace

CPressWatch::CPressWatch(const CShownMessages& shown, std::string frontEnd)
    : m_shown(shown), m_frontEnd(std::move(frontEnd)), m_shownBefore(shown.Count()),
      m_started(std::chrono::system_clock::now()), m_steadyStart(std::chrono::steady_clock::now())
{
}

PressFacts CPressWatch::Facts(const ProgramOutcome& outcome, int portNumber) const
{
    PressFacts facts;
    facts.frontEnd = m_frontEnd;
    facts.started = m_started;
    facts.durationSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_steadyStart).count();
    facts.exitStatus = ProgramExitStatus(outcome.end);
    facts.portNumber = portNumber;
    facts.messages = m_shown.Since(m_shownBefore);
    return facts;
}

fs::path PressJournalFile(const CCarryOverStore& store) { return store.Directory() / kJournalName; }

std::string PressEntryLine(const CUpgradeForm& form, const ProgramOutcome& outcome, const PressFacts& facts)
{
    json entry{{"time", LocalIsoTime(facts.started)},
               {"host", HostName()},
               {"user", UserName()},
               {"frontEnd", facts.frontEnd},
               {"port", PortJson(facts)},
               {"kit",
                {{"title", form.Title()},
                 {"folder", form.KitDirectory().string()},
                 {"fingerprint", KitFingerprint(form.KitDirectory())}}},
               {"radio", RadioFactsJson(form, outcome.firmwareFile)},
               {"radioAfter", nullptr},
               {"plan", PlanJson(outcome)},
               {"stage", StageReached(form)},
               {"outcome", ProgramEndName(outcome.end)},
               {"exitStatus", facts.exitStatus},
               {"durationSeconds", facts.durationSeconds},
               {"messages", MessagesJson(facts.messages)},
               {"detail", outcome.detail},
               {"record", RecordJson(form)},
               {"log", LogJson()}};
    // Text that is not UTF-8 (a radio's model text, a file name) is written with U+FFFD
    // rather than refused: a press is journalled whatever it read.
    return entry.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string JournalPress(const CUpgradeForm& form, const ProgramOutcome& outcome, const PressFacts& facts)
{
    const fs::path file = PressJournalFile(form.CarryOverStore());
    try {
        std::error_code ec;
        fs::create_directories(file.parent_path(), ec);
        AppendLine(file.string(), PressEntryLine(form, outcome, facts));
        return {};
    } catch (const CError& e) {
        std::string problem = std::string("The press was not written to the journal: ") + e.GetText();
        ErrorLog().Log("%s", problem.c_str());
        return problem;
    }
}
