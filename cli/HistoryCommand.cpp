#include "cli/HistoryCommand.h"

#include "app/PressJournal.h"
#include "app/ProgramOutcome.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "errors/Error.h"
#include "platform/AppendFile.h"
#include "upgrade/CarryOver.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>

namespace {

// The columns of the table and of the CSV: a heading and the entry's field.
struct Column {
    const char* heading;
    const char* csvHeading;
    const char* pointer;
};
const Column kTableColumns[] = {
    {"time", "time", "/time"},          {"outcome", "outcome", "/outcome"},
    {"exit", "exitStatus", "/exitStatus"}, {"model", "model", "/radio/model"},
    {"serial", "serial", "/radio/serial"}, {"kit", "kitTitle", "/kit/title"},
};
const Column kCsvOnlyColumns[] = {
    {"", "port", "/port/number"},      {"", "device", "/port/device"},
    {"", "durationSeconds", "/durationSeconds"}, {"", "host", "/host"},
    {"", "user", "/user"},             {"", "frontEnd", "/frontEnd"},
    {"", "radioCode", "/radio/radioCode"}, {"", "kitFolder", "/kit/folder"},
    {"", "kitFingerprint", "/kit/fingerprint"}, {"", "stage", "/stage"},
    {"", "record", "/record"},         {"", "log", "/log"},
};

// Text from the journal made safe for a terminal: control characters become '?'.
std::string Printable(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return text;
}

std::string Duration(const JournalEntry& entry)
{
    const auto& value = entry.value;
    if (!value.contains("durationSeconds") || !value["durationSeconds"].is_number())
        return "";
    return CProgressLine::FormatSeconds(value["durationSeconds"].get<double>());
}

std::string Port(const JournalEntry& entry)
{
    std::string number = Field(entry, "/port/number");
    std::string device = Field(entry, "/port/device");
    std::string port = number.empty() || number == "0" ? "" : "COM" + number;
    if (!device.empty())
        port += (port.empty() ? "" : " ") + device;
    return port;
}

void PrintTable(std::FILE* out, const std::vector<const JournalEntry*>& entries)
{
    constexpr std::size_t kColumns = std::size(kTableColumns) + 2;
    std::vector<std::array<std::string, kColumns>> rows;
    std::array<std::string, kColumns> heading;
    for (std::size_t c = 0; c < std::size(kTableColumns); ++c)
        heading[c] = kTableColumns[c].heading;
    heading[kColumns - 2] = "duration";
    heading[kColumns - 1] = "port";
    rows.push_back(heading);
    for (const JournalEntry* entry : entries) {
        std::array<std::string, kColumns> row;
        for (std::size_t c = 0; c < std::size(kTableColumns); ++c)
            row[c] = Printable(Field(*entry, kTableColumns[c].pointer));
        row[kColumns - 2] = Duration(*entry);
        row[kColumns - 1] = Printable(Port(*entry));
        rows.push_back(row);
    }
    std::array<std::size_t, kColumns> width{};
    for (const auto& row : rows)
        for (std::size_t c = 0; c < kColumns; ++c)
            width[c] = std::max(width[c], row[c].size());
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < kColumns; ++c)
            line += row[c] + (c + 1 < kColumns ? std::string(width[c] - row[c].size() + 2, ' ') : "");
        line.erase(line.find_last_not_of(' ') + 1);
        std::fprintf(out, "%s\n", line.c_str());
    }
}

void PrintCsv(std::FILE* out, const std::vector<const JournalEntry*>& entries)
{
    std::vector<const Column*> columns;
    for (const Column& c : kTableColumns)
        columns.push_back(&c);
    for (const Column& c : kCsvOnlyColumns)
        columns.push_back(&c);
    std::string line;
    for (const Column* c : columns)
        line += (line.empty() ? "" : ",") + CsvField(c->csvHeading);
    std::fprintf(out, "%s\r\n", line.c_str());
    for (const JournalEntry* entry : entries) {
        line.clear();
        for (std::size_t i = 0; i < columns.size(); ++i)
            line += (i ? "," : "") + CsvField(Field(*entry, columns[i]->pointer));
        std::fprintf(out, "%s\r\n", line.c_str());
    }
}

std::vector<std::string> OutcomeWords()
{
    std::vector<std::string> words;
    for (ProgramEnd end : kProgramEnds)
        words.push_back(ProgramEndName(end));
    return words;
}

} // namespace

int RunHistory(const HistoryOptions& options, HistoryStreams io)
{
    if (!options.filter.since.empty()) {
        if (std::string problem = SinceProblem(options.filter.since); !problem.empty()) {
            std::fprintf(io.err, "tessarin history: %s\n", problem.c_str());
            return 2;
        }
    }
    const std::vector<std::string> words = OutcomeWords();
    for (const std::string& word : options.filter.outcomes) {
        if (std::find(words.begin(), words.end(), word) == words.end()) {
            std::string all;
            for (const std::string& w : words)
                all += (all.empty() ? "" : ", ") + w;
            std::fprintf(io.err, "tessarin history: --outcome must be one of %s, not %s\n", all.c_str(), word.c_str());
            return 2;
        }
    }
    const std::string file = options.journal.empty() ? PressJournalFile(CCarryOverStore()).string() : options.journal;
    bool exists = true;
    std::string text;
    try {
        text = ReadOwnFile(file, kMaxJournalBytes, &exists);
    } catch (const CError& e) {
        std::fprintf(io.err, "tessarin history: %s\n", e.GetText());
        return 1;
    }
    JournalText journal = ParseJournal(text);
    if (journal.skipped != 0)
        std::fprintf(io.err, "tessarin history: %zu line%s of %s %s not an entry and %s skipped\n", journal.skipped,
                     journal.skipped == 1 ? "" : "s", file.c_str(), journal.skipped == 1 ? "is" : "are",
                     journal.skipped == 1 ? "was" : "were");
    std::vector<const JournalEntry*> matching;
    for (const JournalEntry& entry : journal.entries)
        if (Matches(entry, options.filter))
            matching.push_back(&entry);
    if (matching.empty()) {
        std::fprintf(io.err, "tessarin history: %s\n",
                     journal.entries.empty() ? ("no press is in the journal " + file + " yet").c_str()
                                             : "no press in the journal matches");
        if (!options.csv)
            return 0;
    }
    if (options.json) {
        for (const JournalEntry* entry : matching)
            std::fprintf(io.out, "%s\n", entry->line.c_str());
    } else if (options.csv) {
        PrintCsv(io.out, matching);
    } else {
        PrintTable(io.out, matching);
    }
    std::fflush(io.out);
    return 0;
}

void AddHistoryCommands(CLI::App& app, int& exitCode)
{
    static HistoryOptions options;
    auto* history = AddCommand(app, "history", "List the presses of Program that the journal holds",
                               "tessarin history --serial 4500000042 --since 2026-12-01 --outcome upgrade-failed");
    history->add_option("--serial", options.filter.serial, "Only the presses on the radio with this serial number");
    history->add_option("--since", options.filter.since, "Only the presses made on this day (YYYY-MM-DD) or later");
    history->add_option("--outcome", options.filter.outcomes, "Only the presses that ended so (one or more words)")
        ->check(CLI::IsMember(OutcomeWords()));
    auto* json = history->add_flag("--json", options.json, "The entries as stored: one JSON object a line");
    history->add_flag("--csv", options.csv, "A header line, then one line an entry (RFC 4180)")->excludes(json);
    history->callback([&exitCode] { exitCode = RunHistory(options); });
}
