#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>
#include <vector>

// The journal of presses read back for `tessarin history`: its text is untrusted input (any
// process of this user appends to it, and a cut or hand-edited line is possible), so every
// line is parsed on its own, a line that is not a JSON object is skipped and counted, and a
// field of the wrong type reads as absent.
struct JournalEntry {
    std::string line;  // as stored
    nlohmann::json value;
};

struct JournalText {
    std::vector<JournalEntry> entries;
    std::size_t skipped = 0;  // lines that are not a JSON object
};
JournalText ParseJournal(const std::string& text);

// Which entries `tessarin history` lists. Empty members do not filter.
struct HistoryFilter {
    std::string serial;                 // the radio's serial number, exactly
    std::string since;                  // YYYY-MM-DD: entries made on that local day or later
    std::vector<std::string> outcomes;  // any of these outcome words
};
bool Matches(const JournalEntry& entry, const HistoryFilter& filter);

// Empty when `date` is a YYYY-MM-DD date, else what --since must be.
std::string SinceProblem(const std::string& date);

// A field of an entry by JSON pointer ("/radio/serial"): its text (a number as written), or ""
// when absent, null or an object.
std::string Field(const JournalEntry& entry, const char* pointer);

// One CSV field, quoted as RFC 4180 says when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);
