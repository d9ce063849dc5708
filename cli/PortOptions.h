#pragma once

#include "link/LinkTrace.h"
#include "platform/StopRequest.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace CLI {
class App;
}
class CVeskBroker;

// A command line that cannot be carried out as given (exit status 2).
class CUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The options of every command that talks to a radio over a serial device.
struct PortOptions {
    std::string device;  // --device PATH
    int port = 0;        // --port N (0: not given)
    std::string echo;    // --echo on|off (empty: the saved "ORX Echo Type", on when unset)
    int baud = 0;        // --baud RATE (0: stay at 9600)
    bool trace = false;  // --trace: every frame on stderr
    std::string log;     // --log[=FILE]: the error log file written (FILE, else "tsErrlog.txt"); empty: no log
};

void AddPortOptions(CLI::App& command, PortOptions& options);
// --log [FILE] into `target`: without FILE, tsErrlog.txt in the current directory, or in the
// system's log folder where it has one (platform/UserFolders.h). `more` ends the help text.
void AddLogOption(CLI::App& command, std::string& target, const std::string& more);

// The port number and echo mode the options name. Raises CUsageError when both or neither of
// --device and --port are given, or a value is out of range.
struct ResolvedPort {
    unsigned number = 0;
    uint8_t echoMode = 1;
};
ResolvedPort ResolvePort(const PortOptions& options);

// The echo type saved in the settings ("ORX Echo Type"), 1 when unset; 1 means echo on.
int SavedEchoType();

// Prints the exchange's frames on a stream, one line each, with the time since the previous
// line, the direction and the bytes: "+   12.345 ms  >  F5 11 0B 00 00 00 EE  request";
// a failed attempt as "+  100.521 ms  !  <the error's text>".
class CTracePrinter : public CLinkTraceSink {
public:
    explicit CTracePrinter(std::FILE* out) : m_out(out) {}
    void OnLinkEvent(LinkTraceEvent event, double seconds, const uint8_t* bytes, std::size_t count) override;

private:
    std::FILE* m_out;
    double m_last = -1;
};

// A broker's link opened for one command as the options say: the trace printer installed and
// the log file switched on when asked, the port opened at 9600 Bd and moved to --baud. Closes
// the link and puts the trace and log back when it ends. While it lives SIGINT, SIGTERM and
// SIGHUP stop the command between frames (see platform/StopRequest.h). A port that cannot be opened raises
// CGenError 3; the exchange keeps the cause (OpenFailureCause).
class CRadioLink {
public:
    // The trace, when asked for, goes to `traceOut`.
    CRadioLink(CVeskBroker& broker, const PortOptions& options, std::FILE* traceOut = stderr);
    ~CRadioLink();
    CRadioLink(const CRadioLink&) = delete;
    CRadioLink& operator=(const CRadioLink&) = delete;

private:
    void Restore();

    CStopSignals m_stopSignals;
    CVeskBroker& m_broker;
    std::unique_ptr<CTracePrinter> m_trace;
    CLinkTraceSink* m_previousTrace = nullptr;
    bool m_logSwitched = false;
};

// After a command that talks to a radio has ended on an error: when a signal stopped it, says
// so and what state the radio and the port were left in. Returns the exit status: 128 plus the
// signal's number after a stop, else `otherwise`.
int ReportRadioStop(std::FILE* err, int otherwise);

// Numbers on the command line: 0x-prefixed hexadecimal or decimal, within [min, max].
// `what` names the value in the message of the CUsageError raised otherwise.
unsigned long ParseNumber(const std::string& text, unsigned long min, unsigned long max, const char* what);
// Hexadecimal bytes: pairs of digits, optionally separated by spaces, ':' or ','.
std::vector<uint8_t> ParseHexBytes(const std::string& text);
