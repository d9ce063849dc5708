#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::string CommandPath(const CLI::App* app)
{
    std::string path;
    for (; app != nullptr; app = app->get_parent())
        path = app->get_name() + (path.empty() ? "" : " " + path);
    return path;
}

void ForEachCommand(CLI::App* app, const std::function<void(CLI::App*)>& visit)
{
    visit(app);
    for (CLI::App* sub : app->get_subcommands([](CLI::App*) { return true; }))
        ForEachCommand(sub, visit);
}

// Parses a command line of the whole `tessarin` command; the text of the parse error, "" when
// it was accepted. `exitCode` receives what the command's callback set.
std::string Parse(std::vector<std::string> args, int& exitCode)
{
    CLI::App app;
    exitCode = -1;
    AddTessarinCommands(app, exitCode);
    std::vector<const char*> argv{"tessarin"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    try {
        app.parse(static_cast<int>(argv.size()), const_cast<char**>(argv.data()));
    } catch (const CLI::ParseError& e) {
        return std::string(e.get_name()) + ": " + e.what();
    }
    return "";
}

}  // namespace

TEST(CommandLine, EveryHelpEndsWithAnExampleOfItsOwnCommand)
{
    CLI::App app;
    int exitCode = 0;
    AddTessarinCommands(app, exitCode);
    int commands = 0;
    ForEachCommand(&app, [&](CLI::App* command) {
        ++commands;
        std::string help = command->help();
        std::string path = CommandPath(command);
        std::size_t example = help.rfind("Example:\n  " + path);
        ASSERT_NE(example, std::string::npos) << path << " has no example of itself:\n" << help;
        EXPECT_EQ(help.find('\n', help.find("  ", example + 9) + 2), help.size() - 1)
            << path << ": the example is not the help's last line:\n" << help;
    });
    EXPECT_GT(commands, 15);
}

TEST(CommandLine, GroupOptionsAreAcceptedBeforeAndAfterTheSubcommand)
{
    // A selector out of range stops the command before any port is opened (status 2): the
    // options were taken by the group either way.
    const std::vector<std::vector<std::string>> lines = {
        {"radio", "--device", "/dev/null", "--echo", "off", "status", "999"},
        {"radio", "status", "999", "--device", "/dev/null", "--echo", "off"},
        {"radio", "--device", "/dev/null", "status", "--echo", "off", "999"},
    };
    for (const auto& line : lines) {
        int exitCode = -1;
        EXPECT_EQ(Parse(line, exitCode), "") << line[1];
        EXPECT_EQ(exitCode, 2);
    }
    int exitCode = -1;
    EXPECT_NE(Parse({"radio", "status", "0", "--device", "/dev/null", "--port", "2"}, exitCode), "")
        << "--device and --port still exclude each other after the subcommand";
}

TEST(CommandLine, ErrorsNameTheOptionAndWhatItAccepts)
{
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {{"radio", "reset", "--port", "1", "--echo", "maybe"}, {"--echo", "on", "off"}},
        {{"radio", "--port", "100", "reset"}, {"--port", "1", "99"}},
        {{"radio", "reset", "--port", "one"}, {"--port", "one"}},
        {{"radio", "reset", "--port", "1", "--baud", "10"}, {"--baud", "50", "4000000"}},
        {{"codeplug", "blocks", "--image", "x.s19", "--type", "7"}, {"--type", "0", "3"}},
        {{"codeplug", "--image", "x.s19", "blocks", "--variant", "2"}, {"--variant", "0", "1"}},
        {{"ports", "set", "0", "/dev/ttyUSB0"}, {"N", "1", "99"}},
        // The paths are named as the system writes them (on Windows Z:\nonexistent\kit).
        {{"program", "--kit", "/nonexistent/kit", "--device", "/dev/null", "--yes"},
         {"--kit", "the kit folder ", "nonexistent", "kit does not exist"}},
        {{"plan", "--kit", __FILE__, "--device", "/dev/null"}, {"--kit", "CommandLineTests.cpp is not a folder"}},
    };
    for (const Case& c : cases) {
        int exitCode = -1;
        std::string error = Parse(c.args, exitCode);
        ASSERT_NE(error, "") << c.args[0] << " " << c.args[1];
        for (const std::string& word : c.said)
            EXPECT_NE(error.find(word), std::string::npos) << "\"" << word << "\" not in: " << error;
    }
}

// A port number out of range is refused before anything is saved, 0 as well as 100.
TEST(CommandLine, SettingsRefuseAPortOutOfRange)
{
    for (const char* port : {"0", "100", "-3"}) {
        int exitCode = -1;
        EXPECT_EQ(Parse({"settings", "--port", port}, exitCode), "") << port;
        EXPECT_EQ(exitCode, 2) << port;
    }
}

TEST(CommandLine, VersionIsAnOptionOfTheRoot)
{
    int exitCode = -1;
    std::string error = Parse({"--version"}, exitCode);
    EXPECT_EQ(error.rfind("CallForVersion", 0), 0u) << error;
    EXPECT_NE(error.find(TessarinVersion()), std::string::npos) << error;
}
