#pragma once

// Texts the engine shows in the progress window and message boxes, exactly as the user sees them.

// String 146: the progress text while the flash and the codeplug are programmed.
inline constexpr char kProgrammingFlashText[] =
    "Programming flash ROM...\nWARNING!! Ensure process is not interrupted";
inline constexpr char kErasingFlashText[] =
    "Erasing flash ROM...\nWARNING!! Ensure process is not interrupted";

inline constexpr char kDifferentModelText[] = "Different model is detected, please use the original radio";
inline constexpr char kFirmwareOpenFailedText[] =
    "Unable to open firmware file!\nPlease make sure installation is completed successfully";
inline constexpr char kFirmwareNoMemoryText[] =
    "Unable to allocate temporary memory buffer.\nPlease free up some more system memory and try again!";
inline constexpr char kDataFileCorruptText[] =
    "The required data file is corrupted and unuseable\nPlease reinstall the application!";

// What the first Ctrl-C on a terminal says while stopping would leave the radio unusable.
inline constexpr char kStopLeavesNoFirmwareText[] =
    "Stopping now leaves the radio without firmware: it would start only in bootstrap mode.\n"
    "Press Ctrl-C again to stop anyway (the upgrade can then be retried, or finished later).";
inline constexpr char kStopLeavesPartCodeplugText[] =
    "Stopping now leaves the radio's codeplug part-programmed (its own data is kept in its record).\n"
    "Press Ctrl-C again to stop anyway (the upgrade can then be retried, or finished later).";

// The "Please Wait" window while the boot code goes to the radio.
inline constexpr char kBootcodeWindowText[] =
    "Sending boot code to the radio...\nKeep the radio in bootstrap mode until the firmware is flashed";
