#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What to do for the matched radio: the action part of its radio matching row, and the model
// tag of its model entry. Filled by the upgrade form, borrowed by the engine.
struct UpgradePlan {
    uint8_t askFlashRate = 0;  // the form asks for the flash rate (the engine does not read it)
    uint8_t flashFirmware = 0; // 1: boot code, erase, flash the firmware
    int codeplugMode = 0;      // 0 none; 1, 2, 3: which part of the codeplug is programmed
    uint8_t applyPatches = 0;  // 1: apply the patch entries
    std::string modelTag;      // field 6 of the matched model entry; empty until a model matched
};

// How much an S-record image holds: its records and their data bytes.
struct ImageCounts {
    uint32_t records = 0;
    uint64_t dataBytes = 0;
};

// The boot code and firmware the engine sends, and the rates it sends them at. Belongs to the
// form, edited by the flash rate choice, borrowed by the engine (which fills firmwareText).
struct FlashSettings {
    int loaderKind = 0;        // 0 detect, 1 FL0, 2 K4
    std::string bootcodeText;  // deciphered boot code image (S-record text)
    std::string firmwareText;  // deciphered firmware image; emptied by the form before each run
    int portBaud = 0;          // the bootstrap port's rate (2400)
    int flashBaud = 0;         // 19200, 38400 or 115200: the rate the boot code talks at
    // What the time left counts the firmware as until the flash size has chosen the kit's image
    // (the form fills it from the kit's images, see FirmwareBeforeProbe).
    ImageCounts firmwareForecast;
};

// One line of a patch group: six hexadecimal fields.
struct PatchEntry {
    uint32_t kind = 0; // 0x10 verify, 0x20 read block, 0x30 modify, 0x50 write block, 0x99 end
    uint8_t a = 0;
    uint8_t b = 0;
    uint16_t c = 0;    // only the low byte is used
    uint8_t d = 0;
    uint8_t e = 0;
};

enum : uint32_t {
    kPatchVerify = 0x10,
    kPatchReadBlock = 0x20,
    kPatchModify = 0x30,
    kPatchWriteBlock = 0x50,
    kPatchEnd = 0x99,
};

// The patch entries of one run, ended by an entry of kind kPatchEnd.
using PatchEntries = std::vector<PatchEntry>;

// How far an engine run got (UpgradeRadio's result).
enum : int {
    kUpgradeFlashFailed = 0,     // failure while flashing
    kUpgradeCodeplugFailed = 1,  // failure while programming the codeplug
    kUpgradePatchFailed = 2,     // failure while patching
    kUpgradeBootcodeFailed = 3,  // boot code download failed; flashing did not start
    kUpgradeInvalidDataFile = 4, // an image or the plan could not be used
    kUpgradeSucceeded = 5,
    kUpgradeFlashSizeFailed = 6, // identity check, erase or flash size detection failed
};

// The identity mark: one byte the form writes to the radio at 0x3FF0 before verification (the
// calendar time in seconds modulo 100); the engine reads it back to know the radio in bootstrap
// mode is the one that was verified. Process-wide, 0 at start.
extern uint8_t IdentityMark;
