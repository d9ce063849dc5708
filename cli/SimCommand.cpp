#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "errors/Error.h"
#include "sim/model/FaultPlan.h"
#include "sim/pty/PtyHost.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {

volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_bootstrap = 0;
volatile std::sig_atomic_t g_powerCycle = 0;

void OnStop(int) { g_stop = 1; }
void OnBootstrap(int) { g_bootstrap = 1; }
void OnPowerCycle(int) { g_powerCycle = 1; }

int RunSim(const PtyHostOptions& options)
{
    try {
        // Before the link is published, so that no signal can end us with the link left behind;
        // a closed terminal (SIGHUP) stops the simulator like SIGTERM.
        g_stop = 0;
        g_bootstrap = 0;
        g_powerCycle = 0;
        struct sigaction stop{}, boot{}, cycle{};
        stop.sa_handler = OnStop;
        boot.sa_handler = OnBootstrap;
        cycle.sa_handler = OnPowerCycle;
        sigaction(SIGINT, &stop, nullptr);
        sigaction(SIGTERM, &stop, nullptr);
        sigaction(SIGHUP, &stop, nullptr);
        sigaction(SIGUSR1, &boot, nullptr);
        sigaction(SIGUSR2, &cycle, nullptr);
        CPtyHost host(options);
        const RadioProfile& profile = host.Radio().Profile();
        std::printf("ready: simulated radio \"%s\" on %s (%s)\n", profile.name.c_str(), options.link.c_str(),
                    host.Wire().SlavePath().c_str());
        std::fflush(stdout);
        host.Run([&host] {
            if (g_bootstrap) {
                g_bootstrap = 0;
                host.Radio().PowerCycle(true);
            }
            if (g_powerCycle) {
                g_powerCycle = 0;
                host.Radio().PowerCycle(false);
            }
            return g_stop == 0;
        });
        host.Finish();
        std::fprintf(stderr, "tessarin sim: stopped; radio %s%s%s\n", CSimRadio::ModeName(host.Radio().GetMode()),
                     options.dumpDir.empty() ? "" : ", trace and memory written to ", options.dumpDir.c_str());
        return 0;
    } catch (const CError& e) {
        std::fprintf(stderr, "tessarin sim: %s\n", e.GetText());
        return 1;
    }
}

}  // namespace

void AddSimCommands(CLI::App& app, int& exitCode)
{
    auto options = std::make_shared<PtyHostOptions>();
    auto noAuto = std::make_shared<bool>(false);
    CLI::App* sim = AddCommand(
        app, "sim",
        "Run a simulated radio on a pseudo-terminal until interrupted (SIGINT, SIGTERM or SIGHUP).\n"
        "SIGUSR1 power-cycles it into bootstrap mode; SIGUSR2 power-cycles it plainly (it starts what its\n"
        "memory holds, as at power-on).",
        "tessarin sim --profile sim/profiles/demo.json --link /tmp/tessarin-radio");
    sim->add_option("--profile", options->profile, "the radio's JSON profile (see sim/profiles/)")->required();
    sim->add_option("--link", options->link,
                    "publish the program's end of the line as a symlink here (an existing path is refused; "
                    "removed at the end if it still points at this simulator)")
        ->required();
    sim->add_flag("--replace", options->replaceLink, "replace a link already at the --link path");
    sim->add_option("--dump", options->dumpDir,
                    "at the end write trace.txt, codeplug.bin, codeplug.s19 and flash.bin here");
    sim->add_option("--fault", options->faults, std::string("inject a fault (repeatable).\n") + FaultSpecHelp());
    sim->add_flag("--no-auto-bootstrap", *noAuto,
                  "do not enter bootstrap mode when the program sets 2400 Bd (use SIGUSR1 instead)");
    sim->callback([options, noAuto, &exitCode] {
        options->autoBootstrap = !*noAuto;
        exitCode = RunSim(*options);
    });
}
