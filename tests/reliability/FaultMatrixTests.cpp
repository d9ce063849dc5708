// Every stage of a whole upgrade meets every fault of the line, through the workflow behind
// Program on the in-process demo radio: the technician takes every retry offered, and the
// radio must end up with the kit's firmware and the kit's codeplug carrying its own tuning,
// serial number and regional id (laid out from the kit's files, not by a run of the engine).
// Never a hang. The stages that depend on the flash size run on 256 KB and 512 KB radios too.
#include "tests/reliability/FaultMatrix.h"
#include "tests/reliability/MatrixCell.h"
#include "tests/reliability/MatrixKit.h"
#include "tests/reliability/UpgradeBench.h"
#include "tests/support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <memory>
#include <stdexcept>
#include <utility>

namespace {

// The short kit, a state folder and the clean runs of each kind of radio, made once.
class MatrixFixture {
public:
    static CMatrixKit& Kit()
    {
        static CMatrixKit kit;
        return kit;
    }
    static CUpgradeBench Bench()
    {
        static CScratchDirectory state("tessarin-matrix-state");
        return CUpgradeBench(Kit().Path(), state.Path() / "carryover");
    }
    static const BenchRun& Clean(bool k4, uint32_t flashKB = 128)
    {
        static std::map<std::pair<bool, uint32_t>, BenchRun> runs;
        auto found = runs.find({k4, flashKB});
        if (found == runs.end())
            found = runs.emplace(std::make_pair(k4, flashKB), Bench().Run(DemoRadio(k4, flashKB), {}, kRunLimitSeconds, k4))
                        .first;
        return found->second;
    }
};

std::string TestName(const std::string& text)
{
    std::string name;
    for (char c : text)
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name;
}

const StageSpec& Stage(const std::string& name)
{
    for (const StageSpec& stage : MatrixStages())
        if (name == stage.name)
            return stage;
    throw std::invalid_argument("no stage " + name);
}

class FaultMatrix : public MatrixFixture, public ::testing::TestWithParam<std::size_t> {};

// A radio with a larger flash: the size probe finds another address, the kit sends another
// firmware file.
struct LargerFlash {
    uint32_t flashKB;
    const char* stage;
};

class FaultMatrixLargerFlash : public MatrixFixture, public ::testing::TestWithParam<LargerFlash> {};

}  // namespace

TEST(FaultMatrixSize, MoreThanTwoHundredCells)
{
    EXPECT_GT(MatrixStages().size() * MatrixFaults().size(), 200u);
}

// The clean runs the cells are measured against leave the radio as the kit says, too.
TEST(FaultMatrixClean, CleanUpgradesOfTheDemoRadios)
{
    struct Radio {
        bool k4;
        uint32_t flashKB;
    };
    for (Radio radio : {Radio{false, 128}, Radio{true, 128}, Radio{false, 256}, Radio{false, 512}}) {
        SCOPED_TRACE(std::string(radio.k4 ? "K4" : "FL0") + " boot ROM, " + std::to_string(radio.flashKB) + " KB");
        const BenchRun& clean = MatrixFixture::Clean(radio.k4, radio.flashKB);
        ASSERT_FALSE(clean.presses.empty());
        EXPECT_EQ(clean.presses.back().end, ProgramEnd::Updated) << ProgramEndName(clean.presses.back().end);
        EXPECT_EQ(clean.presses.size(), 1u);
        EXPECT_EQ(clean.faultsFired, 0u);
        EXPECT_EQ(clean.flash.size(), radio.flashKB * 1024u);
        EXPECT_EQ(MatrixFixture::Kit().Differences(clean), "");
    }
}

// One stage against every fault; each stage is a test case of its own.
TEST_P(FaultMatrix, StageWithEveryFault)
{
    const StageSpec& stage = MatrixStages()[GetParam()];
    std::vector<Cell> cells;
    for (const FaultSpec& fault : MatrixFaults())
        cells.push_back(RunCell(Bench(), Kit(), stage, fault, Clean(stage.k4)));
    ExpectAllRecovered(stage.name, cells);
}

INSTANTIATE_TEST_SUITE_P(Stages, FaultMatrix, ::testing::Range<std::size_t>(0, MatrixStages().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             return TestName(MatrixStages()[info.param].name);
                         });

// A K4 boot ROM answers nothing, so a fault on its handshake shows only as a sync character it
// did not take: the boot code never runs and the identity check finds no answer. Every fault
// of the handshake's cells must get that far, none may pass unnoticed.
TEST(FaultMatrixK4, EveryHandshakeFaultKeepsTheBootCodeFromRunning)
{
    const StageSpec& stage = Stage("boot code handshake (K4)");
    const BenchRun& clean = MatrixFixture::Clean(true);
    for (const FaultSpec& fault : MatrixFaults()) {
        SCOPED_TRACE(fault.name);
        Cell cell = RunCell(MatrixFixture::Bench(), MatrixFixture::Kit(), stage, fault, clean);
        EXPECT_EQ(cell.verdict, Verdict::Recovered) << cell.outcome << " " << cell.why;
        EXPECT_EQ(cell.outcome.find("recovered by the link's retries"), std::string::npos) << cell.outcome;
    }
}

TEST_P(FaultMatrixLargerFlash, StageWithEveryFault)
{
    const StageSpec& stage = Stage(GetParam().stage);
    const uint32_t kb = GetParam().flashKB;
    std::vector<Cell> cells;
    for (const FaultSpec& fault : MatrixFaults())
        cells.push_back(RunCell(Bench(), Kit(), stage, fault, Clean(stage.k4, kb), kb));
    ExpectAllRecovered(std::string(stage.name) + ", " + std::to_string(kb) + " KB", cells);
}

INSTANTIATE_TEST_SUITE_P(Stages, FaultMatrixLargerFlash,
                         ::testing::Values(LargerFlash{256, "size probe"}, LargerFlash{256, "firmware record, middle"},
                                           LargerFlash{512, "size probe"}, LargerFlash{512, "firmware record, last"}),
                         [](const ::testing::TestParamInfo<LargerFlash>& info) {
                             return TestName(std::string(info.param.stage) + " " + std::to_string(info.param.flashKB) +
                                             "k");
                         });
