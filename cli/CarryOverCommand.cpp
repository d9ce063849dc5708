// tessarin carryover: the radios' own data that upgrades saved and have not yet given back.
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/PortOptions.h"

#include "codeplug/CodeplugFactory.h"
#include "errors/Error.h"
#include "link/VeskComm.h"
#include "upgrade/CarryOver.h"
#include "upgrade/CarryOverRestore.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

namespace {

struct RestoreOptions {
    std::string file;
    PortOptions port;
    bool yes = false;
};

int List()
{
    CCarryOverStore store;
    auto files = store.List();
    if (files.empty()) {
        std::printf("No unfinished carry-over records in %s.\n", store.Directory().c_str());
        return 0;
    }
    for (const auto& file : files) {
        try {
            CarryOverRecord r = CCarryOverStore::Load(file);
            std::printf("%s\n  saved %s: %s; layout %d, product line %d, codeplug mode %d\n", file.c_str(),
                        r.created.c_str(), r.RadioText().c_str(), r.layout, r.productLine, r.codeplugMode);
        } catch (const CError& e) {
            std::printf("%s\n  unreadable: %s\n", file.c_str(), e.GetText());
        }
    }
    std::printf("Restore a record into its radio with: tessarin carryover restore FILE --port N\n");
    return 0;
}

bool Confirm(const std::string& question)
{
    std::printf("%s [y/N] ", question.c_str());
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return answer == "y" || answer == "Y" || answer == "yes";
}

int Restore(const RestoreOptions& o)
{
    CarryOverRecord record = CCarryOverStore::Load(o.file);
    ResolvePort(o.port);  // usage errors before anything is opened
    std::unique_ptr<CCodeplug> codeplug = CreateCodeplug(record.layout);
    std::unique_ptr<CRadioLink> link;
    try {
        link = std::make_unique<CRadioLink>(codeplug->GetBroker(), o.port);
    } catch (const CError& e) {
        const std::string& cause = codeplug->GetBroker().Comm().OpenFailureCause();
        if (cause.empty())
            throw;
        throw CGenError(3, "%s: %s", e.GetText(), cause.c_str());
    }
    codeplug->GetBroker().Comm().SetReplyTimeout(500);
    codeplug->GetBroker().Comm().SetPause(15);
    codeplug->SetSource(CCodeplug::kRadio);

    CCarryOverRestore restore(*codeplug, record);
    std::string found = restore.CheckRadioLayout();
    std::printf("Record %s\n  saved %s: %s\n  the radio has the record's %s\n", o.file.c_str(), record.created.c_str(),
                record.RadioText().c_str(), found.c_str());
    if (!o.yes && !Confirm("Write the saved tuning and serial-number data into this radio?")) {
        std::printf("Nothing was written; the record is kept.\n");
        return 1;
    }
    restore.Restore();
    CCarryOverStore store;
    store.Remove(record);
    std::printf("Restored and read back; the record %s is removed.\n", o.file.c_str());
    return 0;
}

int Run(const char* name, int (*body)(const RestoreOptions&), const RestoreOptions& o)
{
    try {
        return body(o);
    } catch (const CUsageError& e) {
        std::fprintf(stderr, "tessarin carryover %s: %s\n", name, e.what());
        return 2;
    } catch (const CError& e) {
        std::fprintf(stderr, "%s\n", e.GetText());
        return 1;
    }
}

}  // namespace

void AddCarryOverCommands(CLI::App& app, int& exitCode)
{
    auto* carry = AddCommand(app, "carryover", "Radios' own tuning and serial-number data saved by upgrades",
                             "tessarin carryover list");
    carry->require_subcommand(1);

    auto* list = AddCommand(*carry, "list", "Show the records whose data has not been given back to its radio",
                            "tessarin carryover list");
    list->callback([&exitCode] { exitCode = List(); });

    static RestoreOptions options;
    auto* restore = AddCommand(*carry, "restore", "Write a record's data back into the radio it was saved from",
                               "tessarin carryover restore ~/.local/state/tessarin/carryover/carryover-20261210-134501-P5.txt "
                               "--port 1");
    restore->add_option("FILE", options.file, "the carry-over record")->required()->check(CLI::ExistingFile);
    AddPortOptions(*restore, options.port);
    restore->add_flag("--yes", options.yes, "Write without asking");
    restore->callback([&exitCode] { exitCode = Run("restore", Restore, options); });
}
