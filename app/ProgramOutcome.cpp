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

int ProgramExitStatus(ProgramEnd end)
{
    switch (end) {
    case ProgramEnd::Updated:
        return kExitUpdated;
    case ProgramEnd::PressAgain:
    case ProgramEnd::EngineFailed:
    case ProgramEnd::LinkFailed:
        return kExitFailed;
    case ProgramEnd::Refused:
        return kExitRefused;
    case ProgramEnd::Cancelled:
        return kExitCancelled;
    case ProgramEnd::KitUnusable:
        return kExitKitUnusable;
    }
    return kExitFailed;
}

std::string PressEndText(const ProgramOutcome& outcome)
{
    if (outcome.end == ProgramEnd::Updated || outcome.detail.empty())
        return {};
    return std::string("Last press ") + ProgramEndName(outcome.end) + ": " + outcome.detail;
}
