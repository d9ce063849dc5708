#include "app/ProgramOutcome.h"

const char* ProgramEndName(ProgramEnd end)
{
    switch (end) {
    case ProgramEnd::Updated:
        return "updated";
    case ProgramEnd::PressAgain:
        return "press-again";
    case ProgramEnd::EngineFailed:
        return "upgrade-failed";
    case ProgramEnd::LinkFailed:
        return "link-failed";
    case ProgramEnd::Refused:
        return "refused";
    case ProgramEnd::Cancelled:
        return "cancelled";
    case ProgramEnd::KitUnusable:
        return "kit-unusable";
    }
    return "unknown";
}
