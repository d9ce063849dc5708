#include "app/ProgramOutcome.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"

#include <CLI/CLI.hpp>

#include <cstdio>

// The simulated radio is served on a pseudo-terminal, which this system does not have: the
// command is there so that it is not mistaken for a typing error, and says where it runs.
void AddSimCommands(CLI::App& app, int& exitCode)
{
    CLI::App* sim = AddCommand(app, "sim", "Run a simulated radio on a pseudo-terminal (on Linux only).",
                               "tessarin sim --profile sim/profiles/demo.json --link /tmp/tessarin-radio");
    sim->allow_extras();
    sim->callback([&exitCode] {
        std::fprintf(stderr, "tessarin sim: the simulated radio runs on Linux only (it needs a pseudo-terminal). "
                             "Run it there and map its line to a COM port of this PC.\n");
        exitCode = kExitUsage;
    });
}
