#pragma once

#include "tests/reliability/FaultMatrix.h"
#include "tests/reliability/MatrixKit.h"
#include "tests/reliability/UpgradeBench.h"

#include <cstdint>
#include <string>
#include <vector>

// One cell of the fault matrix: a whole upgrade of a demo radio with one fault at one stage,
// and how it ended.

// No run may take longer than this in virtual time; a run that does has hung.
constexpr double kRunLimitSeconds = 900;

enum class Verdict {
    Recovered,   // the radio ended with the kit's firmware and its own data in the kit's codeplug
    Unexpected,  // anything else: the test fails
};

struct Cell {
    std::string stage, fault, spec;
    std::string outcome;
    Verdict verdict = Verdict::Recovered;
    std::string why;
};

// The cell on a demo radio with a flash of `flashKB`; `clean` is a clean run of the same radio,
// which names the request the stage begins with.
Cell RunCell(const CUpgradeBench& bench, const CMatrixKit& kit, const StageSpec& stage, const FaultSpec& fault,
             const BenchRun& clean, uint32_t flashKB = 128);

// Prints the cells as a table under `title` and fails the test for each unexpected one.
void ExpectAllRecovered(const std::string& title, const std::vector<Cell>& cells);
