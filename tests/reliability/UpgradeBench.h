#pragma once

#include "app/ProgramOutcome.h"
#include "sim/SimPlatform.h"
#include "sim/model/FaultPlan.h"
#include "sim/model/RadioProfile.h"
#include "sim/model/RadioTrace.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// What a technician saw and what the radio holds after the Program presses of one run.
struct BenchRun {
    std::vector<CScriptedUi::Box> boxes;
    std::vector<ProgramOutcome> presses;
    double seconds = 0;      // virtual time from the first press to the end
    bool overTime = false;   // the run was stopped at its time bound
    unsigned faultsFired = 0;
    std::vector<uint8_t> codeplugBefore;  // the radio's own codeplug, before the first press
    std::vector<uint8_t> codeplug;
    std::vector<uint8_t> flash;
    std::vector<CRadioTrace::Entry> trace;
};

// A demo radio on the in-process line, the form on the demo kit, and a technician who takes
// every retry offered (up to a limit), answers the flash rate question with the fastest rate,
// and, after a press that ended without an update, takes the battery out and puts it back (as
// the message after a failed start tells) before pressing Program again.
class CUpgradeBench {
public:
    static constexpr int kMaxPresses = 3;
    static constexpr int kMaxRetries = 4;
    // Seconds the technician takes between two presses (the radio finishes restarting).
    static constexpr double kBetweenPresses = 3.0;

    CUpgradeBench(std::filesystem::path kitDirectory, std::filesystem::path stateDirectory);

    // One run on a fresh radio of `profile` with these faults, stopped after `limitSeconds`
    // of virtual time. The form names the FL0 boot ROM; `detectLoader` lets the boot code
    // download tell the boot ROMs apart by watching the line instead (a radio with a K4 boot
    // ROM is only reached that way).
    BenchRun Run(const RadioProfile& profile, const std::vector<FaultRule>& faults, double limitSeconds,
                 bool detectLoader = false) const;

private:
    std::filesystem::path m_kit;
    std::filesystem::path m_state;
};
