#pragma once

#include "upgrade/UpgradePlan.h"

#include <string>
#include <vector>

// How one Program press ended. The message the user saw says the rest.
enum class ProgramEnd {
    Updated,       // "Radio Update is successful"
    PressAgain,    // the first pass of a recovery is done: press Program again for the firmware
    EngineFailed,  // an engine run failed and no retry followed; the radio may have been changed
    LinkFailed,    // the radio could not be reached or stopped answering before the engine ran
    Refused,       // verification or matching refused the radio (nothing written but the identity mark)
    Cancelled,     // the user cancelled before anything was written
    KitUnusable,   // the kit's files cannot be used (configuration, boot code, codeplug image, data file)
};

// The words for an end ("updated", "refused", ...), for logs and summaries.
const char* ProgramEndName(ProgramEnd end);
// Every end, in declaration order (for the words a filter accepts).
inline constexpr ProgramEnd kProgramEnds[] = {ProgramEnd::Updated,    ProgramEnd::PressAgain, ProgramEnd::EngineFailed,
                                              ProgramEnd::LinkFailed, ProgramEnd::Refused,    ProgramEnd::Cancelled,
                                              ProgramEnd::KitUnusable};

// The exit status of a press as `tessarin program` gives it (the window's journal entries
// carry the same numbers).
enum : int {
    kExitUpdated = 0,       // "Radio Update is successful"
    kExitFailed = 1,        // the upgrade failed or was cancelled after the radio was changed (or the radio could not be reached)
    kExitUsage = 2,         // the command line was wrong, or questions cannot be answered
    kExitRefused = 3,       // verification or matching refused the radio
    kExitCancelled = 4,     // cancelled before anything was written
    kExitKitUnusable = 5,   // the kit cannot be used
};
int ProgramExitStatus(ProgramEnd end);

// What a front end may report about a press besides its messages.
struct ProgramOutcome {
    ProgramEnd end = ProgramEnd::LinkFailed;
    int engineResult = -1;   // the last UpgradeRadio result; -1 when no engine ran
    int engineRuns = 0;
    bool planned = false;    // a plan was matched (plan and codeplugFile are meaningful)
    UpgradePlan plan;
    std::string codeplugFile;  // the codeplug image file of the matched model; "#" for none
    int flashBaud = 0;         // the flash rate in use when firmware was flashed
    std::string firmwareFile;  // the firmware image the engine chose by the flash size, when known
    std::string detail;        // what the front end may add to the message (e.g. the port's own error)
};

// What a window keeps in its status bar after a press that did not update the radio: how it
// ended and why ("refused: verification: ..." or "upgrade-failed: failed at codeplug
// programming: ..."); empty after an update or when nothing more than the message was known.
std::string PressEndText(const ProgramOutcome& outcome);

// What a dry run found: the plan for the attached radio in the kit's terms.
struct PlanReport {
    ProgramEnd end = ProgramEnd::LinkFailed;  // Updated here means "a plan was found"
    bool planned = false;
    bool bootState = false;          // the radio answers from its boot state
    UpgradePlan plan;
    int entryIndex = 0;              // the matched entry position within its model
    std::string codeplugFile;        // "#" for none
    std::string codeplugImage;       // the deciphered image text
    PatchEntries patchEntries;
    bool asksFlashRate = false;      // the flash rate question would be asked
    std::string bootcodeFiles[3];    // the boot code files for 19,200, 38,400 and 115,200 Bd
    std::vector<std::string> notes;  // what a real press would also do or ask
    std::string detail;
};
