// tessarin carryover: the radios' own data that upgrades saved and have not yet given back.
#include "cli/CarryOverCommand.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProgramCommand.h"

#include "codeplug/CodeplugFactory.h"
#include "errors/Error.h"
#include "link/VeskComm.h"
#include "upgrade/CarryOver.h"
#include "upgrade/CarryOverRestore.h"
#include "upgrade/RadioIdentityRead.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

namespace {

void PrintRecord(std::FILE* out, const CarryOverRecord& r)
{
    std::fprintf(out, "%s\n  saved %s, stage %s: %s\n", r.file.c_str(), r.created.c_str(), PressStageName(r.stage),
                 r.RadioText().c_str());
    std::fprintf(out, "  kit %s; layout %d, product line %d, codeplug mode %d; %s\n",
                 r.kit.empty() ? "not recorded" : r.kit.c_str(), r.layout, r.productLine, r.codeplugMode,
                 r.valid ? "the radio's own data is saved in it" : "none of the radio's own data is saved in it");
}

bool Confirm(CarryOverStreams io, const char* question)
{
    std::fprintf(io.out, "%s [y/N] ", question);
    std::fflush(io.out);
    char line[64];
    if (std::fgets(line, sizeof line, io.in) == nullptr)
        return false;
    std::string answer(line);
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r'))
        answer.pop_back();
    return answer == "y" || answer == "Y" || answer == "yes";
}

// Nothing was written: says why and what to do.
int Refuse(CarryOverStreams io, const CarryOverRecord& r, const CError& e)
{
    std::fprintf(io.err, "tessarin carryover restore: refused. %s.\nNothing was written to the radio; the record %s "
                         "is kept.\n%s\n",
                 e.GetText(), r.file.c_str(), CarryOverAdvice(r).c_str());
    return kExitRefused;
}

// Opens the codeplug's link as the options say, with the exchange's timing of the carry-over.
std::unique_ptr<CRadioLink> OpenLink(CCodeplug& codeplug, const PortOptions& port, std::FILE* traceOut)
{
    std::unique_ptr<CRadioLink> link;
    try {
        link = std::make_unique<CRadioLink>(codeplug.GetBroker(), port, traceOut);
    } catch (const CError& e) {
        const std::string& cause = codeplug.GetBroker().Comm().OpenFailureCause();
        if (cause.empty())
            throw;
        throw CGenError(3, "%s: %s", e.GetText(), cause.c_str());
    }
    codeplug.GetBroker().Comm().SetReplyTimeout(500);
    codeplug.GetBroker().Comm().SetPause(15);
    codeplug.SetSource(CCodeplug::kRadio);
    return link;
}

int Restore(const CarryOverRestoreOptions& o, CarryOverStreams io)
{
    CarryOverRecord record = CCarryOverStore::Load(o.file);
    ResolvePort(o.port);  // usage errors before anything is opened
    PrintRecord(io.out, record);
    try {
        CCarryOverRestore::CheckRecord(record);
    } catch (const CGenError& e) {
        return Refuse(io, record, e);
    }
    std::unique_ptr<CCodeplug> codeplug = CreateCodeplug(record.layout);
    std::unique_ptr<CRadioLink> link = OpenLink(*codeplug, o.port, io.err);

    CCarryOverRestore restore(*codeplug, record);
    const RadioIdentity radio = RequestRadioIdentity(codeplug->GetBroker());
    std::fprintf(io.out, "  the record's radio:    %s\n  the radio on the port: %s\n", record.radio.Text().c_str(),
                 radio.Text().c_str());
    std::string found;
    try {
        found = restore.Check(radio);
    } catch (const CGenError& e) {
        return Refuse(io, record, e);
    }
    std::fprintf(io.out, "  the radio holds %s\n", found.c_str());
    if (!o.yes && !Confirm(io, "Write the saved tuning and serial-number data into this radio?")) {
        std::fprintf(io.out, "Nothing was written; the record is kept.\n");
        return kExitFailed;
    }
    try {
        restore.Restore();
    } catch (const CError& e) {
        std::fprintf(io.err, "%s\nThe restore did not complete: the radio may hold part of the record's data. The "
                             "record %s is kept.\n%s\n",
                     e.GetText(), record.file.c_str(), CarryOverAdvice(record).c_str());
        return ReportRadioStop(io.err, kExitFailed);
    }
    const std::string file = record.file;
    try {
        CCarryOverStore().Remove(record);
    } catch (const CError& e) {
        std::fprintf(io.err, "Restored and read back, but the record stays: %s\nRemove it by hand; it is not to be "
                             "restored again.\n", e.GetText());
        return kExitFailed;
    }
    std::fprintf(io.out, "Restored and read back; the record %s is removed.\n", file.c_str());
    return 0;
}

}  // namespace

int RunCarryOverList(CarryOverStreams io)
{
    CCarryOverStore store;
    auto files = store.List();
    if (files.empty()) {
        std::fprintf(io.out, "No unfinished carry-over records in %s.\n", store.Directory().string().c_str());
        return 0;
    }
    for (const auto& file : files) {
        try {
            CarryOverRecord r = CCarryOverStore::Load(file);
            PrintRecord(io.out, r);
            std::fprintf(io.out, "  to do: %s\n", CarryOverAdvice(r).c_str());
        } catch (const CError& e) {
            std::fprintf(io.out, "%s\n  unreadable, not used: %s\n", file.string().c_str(), e.GetText());
        }
    }
    return 0;
}

int RunCarryOverRestore(const CarryOverRestoreOptions& options, CarryOverStreams io)
{
    try {
        return Restore(options, io);
    } catch (const CUsageError& e) {
        std::fprintf(io.err, "tessarin carryover restore: %s\n", e.what());
        return kExitUsage;
    } catch (const CError& e) {
        std::fprintf(io.err, "%s\nNothing was written to the radio; the record %s is kept.\n", e.GetText(),
                     options.file.c_str());
        return ReportRadioStop(io.err, kExitFailed);
    }
}

void AddCarryOverCommands(CLI::App& app, int& exitCode)
{
    auto* carry = AddCommand(app, "carryover", "Radios' own tuning and serial-number data saved by upgrades",
                             "tessarin carryover list");
    carry->require_subcommand(1);

    auto* list = AddCommand(*carry, "list", "Show the records whose data has not been given back to its radio",
                            "tessarin carryover list");
    list->callback([&exitCode] { exitCode = RunCarryOverList(); });

    static CarryOverRestoreOptions options;
    auto* restore = AddCommand(*carry, "restore", "Write a record's data back into the radio it was saved from",
                               "tessarin carryover restore ~/.local/state/tessarin/carryover/carryover-20261210-134501-P5.txt "
                               "--port 1");
    restore->add_option("FILE", options.file, "the carry-over record")->required()->check(CLI::ExistingFile);
    AddPortOptions(*restore, options.port);
    restore->add_flag("--yes", options.yes, "Write without asking");
    restore->callback([&exitCode] { exitCode = RunCarryOverRestore(options); });
}
