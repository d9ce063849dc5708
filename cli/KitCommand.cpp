#include "cli/Commands.h"

#include <CLI/CLI.hpp>

void AddKitCommands(CLI::App&, int&) {}
