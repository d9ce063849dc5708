#pragma once

namespace CLI {
class App;
}

// Each group of subcommands adds itself to the `tessarin` command. A subcommand's callback
// stores its exit status in `exitCode` (0 success, 1 failure, and `program`'s own statuses); usage errors are 2. An error
// object that escapes a callback is printed on stderr and gives status 1.
void AddRadioCommands(CLI::App& app, int& exitCode);
void AddKitCommands(CLI::App& app, int& exitCode);
void AddSimCommands(CLI::App& app, int& exitCode);
void AddCodeplugCommands(CLI::App& app, int& exitCode);
void AddPortsCommands(CLI::App& app, int& exitCode);
void AddCarryOverCommands(CLI::App& app, int& exitCode);
void AddProgramCommands(CLI::App& app, int& exitCode);
void AddSettingsCommands(CLI::App& app, int& exitCode);
void AddHistoryCommands(CLI::App& app, int& exitCode);
