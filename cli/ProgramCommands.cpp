// Registers `tessarin program` and `tessarin plan`.
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProgramCommand.h"
#include "app/CommSettings.h"
#include "platform/PortTable.h"
#include "platform/SettingsStore.h"
#include "platform/StopRequest.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace {

// Empty when `dir` is a folder that may hold a kit, else what is wrong, naming the folder.
std::string KitFolderProblem(const std::string& dir)
{
    std::error_code error;
    auto status = std::filesystem::status(dir, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return "the kit folder " + dir + " does not exist. Give the folder the kit was installed in";
    if (error)
        return "the kit folder " + dir + " cannot be used: " + error.message();
    if (status.type() != std::filesystem::file_type::directory)
        return dir + " is not a folder. Give the folder the kit was installed in, not one of its files";
    return {};
}

void AddWorkflowOptions(CLI::App& command, ProgramOptions& options)
{
    command.add_option("--kit", options.kit, "The kit directory (patcher.dat and its data files)")
        ->required()
        ->check(CLI::Validator(KitFolderProblem, "DIR"));
    auto* device = command.add_option("--device", options.port.device, "Serial device of the interface box");
    auto* port = command.add_option("--port", options.port.port, "Port number N (COMN) from the port table "
                                                                 "(default: the saved \"Port ID\")")
                     ->check(CLI::Range(1, static_cast<int>(CPortTable::kMaxNumber)));
    device->excludes(port);
    command.add_option("--echo", options.port.echo, "Whether the interface box echoes what is sent (default: the "
                                                    "saved \"ORX Echo Type\")")
        ->check(CLI::IsMember({"on", "off"}));
    command.add_flag("--yes", options.answers.yes,
                     "Answer OK to the routine questions (retries at most --retries times); not to the warnings "
                     "that protect data, which have options of their own");
    command.add_flag("--allow-test-kit", options.answers.allowTestKit,
                     "Answer OK to the warning that the kit is a testing version");
    command.add_flag("--json", options.json, "Print one JSON summary on standard output at the end");
    command.add_flag("--trace", options.port.trace, "Print every frame sent and received on stderr");
    AddLogOption(command, options.port.log, "");
}

// The saved port is used only when it is known: a settings file that cannot be read (or holds
// no port number) is said, and no port chosen by a default in the saved value's place is
// opened. False when the command cannot go on (exit status 2).
bool SavedSettingsUsable(const ProgramOptions& options, const char* command)
{
    const bool portGiven = !options.port.device.empty() || options.port.port != 0;
    if (portGiven) {
        // The port is the user's; the echo, when not given, is the saved one, if it is known.
        if (options.port.echo.empty()) {
            if (std::string unreadable = Settings().Unreadable(); !unreadable.empty())
                std::fprintf(stderr, "tessarin %s: %s; the interface box echo is taken as on. Give --echo on or "
                                     "--echo off to say it.\n",
                             command, unreadable.c_str());
        }
        return true;
    }
    CCommSettings saved;
    saved.Load(Settings());
    if (saved.problem.empty())
        return true;
    std::fprintf(stderr,
                 "tessarin %s: %s. No port is opened in its place: give --device PATH, or --port N once the "
                 "settings can be read again.\n",
                 command, saved.problem.c_str());
    return false;
}

// Runs program or plan with SIGINT, SIGTERM and SIGHUP caught for the whole command (between
// two openings of the port as well): the command stops at its next safe point, the port is
// closed with its line settings restored and its hold released, and the exit status is 128
// plus the signal's number (a command that had done its work when the stop came keeps its 0).
int RunStoppable(const char* command, const std::function<int()>& run)
{
    CStopSignals stopSignals;
    int status = run();
    if (StopRequested() && status != 0 && status < 128) {
        std::fprintf(stderr,
                     "tessarin %s: stopped on %s with no request cut off; the port was closed with its line settings "
                     "restored and its hold released.\n",
                     command, StopSignalName());
        status = StopExitStatus(status);
    }
    return status;
}

} // namespace

void AddProgramCommands(CLI::App& app, int& exitCode)
{
    auto program = std::make_shared<ProgramOptions>();
    auto* command = AddCommand(app, "program",
                               "Upgrade the radio on a serial device with a kit (one Program press, and the second "
                               "press of a recovery).\nExit status: 0 updated, 1 failed (or the radio could not be "
                               "reached), 2 wrong command line, 3 radio refused, 4 cancelled before anything was "
                               "written, 5 kit unusable",
                               "tessarin program --kit build/kits/demo --device /dev/ttyUSB0 --yes --flash-baud 115200");
    AddWorkflowOptions(*command, *program);
    command->add_option("--flash-baud", program->answers.flashBaud, "The answer to the flash rate question")
        ->check(CLI::IsMember({19200, 38400, 115200}));
    command->add_option("--retries", program->answers.retries, "How many retry questions --yes answers OK "
                                                               "(default 3), then Cancel")
        ->check(CLI::Range(0, 1000));
    command->add_flag("--accept-data-loss", program->answers.acceptDataLoss,
                      "Answer OK to the warning that the radio's old codeplug structure loses its user data");
    command->add_flag("--finish", program->answers.finish,
                      "When no radio answers, finish the radio that a recorded upgrade with this kit left "
                      "without firmware (it answers only in bootstrap mode)");
    command->callback([program, &exitCode] {
        exitCode = RunStoppable("program", [&] {
            if (!SavedSettingsUsable(*program, "program"))
                return static_cast<int>(kExitUsage);
            return RunProgram(*program, ConsoleStreams(program->json));
        });
    });

    auto plan = std::make_shared<ProgramOptions>();
    auto* dry = AddCommand(app, "plan",
                           "Verify and match the radio against a kit and say what Program would do; nothing is "
                           "written to the radio",
                           "tessarin plan --kit build/kits/demo --device /dev/ttyUSB0 --json");
    AddWorkflowOptions(*dry, *plan);
    dry->callback([plan, &exitCode] {
        exitCode = RunStoppable("plan", [&] {
            if (!SavedSettingsUsable(*plan, "plan"))
                return static_cast<int>(kExitUsage);
            return RunPlan(*plan, ConsoleStreams(plan->json));
        });
    });
}
