#include "cli/CommandLine.h"
#include "errors/Error.h"
#include "errors/Log.h"
#include "platform/StartupPaths.h"

#include <CLI/CLI.hpp>

#include <cstdio>

int main(int argc, char** argv)
{
    // Before anything reads them: the work enters the kit folder later.
    MakeEnvironmentPathsAbsolute();
    CwFileLog::SetFileWanted(false);  // the command line writes a log file only when asked (--log)
    CLI::App app{"tessarin: the radio upgrade service tool"};
    int exitCode = 0;
    AddTessarinCommands(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int status = app.exit(e);
        return status == 0 ? 0 : 2;
    } catch (const CError& e) {
        std::fprintf(stderr, "%s\n", e.GetText());
        return 1;
    }
    return exitCode;
}
