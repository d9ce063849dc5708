#include "cli/Commands.h"

#include <CLI/CLI.hpp>

void AddCodeplugCommands(CLI::App&, int&) {}
