#pragma once

#include "app/ProgramOutcome.h"
#include "cli/PortOptions.h"
#include "cli/TerminalUi.h"

#include <cstdio>
#include <string>

// `tessarin program` and `tessarin plan`.
struct ProgramOptions {
    std::string kit;       // --kit DIR: the start directory
    PortOptions port;      // --device | --port, --echo, --trace, --log (port and echo default to the settings)
    TerminalAnswers answers;
    bool json = false;     // --json: one summary object on standard output at the end
};

// Where the command reads and writes; `interactive` is whether `in` is a terminal a person
// can answer on.
struct ProgramStreams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    std::FILE* in = stdin;
    bool interactive = false;
    bool liveProgress = false;  // the human output goes to a terminal
};
ProgramStreams ConsoleStreams(bool json);

// Exit statuses: kExitUpdated ... kExitKitUnusable (app/ProgramOutcome.h).

// One Program press on the radio (and the second press of a recovery when the workflow asks
// for it). Returns the exit status.
int RunProgram(const ProgramOptions& options, ProgramStreams io);
// Verification and matching only; prints the plan. Returns 0 when a plan was found, else the
// status `program` would have given for the refusal.
int RunPlan(const ProgramOptions& options, ProgramStreams io);
