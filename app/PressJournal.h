#pragma once

#include "app/ProgramOutcome.h"
#include "app/ShownMessages.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

class CCarryOverStore;
class CUpgradeForm;

// The journal of presses: one line of JSON per Program press of either front end, appended to
// "journal.jsonl" beside the carry-over records and never rewritten. Every bench process on
// the machine appends to the same file, so it is where all the radios upgraded at once are
// seen together (`tessarin history` reads it).
//
// A line holds: time (local, ISO 8601 with offset), host, user, frontEnd, port {number,
// device}, kit {title, folder, fingerprint}, radio {model, serial, radioCode} as verification
// read it (null when no radio answered), radioAfter (null: the radio is not read again for the
// journal), plan, stage, outcome, exitStatus, durationSeconds, messages [{caption, text,
// answer}], detail (what the front end adds to the last message), record (the carry-over record file the press saved or used, else null) and log
// (the error log file written, else null).

// What the front end knows about a press besides the form and its outcome.
struct PressFacts {
    std::string frontEnd;  // "command line" or "window"
    std::chrono::system_clock::time_point started;
    double durationSeconds = 0;
    int exitStatus = 0;
    int portNumber = 0;
    std::string portDevice;  // "" when not known: taken from the port table
    std::vector<ShownMessage> messages;
};

// Started where a press starts: when, and how many messages had been shown before it.
class CPressWatch {
public:
    CPressWatch(const CShownMessages& shown, std::string frontEnd);
    // The facts of the press now ended, with the exit status its outcome gives.
    PressFacts Facts(const ProgramOutcome& outcome, int portNumber) const;

private:
    const CShownMessages& m_shown;
    std::string m_frontEnd;
    std::size_t m_shownBefore;
    std::chrono::system_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_steadyStart;
};

// The journal file of a state directory.
std::filesystem::path PressJournalFile(const CCarryOverStore& store);

// The press's line (without its newline).
std::string PressEntryLine(const CUpgradeForm& form, const ProgramOutcome& outcome, const PressFacts& facts);

// Appends the press's line to the journal of the form's state directory. A journal that
// cannot be written does not fail the press: the reason goes to the error log and is returned
// as one line for the front end to show; "" when the line was written.
std::string JournalPress(const CUpgradeForm& form, const ProgramOutcome& outcome, const PressFacts& facts);
