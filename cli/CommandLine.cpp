#include "cli/CommandLine.h"

#include "cli/Commands.h"
#include "platform/StartupPaths.h"

#include <CLI/CLI.hpp>

#ifndef TESSARIN_VERSION_TEXT
#define TESSARIN_VERSION_TEXT "unknown"
#endif

namespace {

// The help of a subcommand: its own options, then those of its groups (accepted after the
// subcommand too), then its example.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_footer(const CLI::App* app) const override
    {
        std::string out;
        for (const CLI::App* group = app->get_parent(); group != nullptr; group = group->get_parent()) {
            auto options = group->get_options([group](const CLI::Option* option) {
                return option->nonpositional() && option != group->get_help_ptr() &&
                       option->get_name() != "--version" && option->get_name() != "--help-all";
            });
            if (options.empty())
                continue;
            out += "Options of '" + CommandPath(group) + "', accepted here too:\n";
            for (const CLI::Option* option : options)
                out += make_option(option, false);
            out += "\n";
        }
        return out + CLI::Formatter::make_footer(app);
    }

    static std::string CommandPath(const CLI::App* app)
    {
        std::string path;
        for (; app != nullptr; app = app->get_parent())
            path = app->get_name() + (path.empty() ? "" : " " + path);
        return path;
    }
};

}  // namespace

const char* TessarinVersion() { return TESSARIN_VERSION_TEXT; }

void ConfigureCommandLine(CLI::App& app)
{
    app.name("tessarin");
    app.set_version_flag("--version", std::string("tessarin ") + TessarinVersion(), "Print the version and exit");
    app.formatter(std::make_shared<HelpFormatter>());
    app.fallthrough();
    SetExample(app, "tessarin radio --device /dev/ttyUSB0 status 0");
}

void SetExample(CLI::App& command, const std::string& example) { command.footer("Example:\n  " + example); }

CLI::App* AddCommand(CLI::App& parent, const std::string& name, const std::string& description,
                     const std::string& example)
{
    CLI::App* command = parent.add_subcommand(name, description);
    command->fallthrough();
    SetExample(*command, example);
    return command;
}

namespace {

// The options and arguments that name files or folders, by name, in every command.
// `--device` is not among them: a relative port path is refused, not completed.
bool NamesAPath(const std::string& name)
{
    static const char* const kPathOptions[] = {"--kit",  "--image",  "--output", "--out",     "--key-file",
                                               "--log",  "--profile", "--link",  "--dump",    "IN",
                                               "OUT",    "SRC_DIR",  "OUT_DIR",  "KIT_DIR",   "FILE",
                                               "description"};
    for (const char* known : kPathOptions) {
        if (name == known)
            return true;
    }
    return false;
}

void MakePathOptionsAbsolute(CLI::App& app)
{
    for (CLI::Option* option : app.get_options()) {
        if (!NamesAPath(option->get_name()))
            continue;
        option->transform(CLI::Validator(
            [](std::string& value) {
                value = AbsolutePath(value);
                return std::string();
            },
            "", "absolute path"));
    }
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; }))
        MakePathOptionsAbsolute(*command);
}

}  // namespace

void AddTessarinCommands(CLI::App& app, int& exitCode)
{
    ConfigureCommandLine(app);
    app.require_subcommand(1);
    AddRadioCommands(app, exitCode);
    AddKitCommands(app, exitCode);
    AddSimCommands(app, exitCode);
    AddCodeplugCommands(app, exitCode);
    AddPortsCommands(app, exitCode);
    AddCarryOverCommands(app, exitCode);
    AddProgramCommands(app, exitCode);
    AddSettingsCommands(app, exitCode);
    AddHistoryCommands(app, exitCode);
    // Every path on the command line is made absolute as it is read, in the folder the
    // command was started in (platform/StartupPaths.h).
    MakePathOptionsAbsolute(app);
}
