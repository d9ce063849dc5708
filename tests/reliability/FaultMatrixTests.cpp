// Every stage of a whole upgrade meets every fault of the line, through the workflow behind
// Program on the in-process demo radio: the technician takes every retry offered, and the
// radio must end up with the kit's firmware and the kit's codeplug carrying its own tuning,
// serial number and regional id (laid out from the kit's files, not by a run of the engine).
// Never a hang.
#include "tests/reliability/FaultMatrix.h"
#include "tests/reliability/MatrixCell.h"
#include "tests/reliability/MatrixKit.h"
#include "tests/reliability/UpgradeBench.h"
#include "tests/support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <memory>
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

class FaultMatrix : public MatrixFixture, public ::testing::TestWithParam<std::size_t> {};

}  // namespace

TEST(FaultMatrixSize, MoreThanTwoHundredCells)
{
    EXPECT_GT(MatrixStages().size() * MatrixFaults().size(), 200u);
}

// The clean runs the cells are measured against leave the radio as the kit says, too.
TEST(FaultMatrixClean, CleanUpgradesOfTheDemoRadio)
{
    struct Radio {
        bool k4;
        uint32_t flashKB;
    };
    for (Radio radio : {Radio{false, 128}, Radio{true, 128}}) {
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
