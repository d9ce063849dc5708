#include "cli/Commands.h"

#include <CLI/CLI.hpp>

void AddSimCommands(CLI::App&, int&) {}
