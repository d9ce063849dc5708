#include "cli/ProgramReport.h"

#include "app/RadioFacts.h"
#include "app/UpgradeForm.h"

#include <nlohmann/json.hpp>

namespace {

using json = nlohmann::json;

json PlanJson(const UpgradePlan& plan)
{
    return json{{"askFlashRate", plan.askFlashRate != 0},
                {"flashFirmware", plan.flashFirmware != 0},
                {"codeplugMode", plan.codeplugMode},
                {"applyPatches", plan.applyPatches != 0},
                {"modelTag", plan.modelTag}};
}

json MessagesJson(const std::vector<CTerminalUi::Shown>& messages)
{
    json list = json::array();
    for (const auto& shown : messages)
        list.push_back(json{{"caption", shown.caption}, {"text", shown.text}, {"answer", shown.answer}});
    return list;
}

json PatchJson(const PatchEntries& entries)
{
    json list = json::array();
    for (const PatchEntry& e : entries)
        list.push_back(json{{"kind", e.kind}, {"a", e.a}, {"b", e.b}, {"c", e.c}, {"d", e.d}, {"e", e.e}});
    return list;
}

const char* CodeplugModeWords(int mode)
{
    switch (mode) {
    case 0:
        return "no codeplug programming";
    case 1:
        return "program the first part of the codeplug (up to P1)";
    case 2:
        return "program the codeplug from P1 to its region end";
    case 3:
        return "program the whole codeplug";
    default:
        return "an unknown codeplug mode (the engine refuses it)";
    }
}

const char* PatchKindWords(uint32_t kind)
{
    switch (kind) {
    case kPatchVerify:
        return "verify a status byte";
    case kPatchReadBlock:
        return "read a codeplug block";
    case kPatchModify:
        return "change bits of one byte";
    case kPatchWriteBlock:
        return "write the block back";
    case kPatchEnd:
        return "end";
    default:
        return "unknown kind (ends the patching)";
    }
}

} // namespace

void PrintProgramJson(std::FILE* out, const CUpgradeForm& form, const ProgramOutcome& outcome, int exitStatus,
                      int presses, const std::vector<CTerminalUi::Shown>& messages, double elapsedSeconds)
{
    json summary{{"outcome", ProgramEndName(outcome.end)},
                 {"exitStatus", exitStatus},
                 {"engineResult", outcome.engineResult},
                 {"engineRuns", outcome.engineRuns},
                 {"presses", presses},
                 {"kit", form.KitDirectory().string()},
                 {"title", form.Title()},
                 {"radio", RadioFactsJson(form, outcome.firmwareFile)},
                 {"plan", outcome.planned ? PlanJson(outcome.plan) : json(nullptr)},
                 {"codeplugFile", outcome.planned ? json(outcome.codeplugFile) : json(nullptr)},
                 {"firmwareFile", outcome.firmwareFile.empty() ? json(nullptr) : json(outcome.firmwareFile)},
                 {"flashBaud", outcome.flashBaud == 0 ? json(nullptr) : json(outcome.flashBaud)},
                 {"messages", MessagesJson(messages)},
                 {"detail", outcome.detail},
                 {"elapsedSeconds", elapsedSeconds}};
    std::fprintf(out, "%s\n", summary.dump().c_str());
    std::fflush(out);
}

void PrintPlanWords(std::FILE* out, const CUpgradeForm& form, const PlanReport& report)
{
    if (!report.planned) {
        std::fprintf(out, "No plan: %s%s%s. Nothing was written to the radio.\n", ProgramEndName(report.end),
                     report.detail.empty() ? "" : ": ", report.detail.c_str());
        std::fflush(out);
        return;
    }
    const UpgradePlan& plan = report.plan;
    std::fprintf(out, "The radio passes verification%s; it matches model entry %d (tag \"%s\").\n",
                 report.bootState ? " in its boot state" : "", report.entryIndex + 1, plan.modelTag.c_str());
    std::fprintf(out, "Plan:\n");
    if (plan.flashFirmware) {
        std::fprintf(out, "  - flash firmware: boot code %s / %s / %s for 19,200 / 38,400 / 115,200 Bd%s; then the "
                          "firmware image for the radio's flash size (fw_128k, fw_256k or fw_512k)\n",
                     report.bootcodeFiles[0].c_str(), report.bootcodeFiles[1].c_str(),
                     report.bootcodeFiles[2].c_str(),
                     report.asksFlashRate ? "; the flash rate is asked first"
                                          : "; the flash rate already chosen in this run is used");
    } else {
        std::fprintf(out, "  - no firmware flashing\n");
    }
    if (plan.codeplugMode != 0) {
        std::fprintf(out, "  - %s from the codeplug image %s (%zu characters of S-records), carrying over the "
                          "radio's own tuning and serial number\n",
                     CodeplugModeWords(plan.codeplugMode), report.codeplugFile.c_str(), report.codeplugImage.size());
    } else {
        std::fprintf(out, "  - %s\n", CodeplugModeWords(0));
    }
    if (plan.applyPatches) {
        std::fprintf(out, "  - apply %zu patch entries:\n", report.patchEntries.size());
        for (const PatchEntry& e : report.patchEntries)
            std::fprintf(out, "      %02X,%02X,%02X,%04X,%02X,%02X  %s\n", e.kind, e.a, e.b, e.c, e.d, e.e,
                         PatchKindWords(e.kind));
    } else {
        std::fprintf(out, "  - no patches\n");
    }
    for (const auto& note : report.notes)
        std::fprintf(out, "Note: %s\n", note.c_str());
    std::fprintf(out, "Nothing was written to the radio (kit: %s).\n", form.KitDirectory().string().c_str());
    std::fflush(out);
}

void PrintPlanJson(std::FILE* out, const CUpgradeForm& form, const PlanReport& report, int exitStatus,
                   const std::vector<CTerminalUi::Shown>& messages)
{
    json summary{{"outcome", report.planned ? "planned" : ProgramEndName(report.end)},
                 {"exitStatus", exitStatus},
                 {"kit", form.KitDirectory().string()},
                 {"title", form.Title()},
                 {"radio", RadioFactsJson(form)},
                 {"bootState", report.bootState},
                 {"plan", report.planned ? PlanJson(report.plan) : json(nullptr)},
                 {"entryIndex", report.entryIndex},
                 {"codeplugFile", report.planned ? json(report.codeplugFile) : json(nullptr)},
                 {"patchEntries", report.planned ? PatchJson(report.patchEntries) : json::array()},
                 {"asksFlashRate", report.asksFlashRate},
                 {"bootcodeFiles", {report.bootcodeFiles[0], report.bootcodeFiles[1], report.bootcodeFiles[2]}},
                 {"notes", report.notes},
                 {"messages", MessagesJson(messages)},
                 {"detail", report.detail}};
    std::fprintf(out, "%s\n", summary.dump().c_str());
    std::fflush(out);
}
