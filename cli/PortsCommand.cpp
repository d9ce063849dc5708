#include "cli/CommandLine.h"
#include "cli/Commands.h"

#include "platform/PortTable.h"
#include "platform/SettingsStore.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

namespace {

const char* SourceText(PortEntry::Source source)
{
    switch (source) {
    case PortEntry::Source::Saved:
        return "saved";
    case PortEntry::Source::ThisRun:
        return "this run";
    case PortEntry::Source::Found:
        break;
    }
    return "found";
}

int ListPorts()
{
    if (std::string unreadable = PortTable().Unreadable(); !unreadable.empty()) {
        // The saved numbers are not known, and the devices found must not be shown under them.
        std::fprintf(stderr, "tessarin ports: %s; the saved port numbers are not known, so no numbers are shown. "
                             "Give the file back to your user or move it away, then try again.\n",
                     unreadable.c_str());
        return 1;
    }
    auto entries = ListAvailablePorts();
    if (entries.empty()) {
        std::printf("No serial ports found. Plug in the interface box's adapter, or name a device with "
                    "'tessarin ports set N PATH'.\n");
        return 0;
    }
    for (const auto& entry : entries) {
        std::printf("COM%-3u %-24s %-8s %s%s\n", entry.number, entry.path.c_str(), SourceText(entry.source),
                    entry.present ? "" : "(not present) ", entry.name.c_str());
    }
    return 0;
}

} // namespace

void AddPortsCommands(CLI::App& app, int& exitCode)
{
    auto* ports = AddCommand(app, "ports", "List the serial ports and the COM numbers that name them", "tessarin ports");
    ports->callback([&exitCode, ports] {
        if (ports->get_subcommands().empty())
            exitCode = ListPorts();
    });

    auto* set = AddCommand(*ports, "set", "Save a device as port N (COMN)", "tessarin ports set 3 /dev/ttyUSB0");
    static unsigned setNumber = 0;
    static std::string setPath;
    set->add_option("N", setNumber, "port number, 1 to 99")->required()->check(CLI::Range(1u, CPortTable::kMaxNumber));
    set->add_option("PATH", setPath, "the serial device, e.g. /dev/ttyUSB0")->required();
    set->callback([&exitCode] {
        if (!PortTable().Save(setNumber, setPath)) {
            std::fprintf(stderr, "Could not save COM%u = %s: %s\n", setNumber, setPath.c_str(),
                         PortTable().LastError().c_str());
            exitCode = 1;
            return;
        }
        std::printf("COM%u = %s\n", setNumber, setPath.c_str());
        exitCode = 0;
    });

    auto* forget = AddCommand(*ports, "forget", "Remove a saved port number", "tessarin ports forget 3");
    static unsigned forgetNumber = 0;
    forget->add_option("N", forgetNumber, "port number, 1 to 99")->required()->check(CLI::Range(1u, CPortTable::kMaxNumber));
    forget->callback([&exitCode] {
        if (!PortTable().Forget(forgetNumber)) {
            std::fprintf(stderr, "Could not forget COM%u: %s\n", forgetNumber, Settings().LastError().c_str());
            exitCode = 1;
            return;
        }
        exitCode = 0;
    });
}
