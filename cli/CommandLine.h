#pragma once

#include <string>

namespace CLI {
class App;
}

// How the `tessarin` command line reads; every group of subcommands follows it.
//
// - Options shared by the subcommands of a group (the port options of `tessarin radio`, the
//   codeplug source of `tessarin codeplug`) are defined once, on the group. Every command made
//   with AddCommand passes an option it does not know to its parent (CLI11's fallthrough), so a
//   group's option is accepted before and after the subcommand alike:
//       tessarin radio --device /dev/ttyUSB0 status 0
//       tessarin radio status 0 --device /dev/ttyUSB0
//   A subcommand's --help lists the options of its groups as well.
// - Every command's --help ends with an example: AddCommand takes it.
// - A wrong value names the option and says what it accepts: give each option a check
//   (CLI::Range, CLI::IsMember, ...) or, for values parsed in the command, a message of the
//   form "--OPTION must be ..., not VALUE".
//
// A command added to a group made here inherits all of this.

// Sets up the root: `--version`, the help layout, fallthrough for every command added after.
void ConfigureCommandLine(CLI::App& app);
// A command (or group of commands) under `parent`, whose --help ends with
// "Example:\n  <example>".
CLI::App* AddCommand(CLI::App& parent, const std::string& name, const std::string& description,
                     const std::string& example);
// The example shown at the end of a command's --help (for a command made elsewhere).
void SetExample(CLI::App& command, const std::string& example);
// The whole `tessarin` command line: the root configured and every group added. A command's
// callback stores its exit status in `exitCode`.
void AddTessarinCommands(CLI::App& app, int& exitCode);
// The version text `tessarin --version` prints.
const char* TessarinVersion();
