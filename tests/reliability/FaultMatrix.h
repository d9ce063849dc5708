#pragma once

#include "sim/model/FaultPlan.h"
#include "sim/model/RadioTrace.h"

#include <string>
#include <vector>

// The stages of a whole upgrade and the faults of the line, crossed: which request of a clean
// run each stage names, and the fault rule that hits it.

// Where a fault lands: a request of the session (frames and resynchronisations counted from
// 1), or a boot ROM step (sync character, code block) counted by its kind.
struct FaultTarget {
    unsigned request = 0;
    std::string bootOp;  // "sync" or "block" for a boot ROM step
    unsigned nth = 0;
    unsigned attempts = 1;  // requests one exchange of this stage can make before it gives up
    bool found = false;
};

// What the technician sees when the stage fails after its own retries.
enum class StageFailure {
    LinkError,      // the form shows the error's own text and the press ends
    NotStarted,     // "Flashing operation could not be started" (no retry on a first attempt)
    FlashSize,      // "Failed to detect FlashRom size" with a retry
    UpdateError,    // "An error occurred while updating the radio" with a retry
};

struct StageSpec {
    const char* name;
    StageFailure failure;
    bool k4;  // runs on the radio with the K4 boot ROM
};

struct FaultSpec {
    const char* name;
    const char* kind;   // the fault kind's word in the fault syntax
    bool everyAttempt;  // fires on every attempt of the exchange, not once
};

const std::vector<StageSpec>& MatrixStages();
const std::vector<FaultSpec>& MatrixFaults();

// The request a stage names in the trace of a clean run.
FaultTarget FindStage(const std::string& stage, const std::vector<CRadioTrace::Entry>& cleanTrace);
// The fault syntax for one cell ("nack:at=57,count=4"), as `tessarin sim --fault` takes it.
std::string CellFaultSpec(const FaultSpec& fault, const FaultTarget& target);
