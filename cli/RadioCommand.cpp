#include "cli/Commands.h"

#include <CLI/CLI.hpp>

void AddRadioCommands(CLI::App&, int&) {}
