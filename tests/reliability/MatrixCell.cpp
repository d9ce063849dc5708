#include "tests/reliability/MatrixCell.h"

#include "app/FormMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

using namespace FormText;

namespace {

const char* StageMessage(StageFailure failure)
{
    switch (failure) {
    case StageFailure::LinkError: return nullptr;  // the error's own text
    case StageFailure::NotStarted: return kFlashNotStarted;
    case StageFailure::FlashSize: return kFlashSizeFailed;
    case StageFailure::UpdateError: return kUpdateError;
    }
    return nullptr;
}

// The first line of a message, for the table.
std::string Short(const std::string& text) { return text.substr(0, text.find('\n')); }

bool IsFailureBox(const CScriptedUi::Box& box)
{
    return box.caption == kError || box.caption == kInitializationError || box.caption == kInvalidOperation;
}

const char* VerdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Recovered: return "recovered";
    case Verdict::Unexpected: return "UNEXPECTED";
    }
    return "";
}

// Requests (frames and resynchronisations) the radio heard from the PC.
std::size_t RequestsHeard(const BenchRun& run)
{
    std::size_t n = 0;
    for (const auto& e : run.trace)
        if (e.direction == CRadioTrace::Direction::FromPc && (e.what == "frame" || e.what == "resync"))
            ++n;
    return n;
}

}  // namespace

Cell RunCell(const CUpgradeBench& bench, const CMatrixKit& kit, const StageSpec& stage, const FaultSpec& fault,
             const BenchRun& clean, uint32_t flashKB)
{
    Cell cell{stage.name, fault.name, {}, {}, Verdict::Recovered, {}};
    FaultTarget target = FindStage(stage.name, clean.trace);
    if (!target.found) {
        cell.outcome = "stage not in a clean run";
        cell.verdict = Verdict::Unexpected;
        return cell;
    }
    cell.spec = CellFaultSpec(fault, target);
    BenchRun run = bench.Run(DemoRadio(stage.k4, flashKB), {ParseFaultSpec(cell.spec)}, kRunLimitSeconds, stage.k4);

    std::vector<std::string> failures;
    for (const auto& box : run.boxes)
        if (IsFailureBox(box))
            failures.push_back(box.text);
    const bool updated = !run.presses.empty() && run.presses.back().end == ProgramEnd::Updated;
    const std::string differences = kit.Differences(run);
    const bool same = differences.empty();
    int engineRuns = 0;
    for (const auto& press : run.presses)
        engineRuns += press.engineRuns;

    if (run.overTime) {
        cell.outcome = "HANG";
        cell.verdict = Verdict::Unexpected;
        cell.why = "still running after " + std::to_string(static_cast<int>(kRunLimitSeconds)) + " s";
        return cell;
    }
    // A fault shows as its mark in the radio's trace, as requests the exchange had to repeat,
    // or as a message.
    const bool fired = run.faultsFired > 0 || RequestsHeard(run) > RequestsHeard(clean) || !failures.empty();
    if (!fired) {
        cell.outcome = "fault never fired";
        cell.verdict = Verdict::Unexpected;
        return cell;
    }
    // Time-outs and retries allow this much: each engine run at most the clean run's time plus
    // the longest waits its retries add (nine attempts with their resynchronisations, an erase).
    const double bound = clean.seconds * (engineRuns + 1) + 45.0 * (engineRuns + 1) +
                         CUpgradeBench::kBetweenPresses * run.presses.size();
    char time[32];
    std::snprintf(time, sizeof time, " [%.1f s]", run.seconds);
    if (run.seconds > bound) {
        cell.verdict = Verdict::Unexpected;
        cell.why = "took longer than the time-outs allow";
    }

    if (updated && same) {
        cell.outcome = failures.empty() ? "recovered by the link's retries"
                                        : "recovered after \"" + Short(failures.front()) + "\"";
        // The stage's own message must be among those shown (the patcher shows the error
        // itself before the engine's result is reported). A K4 boot ROM never answers, so a
        // download it did not take shows only when the boot code does not answer the
        // identity check.
        const char* expected = StageMessage(stage.failure);
        auto shown = [&](const char* text) { return std::find(failures.begin(), failures.end(), text) != failures.end(); };
        if (!failures.empty() && expected != nullptr && !shown(expected) && !(stage.k4 && shown(kFlashSizeFailed))) {
            cell.verdict = Verdict::Unexpected;
            cell.why = "a failure at this stage says \"" + Short(expected) + "\"";
        }
    } else {
        cell.outcome = "NOT RECOVERED (" + std::string(run.presses.empty() ? "no press" : ProgramEndName(run.presses.back().end)) +
                       (failures.empty() ? "" : ", last message \"" + Short(failures.back()) + "\"") +
                       (same ? "" : ", " + differences) + ")";
        cell.verdict = Verdict::Unexpected;
    }
    cell.outcome += time;
    return cell;
}

void ExpectAllRecovered(const std::string& title, const std::vector<Cell>& cells)
{
    std::map<Verdict, int> summary;
    std::printf("\n%-28s %-20s %-34s %-14s %s\n", "stage", "fault", "injected", "verdict", "outcome");
    for (const Cell& cell : cells) {
        std::printf("%-28s %-20s %-34s %-14s %s%s%s\n", cell.stage.c_str(), cell.fault.c_str(), cell.spec.c_str(),
                    VerdictName(cell.verdict), cell.outcome.c_str(), cell.why.empty() ? "" : "  -- ", cell.why.c_str());
        summary[cell.verdict]++;
    }
    std::printf("%s: %zu cells: %d recovered, %d unexpected\n", title.c_str(), cells.size(),
                summary[Verdict::Recovered], summary[Verdict::Unexpected]);
    for (const Cell& cell : cells)
        EXPECT_NE(cell.verdict, Verdict::Unexpected)
            << cell.stage << " x " << cell.fault << " (" << cell.spec << "): " << cell.outcome << " " << cell.why;
}
