#pragma once

#include <string>

// How far an engine run has changed the radio: said to the user when a run ends early on a
// stop, so that they know whether the radio is as it was, needs its firmware written again or
// waits for its own data to be restored.
enum class RadioLeft {
    Untouched,              // nothing of this run reached the radio's memory
    InBootCode,             // boot code sent (or being sent); flash and codeplug unchanged
    FlashErased,            // the flash was erased and the new firmware not completely written
    FirmwareWritten,        // the new firmware is written; later stages not begun
    CodeplugPartlyWritten,  // the codeplug is being reprogrammed; the radio's own data is saved
    CodeplugWritten,        // the codeplug is reprogrammed with the radio's own data restored
    PatchesPartlyApplied,   // the patch entries were being applied
    Upgraded,               // every stage of the plan is done
};

// One sentence (or two) for the user. `carryOverFile` names the record that holds the radio's
// own data while its codeplug is partly written ("" when none was kept on disk).
std::string DescribeRadioLeft(RadioLeft state, const std::string& carryOverFile = {});
