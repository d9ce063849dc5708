#pragma once

#include "upgrade/UpgradePlan.h"

#include <cstdint>
#include <string>
#include <vector>

// The stages of an engine run, in the order the radio goes through them.
enum class UpgradeStage { Bootstrap, BootCode, Erase, Firmware, Codeplug, Patches };

// The stage's name as the technician reads it: "Bootstrap", "Boot code", "Erase", "Firmware",
// "Codeplug programming", "Patches".
const char* UpgradeStageName(UpgradeStage stage);

// The stages a plan runs, in order: the first four only when it flashes firmware.
std::vector<UpgradeStage> PlannedStages(const UpgradePlan& plan);

// How long the radio takes for what it is asked: its erase and write times, how soon it
// answers a request, and the fixed waits of the bootstrap and of the boot code's start.
struct RadioTiming {
    double eraseSeconds = 2.5;
    double flashWritePerByte = 20e-6;
    double eepromWritePer32 = 0.004;
    double answerSeconds = 0.006;         // the acknowledgement and the reply, beside the bytes
    double bootstrapSeconds = 0.5;        // bootstrap pulses, sync character and its answer
    double bootCodeStartSeconds = 0.9;    // the boot code's quiet start and its first byte
};

// The work of one run: the plan, the rates, and what the kit's images hold.
struct UpgradeWork {
    UpgradePlan plan;
    int bootstrapBaud = 2400;
    int flashBaud = 19200;
    int applicationBaud = 9600;
    uint32_t bootcodeBytes = 0;
    uint32_t firmwareRecords = 0;
    uint64_t firmwareBytes = 0;   // data bytes of all records
    uint32_t codeplugChunks = 0;  // 32-byte writes
    uint32_t codeplugBytes = 0;
    uint32_t patchEntries = 0;
};

// The records and data bytes of an S-record image text (none when it does not read as one).
ImageCounts CountImage(const std::string& text);

// What the firmware stage counts with before the flash size has chosen one of the kit's images:
// the geometric middle of the smallest and the largest (so never further off than the square
// root of their ratio, whichever the radio takes).
ImageCounts FirmwareBeforeProbe(const std::vector<ImageCounts>& images);

// One stage as the plan predicts it: seconds, and the progress steps it sends.
struct StageForecast {
    UpgradeStage stage;
    double seconds = 0;
    uint32_t steps = 0;
};

// The stages of the run with their predicted times: the bytes each stage sends and receives at
// its line rate (ten bit times a byte), and the radio's own erase and write times.
std::vector<StageForecast> ForecastStages(const UpgradeWork& work, const RadioTiming& timing = RadioTiming{});
