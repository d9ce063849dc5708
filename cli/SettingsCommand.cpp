// `tessarin settings`: the communication settings the windowed program and `tessarin program` use.
#include "app/CommSettings.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "platform/PortTable.h"
#include "platform/RegistrySettings.h"
#include "platform/SettingsStore.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct SettingsOptions {
    int port = 0;
    bool portGiven = false;  // --port 0 is given too, and refused
    std::string echo;
};

int RunSettings(const SettingsOptions& options)
{
    CCommSettings settings;
    settings.Load(Settings());
    if (std::string unreadable = Settings().Unreadable(); !unreadable.empty()) {
        // The defaults are never shown in place of values that are there but cannot be read,
        // and nothing is written over them.
        std::fprintf(stderr,
                     "tessarin settings: %s; the saved settings are not known and nothing was changed. Give the file "
                     "back to your user (for example: sudo chown $USER %s) or move it away, then try again.\n",
                     unreadable.c_str(), Settings().Path().c_str());
        return 1;
    }
    if (options.portGiven || !options.echo.empty()) {
        if (options.portGiven) {
            if (!CCommSettings::IsValidPort(options.port)) {
                std::fprintf(stderr, "tessarin settings: --port must be between 1 and 99, not %d\n", options.port);
                return 2;
            }
            settings.portNumber = options.port;
        }
        if (!options.echo.empty())
            settings.echoType = options.echo == "on" ? 1 : 0;
        if (!settings.Save(Settings())) {
            std::fprintf(stderr, "tessarin settings: could not write %s: %s\n", Settings().Path().c_str(),
                         Settings().LastError().c_str());
            return 1;
        }
    }
    if (!settings.PortKnown()) {
        std::printf("Port ID        not known: %s\n", settings.problem.c_str());
    } else {
        std::string device = PortTable().PathFor(static_cast<unsigned>(settings.portNumber));
        std::printf("Port ID        %d (COM%d%s%s)\n", settings.portNumber, settings.portNumber,
                    device.empty() ? ", no device has this number" : " = ", device.c_str());
    }
    std::printf("ORX Echo Type  %d (%s)\n", settings.echoType,
                settings.EchoMode() == 1 ? "the interface box echoes what is sent" : "no echo");
    std::printf("%s  %s\n", RegistrySettings::IsLocation(Settings().Path()) ? "Registry key " : "Settings file",
                Settings().Path().c_str());
    return settings.PortKnown() ? 0 : 1;
}

} // namespace

void AddSettingsCommands(CLI::App& app, int& exitCode)
{
    auto options = std::make_shared<SettingsOptions>();
    auto* command = AddCommand(app, "settings",
                               "Show or set the communication settings (\"Port ID\", \"ORX Echo Type\")",
                               "tessarin settings --port 3 --echo off");
    // The range is checked by the command itself, so that the refusal says what is wrong.
    auto* port = command->add_option("--port", options->port, "The port number N (COMN), 1 to 99");
    command->add_option("--echo", options->echo, "Whether the interface box echoes what is sent")
        ->check(CLI::IsMember({"on", "off"}));
    command->callback([options, port, &exitCode] {
        options->portGiven = port->count() != 0;
        exitCode = RunSettings(*options);
    });
}
