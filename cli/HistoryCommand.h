#pragma once

#include "cli/JournalQuery.h"

#include <cstdio>
#include <string>

// `tessarin history`: the journal of presses listed and filtered.
struct HistoryOptions {
    HistoryFilter filter;
    bool json = false;  // --json: the matching entries as stored, one a line
    bool csv = false;   // --csv: a header line, then one line an entry
    std::string journal;  // the journal file; empty: the one of the state directory
};

struct HistoryStreams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// The journal refused whole rather than read into memory.
inline constexpr std::size_t kMaxJournalBytes = 64u * 1024 * 1024;

// Lists the entries that match. Returns 0 (also when none does, which it says), 1 when the
// journal cannot be read, 2 for a wrong filter.
int RunHistory(const HistoryOptions& options, HistoryStreams io = {});
