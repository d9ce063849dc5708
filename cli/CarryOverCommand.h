#pragma once

#include "cli/PortOptions.h"

#include <cstdio>
#include <string>

// `tessarin carryover list` and `tessarin carryover restore`: the radios' own data that
// upgrades saved and have not yet given back.
struct CarryOverRestoreOptions {
    std::string file;  // the record
    PortOptions port;
    bool yes = false;  // --yes: write without asking
};

struct CarryOverStreams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    std::FILE* in = stdin;
};

// Lists the records of the state directory: each one's radio, stage and what to do with it,
// and the files that cannot be read with what is wrong. Returns 0.
int RunCarryOverList(CarryOverStreams io = {});

// Writes a record's data back into the radio on the port, when that radio is the record's and
// holds the image its data was carried into; removes the record once the data is written and
// read back. Returns 0 done; 1 the link, the record file or the restore failed, or the
// question was not answered yes (the record is kept); 2 the command line was wrong; 3 the
// record or the radio was refused (nothing written, the record kept); 128 + the signal after
// a stop.
int RunCarryOverRestore(const CarryOverRestoreOptions& options, CarryOverStreams io = {});
