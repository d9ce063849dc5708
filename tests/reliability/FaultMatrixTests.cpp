// Every stage of a whole upgrade meets every fault of the line, through the workflow behind
// Program on the in-process demo radio: the technician takes every retry offered, and the
// radio must end up as a clean upgrade leaves it (with its own tuning and serial number), or
// the message must say that it cannot be recovered. Never a hang.
#include "app/FormMessages.h"
#include "files/DataFile.h"
#include "sim/model/RadioProfile.h"
#include "tests/reliability/FaultMatrix.h"
#include "tests/reliability/UpgradeBench.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using namespace FormText;

namespace {

constexpr char kDemoKey[] = "DemoKitDataKey-2026-R0205";
// The identity mark is the calendar time and differs between runs by design.
constexpr std::size_t kIdentityMark = 0x3FF0;
// No run may take longer than this in virtual time; a run that does has hung.
constexpr double kRunLimitSeconds = 900;

// The demo kit with a short firmware image: the first and the last record of the 128 KB image
// (they program the radio's application marks) and every 256th between, so a whole upgrade
// takes a few dozen firmware requests.
fs::path MakeShortKit()
{
    fs::path kit = fs::temp_directory_path() / ("tessarin-matrix-kit-" + std::to_string(::getpid()));
    fs::remove_all(kit);
    fs::create_directories(kit);
    for (const auto& entry : fs::directory_iterator(TESSARIN_DEMO_KIT))
        fs::copy_file(entry.path(), kit / entry.path().filename());
    DataFileText image = ReadDataFile((kit / "fw_128k").string(), kDemoKey);
    EXPECT_TRUE(image.Ok());
    std::istringstream lines(image.Text());
    std::vector<std::string> data, others;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("S2", 0) == 0 || line.rfind("S1", 0) == 0)
            data.push_back(line);
        else if (!line.empty() && line != "\r")
            others.push_back(line);
    }
    std::string text;
    for (const std::string& line : others)
        if (line.rfind("S0", 0) == 0)
            text += line + "\n";
    for (std::size_t i = 0; i < data.size(); ++i)
        if (i % 256 == 0 || i + 1 == data.size())
            text += data[i] + "\n";
    for (const std::string& line : others)
        if (line.rfind("S0", 0) != 0)
            text += line + "\n";
    std::vector<char> bytes = EncipherDataFile(text, kDemoKey);
    std::ofstream(kit / "fw_128k", std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
    return kit;
}

RadioProfile DemoRadio(bool k4)
{
    RadioProfile profile = LoadRadioProfile(std::string(TESSARIN_PROFILES) + "/demo.json");
    if (k4)
        profile.loader = LoaderKind::K4;
    return profile;
}

bool SameAsClean(const BenchRun& run, const BenchRun& clean)
{
    if (run.flash != clean.flash || run.codeplug.size() != clean.codeplug.size())
        return false;
    for (std::size_t i = 0; i < run.codeplug.size(); ++i)
        if (i != kIdentityMark && run.codeplug[i] != clean.codeplug[i])
            return false;
    return true;
}

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

// How a cell ended.
enum class Verdict {
    Recovered,       // the radio ended as a clean upgrade leaves it
    Unexpected,      // anything else: the test fails
};

const char* VerdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Recovered: return "recovered";
    case Verdict::Unexpected: return "UNEXPECTED";
    }
    return "";
}

struct Cell {
    std::string stage, fault, spec;
    std::string outcome;
    Verdict verdict = Verdict::Recovered;
    std::string why;
};

// Requests (frames and resynchronisations) the radio heard from the PC.
std::size_t RequestsHeard(const BenchRun& run)
{
    std::size_t n = 0;
    for (const auto& e : run.trace)
        if (e.direction == CRadioTrace::Direction::FromPc && (e.what == "frame" || e.what == "resync"))
            ++n;
    return n;
}

class FaultMatrix : public ::testing::TestWithParam<std::size_t> {
protected:
    static void SetUpTestSuite()
    {
        kit = MakeShortKit();
        state = fs::temp_directory_path() / ("tessarin-matrix-state-" + std::to_string(::getpid()));
        CUpgradeBench bench(kit, state);
        clean[0] = bench.Run(DemoRadio(false), {}, kRunLimitSeconds);
        clean[1] = bench.Run(DemoRadio(true), {}, kRunLimitSeconds, true);
    }
    static void TearDownTestSuite()
    {
        std::error_code ignored;
        fs::remove_all(kit, ignored);
        fs::remove_all(state, ignored);
    }

    static fs::path kit, state;
    static BenchRun clean[2];
};
fs::path FaultMatrix::kit;
fs::path FaultMatrix::state;
BenchRun FaultMatrix::clean[2];

Cell RunCell(const CUpgradeBench& bench, const StageSpec& stage, const FaultSpec& fault, const BenchRun& clean)
{
    Cell cell{stage.name, fault.name, {}, {}, Verdict::Recovered, {}};
    FaultTarget target = FindStage(stage.name, clean.trace);
    if (!target.found) {
        cell.outcome = "stage not in a clean run";
        cell.verdict = Verdict::Unexpected;
        return cell;
    }
    cell.spec = CellFaultSpec(fault, target);
    BenchRun run = bench.Run(DemoRadio(stage.k4), {ParseFaultSpec(cell.spec)}, kRunLimitSeconds, stage.k4);

    std::vector<std::string> failures;
    for (const auto& box : run.boxes)
        if (IsFailureBox(box))
            failures.push_back(box.text);
    const bool updated = !run.presses.empty() && run.presses.back().end == ProgramEnd::Updated;
    const bool same = SameAsClean(run, clean);
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
                       (same ? "" : ", radio differs from a clean upgrade") + ")";
        cell.verdict = Verdict::Unexpected;
    }
    cell.outcome += time;
    return cell;
}

std::string StageTestName(std::size_t index)
{
    std::string name;
    for (char c : std::string(MatrixStages()[index].name))
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name;
}

}  // namespace

TEST(FaultMatrixSize, MoreThanTwoHundredCells)
{
    EXPECT_GT(MatrixStages().size() * MatrixFaults().size(), 200u);
}

TEST_F(FaultMatrix, CleanUpgradesOfTheDemoRadio)
{
    for (int k4 = 0; k4 < 2; ++k4) {
        SCOPED_TRACE(k4 ? "K4 boot ROM" : "FL0 boot ROM");
        ASSERT_FALSE(clean[k4].presses.empty());
        EXPECT_EQ(clean[k4].presses.back().end, ProgramEnd::Updated) << ProgramEndName(clean[k4].presses.back().end);
        EXPECT_EQ(clean[k4].presses.size(), 1u);
        EXPECT_EQ(clean[k4].faultsFired, 0u);
    }
}

// One stage against every fault; each stage is a test case of its own.
TEST_P(FaultMatrix, StageWithEveryFault)
{
    const StageSpec& stage = MatrixStages()[GetParam()];
    CUpgradeBench bench(kit, state);
    std::vector<Cell> cells;
    for (const FaultSpec& fault : MatrixFaults())
        cells.push_back(RunCell(bench, stage, fault, clean[stage.k4 ? 1 : 0]));

    std::map<Verdict, int> summary;
    std::printf("\n%-28s %-20s %-34s %-14s %s\n", "stage", "fault", "injected", "verdict", "outcome");
    for (const Cell& cell : cells) {
        std::printf("%-28s %-20s %-34s %-14s %s%s%s\n", cell.stage.c_str(), cell.fault.c_str(), cell.spec.c_str(),
                    VerdictName(cell.verdict), cell.outcome.c_str(), cell.why.empty() ? "" : "  -- ", cell.why.c_str());
        summary[cell.verdict]++;
    }
    std::printf("%s: %zu cells: %d recovered, %d unexpected\n", stage.name, cells.size(),
                summary[Verdict::Recovered], summary[Verdict::Unexpected]);
    for (const Cell& cell : cells)
        EXPECT_NE(cell.verdict, Verdict::Unexpected)
            << cell.stage << " x " << cell.fault << " (" << cell.spec << "): " << cell.outcome << " " << cell.why;
}

INSTANTIATE_TEST_SUITE_P(Stages, FaultMatrix, ::testing::Range<std::size_t>(0, MatrixStages().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) { return StageTestName(info.param); });
