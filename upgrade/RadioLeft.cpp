#include "upgrade/RadioLeft.h"

std::string DescribeRadioLeft(RadioLeft state, const std::string& carryOverFile)
{
    switch (state) {
    case RadioLeft::Untouched:
        return "The radio's flash and codeplug are unchanged.";
    case RadioLeft::InBootCode:
        return "The radio's flash and codeplug are unchanged; it is still in bootstrap mode: switch it off and on "
               "again.";
    case RadioLeft::FlashErased:
        return "The radio's firmware is erased and the new firmware is not completely written: the radio starts only "
               "in bootstrap mode. Run the upgrade again to write its firmware.";
    case RadioLeft::FirmwareWritten:
        return "The new firmware is written; the stages after it (codeplug, patches) were not begun. The radio is "
               "still in its boot code: switch it off and on again.";
    case RadioLeft::CodeplugPartlyWritten:
        if (carryOverFile.empty())
            return "The radio's codeplug is partly reprogrammed and its own tuning and serial-number data is not "
                   "restored. Run the upgrade again.";
        return "The radio's codeplug is partly reprogrammed; its own tuning and serial-number data is kept in " +
               carryOverFile + ": run the upgrade again, or give the data back with `tessarin carryover restore " +
               carryOverFile + " --port N`.";
    case RadioLeft::CodeplugWritten:
        return "The radio's codeplug is reprogrammed with its own data restored; the patches were not applied.";
    case RadioLeft::PatchesPartlyApplied:
        return "The radio's codeplug is reprogrammed; the patches were partly applied. Run the upgrade again.";
    case RadioLeft::Upgraded:
        return "Every stage of the upgrade was done.";
    }
    return {};
}
