#pragma once

// The texts and captions of the upgrade form's message boxes, byte for byte as the technician
// sees them.
namespace FormText {

// Captions.
inline constexpr const char kError[] = "Error";
inline constexpr const char kWarning[] = "Warning";
inline constexpr const char kNote[] = "NOTE";
inline constexpr const char kInvalidOperation[] = "Invalid Operation";
inline constexpr const char kInitializationError[] = "Initialization Error";
// The application title: the caption of the application's own message boxes.
inline constexpr const char kApplicationTitle[] = "Professional Tessarin";

// Start.
inline constexpr const char kCannotOpenConfig[] = "Unable to open configuration file";
inline constexpr const char kCannotReadConfig[] = "Unable to read configuration file";
inline constexpr const char kUnknownProductLine[] = "Unknown product line in configuration file. Press OK to exit.";
inline constexpr const char kTestingKit[] =
    "This Refurbix will update the radio with a testing version firmware(or codeplug).\n"
    "The purpose is only for the specific individual issue fixing evaluation, not for official\n"
    "release and distribution. It may have unknow problems because of no full testing\n"
    "done yet.\n"
    "Please press OK to continue if you want to upgrade, otherwise press Cancel to exit.";
// Program pressed without a usable configuration file.
inline constexpr const char kNoConfiguration[] =
    "The configuration file could not be loaded, so no radio can be upgraded.\n"
    "Please make sure installation is completed successfully and start the application again.";

// Program.
inline constexpr const char kRegionCorruption[] =
    "Radio hardware or application region corruption which cannot be recovered by Refurbix detected.\n"
    "Please send the radio to service center.";
inline constexpr const char kPowerUpUnverified[] = "Unable to verify radio powerup parameters";
inline constexpr const char kHardwareProblem[] =
    "The current radio has a hardware problem.\n"
    "Please refer to the radio repair manual for specific instructions.";
inline constexpr const char kBootstrapFirst[] =
    "1) Switch the radio ON/OFF switch to the ON position.\n"
    "2) Throw the switch on the flashing kit to the ON position.\n"
    "3) Remove the battery supply and then put it back to set radio in bootstrap mode.";
inline constexpr const char kBootstrapRetry[] =
    "Set radio in bootstrap mode.\n\nWARNING!\n"
    "Not following these instructions exactly may cause the radio to be inoperable.\n\n"
    "Complete these steps before pressing the \"OK\" button.\n\n"
    "1) Switch the radio ON/OFF switch to the ON position.\n"
    "2) Throw the switch on the flashing kit to the ON position.\n"
    "3) Remove the battery supply and then put it back to set radio in bootstrap mode.";

// Results of an engine run.
inline constexpr const char kPressAgain[] = "Please press Program button to upgrade firmware.";
inline constexpr const char kUpdateSuccessful[] = "Radio Update is successful";
inline constexpr const char kInvalidDataFile[] =
    "Upgrade operation detected an invalid data file.\nPlease reinstall the application!";
inline constexpr const char kFlashNotStarted[] =
    "Flashing operation could not be started.\n\n"
    "If the radio is now not responding (e.g. not able to PTT),\n"
    "please follow the following steps:\n\n"
    "1) Remove the programming cable from the radio\n"
    "2) Remove the battery and then reconnect it back to the radio\n"
    "3) Make sure the radio is switched on\n"
    "4) Reconnect back the programming cable and retry again";
inline constexpr const char kFlashNotStartedRetry[] =
    "Flashing operation could not be started.\n"
    "The radio may not be in bootstrap mode.\n"
    "Please press the OK button to retry or press the CANCEL button to cancel the programming.\n\n"
    "WARNING!\nCanceling at this point will leave the radio inoperable.";
inline constexpr const char kFlashSizeFailed[] =
    "Failed to detect FlashRom size.\n"
    "Please press the OK button to retry or press the CANCEL button to cancel the programming.\n\n"
    "WARNING!\nCanceling at this point will leave the radio inoperable.";
inline constexpr const char kUpdateError[] =
    "An error occurred while updating the radio.\n"
    "Please press the OK button to retry or press the CANCEL button to cancel the programming.\n\n"
    "WARNING!\nCanceling at this point will leave the radio inoperable.";

// Verification and matching.
inline constexpr const char kIncompatibleConfig[] =
    "The configuration file used is not compatible with the current application!";
inline constexpr const char kNotSupportedSeries[] =
    "Verification of radio failed. The current radio is not of the supported radio series";
inline constexpr const char kOnlyR03[] =
    "Verification of radio failed : This refurbix is only for R03 radio upgrades, please use R02 refurbix.";
inline constexpr const char kOnlyR02[] =
    "Verification of radio failed : This refurbix is only for R02 radio upgrades, please use R03 refurbix.";
inline constexpr const char kRequirementsNotMet[] =
    "Verification of radio failed : The current radio does not meet all upgrade requirements or it has "
    "already been upgraded";
inline constexpr const char kModelNotSupported[] = "Upgrading of this model not supported";
inline constexpr const char kCannotOpenCodeplug[] =
    "Unable to open codeplug file\nPlease make sure installation is completed successfully";
inline constexpr const char kDataFileCorrupted[] =
    "The required data file is corrupted and unuseable\nPlease reinstall the application!";
inline constexpr const char kNoMemory[] =
    "Unable to allocate temporary memory buffer.\nPlease free up some system memory and try again!";
inline constexpr const char kNoMemoryLog[] =
    "CUpgradeForm::ProcessCodeplugFile: Unable to allocate memory for storing firmware S-Record";
inline constexpr const char kOldStructure[] =
    "The codeplug structure of your radio is an old structure!\n\n"
    "Click OK to continue the upgrade operation, your user data will be lost.\n"
    "Click Cancel to exit and save your user data.\n\n"
    "Please follow the steps below to preserve your user data using ZAMO.\n"
    "1. BEFORE Upgrade - Read & Save the user data in a radio file or ZAMO archive file (*.rad or *.cpg).\n"
    "2. AFTER Upgrade - Write back the user data.\n"
    "(Refer to readme.txt file to check ZAMO Compatibility Version).";
// No radio matching row fits the radio's identity.
inline constexpr const char kRadioNotMatched[] =
    "Verification of radio failed : The configuration file has no upgrade plan for the current radio "
    "(no entry of its radio matching block fits the radio's identity).";
// The patch group that model matching selected is missing or malformed.
inline constexpr const char kPatchScriptSyntax[] = "Syntax error in patch script file : PATCHER_DATA_BLOCK";
// A block of the configuration file whose lines are not there or do not read as the block's
// count and syntax say.
inline constexpr const char kGroupSyntax[] = "Syntax error in patch script file : RADIO_GROUP_REGION";
inline constexpr const char kVerificationSyntax[] = "Syntax error in patch script file : VERIFICATION_BLOCK";
inline constexpr const char kModelSyntax[] = "Syntax error in patch script file : MODEL_MATCHING_BLOCK";
inline constexpr const char kRadioMatchingSyntax[] = "Syntax error in patch script file : RADIO_MATCHING_BLOCK";
// The line after a link failure's own message (no answer, a wrong echo, a bad checksum).
inline constexpr const char kLinkAdvice[] =
    "Check that the radio is switched on, that the programming cable is seated, and that the ORX Echo Type "
    "setting matches the interface box.";
// Ends the message that names a kit file which cannot be used.
inline constexpr const char kReinstall[] = "Please reinstall the application!";

// The flash rate choice.
inline constexpr const char kBootcodeUnusable[] = "Boot code file is non-existent or corrupt !!: Terminating program";

} // namespace FormText

// The record of a press (texts of this program's own, beside the form's).
namespace RecordText {

// Asked when no radio answers and a recorded press left a radio without firmware; the command
// line answers it with --finish only.
inline constexpr const char kFinishQuestionStart[] = "No radio answers on the port.";
// A press that takes over an unfinished record of this radio tells the technician so.
inline constexpr const char kFinishingNoteStart[] = "The last upgrade of this radio was not finished.";

} // namespace RecordText

// What a press says it is doing where nothing else would (texts of this program's own).
namespace PressText {

// A press that continues a recovery: the first press left the radio ready for its firmware.
inline constexpr const char kSecondRecoveryPress[] =
    "Second press of the recovery: checking the radio again, then its firmware is flashed.";
// `tessarin program` makes the second press of a recovery itself.
inline constexpr const char kPressingAgain[] =
    "Pressing Program again for the second press of the recovery (tessarin program does this itself).";

} // namespace PressText
