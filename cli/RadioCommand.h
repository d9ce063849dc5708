#pragma once

#include "cli/PortOptions.h"

#include <cstdio>
#include <string>

// `tessarin radio ...`: one request of the broker each, on the serial device the options
// name. Each returns the exit status: 0 done, 1 the radio or the port failed (the error's text
// on `err`), 2 the command line was wrong (a message on `err`, nothing sent). Results go to
// `out`; the trace, when asked for, to `err`.
struct RadioStreams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

int RunRadioStatus(const PortOptions& options, const std::string& selector, RadioStreams io = {});
int RunRadioRead(const PortOptions& options, const std::string& address, const std::string& count,
                 RadioStreams io = {});
int RunRadioWrite(const PortOptions& options, const std::string& address, const std::string& hexBytes,
                  RadioStreams io = {});
int RunRadioErase(const PortOptions& options, RadioStreams io = {});
int RunRadioReset(const PortOptions& options, RadioStreams io = {});
